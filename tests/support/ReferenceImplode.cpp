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
#include <numeric>

namespace testsupport
{
namespace
{

// A complete code as the format builds it, decoded the canonical way. With the symbols sorted
// by length and then by value, the format gives symbol k the value V(k) = the sum of
// 2^(16 - l(j)) over the symbols j after it, while a canonical code gives it C(k) = the same
// sum over the symbols before it. A complete code's sum over all symbols is 2^16, so
// V(k) = 2^16 - C(k) - 2^(16 - l(k)): the top l(k) bits of V(k) are those of C(k) inverted.
// Decoding reads the bits inverted and walks the canonical code length by length.
struct Code
{
    unsigned count[17] = {};       // symbols of each length
    std::vector<unsigned> symbols; // by length, then by value
};

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
        for (unsigned l = 1; l <= 16; ++l) {
            for (unsigned s = 0; s < symbols; ++s) {
                if (lengths[s] == l) {
                    ++code.count[l];
                    code.symbols.push_back(s);
                }
            }
        }
        return ImplodeError::Ok;
    }

    // Bits one at a time, the code's most significant first and inverted, until they spell
    // a canonical code: first is the first code of the length, index its first symbol. A
    // complete code always ends within 16 bits.
    bool Decode(const Code& code, unsigned& symbol)
    {
        uint32_t bits = 0;
        uint32_t first = 0;
        uint32_t index = 0;
        for (unsigned length = 1; length <= 16; ++length) {
            unsigned bit;
            if (!m_in.Read(1, bit)) {
                return false;
            }
            bits = (bits << 1) | (bit ^ 1);
            if (bits - first < code.count[length]) {
                symbol = code.symbols[index + bits - first];
                return true;
            }
            index += code.count[length];
            first = (first + code.count[length]) << 1;
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
