// Fuzz target: the decoder on arbitrary compressed bytes. The first byte picks the dictionary
// ("-lh5-", "-lh6-", "-lh7-", "-lh4-" or "-lhx-"), the next two the size to produce (up to
// 64 KB); the result must match the reference decoder's: the same flag, CRC and bytes.
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhDecoder.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceLzhDecoder.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    static const int kDictBits[] = {13, 15, 16, 12, 19};
    int dictBits = kDictBits[data[0] % 5];
    uint32_t unpacked = data[1] | (data[2] << 8);
    std::vector<uint8_t> packed(data + 3, data + size);

    static CLzhDecoder decoder;
    testsupport::MemorySource source(packed.data(), packed.size());
    testsupport::VectorSink sink;
    bool ok = false;
    uint16_t crc =
        decoder.Decode(source, &sink, static_cast<uint32_t>(packed.size()), unpacked, dictBits, ok);
    auto reference = testsupport::ReferenceLzhDecode(packed, unpacked, dictBits);
    if (unpacked == 0) {
        return 0;
    }
    if (ok != reference.ok || crc != reference.crc || (ok && sink.bytes != reference.output)) {
        std::abort();
    }
    return 0;
}
