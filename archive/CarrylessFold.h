// Folding a message into one 16-byte lane by carry-less multiplication, for the long runs of
// both CRCs (x86-64 with PCLMULQDQ and SSE4.1, checked at run time). A lane moved D bits on
// along the message is multiplied by x^D modulo the CRC's polynomial: two 64-bit products,
// one per half, whose constants each CRC works out for its own bit order. Each CRC finishes
// the folded lane in its own way.
#pragma once

#if defined(__x86_64__)

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#define TAVREL_CLMUL __attribute__((target("pclmul,sse4.1")))

inline bool HasCarrylessMultiply()
{
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}

TAVREL_CLMUL inline __m128i LoadLane(const uint8_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// lane moved on by the constant k (its two halves' multipliers), plus next.
TAVREL_CLMUL inline __m128i FoldLane(__m128i lane, __m128i k, __m128i next)
{
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00), _mm_clmulepi64_si128(lane, k, 0x11)),
        next);
}

// The running register c and count bytes at p (at least 64, a multiple of 16) folded into one
// lane: four lanes take 64 bytes per step (moved on by by512), are folded into one (by128),
// which then takes the rest 16 bytes at a time.
TAVREL_CLMUL inline __m128i FoldIntoLane(uint32_t c, const uint8_t* p, size_t count, __m128i by512,
                                         __m128i by128)
{
    __m128i x1 = _mm_xor_si128(LoadLane(p), _mm_cvtsi32_si128(static_cast<int>(c)));
    __m128i x2 = LoadLane(p + 16), x3 = LoadLane(p + 32), x4 = LoadLane(p + 48);
    p += 64;
    count -= 64;
    for (; count >= 64; p += 64, count -= 64) {
        x1 = FoldLane(x1, by512, LoadLane(p));
        x2 = FoldLane(x2, by512, LoadLane(p + 16));
        x3 = FoldLane(x3, by512, LoadLane(p + 32));
        x4 = FoldLane(x4, by512, LoadLane(p + 48));
    }
    x1 = FoldLane(x1, by128, x2);
    x1 = FoldLane(x1, by128, x3);
    x1 = FoldLane(x1, by128, x4);
    for (; count >= 16; p += 16, count -= 16) {
        x1 = FoldLane(x1, by128, LoadLane(p));
    }
    return x1;
}

#endif
