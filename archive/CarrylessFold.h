// Folding a message into one 16-byte lane by carry-less multiplication, for the long runs of
// both CRCs (x86-64 with PCLMULQDQ and SSE4.1, checked at run time; with AVX-512 and
// VPCLMULQDQ four lanes are multiplied by one instruction, 256 bytes per step). A lane moved D bits
// on along the message is multiplied by x^D modulo the CRC's polynomial: two 64-bit products, one
// per half, whose constants each CRC works out for its own bit order. Each CRC finishes the folded
// lane in its own way.
#pragma once

#if defined(__x86_64__)

#include <cstddef>
#include <cstdint>
#include <immintrin.h>

#define TAVREL_CLMUL __attribute__((target("pclmul,sse4.1")))

#define TAVREL_WIDE_CLMUL __attribute__((target("pclmul,sse4.1,avx512f,avx512vl,vpclmulqdq")))

inline bool HasCarrylessMultiply()
{
    static const bool has = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return has;
}

// Whether the wide fold may be used: the processor has it, and tests have not turned it off
// to try the narrow one.
inline bool& WideFoldAllowed()
{
    static bool allowed = HasCarrylessMultiply() && __builtin_cpu_supports("avx512f") &&
                          __builtin_cpu_supports("avx512vl") &&
                          __builtin_cpu_supports("vpclmulqdq");
    return allowed;
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

TAVREL_WIDE_CLMUL inline __m512i LoadLanes(const uint8_t* p)
{
    return _mm512_loadu_si512(p);
}

// Four lanes at once: each 128-bit quarter of the register moved on by k, plus next.
TAVREL_WIDE_CLMUL inline __m512i FoldLanes(__m512i lanes, __m512i k, __m512i next)
{
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(lanes, k, 0x00),
                                     _mm512_clmulepi64_epi128(lanes, k, 0x11), next, 0x96);
}

// FoldIntoLane for at least 256 bytes (a multiple of 16): sixteen lanes in four registers
// take 256 bytes per step (moved on by by2048), are folded into one register of four (by512),
// which takes the rest 64 bytes at a time; its four lanes are then folded into one (by128).
TAVREL_WIDE_CLMUL inline __m128i FoldIntoLaneWide(uint32_t c, const uint8_t* p, size_t count,
                                                  __m128i by2048, __m128i by512, __m128i by128)
{
    __m512i z1 = _mm512_xor_si512(LoadLanes(p),
                                  _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(c))));
    __m512i z2 = LoadLanes(p + 64), z3 = LoadLanes(p + 128), z4 = LoadLanes(p + 192);
    p += 256;
    count -= 256;
    const __m512i k2048 = _mm512_maskz_broadcast_i32x4(0xFFFF, by2048);
    for (; count >= 256; p += 256, count -= 256) {
        z1 = FoldLanes(z1, k2048, LoadLanes(p));
        z2 = FoldLanes(z2, k2048, LoadLanes(p + 64));
        z3 = FoldLanes(z3, k2048, LoadLanes(p + 128));
        z4 = FoldLanes(z4, k2048, LoadLanes(p + 192));
    }
    const __m512i k512 = _mm512_maskz_broadcast_i32x4(0xFFFF, by512);
    z1 = FoldLanes(z1, k512, z2);
    z1 = FoldLanes(z1, k512, z3);
    z1 = FoldLanes(z1, k512, z4);
    for (; count >= 64; p += 64, count -= 64) {
        z1 = FoldLanes(z1, k512, LoadLanes(p));
    }
    __m128i x1 = _mm512_maskz_extracti32x4_epi32(0xF, z1, 0);
    x1 = FoldLane(x1, by128, _mm512_maskz_extracti32x4_epi32(0xF, z1, 1));
    x1 = FoldLane(x1, by128, _mm512_maskz_extracti32x4_epi32(0xF, z1, 2));
    x1 = FoldLane(x1, by128, _mm512_maskz_extracti32x4_epi32(0xF, z1, 3));
    for (; count >= 16; p += 16, count -= 16) {
        x1 = FoldLane(x1, by128, LoadLane(p));
    }
    return x1;
}

#endif
