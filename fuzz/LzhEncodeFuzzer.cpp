// Fuzz target: arbitrary bytes encoded with the method the first byte picks, which must give
// the reference encoder's bytes exactly, then decoded back; the bytes must match unless the
// encoder reported that they do not shrink. The bytes repeated to 40-80 KB (each copy marked
// with its number) and encoded with "-lh5-" on two threads in 16 KB segments must give the
// reference encoder's bytes too.
#include "fuzz/FuzzTarget.h"
#include "lzh/Crc16.h"
#include "lzh/LzhEncoder.h"
#include "lzh/LzhMethods.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceLzhEncoder.h"

#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    static const int kMethods[] = {5, 6, 7};
    int method = kMethods[data[0] % 3];
    std::vector<uint8_t> input(data + 1, data + size);
    // Repetition makes long matches and several blocks reachable from short inputs.
    unsigned copies = 1 + (data[0] >> 2) % 8;
    for (unsigned i = 1; i < copies; ++i) {
        input.insert(input.end(), data + 1, data + size);
    }

    static CLzhEncoder encoder;
    testsupport::MemorySource source(input);
    testsupport::VectorSink packed;
    LzhEncodeResult r = encoder.Encode(source, packed, static_cast<uint32_t>(input.size()), method);
    if (r.crc != Crc16Update(0, input.data(), static_cast<long>(input.size())) && !r.cannotShrink) {
        std::abort();
    }
    if (r.packedSize != packed.bytes.size() && !r.cannotShrink) {
        std::abort();
    }
    testsupport::ReferenceEncodeResult reference = testsupport::ReferenceLzhEncode(input, method);
    if (reference.cannotShrink != r.cannotShrink || reference.bytes != packed.bytes) {
        std::abort();
    }

    std::vector<uint8_t> longer;
    const size_t wanted = 41216 + (data[0] * 157u + size) % 40000;
    for (unsigned copy = 0; longer.size() < wanted; ++copy) {
        const size_t at = longer.size();
        longer.insert(longer.end(), data + 1, data + size);
        longer[at] = static_cast<uint8_t>(longer[at] ^ copy);
    }
    longer.resize(wanted);
    testsupport::MemorySource longSource(longer);
    testsupport::VectorSink longPacked;
    LzhEncodeResult onThreads =
        encoder.Encode(longSource, longPacked, static_cast<uint32_t>(wanted), 5, {2, 16384, 0});
    testsupport::ReferenceEncodeResult longReference = testsupport::ReferenceLzhEncode(longer, 5);
    if (longReference.cannotShrink != onThreads.cannotShrink ||
        longReference.bytes != longPacked.bytes) {
        std::abort();
    }
    if (r.cannotShrink) {
        if (r.packedSize != input.size()) {
            std::abort();
        }
        return 0;
    }
    testsupport::MemorySource back(packed.bytes);
    testsupport::VectorSink output;
    LzhDecodeResult d = LzhThreadDecoder(*LzhMethodByNumber(method))
                            ->Decode({&back, &output, r.packedSize, input.size()});
    if (d.status != DecodeStatus::Ok || d.crc != r.crc || output.bytes != input) {
        std::abort();
    }
    return 0;
}
