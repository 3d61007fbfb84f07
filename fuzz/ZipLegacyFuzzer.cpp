// Fuzz target: the Shrink, Reduce and Implode decoders on arbitrary compressed bytes against
// their reference decoders: the same verdict (ok, truncated or invalid) and, when ok, the same
// bytes, exactly the declared size of them; never more than the declared size.
//   byte 0    bits 0-2: the method (0-5: methods 1-6; 6 and 7: 1 and 6), bit 3: the 8 KiB
//             window, bit 4: three codes (Implode's general-purpose bits 1 and 2), bits 5-7:
//             the source's read size for a second run (0: whole, else up to 7 bytes a read)
//   bytes 1-3 the size to produce, 18 bits (up to 256 KiB)
//   the rest  the member's compressed bytes
#include "fuzz/FuzzTarget.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceImplode.h"
#include "tests/support/ReferenceReduce.h"
#include "tests/support/ReferenceShrink.h"
#include "zip/ZipImplodeDecoder.h"
#include "zip/ZipReduceDecoder.h"
#include "zip/ZipShrinkDecoder.h"

#include <cstdlib>
#include <utility>
#include <vector>

namespace
{

struct Verdict
{
    DecodeStatus status;
    std::vector<uint8_t> bytes;
};

Verdict Reference(uint16_t method, uint16_t flags, const std::vector<uint8_t>& packed,
                  uint64_t size)
{
    if (method == 1) {
        auto r = testsupport::ReferenceUnshrink(packed, size);
        return {testsupport::StatusOf(r.error), std::move(r.output)};
    }
    if (method == 6) {
        auto r = testsupport::ReferenceExplode(packed, size, flags);
        return {testsupport::StatusOf(r.error), std::move(r.output)};
    }
    auto r = testsupport::ReferenceUnreduce(packed, size, method - 1u);
    return {testsupport::StatusOf(r.error), std::move(r.output)};
}

Verdict Fast(uint16_t method, uint16_t flags, const std::vector<uint8_t>& packed, uint64_t size,
             uint32_t step)
{
    static CZipShrinkDecoder shrink;
    static CZipReduceDecoder reduce;
    static CZipImplodeDecoder implode;
    CZipMethodDecoder& decoder =
        method == 1 ? static_cast<CZipMethodDecoder&>(shrink)
                    : (method == 6 ? static_cast<CZipMethodDecoder&>(implode) : reduce);
    testsupport::MemorySource source(packed.data(), packed.size(), step);
    testsupport::VectorSink sink;
    ZipDecodeJob job{&source, &sink, packed.size(), size, method, flags};
    DecodeStatus status = decoder.Decode(job);
    return {status, std::move(sink.bytes)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 4) {
        return 0;
    }
    static const uint16_t kMethods[8] = {1, 2, 3, 4, 5, 6, 1, 6};
    const uint16_t method = kMethods[data[0] & 7];
    const uint16_t flags = static_cast<uint16_t>((data[0] >> 2) & 6);
    const uint32_t step = data[0] >> 5;
    const uint64_t unpacked = (data[1] | (data[2] << 8) | (data[3] << 16)) & 0x3FFFF;
    const std::vector<uint8_t> packed(data + 4, data + size);

    const Verdict reference = Reference(method, flags, packed, unpacked);
    const Verdict fast = Fast(method, flags, packed, unpacked, UINT32_MAX);
    if (fast.bytes.size() > unpacked || fast.status != reference.status) {
        std::abort();
    }
    if (fast.status == DecodeStatus::Ok &&
        (fast.bytes.size() != unpacked || fast.bytes != reference.bytes)) {
        std::abort();
    }
    if (step != 0) {
        const Verdict stepped = Fast(method, flags, packed, unpacked, step);
        if (stepped.status != fast.status ||
            (fast.status == DecodeStatus::Ok && stepped.bytes != fast.bytes)) {
            std::abort();
        }
    }
    return 0;
}
