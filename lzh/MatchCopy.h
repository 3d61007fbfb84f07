// The match copy of the LZ77 decoders: length bytes from distance back, with the meaning of
// a byte-by-byte copy (an overlapping match repeats its pattern). It may write up to 7
// bytes past out + length, which the callers' windows leave room for.
#pragma once

#include <cstdint>
#include <cstring>

inline void CopyMatch(uint8_t* out, uint32_t distance, uint32_t length)
{
    const uint8_t* from = out - distance;
    if (distance >= 8) {
        for (uint32_t n = 0; n < length; n += 8) {
            std::memcpy(out + n, from + n, 8);
        }
    } else if (distance == 1) {
        std::memset(out, *from, length);
    } else {
        for (uint32_t n = 0; n < length; ++n) {
            out[n] = from[n];
        }
    }
}
