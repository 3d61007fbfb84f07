// CRC-16/ARC: carry-less multiplication folding where the processor has it, slicing-by-8
// otherwise and for the bytes around the folded part.
//
// Folding works on the message as a polynomial over GF(2), first bit highest: a 16-byte
// lane loaded little-endian holds 128 coefficients, bit k of the lane standing for
// x^(127-k). Moving a lane D bits further along the message multiplies it by x^D, which
// modulo P (x^16 + x^15 + x^2 + 1) is two 64 x 16-bit products, one per lane half. Four
// lanes fold 64 bytes per step. The last lane is a 16-byte message with the same remainder
// as everything folded into it, so the byte table finishes the CRC from it.
#include "lzh/Crc16.h"

#include "archive/CarrylessFold.h"

namespace
{

uint32_t SliceBy8(uint32_t c, const uint8_t* p, size_t count)
{
    const auto& t = kCrc16Slices;
    for (; count >= 8; count -= 8, p += 8) {
        // Little-endian assembly keeps the byte order independent of the host.
        uint32_t lo = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        lo ^= c;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (size_t i = 0; i < count; ++i) {
        c = t[0][(c ^ p[i]) & 0xFF] ^ (c >> 8);
    }
    return c;
}

#if defined(__x86_64__)

// x^n mod P with bit m standing for x^m.
constexpr uint32_t PowerModP(unsigned n)
{
    uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        r ^= (r & 0x10000) ? 0x18005 : 0;
    }
    return r;
}

// A residue as a 64-bit multiplier in the lane's order: x^m at bit 63 - m. The product of
// two such 64-bit values lands with x^j at bit 126 - j of the 128-bit result, one place
// short of the lane's order; each constant carries one power of x less to make up for it.
constexpr uint64_t Multiplier(uint32_t residue)
{
    uint64_t v = 0;
    for (unsigned m = 0; m < 16; ++m) {
        v |= static_cast<uint64_t>((residue >> m) & 1) << (63 - m);
    }
    return v;
}

// Moving a lane D bits on: its low half (x^127..x^64) by x^(D+64), its high half by x^D.
constexpr uint64_t kBy2048Low = Multiplier(PowerModP(2048 + 64 - 1));
constexpr uint64_t kBy2048High = Multiplier(PowerModP(2048 - 1));
constexpr uint64_t kBy512Low = Multiplier(PowerModP(512 + 64 - 1));
constexpr uint64_t kBy512High = Multiplier(PowerModP(512 - 1));
constexpr uint64_t kBy128Low = Multiplier(PowerModP(128 + 64 - 1));
constexpr uint64_t kBy128High = Multiplier(PowerModP(128 - 1));

TAVREL_CLMUL __m128i Constant(uint64_t high, uint64_t low)
{
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

// The folded lane, a 16-byte message with the remainder of everything folded into it.
TAVREL_CLMUL uint32_t Finish(__m128i x1)
{
    alignas(16) uint8_t rest[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(rest), x1);
    return SliceBy8(0, rest, sizeof rest);
}

// Folds count bytes (at least 64, a multiple of 16) and continues the register c with them.
// A running register is the same as its value added to the first two message bytes.
TAVREL_CLMUL uint32_t Fold(uint32_t c, const uint8_t* p, size_t count)
{
    return Finish(FoldIntoLane(c, p, count, Constant(kBy512High, kBy512Low),
                               Constant(kBy128High, kBy128Low)));
}

// The same for at least 256 bytes.
TAVREL_WIDE_CLMUL uint32_t FoldWide(uint32_t c, const uint8_t* p, size_t count)
{
    return Finish(FoldIntoLaneWide(c, p, count, Constant(kBy2048High, kBy2048Low),
                                   Constant(kBy512High, kBy512Low),
                                   Constant(kBy128High, kBy128Low)));
}

#endif

} // namespace

uint16_t Crc16Update(uint16_t crc, const void* bytes, long count)
{
    if (count <= 0) {
        return crc;
    }
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t c = crc;
    auto size = static_cast<size_t>(count);
#if defined(__x86_64__)
    if (size >= 64 && HasCarrylessMultiply()) {
        size_t folded = size & ~size_t{15};
        c = folded >= 256 && WideFoldAllowed() ? FoldWide(c, p, folded) : Fold(c, p, folded);
        p += folded;
        size -= folded;
    }
#endif
    return static_cast<uint16_t>(SliceBy8(c, p, size));
}
