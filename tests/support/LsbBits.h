// Bit fields packed least significant bit first, as the ZIP methods pack them: a writer for
// crafting streams and the test-side encoders, and a one-bit-at-a-time reader for the
// reference decoders.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace testsupport
{

class LsbBitWriter
{
public:
    // The low `width` bits of value, bit 0 first.
    void Put(uint32_t value, unsigned width)
    {
        for (unsigned i = 0; i < width; ++i) {
            if (m_bits % 8 == 0) {
                m_bytes.push_back(0);
            }
            m_bytes.back() =
                static_cast<uint8_t>(m_bytes.back() | (((value >> i) & 1) << (m_bits % 8)));
            ++m_bits;
        }
    }
    // A prefix code of `length` bits, its most significant bit first.
    void PutCode(uint32_t code, unsigned length)
    {
        for (unsigned i = length; i-- > 0;) {
            Put((code >> i) & 1, 1);
        }
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    size_t BitCount() const { return m_bits; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_bits = 0;
};

class LsbBitReader
{
public:
    explicit LsbBitReader(const std::vector<uint8_t>& data) : m_data(data) {}
    // The next `width` bits, bit 0 first; false when the data end before the last of them.
    bool Read(unsigned width, unsigned& value)
    {
        value = 0;
        for (unsigned i = 0; i < width; ++i) {
            if (m_pos >= m_data.size() * 8) {
                return false;
            }
            value |= ((m_data[m_pos / 8] >> (m_pos % 8)) & 1u) << i;
            ++m_pos;
        }
        return true;
    }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_pos = 0;
};

} // namespace testsupport
