// Byte sources and sinks over memory for driving the LZH codec without files.
#pragma once

#include "lzh/LzhDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport
{

class MemorySource final : public LzhByteSource
{
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    explicit MemorySource(const std::vector<uint8_t>& data) : MemorySource(data.data(), data.size())
    {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        size_t n = std::min<size_t>(capacity, m_size - m_pos);
        std::copy_n(m_data + m_pos, n, buffer);
        m_pos += n;
        return static_cast<uint32_t>(n);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class VectorSink final : public LzhByteSink
{
public:
    bool Write(const uint8_t* data, size_t count) override
    {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<uint8_t> bytes;
};

} // namespace testsupport
