// Building LzhPrefixCode's tables: a counting sort of the symbols by length, the canonical
// first codeword of each length, and the direct entries of the codes up to tableBits long.
#include "lzh/LzhPrefixCode.h"

#include <algorithm>

bool LzhPrefixCode::Build(const uint8_t* lengths, unsigned n, unsigned tableBits_)
{
    tableBits = tableBits_;
    std::fill(count, count + kMaxLength + 1, uint16_t{0});
    for (unsigned k = 0; k < n; ++k) {
        if (lengths[k] > kMaxLength) {
            return false;
        }
        ++count[lengths[k]];
    }
    count[0] = 0;
    // Codewords left at each length; none may be wanting. At most 2^16, so no overflow.
    int32_t left = 1;
    for (unsigned l = 1; l <= kMaxLength; ++l) {
        left = 2 * left - count[l];
        if (left < 0) {
            return false;
        }
    }
    uint32_t code = 0;
    uint16_t at = 0;
    for (unsigned l = 1; l <= kMaxLength; ++l) {
        code = (code + count[l - 1]) << 1;
        first[l] = code;
        offset[l] = at;
        at = static_cast<uint16_t>(at + count[l]);
    }
    uint16_t next[kMaxLength + 1];
    std::copy(offset, offset + kMaxLength + 1, next);
    for (unsigned k = 0; k < n; ++k) {
        if (lengths[k] != 0) {
            sorted[next[lengths[k]]++] = static_cast<uint16_t>(k);
        }
    }
    const uint32_t size = 1u << tableBits;
    std::fill(table, table + size, kWalk);
    for (unsigned l = 1; l <= tableBits && l <= kMaxLength; ++l) {
        const uint32_t span = 1u << (tableBits - l);
        for (unsigned i = 0; i < count[l]; ++i) {
            // Within the Kraft sum, so (first + i + 1) * span <= size.
            uint32_t from = (first[l] + i) * span;
            auto e = static_cast<uint16_t>(sorted[offset[l] + i] << 5 | l);
            std::fill(table + from, table + from + span, e);
        }
    }
    return true;
}

void LzhPrefixCode::BuildSingle(unsigned symbol, unsigned tableBits_)
{
    tableBits = tableBits_;
    std::fill(table, table + (1u << tableBits), static_cast<uint16_t>(symbol << 5));
}

unsigned LzhPrefixCode::DecodeLong(uint64_t bits, unsigned& length) const
{
    for (unsigned l = tableBits + 1; l <= kMaxLength; ++l) {
        auto code = static_cast<uint32_t>(bits >> (64 - l));
        if (code - first[l] < count[l]) { // wraps for code < first[l]
            length = l;
            return sorted[offset[l] + code - first[l]];
        }
    }
    return kNoSymbol;
}
