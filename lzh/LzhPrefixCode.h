// LzhPrefixCode: a canonical prefix code of PMarc's -pm2- or LHARK's -lh7- for decoding,
// built from its code lengths (0: no code) or as one symbol read from zero bits. Codewords
// go by increasing length and, within a length, by increasing symbol, read most significant
// bit first. A code may be incomplete: bit strings that start no codeword decode to
// kNoSymbol; an over-full one is refused.
#pragma once

#include <cstdint>

struct LzhPrefixCode
{
    static constexpr unsigned kMaxLength = 16;    // longer codes are refused
    static constexpr unsigned kMaxSymbols = 289;  // LHARK's main alphabet, the largest
    static constexpr unsigned kMaxTableBits = 12; // direct entries: 2^tableBits at most
    static constexpr unsigned kNoSymbol = 0x7FF;

    // lengths[0..n) (n <= kMaxSymbols), each 0-kMaxLength; false when one is longer or the
    // code is over-full (its Kraft sum exceeds 1). tableBits (1-kMaxTableBits): how many
    // bits the direct table resolves; longer codes take a walk over the lengths above it.
    bool Build(const uint8_t* lengths, unsigned n, unsigned tableBits);
    // Every bit string decodes to symbol (kNoSymbol allowed) from zero bits.
    void BuildSingle(unsigned symbol, unsigned tableBits);

    // The symbol the bits (most significant first, at least kMaxLength of them valid)
    // start with, and its code length in length; kNoSymbol when they start no codeword.
    unsigned Decode(uint64_t bits, unsigned& length) const
    {
        unsigned e = table[bits >> (64 - tableBits)];
        if (e == kWalk) {
            return DecodeLong(bits, length);
        }
        length = e & 0x1F;
        return e >> 5;
    }
    unsigned DecodeLong(uint64_t bits, unsigned& length) const;

    // A direct entry: symbol << 5 | code length, or kWalk where no code of at most
    // tableBits bits starts the index (a longer one may).
    static constexpr uint16_t kWalk = 0xFFFF;
    uint16_t table[1u << kMaxTableBits];
    unsigned tableBits;              // direct bits of this code
    uint32_t first[kMaxLength + 1];  // first codeword of each length
    uint16_t count[kMaxLength + 1];  // codewords of each length
    uint16_t offset[kMaxLength + 1]; // index in sorted of each length's first symbol
    uint16_t sorted[kMaxSymbols];    // the symbols with a code, by length then value
};
