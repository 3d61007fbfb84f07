// Reference LZH decoding: bits are taken one by one, codes decoded by walking the canonical
// code length by length, the dictionary is a ring of spaces. Past the data the bits are 0,
// and a block header or symbol that ends more than 64 bits past it makes the member broken;
// a block count of 0 stands for 65536 symbols. Each rule broken is named where it is found.
#include "tests/support/ReferenceLzhDecoder.h"

#include "lzh/Crc16.h"

namespace testsupport
{
namespace
{

struct Broken
{
    ReferenceLzhRule rule;
};

class Bits
{
public:
    explicit Bits(const std::vector<uint8_t>& data) : m_data(data) {}
    unsigned Bit()
    {
        size_t byte = m_pos >> 3;
        unsigned b = byte < m_data.size() ? (m_data[byte] >> (7 - (m_pos & 7))) & 1 : 0;
        ++m_pos;
        return b;
    }
    unsigned Take(unsigned n)
    {
        unsigned v = 0;
        while (n-- > 0) {
            v = (v << 1) | Bit();
        }
        return v;
    }
    size_t Overrun() const { return m_pos > m_data.size() * 8 ? m_pos - m_data.size() * 8 : 0; }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_pos = 0;
};

// A canonical code: lengths per symbol, or a single symbol read from zero bits.
struct Code
{
    std::vector<int> lengths;
    int single = -1;
    unsigned count[17] = {};       // codes of each length
    std::vector<unsigned> symbols; // symbols ordered by length, then value
};

// Checks that the lengths fill the code space exactly and orders the symbols.
void Prepare(Code& code)
{
    uint64_t space = 0;
    for (int l : code.lengths) {
        if (l > 16) {
            throw Broken{ReferenceLzhRule::LengthPastSixteen};
        }
        if (l > 0) {
            space += uint64_t{1} << (16 - l);
            ++code.count[l];
        }
    }
    if (space != 65536) {
        throw Broken{ReferenceLzhRule::CodeSpaceNotFilled};
    }
    for (int len = 1; len <= 16; ++len) {
        for (size_t k = 0; k < code.lengths.size(); ++k) {
            if (code.lengths[k] == len) {
                code.symbols.push_back(static_cast<unsigned>(k));
            }
        }
    }
}

unsigned Decode(Bits& bits, const Code& code)
{
    if (code.single >= 0) {
        return static_cast<unsigned>(code.single);
    }
    unsigned value = 0;
    unsigned first = 0; // first code of the current length
    unsigned index = 0; // position in `symbols` of the first symbol of this length
    for (int len = 1; len <= 16; ++len) {
        value = (value << 1) | bits.Bit();
        if (value - first < code.count[len]) {
            return code.symbols[index + value - first];
        }
        index += code.count[len];
        first = (first + code.count[len]) << 1;
    }
    throw Broken{ReferenceLzhRule::CodeSpaceNotFilled}; // unreachable for a complete code
}

Code ReadAux(Bits& bits, int alphabet, unsigned width, int special)
{
    Code code;
    unsigned n = bits.Take(width);
    if (n == 0) {
        code.single = static_cast<int>(bits.Take(width));
        if (code.single >= alphabet) {
            throw Broken{ReferenceLzhRule::SingleSymbolPastAlphabet};
        }
        return code;
    }
    std::vector<int> lengths;
    while (lengths.size() < n) {
        int c = static_cast<int>(bits.Take(3));
        if (c == 7) {
            int ones = 0;
            while (ones < 13 && bits.Bit() == 1) {
                ++ones;
            }
            if (ones == 13) {
                bits.Bit();
            }
            c += ones;
        }
        lengths.push_back(c);
        if (static_cast<int>(lengths.size()) == special) {
            for (unsigned z = bits.Take(2); z > 0; --z) {
                lengths.push_back(0);
            }
        }
    }
    for (int l : lengths) {
        if (l > 16) {
            throw Broken{ReferenceLzhRule::LengthPastSixteen};
        }
    }
    lengths.resize(static_cast<size_t>(alphabet), 0); // lengths past the alphabet are ignored
    code.lengths = lengths;
    Prepare(code);
    return code;
}

void CheckOverrun(const Bits& bits)
{
    if (bits.Overrun() > 64) {
        throw Broken{ReferenceLzhRule::DataEnded};
    }
}

Code ReadLiterals(Bits& bits, const Code& preTree)
{
    Code code;
    unsigned n = bits.Take(9);
    if (n == 0) {
        code.single = static_cast<int>(bits.Take(9));
        if (code.single >= 510) {
            throw Broken{ReferenceLzhRule::SingleSymbolPastAlphabet};
        }
        return code;
    }
    if (n > 510) {
        throw Broken{ReferenceLzhRule::CountPastAlphabet};
    }
    std::vector<int> lengths;
    while (lengths.size() < n) {
        unsigned t = Decode(bits, preTree);
        size_t run = t == 0 ? 1 : t == 1 ? bits.Take(4) + 3 : t == 2 ? bits.Take(9) + 20 : 0;
        if (run == 0) {
            lengths.push_back(static_cast<int>(t) - 2);
        } else if (lengths.size() + run > 510) {
            throw Broken{ReferenceLzhRule::ZeroRunPastAlphabet};
        } else {
            lengths.insert(lengths.end(), run, 0);
        }
    }
    lengths.resize(510, 0);
    code.lengths = lengths;
    Prepare(code);
    return code;
}

} // namespace

ReferenceResult ReferenceLzhDecode(const std::vector<uint8_t>& packed, uint32_t unpackedSize,
                                   int dictBits)
{
    ReferenceResult result;
    if (unpackedSize == 0) {
        result.ok = true;
        return result;
    }
    if (dictBits < 12 || dictBits > 19) {
        dictBits = 13;
    }
    // dictBits + 1 position symbols, but 14 for the 4 KB dictionary too.
    const int positions = dictBits < 13 ? 14 : dictBits + 1;
    const unsigned positionWidth = dictBits >= 14 ? 5 : 4;
    const size_t dict = size_t{1} << dictBits;
    std::vector<uint8_t> ring(dict, ' ');
    size_t r = 0;
    Bits bits(packed);
    Code preTree, literals, position;
    uint32_t blockLeft = 0;
    try {
        while (result.output.size() < unpackedSize) {
            if (blockLeft == 0) {
                blockLeft = bits.Take(16);
                blockLeft = blockLeft == 0 ? 65536 : blockLeft;
                preTree = ReadAux(bits, 19, 5, 3);
                literals = ReadLiterals(bits, preTree);
                position = ReadAux(bits, positions, positionWidth, -1);
                CheckOverrun(bits);
            }
            --blockLeft;
            unsigned c = Decode(bits, literals);
            auto put = [&](uint8_t b) {
                ring[r] = b;
                r = (r + 1) % dict;
                result.output.push_back(b);
            };
            if (c < 256) {
                put(static_cast<uint8_t>(c));
                CheckOverrun(bits);
                continue;
            }
            unsigned length = c - 253;
            unsigned j = Decode(bits, position);
            unsigned p = j == 0 ? 0 : (1u << (j - 1)) + bits.Take(j - 1);
            size_t from = (r + dict - (p % dict) - 1) % dict;
            for (unsigned i = 0; i < length; ++i) {
                put(ring[(from + i) % dict]);
            }
            CheckOverrun(bits);
        }
    } catch (const Broken& broken) {
        result.ok = false;
        result.rule = broken.rule;
        result.crc = 0;
        return result;
    }
    result.ok = true;
    result.output.resize(unpackedSize); // a last match running past the size is cut there
    result.crc = Crc16Update(0, result.output.data(), static_cast<long>(result.output.size()));
    return result;
}

const char* ReferenceLzhRuleName(ReferenceLzhRule rule)
{
    switch (rule) {
    case ReferenceLzhRule::None:
        return "none";
    case ReferenceLzhRule::LengthPastSixteen:
        return "a code length above 16";
    case ReferenceLzhRule::CodeSpaceNotFilled:
        return "code lengths that do not fill the code space";
    case ReferenceLzhRule::SingleSymbolPastAlphabet:
        return "a single-symbol code past its alphabet";
    case ReferenceLzhRule::CountPastAlphabet:
        return "more literal lengths than literals";
    case ReferenceLzhRule::ZeroRunPastAlphabet:
        return "a run of zero lengths past the alphabet";
    case ReferenceLzhRule::DataEnded:
        return "the data ended";
    }
    return "?";
}

} // namespace testsupport
