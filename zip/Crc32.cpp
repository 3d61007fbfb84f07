// CRC-32: carry-less multiplication folding where the processor has it, slicing-by-8
// otherwise and for the bytes around the folded part.
//
// Folding keeps four 128-bit lanes of the message; each step multiplies a lane by x^512
// mod P (split in two 64-bit halves, each a constant times one half) and adds the next 64
// bytes. The lanes are then folded into one, the 128 bits reduced to 64 and then, by Barrett
// reduction, to the 32-bit remainder. Everything is in the bit-reflected domain of the ZIP
// polynomial, so the constants are reflected too.
#include "zip/Crc32.h"

#include "archive/CarrylessFold.h"

namespace
{

uint32_t SliceBy8(uint32_t c, const uint8_t* p, size_t size)
{
    const auto& t = kCrc32Slices;
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t lo = (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24)) ^ c;
        uint32_t hi = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<uint32_t>(p[7]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (size_t i = 0; i < size; ++i) {
        c = t[0][(c ^ p[i]) & 0xFF] ^ (c >> 8);
    }
    return c;
}

#if defined(__x86_64__)

// Moving a lane D bits on: x^(D-32) and x^(D+32), bit-reflected.
TAVREL_CLMUL __m128i By2048()
{
    return _mm_set_epi64x(0x1322D1430, 0x11542778A);
}
TAVREL_CLMUL __m128i By512()
{
    return _mm_set_epi64x(0x1C6E41596, 0x154442BD4);
}
TAVREL_CLMUL __m128i By128()
{
    return _mm_set_epi64x(0x0CCAA009E, 0x1751997D0);
}

// The folded lane reduced to the 32-bit register.
TAVREL_CLMUL uint32_t Finish(__m128i x1)
{
    const __m128i by16 = By128();
    const __m128i by8 = _mm_set_epi64x(0, 0x163CD6124);               // x^64
    const __m128i barrett = _mm_set_epi64x(0x1F7011641, 0x1DB710641); // mu, P
    const __m128i low32 = _mm_setr_epi32(-1, 0, -1, 0);
    // 128 -> 64 bits, then 64 -> 32 by Barrett reduction.
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, by16, 0x10));
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4),
                       _mm_clmulepi64_si128(_mm_and_si128(x1, low32), by8, 0x00));
    __m128i q = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), barrett, 0x10);
    q = _mm_clmulepi64_si128(_mm_and_si128(q, low32), barrett, 0x00);
    return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, q), 1));
}

// Folds size bytes (at least 64, a multiple of 16) into the running register c.
TAVREL_CLMUL uint32_t Fold(uint32_t c, const uint8_t* p, size_t size)
{
    return Finish(FoldIntoLane(c, p, size, By512(), By128()));
}

// The same for at least 256 bytes.
TAVREL_WIDE_CLMUL uint32_t FoldWide(uint32_t c, const uint8_t* p, size_t size)
{
    return Finish(FoldIntoLaneWide(c, p, size, By2048(), By512(), By128()));
}

#endif

} // namespace

uint32_t Crc32(uint32_t crc, const void* data, size_t size)
{
    if (data == nullptr) {
        return 0;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    uint32_t c = ~crc;
#if defined(__x86_64__)
    if (size >= 64 && HasCarrylessMultiply()) {
        size_t folded = size & ~size_t{15};
        c = folded >= 256 && WideFoldAllowed() ? FoldWide(c, p, folded) : Fold(c, p, folded);
        p += folded;
        size -= folded;
    }
#endif
    return ~SliceBy8(c, p, size);
}
