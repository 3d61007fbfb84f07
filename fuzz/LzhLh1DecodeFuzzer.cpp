// Fuzz target: the -lh1- decoder on arbitrary compressed bytes (every bit string is a
// stream, so the adaptive tree is driven through every path). Byte 0 gives the source's read
// size (0 reads whole, else at most that many bytes per read); the rest as
// CheckOlderDecoder reads it.
#include "fuzz/FuzzTarget.h"
#include "fuzz/OlderDecoderCheck.h"
#include "lzh/LzhLh1Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CLzhLh1Decoder decoder;
    CheckOlderDecoder(data, size, size > 0 ? data[0] : 0, decoder);
    return 0;
}
