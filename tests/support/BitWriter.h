// Writes bit fields most significant bit first, for crafting LZH streams in tests.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

class BitWriter
{
public:
    void Put(uint32_t value, unsigned width)
    {
        for (unsigned i = width; i-- > 0;) {
            if (m_bits % 8 == 0) {
                m_bytes.push_back(0);
            }
            if ((value >> i) & 1) {
                m_bytes.back() |= static_cast<uint8_t>(0x80 >> (m_bits % 8));
            }
            ++m_bits;
        }
    }
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    size_t BitCount() const { return m_bits; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_bits = 0;
};

} // namespace testsupport
