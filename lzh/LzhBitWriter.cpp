// Capped bit output of the LZH encoder.
#include "lzh/LzhBitWriter.h"

void CLzhBitWriter::Start(ByteSink* sink, uint32_t cap)
{
    m_sink = sink;
    m_cap = cap;
    m_bits = 0;
    m_pending = 0;
    m_fill = 0;
    byteCount = 0;
    cannotShrink = false;
    writeFailed = false;
}

void CLzhBitWriter::FlushBuffer()
{
    if (m_fill > 0 && m_sink != nullptr && !m_sink->Write(m_buffer, m_fill)) {
        writeFailed = true;
    }
    m_fill = 0;
}

void CLzhBitWriter::Finish()
{
    // Seven zero bits complete a partly filled byte; with none pending they emit nothing.
    PutBits(7, 0);
    FlushBuffer();
}
