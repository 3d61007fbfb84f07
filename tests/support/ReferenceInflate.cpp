// Reference inflate: RFC 1951 with this reader's rules. Past the input's end the bits are
// ones, and a literal/length symbol ending more than 64 bits past it is invalid; an incomplete code
// is an error unless it is one code of length 1; symbols 286 and 287 are invalid; distance codes 30
// and 31 reach 65536; in enhanced streams length symbol 285 is followed by 16 bits giving the
// length minus 3 (symbol 284 with extra bits 31 stays 258); the history starts as zeros.
#include "tests/support/ReferenceInflate.h"

#include <cstddef>

namespace testsupport
{
namespace
{

struct Failure
{
    ReferenceInflateRule rule;
};

class Bits
{
public:
    explicit Bits(const std::vector<uint8_t>& data) : m_data(data) {}
    unsigned Bit()
    {
        size_t byte = m_pos >> 3;
        unsigned b = byte < m_data.size() ? (m_data[byte] >> (m_pos & 7)) & 1 : 1;
        ++m_pos;
        return b;
    }
    unsigned Take(unsigned n)
    {
        unsigned v = 0;
        for (unsigned i = 0; i < n; ++i) {
            v |= Bit() << i;
        }
        return v;
    }
    void Align() { m_pos = (m_pos + 7) & ~size_t{7}; }
    size_t Overrun() const { return m_pos > m_data.size() * 8 ? m_pos - m_data.size() * 8 : 0; }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_pos = 0;
};

struct Code
{
    unsigned count[16] = {};
    std::vector<unsigned> symbols;
    bool empty = true;
};

Code Build(const std::vector<unsigned>& lengths, bool allowEmpty, bool* wasEmpty = nullptr)
{
    Code c;
    unsigned longest = 0;
    for (unsigned l : lengths) {
        ++c.count[l];
        longest = l > longest ? l : longest;
    }
    c.count[0] = 0;
    if (longest == 0) {
        if (!allowEmpty) {
            throw Failure{ReferenceInflateRule::NoCodes};
        }
        if (wasEmpty != nullptr) {
            *wasEmpty = true;
        }
        return c;
    }
    c.empty = false;
    int left = 1;
    for (int l = 1; l <= 15; ++l) {
        left = left * 2 - static_cast<int>(c.count[l]);
        if (left < 0) {
            throw Failure{ReferenceInflateRule::OverSubscribed};
        }
    }
    if (left > 0 && longest != 1) {
        throw Failure{ReferenceInflateRule::IncompleteCode};
    }
    for (unsigned l = 1; l <= 15; ++l) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == l) {
                c.symbols.push_back(static_cast<unsigned>(s));
            }
        }
    }
    return c;
}

unsigned Decode(Bits& bits, const Code& c)
{
    if (c.empty) {
        throw Failure{ReferenceInflateRule::EmptyCodeUsed};
    }
    unsigned code = 0, first = 0, index = 0;
    for (int len = 1; len <= 15; ++len) {
        code |= bits.Bit();
        if (code - first < c.count[len]) {
            return c.symbols[index + code - first];
        }
        index += c.count[len];
        first = (first + c.count[len]) << 1;
        code <<= 1;
    }
    throw Failure{ReferenceInflateRule::UnusedCode}; // an unused code of an incomplete set
}

const unsigned kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const unsigned kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                   2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};

void Symbols(Bits& bits, const Code& literals, const Code& distances, bool enhanced,
             std::vector<uint8_t>& out)
{
    for (;;) {
        unsigned s = Decode(bits, literals);
        if (bits.Overrun() > 64) {
            throw Failure{ReferenceInflateRule::DataEnded}; // ones past the end would decode as
                                                            // literals forever
        }
        if (s < 256) {
            out.push_back(static_cast<uint8_t>(s));
            continue;
        }
        if (s == 256) {
            return;
        }
        if (s > 285) {
            throw Failure{ReferenceInflateRule::BadLengthSymbol};
        }
        unsigned length = s == 285 && enhanced
                              ? bits.Take(16) + 3
                              : kLengthBase[s - 257] + bits.Take(kLengthExtra[s - 257]);
        unsigned d = Decode(bits, distances);
        unsigned base = 1, extra = 0;
        for (unsigned i = 0; i < d; ++i) { // bases grow by 2^extra, extra every two codes
            base += 1u << extra;
            if (i >= 2 && i % 2 == 1) {
                ++extra;
            }
        }
        unsigned distance = base + bits.Take(d < 4 ? 0 : (d - 2) / 2);
        for (unsigned i = 0; i < length; ++i) {
            size_t at = out.size();
            out.push_back(at >= distance ? out[at - distance] : 0);
        }
    }
}

} // namespace

ReferenceInflateResult ReferenceInflate(const std::vector<uint8_t>& input, bool enhanced)
{
    ReferenceInflateResult r;
    Bits bits(input);
    try {
        bool final = false;
        while (!final) {
            final = bits.Take(1) != 0;
            unsigned type = bits.Take(2);
            if (type == 0) {
                bits.Align();
                unsigned length = bits.Take(16);
                if (length + bits.Take(16) != 0xFFFF) {
                    throw Failure{ReferenceInflateRule::StoredLengthMismatch};
                }
                for (unsigned i = 0; i < length; ++i) {
                    r.output.push_back(static_cast<uint8_t>(bits.Take(8)));
                }
            } else if (type == 1) {
                std::vector<unsigned> lit(288), dist(32, 5);
                for (unsigned i = 0; i < 288; ++i) {
                    lit[i] = i < 144 ? 8 : i < 256 ? 9 : i < 280 ? 7 : 8;
                }
                Symbols(bits, Build(lit, false), Build(dist, false), enhanced, r.output);
            } else if (type == 2) {
                unsigned nlen = bits.Take(5) + 257, ndist = bits.Take(5) + 1,
                         ncode = bits.Take(4) + 4;
                if (nlen > 286) {
                    throw Failure{ReferenceInflateRule::TooManyLengths};
                }
                static const unsigned order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                   11, 4,  12, 3, 13, 2, 14, 1, 15};
                std::vector<unsigned> codeLengths(19, 0);
                for (unsigned i = 0; i < ncode; ++i) {
                    codeLengths[order[i]] = bits.Take(3);
                }
                Code lengthCode = Build(codeLengths, false);
                std::vector<unsigned> lengths;
                unsigned previous = 0;
                while (lengths.size() < nlen + ndist) {
                    unsigned s = Decode(bits, lengthCode);
                    if (s < 16) {
                        lengths.push_back(s);
                        previous = s;
                        continue;
                    }
                    unsigned repeat = s == 16   ? 3 + bits.Take(2)
                                      : s == 17 ? 3 + bits.Take(3)
                                                : 11 + bits.Take(7);
                    unsigned value = s == 16 ? previous : 0;
                    if (lengths.size() + repeat > nlen + ndist) {
                        throw Failure{ReferenceInflateRule::RepeatPastEnd};
                    }
                    lengths.insert(lengths.end(), repeat, value);
                    previous = value;
                }
                Code literals = Build({lengths.begin(), lengths.begin() + nlen}, false);
                bool noDistances = false;
                Code distances = Build({lengths.begin() + nlen, lengths.end()}, true, &noDistances);
                if (noDistances && nlen > 257) {
                    throw Failure{ReferenceInflateRule::NoDistances};
                }
                Symbols(bits, literals, distances, enhanced, r.output);
            } else {
                throw Failure{ReferenceInflateRule::BadBlockType};
            }
        }
    } catch (const Failure& f) {
        r.rule = f.rule;
        r.status = f.rule == ReferenceInflateRule::DataEnded ? 5
                   : f.rule == ReferenceInflateRule::OverSubscribed ||
                           f.rule == ReferenceInflateRule::BadBlockType
                       ? 2
                       : 1;
    }
    return r;
}

const char* ReferenceInflateRuleName(ReferenceInflateRule rule)
{
    switch (rule) {
    case ReferenceInflateRule::None:
        return "none";
    case ReferenceInflateRule::NoCodes:
        return "a code with no lengths";
    case ReferenceInflateRule::OverSubscribed:
        return "an over-subscribed code";
    case ReferenceInflateRule::IncompleteCode:
        return "an incomplete code";
    case ReferenceInflateRule::EmptyCodeUsed:
        return "a distance from an empty code";
    case ReferenceInflateRule::UnusedCode:
        return "an unused code of an incomplete set";
    case ReferenceInflateRule::DataEnded:
        return "the data ended";
    case ReferenceInflateRule::BadLengthSymbol:
        return "length symbol 286 or 287";
    case ReferenceInflateRule::StoredLengthMismatch:
        return "a stored length and its complement disagree";
    case ReferenceInflateRule::TooManyLengths:
        return "more than 286 literal/length codes";
    case ReferenceInflateRule::RepeatPastEnd:
        return "a repeat past the code lengths";
    case ReferenceInflateRule::NoDistances:
        return "lengths without distance codes";
    case ReferenceInflateRule::BadBlockType:
        return "block type 3";
    }
    return "?";
}

} // namespace testsupport
