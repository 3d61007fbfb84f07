// Fuzz target: the -lzs-/-lz5- decoder on arbitrary compressed bytes. Byte 0 picks the
// method (bit 0) and the source's read size (bits 1-7: 0 reads whole, else at most that
// many bytes per read); the rest as CheckOlderDecoder reads it.
#include "fuzz/FuzzTarget.h"
#include "fuzz/OlderDecoderCheck.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/LzhLarcDecoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CLzhLarcDecoder lzs(kMethodLzs);
    static CLzhLarcDecoder lz5(kMethodLz5);
    bool isLz5 = size > 0 && (data[0] & 1) != 0;
    CheckOlderDecoder(data, size, size > 0 ? data[0] >> 1 : 0, isLz5 ? lz5 : lzs);
    return 0;
}
