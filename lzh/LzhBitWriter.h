// The encoder's bit output: bits most significant first into whole bytes, buffered and
// written to the sink in 32 KB blocks. It never lets the output reach past a cap (the
// member's uncompressed size): the byte that would pass it sets `cannotShrink` instead.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>

class CLzhBitWriter
{
public:
    void Start(LzhByteSink* sink, uint32_t cap);
    // Writes the low n bits of value (n <= 16).
    void PutBits(unsigned n, unsigned value);
    // Writes the top n bits of a left-justified 16-bit code.
    void PutCode(unsigned n, uint16_t code) { PutBits(n, static_cast<unsigned>(code) >> (16 - n)); }
    // Completes a partly filled byte with zero bits and writes out the buffer.
    void Finish();

    bool cannotShrink = false; // output reached the cap; nothing more is written
    bool writeFailed = false;  // the sink refused bytes
    uint32_t byteCount = 0;    // compressed bytes produced

private:
    void EmitByte(uint8_t byte);
    void FlushBuffer();

    static constexpr uint32_t kBufferSize = 32768;
    LzhByteSink* m_sink = nullptr;
    uint32_t m_cap = 0;
    unsigned m_byte = 0; // the byte being assembled
    unsigned m_free = 8; // bit positions still free in it
    uint32_t m_fill = 0;
    uint8_t m_buffer[kBufferSize];
};
