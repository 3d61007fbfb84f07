// Canonical code assignment: codes are handed out by increasing length and, within one
// length, by increasing symbol, the first code of each length following the last of the
// shorter ones.
#include "lzh/LzhHuffman.h"

using namespace lzhhuff;

bool lzhhuff::SortCode(const uint8_t* lengths, int n, SortedCode& code)
{
    if (n > kMaxHuffmanAlphabet) {
        return false;
    }
    uint32_t* count = code.count;
    for (int l = 0; l <= kMaxCodeLength; ++l) {
        count[l] = 0;
    }
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
    // A counting sort: next[l] is where the next symbol of length l goes.
    uint32_t next[kMaxCodeLength + 1];
    next[1] = 0;
    for (int l = 1; l < kMaxCodeLength; ++l) {
        next[l + 1] = next[l] + count[l];
    }
    for (int k = 0; k < n; ++k) {
        if (lengths[k] != 0) {
            code.symbols[next[lengths[k]]++] = static_cast<uint16_t>(k);
        }
    }
    return true;
}

bool BuildDecodeTable(const uint8_t* lengths, int n, int tableBits, uint16_t* table)
{
    SortedCode code;
    if (!SortCode(lengths, n, code)) {
        return false;
    }
    FillTable(code, tableBits, table, Entry,
              [](uint32_t sub) { return static_cast<uint16_t>(kSubTable | sub); });
    return true;
}

void FillSingleSymbol(unsigned symbol, int tableBits, uint16_t* table)
{
    FillRun(table, 1u << tableBits, Entry(symbol, 0));
}
