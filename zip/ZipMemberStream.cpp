#include "zip/ZipMemberStream.h"

void CZipMemberStream::Prime(platform::FileHandle file, uint64_t size)
{
    m_file = file;
    m_remaining = size;
    m_cipher = nullptr;
}

uint32_t CZipMemberStream::Read(uint8_t* buffer, uint32_t capacity)
{
    uint32_t want = m_remaining < capacity ? static_cast<uint32_t>(m_remaining) : capacity;
    uint32_t got = 0;
    if (want == 0 || !platform::ReadFile(m_file, buffer, want, &got) || got == 0) {
        m_remaining = 0;
        return 0;
    }
    m_remaining -= got;
    if (m_cipher != nullptr) {
        m_cipher->Decrypt(buffer, got);
    }
    return got;
}
