// Byte sources and sinks over memory for driving the LZH codec without files.
#pragma once

#include "lzh/LzhDecoder.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport
{

// Gives the bytes whole, or at most `step` bytes per read (not 0), as a pipe or a short file
// read might.
class MemorySource final : public ByteSource
{
public:
    MemorySource(const uint8_t* data, size_t size, uint32_t step = UINT32_MAX)
        : m_data(data), m_size(size), m_step(step)
    {}
    explicit MemorySource(const std::vector<uint8_t>& data) : MemorySource(data.data(), data.size())
    {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        size_t n = std::min<size_t>({capacity, m_step, m_size - m_pos});
        std::copy_n(m_data + m_pos, n, buffer);
        m_pos += n;
        return static_cast<uint32_t>(n);
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    uint32_t m_step;
    size_t m_pos = 0;
};

// Hands out the input in pieces of changing sizes, as a member stream may, and fills the
// rest of the buffer with bytes that are not the stream's: a decoder that reads past a
// piece decodes them.
class PieceSource final : public ByteSource
{
public:
    explicit PieceSource(const std::vector<uint8_t>& data) : m_data(data) {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        size_t n = std::min<size_t>({capacity, m_data.size() - m_pos, 1 + m_next % 97});
        m_next = m_next * 7 + 3;
        std::copy_n(m_data.data() + m_pos, n, buffer);
        std::fill(buffer + n, buffer + capacity, static_cast<uint8_t>(0xA5 ^ m_next));
        m_pos += n;
        return static_cast<uint32_t>(n);
    }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_pos = 0;
    size_t m_next = 1;
};

class VectorSink final : public ByteSink
{
public:
    bool Write(const uint8_t* data, size_t count) override
    {
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<uint8_t> bytes;
};

// Keeps at most cap bytes, as extraction's sink keeps a member within its declared size: a
// write that would pass the cap is refused whole, and so is every write after it.
class CappedSink final : public ByteSink
{
public:
    explicit CappedSink(uint64_t cap) : m_cap(cap) {}
    bool Write(const uint8_t* data, size_t count) override
    {
        if (refused || count > m_cap - bytes.size()) {
            refused = true;
            return false;
        }
        bytes.insert(bytes.end(), data, data + count);
        return true;
    }
    std::vector<uint8_t> bytes;
    bool refused = false; // a write was refused

private:
    uint64_t m_cap;
};

} // namespace testsupport
