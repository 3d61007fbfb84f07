// Length-limited Huffman codes for the LZH encoder.
//
// The tree is built with a min-heap in the classic LHa manner; depths are then limited to
// 16 and the lengths handed out by the order in which leaves left the heap, so the least
// frequent symbols receive the longest codes. Codes are canonical, as the decoder assumes.
#pragma once

#include <cstdint>

constexpr int kMaxHuffmanSymbols = 510;

struct HuffmanCode
{
    uint8_t lengths[kMaxHuffmanSymbols]; // 0 for symbols that do not occur
    uint16_t codes[kMaxHuffmanSymbols];  // left-justified in 16 bits
};

// Builds the code for counts[0..n-1] (n <= 510). Returns the root: a node number >= n when
// two or more symbols occur, else the only symbol (0 when none), whose code has length 0.
// rootCount receives the root's count (the number of tokens the code covers).
int BuildHuffmanCode(const uint16_t* counts, int n, HuffmanCode& code, uint16_t& rootCount);
