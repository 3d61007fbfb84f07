// Canonical Huffman decoding tables of the LZH format.
//
// A table has 2^T direct entries indexed by the next T bits of the stream. Codes longer
// than T bits (at most 16) resolve through a sub-table of 2^(16-T) entries indexed by the
// following 16-T bits. Every entry holds a symbol and the code's full length.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kMaxCodeLength = 16;

namespace lzhhuff
{

constexpr uint32_t kSubTable = 0x80000000u; // entry points at a sub-table
constexpr int kLengthShift = 16;

inline uint32_t Entry(unsigned symbol, unsigned length)
{
    return symbol | (length << kLengthShift);
}
inline unsigned EntrySymbol(uint32_t e)
{
    return e & 0xFFFF;
}
inline unsigned EntryLength(uint32_t e)
{
    return (e >> kLengthShift) & 0x1F;
}

// Entries needed for an alphabet of n symbols with tableBits direct bits.
constexpr size_t TableSize(int n, int tableBits)
{
    return (size_t{1} << tableBits) + static_cast<size_t>(n) * (size_t{1} << (16 - tableBits));
}

} // namespace lzhhuff

// Builds the table for lengths[0..n-1] (each 0-16). False unless the lengths fill the code
// space exactly: the Kraft sum, taken in full width, must be 2^16. An all-zero set fails.
bool BuildDecodeTable(const uint8_t* lengths, int n, int tableBits, uint32_t* table);

// Fills the table with one symbol decoded from zero bits (a count field of 0).
void FillSingleSymbol(unsigned symbol, int tableBits, uint32_t* table);
