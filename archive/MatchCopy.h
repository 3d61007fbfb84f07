// The match copy of the LZ77 decoders: length bytes from distance back, with the meaning of
// a byte-by-byte copy (an overlapping match repeats its pattern). It copies whole 8- or
// 16-byte words and so may write up to kCopyOverrun - 1 bytes past out + length, which the
// callers' windows leave room for.
#pragma once

#include <cstdint>
#include <cstring>

constexpr uint32_t kCopyOverrun = 32;

namespace matchcopy
{

inline void Copy8(uint8_t* to, const uint8_t* from)
{
    uint64_t v;
    std::memcpy(&v, from, 8);
    std::memcpy(to, &v, 8);
}

inline void Copy16(uint8_t* to, const uint8_t* from)
{
    uint64_t v[2];
    std::memcpy(v, from, 16);
    std::memcpy(to, v, 16);
}

// For distances 2-7: the smallest multiple of the distance that is at least 8. The output
// repeats with the distance's period, so copying from that far back gives the same bytes.
constexpr uint8_t kPatternStep[8] = {0, 0, 8, 9, 8, 10, 12, 14};

} // namespace matchcopy

// Needs distance >= 1 and the distance bytes before out readable.
inline void CopyMatch(uint8_t* out, uint32_t distance, uint32_t length)
{
    using namespace matchcopy;
    const uint8_t* from = out - distance;
    if (distance >= 16) {
        // Each 16-byte step reads only bytes before the ones it writes. Most matches are
        // shorter than 32 bytes: two steps without a test.
        Copy16(out, from);
        Copy16(out + 16, from + 16);
        for (uint32_t n = 32; n < length; n += 16) {
            Copy16(out + n, from + n);
        }
        return;
    }
    if (distance >= 8) {
        for (uint32_t n = 0; n < length; n += 8) {
            Copy8(out + n, from + n);
        }
        return;
    }
    if (distance == 1) {
        uint64_t v = *from * uint64_t{0x0101010101010101};
        for (uint32_t n = 0; n < length; n += 8) {
            std::memcpy(out + n, &v, 8);
        }
        return;
    }
    // Bytes one by one until position n can copy from n - step (step >= 8 and a multiple of
    // the distance, so n - step lies at or after the pattern's start), then whole words.
    const uint32_t step = kPatternStep[distance];
    const uint32_t head = step - distance < length ? step - distance : length;
    uint32_t n = 0;
    for (; n < head; ++n) {
        out[n] = from[n];
    }
    for (; n < length; n += 8) {
        Copy8(out + n, out + n - step);
    }
}
