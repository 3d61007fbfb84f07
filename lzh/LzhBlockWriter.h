// The encoder's token buffer and block coding: literals and matches are collected with
// their symbol counts, and a full buffer becomes one static-Huffman block.
//
// Token buffer: groups of up to eight tokens, each led by a flag byte whose bit 0x80 marks
// the first token as a match, 0x40 the second, and so on. A literal is one byte; a match is
// three: length - 3, then the position code (distance - 1) high and low byte.
#pragma once

#include "lzh/LzhBitWriter.h"
#include "lzh/LzhHuffmanBuilder.h"

#include <cstdint>

class CLzhBlockWriter
{
public:
    void Start(int dictBits, ByteSink* sink, uint32_t cap);
    // Appends a literal byte, sending a block first when the buffer is full.
    void PutLiteral(uint8_t byte);
    // Appends a match of `length` (3-256) at position code `position` (distance - 1).
    void PutMatch(unsigned length, unsigned position);
    // Sends the last block and flushes the output, unless the output already reached the cap.
    void Finish();

    CLzhBitWriter bits;

private:
    bool OpenToken(); // false when the output reached the cap
    void SendBlock();
    void WriteLiteralLengths(const HuffmanCode& preTree);
    void WriteLengthSection(const uint8_t* lengths, int n, unsigned width, int special);
    void WriteTokens(unsigned count);

    static constexpr uint32_t kTokenBufferSize = 32768;
    static constexpr uint32_t kTokenBufferLimit = kTokenBufferSize - 24;
    int m_positionAlphabet = 14;
    unsigned m_positionWidth = 4;
    uint8_t m_tokens[kTokenBufferSize];
    uint32_t m_index = 0;     // write index
    uint32_t m_flagIndex = 0; // index of the current flag byte
    unsigned m_flagBit = 0;
    uint16_t m_literalCounts[510];
    uint16_t m_positionCounts[17];
    HuffmanCode m_literal;
    HuffmanCode m_position;
};
