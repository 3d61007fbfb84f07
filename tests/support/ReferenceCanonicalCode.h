// The canonical prefix codes of the reference decoders of -pm2- and LHARK's -lh7-: each
// symbol's codeword listed as (length, value) by the canonical rule, and decoding that
// reads one bit at a time until the bits read are a codeword.
#pragma once

#include "tests/support/ReferenceBits.h"

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace testsupport
{

struct CanonicalCode
{
    std::map<std::pair<unsigned, uint32_t>, int> symbolOf; // (length, value) -> symbol
    bool single = false;                                   // one symbol, read from zero bits
    int singleSymbol = 0;
};

// The codes by length, then symbol, each the previous plus one, one more bit at each new
// length. False when a length passes 16 or the lengths ask for more codewords than there
// are (their Kraft sum exceeds 1).
inline bool MakeCanonical(const std::vector<unsigned>& lengths, CanonicalCode& code)
{
    uint64_t kraft = 0; // in units of 2^-16
    for (unsigned l : lengths) {
        if (l > 16) {
            return false;
        }
        kraft += l == 0 ? 0 : uint64_t{1} << (16 - l);
    }
    if (kraft > (uint64_t{1} << 16)) {
        return false;
    }
    code = CanonicalCode{};
    uint32_t value = 0;
    for (unsigned l = 1; l <= 16; ++l) {
        for (size_t symbol = 0; symbol < lengths.size(); ++symbol) {
            if (lengths[symbol] == l) {
                code.symbolOf[{l, value}] = static_cast<int>(symbol);
                ++value;
            }
        }
        value <<= 1;
    }
    return true;
}

inline CanonicalCode SingleSymbolCode(int symbol)
{
    CanonicalCode code;
    code.single = true;
    code.singleSymbol = symbol;
    return code;
}

// The symbol next in the stream, or -1 when 16 bits start no codeword.
inline int ReadSymbol(ReferenceBits& bits, const CanonicalCode& code)
{
    if (code.single) {
        return code.singleSymbol;
    }
    uint32_t value = 0;
    for (unsigned l = 1; l <= 16; ++l) {
        value = value << 1 | bits.Bit();
        auto found = code.symbolOf.find({l, value});
        if (found != code.symbolOf.end()) {
            return found->second;
        }
    }
    return -1;
}

} // namespace testsupport
