// The byte streams of one member over files.
#include "archive/MemberStreams.h"

uint32_t CFileSource::Read(uint8_t* buffer, uint32_t capacity)
{
    uint32_t asked = capacity < m_left ? capacity : static_cast<uint32_t>(m_left);
    if (asked == 0 || readFailed || endedEarly) {
        return 0;
    }
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
        readFailed = true;
        return 0;
    }
    uint32_t got = 0;
    if (!platform::ReadFile(m_file, buffer, asked, &got)) {
        readFailed = true;
        return 0;
    }
    endedEarly = got == 0;
    m_left -= got;
    return got;
}

bool CMemberSink::Write(const uint8_t* data, size_t count)
{
    if (count > m_limit - m_written) {
        overflow = true;
        return false;
    }
    if (m_stop != nullptr && m_stop->load(std::memory_order_relaxed)) {
        cancelled = true;
        return false;
    }
    m_written += count;
    if (m_pieces != nullptr && count != 0) {
        m_pieces->push_back(count);
        if (m_kept != nullptr && data != nullptr) {
            m_kept->insert(m_kept->end(), data, data + count);
        }
    }
    if (m_prompt != nullptr && count != 0 && !m_prompt->ReportProgress(m_written, m_limit)) {
        cancelled = true;
        return false;
    }
    uint32_t written = 0;
    if (m_file != platform::kInvalidFile && count != 0 &&
        (data == nullptr ||
         !platform::WriteFile(m_file, data, static_cast<uint32_t>(count), &written) ||
         written != count)) {
        writeFailed = true;
        return false;
    }
    return true;
}
