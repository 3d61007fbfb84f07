// Capped bit output of the LZH encoder.
#include "lzh/LzhBitWriter.h"

void CLzhBitWriter::Start(LzhByteSink* sink, uint32_t cap)
{
    m_sink = sink;
    m_cap = cap;
    m_byte = 0;
    m_free = 8;
    m_fill = 0;
    byteCount = 0;
    cannotShrink = false;
    writeFailed = false;
}

void CLzhBitWriter::EmitByte(uint8_t byte)
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

void CLzhBitWriter::FlushBuffer()
{
    if (m_fill > 0 && m_sink != nullptr && !m_sink->Write(m_buffer, m_fill)) {
        writeFailed = true;
    }
    m_fill = 0;
}

void CLzhBitWriter::PutBits(unsigned n, unsigned value)
{
    // Bits go into the byte from its top free position down; a full byte is emitted. Once
    // the cap is reached the rest of the bits are dropped.
    while (n > 0 && !cannotShrink) {
        unsigned take = n < m_free ? n : m_free;
        unsigned bits = (value >> (n - take)) & ((1u << take) - 1);
        m_byte |= bits << (m_free - take);
        m_free -= take;
        n -= take;
        if (m_free == 0) {
            EmitByte(static_cast<uint8_t>(m_byte));
            m_byte = 0;
            m_free = 8;
        }
    }
}

void CLzhBitWriter::Finish()
{
    PutBits(7, 0);
    FlushBuffer();
}
