// Fuzz target: LHARK's -lh7- decoder on arbitrary compressed bytes against the reference
// decoder, as CheckMethodDecoder reads them.
#include "fuzz/FuzzTarget.h"
#include "fuzz/MethodDecoderCheck.h"
#include "lzh/LzhLk7Decoder.h"
#include "tests/support/ReferenceLk7Decoder.h"

#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CLzhLk7Decoder decoder;
    CheckMethodDecoder(
        decoder, data, size, [](const std::vector<uint8_t>& packed, uint32_t unpacked) {
            testsupport::ReferenceLk7Result r = testsupport::ReferenceLk7Decode(packed, unpacked);
            return std::make_tuple(testsupport::StatusOf(r.error), r.output, r.crc);
        });
    return 0;
}
