// Canonical Huffman decoding tables of the LZH format.
//
// A table has 2^T direct entries indexed by the next T bits of the stream. Codes longer
// than T bits (at most 16) resolve through a sub-table of 2^(16-T) entries indexed by the
// following 16-T bits. The builder hands every code's symbol and full length to a function
// that makes the entry, so that each caller packs what its decoding loop needs; an entry
// that points at a sub-table is made by another.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kMaxCodeLength = 16;
constexpr int kMaxHuffmanAlphabet = 510;

namespace lzhhuff
{

// The plain 16-bit entry of the pre-tree and literal/length tables: the code length in bits
// 0-4 (so that it is the shift count as it stands), the symbol in bits 5-13; with bit 15
// set, the index of the sub-table in bits 0-14.
constexpr uint16_t kSubTable = 0x8000;
constexpr int kSymbolShift = 5;

inline uint16_t Entry(unsigned symbol, unsigned length)
{
    return static_cast<uint16_t>(length | (symbol << kSymbolShift));
}
inline unsigned EntrySymbol(uint32_t e)
{
    return e >> kSymbolShift;
}
inline unsigned EntryLength(uint32_t e)
{
    return e & 0x1F;
}
inline unsigned SubTableIndex(uint32_t e)
{
    return e & 0x7FFF;
}

// Entries needed for an alphabet of n symbols with tableBits direct bits: each long code's
// prefix has its own sub-table, and there are fewer prefixes than symbols.
constexpr size_t TableSize(int n, int tableBits)
{
    return (size_t{1} << tableBits) + static_cast<size_t>(n) * (size_t{1} << (16 - tableBits));
}

// The symbols with a code, by length and then by value, with the count of each length;
// false unless the lengths (each 0-16) fill the code space exactly: the Kraft sum, taken
// in full width, must be 2^16. An all-zero set fails.
struct SortedCode
{
    uint32_t count[kMaxCodeLength + 1];
    uint16_t symbols[kMaxHuffmanAlphabet];
};
bool SortCode(const uint8_t* lengths, int n, SortedCode& code);

// n copies of e; n is a power of two, filled eight entries per step from 8 on.
template <typename T> inline void FillRun(T* to, uint32_t n, T e)
{
    if (n >= 8) {
        T eight[8] = {e, e, e, e, e, e, e, e};
        for (uint32_t k = 0; k < n; k += 8) {
            __builtin_memcpy(to + k, eight, sizeof eight);
        }
        return;
    }
    for (uint32_t k = 0; k < n; ++k) {
        to[k] = e;
    }
}

// Read most significant bit first, the codes of a complete set cover the table's index
// space in order: the direct entries of the short codes one span after the other, then
// the prefixes of the long codes, whose sub-tables follow each other in the same order.
template <typename T, typename Make, typename MakeSub>
void FillTable(const SortedCode& code, int tableBits, T* table, Make make, MakeSub makeSub)
{
    const uint32_t size = 1u << tableBits;
    uint32_t at = 0;
    const uint16_t* symbol = code.symbols;
    for (int l = 1; l <= tableBits; ++l) {
        const uint32_t span = size >> l;
        for (uint32_t i = 0; i < code.count[l]; ++i, at += span) {
            FillRun(table + at, span, make(*symbol++, static_cast<unsigned>(l)));
        }
    }
    const uint32_t subSize = 1u << (kMaxCodeLength - tableBits);
    for (uint32_t prefix = at, sub = size; prefix < size; ++prefix, sub += subSize) {
        table[prefix] = makeSub(sub);
    }
    uint32_t sub = size;
    for (int l = tableBits + 1; l <= kMaxCodeLength; ++l) {
        const uint32_t span = 1u << (kMaxCodeLength - l);
        for (uint32_t i = 0; i < code.count[l]; ++i, sub += span) {
            FillRun(table + sub, span, make(*symbol++, static_cast<unsigned>(l)));
        }
    }
}

} // namespace lzhhuff

// Builds a table of plain entries for lengths[0..n-1] (n <= 510); false as SortCode.
bool BuildDecodeTable(const uint8_t* lengths, int n, int tableBits, uint16_t* table);

// Fills a table of plain entries with one symbol decoded from zero bits (a count field of 0).
void FillSingleSymbol(unsigned symbol, int tableBits, uint16_t* table);
