// Canonical code assignment: codes are handed out by increasing length and, within one
// length, by increasing symbol, the first code of each length following the last of the
// shorter ones.
#include "lzh/LzhHuffman.h"

using namespace lzhhuff;

bool BuildDecodeTable(const uint8_t* lengths, int n, int tableBits, uint32_t* table)
{
    unsigned count[kMaxCodeLength + 1] = {};
    for (int k = 0; k < n; ++k) {
        if (lengths[k] > kMaxCodeLength) {
            return false;
        }
        ++count[lengths[k]];
    }
    uint32_t space = 0;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        space += count[l] << (kMaxCodeLength - l);
    }
    if (space != (1u << kMaxCodeLength)) {
        return false;
    }

    // next[l]: the first code of length l (count[0] holds unused symbols, not codes).
    uint32_t next[kMaxCodeLength + 1] = {};
    uint32_t code = 0;
    for (int l = 2; l <= kMaxCodeLength; ++l) {
        code = (code + count[l - 1]) << 1;
        next[l] = code;
    }
    const int subBits = 16 - tableBits;
    size_t nextSub = size_t{1} << tableBits;
    uint32_t lastPrefix = UINT32_MAX;
    for (int l = 1; l <= kMaxCodeLength; ++l) {
        if (count[l] == 0) {
            continue;
        }
        for (int k = 0; k < n; ++k) {
            if (lengths[k] != l) {
                continue;
            }
            uint32_t c = next[l]++;
            if (l <= tableBits) {
                uint32_t first = c << (tableBits - l);
                uint32_t span = 1u << (tableBits - l);
                for (uint32_t i = 0; i < span; ++i) {
                    table[first + i] = Entry(static_cast<unsigned>(k), static_cast<unsigned>(l));
                }
                continue;
            }
            uint32_t prefix = c >> (l - tableBits);
            if (prefix != lastPrefix) {
                // Codes come in canonical order, so the long codes of one prefix are
                // consecutive and together fill its sub-table.
                lastPrefix = prefix;
                table[prefix] = kSubTable | static_cast<uint32_t>(nextSub);
                nextSub += size_t{1} << subBits;
            }
            uint32_t base = table[prefix] & 0xFFFF;
            uint32_t low = c & ((1u << (l - tableBits)) - 1);
            uint32_t first = low << (kMaxCodeLength - l);
            uint32_t span = 1u << (kMaxCodeLength - l);
            for (uint32_t i = 0; i < span; ++i) {
                table[base + first + i] = Entry(static_cast<unsigned>(k), static_cast<unsigned>(l));
            }
        }
    }
    return true;
}

void FillSingleSymbol(unsigned symbol, int tableBits, uint32_t* table)
{
    for (size_t i = 0; i < (size_t{1} << tableBits); ++i) {
        table[i] = Entry(symbol, 0);
    }
}
