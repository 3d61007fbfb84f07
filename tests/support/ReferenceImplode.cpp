// Reference Implode. Bit 1 of the flags: 8 KiB window and 7 low distance bits (else 4 KiB
// and 6); bit 2: a literal code first, and matches of 3 bytes and more (else 2). The codes
// open the stream as byte descriptions (count of bytes - 1, then (k - 1) << 4 | (l - 1) for k
// symbols of length l), then items: 1 and a literal (its code, or 8 bits), or 0, the
// distance's low bits, its high 6 bits by the distance code, the length by the length code
// (symbol + minimum, 63 adding 8 more bits), copying from distance + 1 back over zeros
// before the first byte. Nothing ends the stream: decoding stops at the member's size.
#include "tests/support/ReferenceImplode.h"

#include "tests/support/LsbBits.h"

#include <algorithm>
#include <map>
#include <numeric>
#include <utility>

namespace testsupport
{
namespace
{

// A prefix code: (length, code bits) -> symbol.
using Code = std::map<std::pair<unsigned, uint32_t>, unsigned>;

class Exploder
{
public:
    explicit Exploder(const std::vector<uint8_t>& packed) : m_in(packed) {}

    ImplodeError Run(uint64_t size, uint16_t flags, std::vector<uint8_t>& out)
    {
        if (size == 0) {
            return ImplodeError::Ok;
        }
        const bool bigWindow = (flags & 2) != 0;
        const bool literalCode = (flags & 4) != 0;
        Code literals, lengths, distances;
        ImplodeError e = ImplodeError::Ok;
        if (literalCode) {
            e = ReadCode(256, literals);
        }
        if (e == ImplodeError::Ok) {
            e = ReadCode(64, lengths);
        }
        if (e == ImplodeError::Ok) {
            e = ReadCode(64, distances);
        }
        if (e != ImplodeError::Ok) {
            return e;
        }
        const unsigned lowBits = bigWindow ? 7 : 6;
        const unsigned minimum = literalCode ? 3 : 2;
        while (out.size() < size) {
            unsigned isLiteral;
            if (!m_in.Read(1, isLiteral)) {
                return ImplodeError::Truncated;
            }
            if (isLiteral != 0) {
                unsigned byte;
                bool got = literalCode ? Decode(literals, byte) : m_in.Read(8, byte);
                if (!got) {
                    return ImplodeError::Truncated;
                }
                out.push_back(static_cast<uint8_t>(byte));
                continue;
            }
            unsigned low, high, length;
            if (!m_in.Read(lowBits, low) || !Decode(distances, high) || !Decode(lengths, length)) {
                return ImplodeError::Truncated;
            }
            if (length == 63) {
                unsigned more;
                if (!m_in.Read(8, more)) {
                    return ImplodeError::Truncated;
                }
                length += more;
            }
            length += minimum;
            const size_t distance = ((high << lowBits) | low) + 1;
            for (unsigned i = 0; i < length && out.size() < size; ++i) {
                const size_t at = out.size();
                out.push_back(at >= distance ? out[at - distance] : 0);
            }
        }
        return ImplodeError::Ok;
    }

private:
    ImplodeError ReadCode(unsigned symbols, Code& code)
    {
        unsigned bytes;
        if (!m_in.Read(8, bytes)) {
            return ImplodeError::Truncated;
        }
        std::vector<unsigned> lengths;
        for (unsigned i = 0; i <= bytes; ++i) {
            unsigned b;
            if (!m_in.Read(8, b)) {
                return ImplodeError::Truncated;
            }
            if (lengths.size() + (b >> 4) + 1 > symbols) {
                return ImplodeError::TooManyLengths;
            }
            lengths.insert(lengths.end(), (b >> 4) + 1, (b & 0xF) + 1);
        }
        if (lengths.size() < symbols) {
            return ImplodeError::TooFewLengths;
        }
        std::vector<uint32_t> values;
        const uint32_t end = ShannonFanoValues(lengths, values);
        if (end > 65536) {
            return ImplodeError::OverSubscribed;
        }
        if (end < 65536) {
            return ImplodeError::Incomplete;
        }
        for (unsigned s = 0; s < symbols; ++s) {
            code[{lengths[s], values[s] >> (16 - lengths[s])}] = s;
        }
        return ImplodeError::Ok;
    }

    // Bits one at a time, the code's most significant first, until they spell a code. A
    // complete code always ends within 16 bits.
    bool Decode(const Code& code, unsigned& symbol)
    {
        uint32_t bits = 0;
        for (unsigned length = 1; length <= 16; ++length) {
            unsigned bit;
            if (!m_in.Read(1, bit)) {
                return false;
            }
            bits = (bits << 1) | bit;
            auto found = code.find({length, bits});
            if (found != code.end()) {
                symbol = found->second;
                return true;
            }
        }
        symbol = 0; // not reached with a complete code
        return true;
    }

    LsbBitReader m_in;
};

} // namespace

uint32_t ShannonFanoValues(const std::vector<unsigned>& lengths, std::vector<uint32_t>& values)
{
    std::vector<unsigned> order(lengths.size());
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [&](unsigned a, unsigned b) { return lengths[a] < lengths[b]; });
    values.assign(lengths.size(), 0);
    uint32_t value = 0;
    uint32_t step = 0;
    for (size_t k = order.size(); k-- > 0;) {
        value += step;
        step = uint32_t{1} << (16 - lengths[order[k]]);
        values[order[k]] = value;
    }
    return value + step;
}

ReferenceImplodeResult ReferenceExplode(const std::vector<uint8_t>& packed, uint64_t unpackedSize,
                                        uint16_t flags)
{
    ReferenceImplodeResult result;
    Exploder exploder(packed);
    result.error = exploder.Run(unpackedSize, flags, result.output);
    return result;
}

DecodeStatus StatusOf(ImplodeError error)
{
    switch (error) {
    case ImplodeError::Ok:
        return DecodeStatus::Ok;
    case ImplodeError::Truncated:
        return DecodeStatus::Truncated;
    default:
        return DecodeStatus::Invalid;
    }
}

} // namespace testsupport
