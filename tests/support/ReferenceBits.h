// The bit input of the reference decoders of PMarc's and LHARK's methods: bits one at a
// time, most significant first. Past the packed bytes every bit reads as 0, and those are
// counted: a stream may take a few of them (kAllowedZeroBits) as padding, no more.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

class ReferenceBits
{
public:
    // Four zero bytes, as the program's decoders allow.
    static constexpr uint64_t kAllowedZeroBits = 32;

    explicit ReferenceBits(const std::vector<uint8_t>& data) : m_data(data) {}

    unsigned Bit()
    {
        uint64_t byte = m_pos / 8;
        unsigned bit = byte < m_data.size() ? (m_data[byte] >> (7 - m_pos % 8)) & 1 : 0;
        ++m_pos;
        return bit;
    }
    // An n-bit field, its first bit the most significant; 0 for n = 0.
    unsigned Take(unsigned n)
    {
        unsigned value = 0;
        for (unsigned i = 0; i < n; ++i) {
            value = value << 1 | Bit();
        }
        return value;
    }
    // Bits read past the packed bytes.
    uint64_t PastEnd() const
    {
        uint64_t all = uint64_t{m_data.size()} * 8;
        return m_pos > all ? m_pos - all : 0;
    }
    bool Overrun() const { return PastEnd() > kAllowedZeroBits; }

private:
    const std::vector<uint8_t>& m_data;
    uint64_t m_pos = 0;
};

} // namespace testsupport
