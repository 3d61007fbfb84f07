// Fuzz target: the decoder on arbitrary compressed bytes. The first byte picks the dictionary
// ("-lh5-", "-lh6-", "-lh7-", "-lh4-" or "-lhx-"), the next two the size to produce (up to
// 64 KB); the result must match the reference decoder's: the same outcome, CRC and bytes, and
// data that end early must read as truncated.
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhDecoder.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceLzhDecoder.h"

#include <cstdio>
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

    static CLzhDecoder decoders[5] = {CLzhDecoder(13), CLzhDecoder(15), CLzhDecoder(16),
                                      CLzhDecoder(12), CLzhDecoder(19)};
    CLzhDecoder& decoder = decoders[data[0] % 5];
    testsupport::MemorySource source(packed.data(), packed.size());
    testsupport::VectorSink sink;
    LzhDecodeResult r = decoder.Decode({&source, &sink, packed.size(), unpacked});
    auto reference = testsupport::ReferenceLzhDecode(packed, unpacked, dictBits);
    if (unpacked == 0) {
        return 0;
    }
    bool ok = r.status == DecodeStatus::Ok;
    if (ok != reference.ok || (ok && (r.crc != reference.crc || sink.bytes != reference.output)) ||
        (reference.rule == testsupport::ReferenceLzhRule::DataEnded &&
         r.status != DecodeStatus::Truncated)) {
        std::fprintf(stderr, "decoder: %s, reference: %s\n", DecodeStatusName(r.status),
                     testsupport::ReferenceLzhRuleName(reference.rule));
        std::abort();
    }
    return 0;
}
