// The library decoders' shared loop: chunked input from the member, output straight to the
// sink.
#include "zip/ZipCodecPump.h"

#include <algorithm>
#include <new>

bool CZipCodecPump::Allocate()
{
    if (!m_input) {
        m_input.reset(new (std::nothrow) uint8_t[kInputChunk]);
    }
    if (!m_output) {
        m_output.reset(new (std::nothrow) uint8_t[kOutputChunk]);
    }
    return m_input && m_output;
}

void CZipCodecPump::Reset(ByteSource& source)
{
    m_source = &source;
    m_position = 0;
    m_end = 0;
    m_sourceEnded = false;
}

bool CZipCodecPump::Refill()
{
    if (m_position < m_end) {
        return true;
    }
    if (m_sourceEnded) {
        return false;
    }
    m_position = 0;
    m_end = m_source->Read(m_input.get(), kInputChunk);
    // A source never gives more than asked; one that did would be cut to the chunk.
    m_end = std::min(m_end, kInputChunk);
    m_sourceEnded = m_end == 0;
    return !m_sourceEnded;
}

bool CZipCodecPump::ReadExact(uint8_t* destination, size_t count)
{
    while (count != 0) {
        if (!Refill()) {
            return false;
        }
        size_t n = std::min<size_t>(count, m_end - m_position);
        std::copy_n(m_input.get() + m_position, n, destination);
        m_position += static_cast<uint32_t>(n);
        destination += n;
        count -= n;
    }
    return true;
}

bool CZipCodecPump::HasMoreInput()
{
    return Refill();
}
