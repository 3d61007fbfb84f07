// Fuzz target: PMarc's -pm2- decoder on arbitrary compressed bytes against the reference
// decoder, as CheckMethodDecoder reads them.
#include "fuzz/FuzzTarget.h"
#include "fuzz/MethodDecoderCheck.h"
#include "lzh/LzhPm2Decoder.h"
#include "tests/support/ReferencePmarcDecoder.h"

#include <tuple>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CLzhPm2Decoder decoder;
    CheckMethodDecoder(
        decoder, data, size, [](const std::vector<uint8_t>& packed, uint32_t unpacked) {
            testsupport::ReferencePmarcResult r = testsupport::ReferencePm2Decode(packed, unpacked);
            return std::make_tuple(testsupport::StatusOf(r.error), r.output, r.crc);
        });
    return 0;
}
