// The encoder's bit output: bits most significant first into whole bytes, buffered and
// written to the sink in 32 KB blocks. It never lets the output reach past a cap (the
// member's uncompressed size): the byte that would pass it sets `cannotShrink` instead.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>

class CLzhBitWriter
{
public:
    void Start(ByteSink* sink, uint32_t cap);
    // Writes the low n bits of value (n <= 16).
    void PutBits(unsigned n, unsigned value)
    {
        if (cannotShrink) {
            return;
        }
        // Fewer than 8 bits wait in m_pending before, so fewer than 24 after.
        m_bits = (m_bits << n) | (value & ((1u << n) - 1));
        m_pending += n;
        while (m_pending >= 8) {
            m_pending -= 8;
            EmitByte(static_cast<uint8_t>(m_bits >> m_pending));
            if (cannotShrink) {
                return;
            }
        }
    }
    // Writes the top n bits of a left-justified 16-bit code.
    void PutCode(unsigned n, uint16_t code) { PutBits(n, static_cast<unsigned>(code) >> (16 - n)); }
    // Completes a partly filled byte with zero bits and writes out the buffer.
    void Finish();

    bool cannotShrink = false; // output reached the cap; nothing more is written
    bool writeFailed = false;  // the sink refused bytes
    uint32_t byteCount = 0;    // compressed bytes produced

private:
    // The byte that would pass the cap sets cannotShrink instead.
    void EmitByte(uint8_t byte)
    {
        if (byteCount >= m_cap) {
            cannotShrink = true;
            return;
        }
        m_buffer[m_fill++] = byte;
        ++byteCount;
        if (m_fill == kBufferSize) {
            FlushBuffer();
        }
    }
    void FlushBuffer();

    static constexpr uint32_t kBufferSize = 32768;
    ByteSink* m_sink = nullptr;
    uint32_t m_cap = 0;
    uint32_t m_bits = 0;    // bits not yet emitted, the last in bit 0 (only m_pending count)
    unsigned m_pending = 0; // how many, 0-7 between calls
    uint32_t m_fill = 0;
    uint8_t m_buffer[kBufferSize];
};
