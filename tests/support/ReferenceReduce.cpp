// Reference Reduce, stage by stage as the format describes them. Stage 1: follower sets S(j)
// for j = 255 down to 0 (a 6-bit size, then the bytes), then bytes coded by the set of the
// byte before (8 bits when the set is empty; else a bit 1 and 8 bits, or a bit 0 and an index
// of B(N) bits, the width of N - 1 but at least one bit). Stage 2: DLE (144) escapes: 144 0
// is a literal 144, 144 V [X] D a match of Len + 3 bytes from (V >> L) * 256 + D + 1 back,
// Len being V's low L = 8 - factor bits, plus X when they are all ones; output before the
// first byte reads as zeros. Nothing ends the stream: decoding stops at the member's size.
#include "tests/support/ReferenceReduce.h"

#include "tests/support/LsbBits.h"

namespace testsupport
{
namespace
{

constexpr unsigned kDle = 144;

unsigned IndexBits(size_t n)
{
    unsigned bits = 1;
    while ((size_t{1} << bits) < n) {
        ++bits;
    }
    return bits;
}

class Unreducer
{
public:
    explicit Unreducer(const std::vector<uint8_t>& packed) : m_in(packed) {}

    ReduceError Run(uint64_t size, unsigned factor, std::vector<uint8_t>& out)
    {
        if (size == 0) {
            return ReduceError::Ok;
        }
        ReduceError e = ReadSets();
        if (e != ReduceError::Ok) {
            return e;
        }
        const unsigned lengthBits = 8 - factor;
        const unsigned allOnes = (1u << lengthBits) - 1;
        enum
        {
            kPlain,
            kAfterDle,
            kLengthByte,
            kDistanceByte
        } state = kPlain;
        unsigned v = 0;
        unsigned length = 0;
        while (out.size() < size) {
            unsigned c;
            e = NextByte(c);
            if (e != ReduceError::Ok) {
                return e;
            }
            switch (state) {
            case kPlain:
                if (c == kDle) {
                    state = kAfterDle;
                } else {
                    out.push_back(static_cast<uint8_t>(c));
                }
                break;
            case kAfterDle:
                if (c == 0) {
                    out.push_back(kDle);
                    state = kPlain;
                } else {
                    v = c;
                    length = v & allOnes;
                    state = length == allOnes ? kLengthByte : kDistanceByte;
                }
                break;
            case kLengthByte:
                length += c;
                state = kDistanceByte;
                break;
            case kDistanceByte: {
                const size_t distance = (v >> lengthBits) * 256 + c + 1;
                for (unsigned i = 0; i < length + 3 && out.size() < size; ++i) {
                    const size_t at = out.size();
                    out.push_back(at >= distance ? out[at - distance] : 0);
                }
                state = kPlain;
                break;
            }
            }
        }
        return ReduceError::Ok;
    }

private:
    ReduceError ReadSets()
    {
        for (int j = 255; j >= 0; --j) {
            unsigned n;
            if (!m_in.Read(6, n)) {
                return ReduceError::Truncated;
            }
            if (n > 32) {
                return ReduceError::FollowerSetTooLarge;
            }
            for (unsigned i = 0; i < n; ++i) {
                unsigned b;
                if (!m_in.Read(8, b)) {
                    return ReduceError::Truncated;
                }
                m_sets[j].push_back(static_cast<uint8_t>(b));
            }
        }
        return ReduceError::Ok;
    }

    ReduceError NextByte(unsigned& c)
    {
        const std::vector<uint8_t>& set = m_sets[m_last];
        unsigned literal = 1;
        if (!set.empty() && !m_in.Read(1, literal)) {
            return ReduceError::Truncated;
        }
        if (literal != 0) {
            if (!m_in.Read(8, c)) {
                return ReduceError::Truncated;
            }
        } else {
            unsigned index;
            if (!m_in.Read(IndexBits(set.size()), index)) {
                return ReduceError::Truncated;
            }
            if (index >= set.size()) {
                return ReduceError::IndexPastSet;
            }
            c = set[index];
        }
        m_last = c;
        return ReduceError::Ok;
    }

    LsbBitReader m_in;
    std::vector<uint8_t> m_sets[256];
    unsigned m_last = 0;
};

} // namespace

ReferenceReduceResult ReferenceUnreduce(const std::vector<uint8_t>& packed, uint64_t unpackedSize,
                                        unsigned factor)
{
    ReferenceReduceResult result;
    Unreducer unreducer(packed);
    result.error = unreducer.Run(unpackedSize, factor, result.output);
    return result;
}

DecodeStatus StatusOf(ReduceError error)
{
    switch (error) {
    case ReduceError::Ok:
        return DecodeStatus::Ok;
    case ReduceError::Truncated:
        return DecodeStatus::Truncated;
    default:
        return DecodeStatus::Invalid;
    }
}

} // namespace testsupport
