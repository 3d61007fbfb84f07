// Fuzz target: the library decoders (bzip2, LZMA, Zstandard, xz) on arbitrary member bytes,
// into a sink capped at the declared size. Nothing may pass the cap, a refused write must end
// the member as OutputRefused, and reading the same bytes in other pieces must end the same
// way (a refused write may stand against another failure), with one output a prefix of the
// other. Memory stays within the decoders' limits (run
// with -malloc_limit_mb to hold them to it).
//
// Input: byte 0 chooses the method (bits 0-1: 12, 14, 93, 95) and sets general-purpose bit 1
// (bit 2); byte 1 is the source's piece size (0: whole); bytes 2-4 the declared size
// (little-endian, below 1 MiB); the member's bytes follow.
#include "fuzz/FuzzTarget.h"
#include "tests/support/MemoryStreams.h"
#include "zip/ZipLibraryDecoders.h"

#include <algorithm>
#include <cstdlib>

namespace
{

constexpr size_t kHeader = 5;
constexpr uint16_t kMethods[4] = {kZipBzip2, kZipLzma, kZipZstd, kZipXz};

struct Run
{
    DecodeStatus status;
    std::vector<uint8_t> output;
};

Run Decode(CZipLibraryDecoders& decoders, uint16_t method, uint16_t flags, const uint8_t* data,
           size_t size, uint64_t declared, uint32_t step)
{
    testsupport::MemorySource source(data, size, step);
    testsupport::CappedSink sink(declared);
    ZipDecodeJob job{&source, &sink, size, declared, method, flags};
    DecodeStatus status = decoders.For(method)->Decode(job);
    if (sink.bytes.size() > declared || sink.refused != (status == DecodeStatus::OutputRefused)) {
        std::abort();
    }
    return {status, std::move(sink.bytes)};
}

bool IsPrefix(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    return a.size() <= b.size() && std::equal(a.begin(), a.end(), b.begin());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < kHeader) {
        return 0;
    }
    uint16_t method = kMethods[data[0] & 3];
    uint16_t flags = (data[0] & 4) ? 0x0002 : 0;
    uint32_t step = data[1] == 0 ? UINT32_MAX : data[1];
    uint64_t declared = (data[2] | data[3] << 8 | data[4] << 16) & 0xFFFFF;
    // One set serves every input, as an archive's serves its members; a fresh one reads the
    // same bytes in other pieces.
    static CZipLibraryDecoders decoders;
    CZipLibraryDecoders fresh;
    Run whole =
        Decode(decoders, method, flags, data + kHeader, size - kHeader, declared, UINT32_MAX);
    Run split = Decode(fresh, method, flags, data + kHeader, size - kHeader, declared, step);
    // A library given more input at once may find a fault before it hands over output that
    // the sink would refuse: a refused write may stand against another failure.
    bool refusedOnce = (whole.status == DecodeStatus::OutputRefused) !=
                       (split.status == DecodeStatus::OutputRefused);
    bool sameVerdict =
        whole.status == split.status ||
        (refusedOnce && whole.status != DecodeStatus::Ok && split.status != DecodeStatus::Ok);
    if (!sameVerdict ||
        !(IsPrefix(whole.output, split.output) || IsPrefix(split.output, whole.output)) ||
        (whole.status == DecodeStatus::Ok && whole.output != split.output)) {
        std::abort();
    }
    return 0;
}
