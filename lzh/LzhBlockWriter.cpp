// Block coding: counts to codes, the three code-length sections as the decoder reads them,
// then the tokens.
#include "lzh/LzhBlockWriter.h"

#include <cstring>

namespace
{

constexpr int kLiteralAlphabet = 510;
constexpr int kPreTreeAlphabet = 19;

// Bit length of a position code: 0 for 0, else the index of its highest set bit plus one.
unsigned BitLength(unsigned p)
{
    unsigned j = 0;
    while (p != 0) {
        ++j;
        p >>= 1;
    }
    return j;
}

int TrimmedLength(const uint8_t* lengths, int n)
{
    while (n > 0 && lengths[n - 1] == 0) {
        --n;
    }
    return n;
}

// Visits the literal/length lengths as the pre-tree codes them: a non-zero length l as
// symbol l + 2, zero runs as symbols 0, 1 (3-18, 4 extra bits) or 2 (20 and more, 9 bits).
template <typename Visit> void WalkLengths(const uint8_t* lengths, int m, Visit visit)
{
    for (int i = 0; i < m;) {
        if (lengths[i] != 0) {
            visit(lengths[i] + 2, 0u, 0u);
            ++i;
            continue;
        }
        int r = 0;
        while (i < m && lengths[i] == 0) {
            ++r;
            ++i;
        }
        if (r <= 2) {
            for (int k = 0; k < r; ++k) {
                visit(0, 0u, 0u);
            }
        } else if (r <= 18) {
            visit(1, 4u, static_cast<unsigned>(r - 3));
        } else if (r == 19) {
            visit(0, 0u, 0u);
            visit(1, 4u, 15u);
        } else {
            visit(2, 9u, static_cast<unsigned>(r - 20));
        }
    }
}

} // namespace

void CLzhBlockWriter::Start(int dictBits, ByteSink* sink, uint32_t cap)
{
    m_positionAlphabet = dictBits <= 13 ? 14 : (dictBits == 16 ? 17 : 16);
    m_positionWidth = dictBits <= 13 ? 4 : 5;
    std::memset(m_literalCounts, 0, sizeof m_literalCounts);
    std::memset(m_positionCounts, 0, sizeof m_positionCounts);
    m_index = 0;
    m_flagBit = 0;
    m_flagIndex = 0;
    m_tokens[0] = 0;
    bits.Start(sink, cap);
}

bool CLzhBlockWriter::OpenToken()
{
    m_flagBit >>= 1;
    if (m_flagBit == 0) {
        m_flagBit = 0x80;
        if (m_index >= kTokenBufferLimit) {
            SendBlock();
            if (bits.cannotShrink) {
                return false;
            }
            m_index = 0;
        }
        m_flagIndex = m_index;
        m_tokens[m_index++] = 0;
    }
    return true;
}

void CLzhBlockWriter::PutLiteral(uint8_t byte)
{
    if (!OpenToken()) {
        return;
    }
    m_tokens[m_index++] = byte;
    ++m_literalCounts[byte];
}

void CLzhBlockWriter::PutMatch(unsigned length, unsigned position)
{
    if (!OpenToken()) {
        return;
    }
    m_tokens[m_index++] = static_cast<uint8_t>(length - 3);
    ++m_literalCounts[length + 253];
    m_tokens[m_flagIndex] = static_cast<uint8_t>(m_tokens[m_flagIndex] | m_flagBit);
    m_tokens[m_index++] = static_cast<uint8_t>(position >> 8);
    m_tokens[m_index++] = static_cast<uint8_t>(position);
    ++m_positionCounts[BitLength(position)];
}

void CLzhBlockWriter::Finish()
{
    if (!bits.cannotShrink) {
        SendBlock();
        bits.Finish();
    }
}

// Lengths of the pre-tree or position code: 3 bits each, 7 and above as k - 4 one bits and
// a zero; after the third length (special index 3) a 2-bit count of the zero lengths that
// follow at indices 3-5, which are then skipped.
void CLzhBlockWriter::WriteLengthSection(const uint8_t* lengths, int count, unsigned width,
                                         int special)
{
    int n = TrimmedLength(lengths, count);
    bits.PutBits(width, static_cast<unsigned>(n));
    for (int i = 0; i < n;) {
        unsigned k = lengths[i++];
        if (k <= 6) {
            bits.PutBits(3, k);
        } else {
            bits.PutBits(k - 3, ((1u << (k - 3)) - 1) & ~1u); // k - 4 ones, then a zero
        }
        if (i == special) {
            while (i < 6 && lengths[i] == 0) {
                ++i;
            }
            bits.PutBits(2, static_cast<unsigned>(i - 3));
        }
    }
}

void CLzhBlockWriter::WriteLiteralLengths(const HuffmanCode& preTree)
{
    int m = TrimmedLength(m_literal.lengths, kLiteralAlphabet);
    bits.PutBits(9, static_cast<unsigned>(m));
    WalkLengths(m_literal.lengths, m, [&](int symbol, unsigned extraBits, unsigned extra) {
        bits.PutCode(preTree.lengths[symbol], preTree.codes[symbol]);
        if (extraBits > 0) {
            bits.PutBits(extraBits, extra);
        }
    });
}

void CLzhBlockWriter::WriteTokens(unsigned count)
{
    uint32_t at = 0;
    unsigned flags = 0;
    for (unsigned t = 0; t < count && !bits.cannotShrink; ++t) {
        if (t % 8 == 0) {
            flags = m_tokens[at++];
        } else {
            flags <<= 1;
        }
        unsigned symbol = m_tokens[at++];
        if (!(flags & 0x80)) {
            bits.PutCode(m_literal.lengths[symbol], m_literal.codes[symbol]);
            continue;
        }
        symbol += 256;
        bits.PutCode(m_literal.lengths[symbol], m_literal.codes[symbol]);
        unsigned p = (static_cast<unsigned>(m_tokens[at]) << 8) | m_tokens[at + 1];
        at += 2;
        unsigned j = BitLength(p);
        bits.PutCode(m_position.lengths[j], m_position.codes[j]);
        if (j > 1) {
            bits.PutBits(j - 1, p & ((1u << (j - 1)) - 1));
        }
    }
}

void CLzhBlockWriter::SendBlock()
{
    uint16_t tokens = 0;
    int root = BuildHuffmanCode(m_literalCounts, kLiteralAlphabet, m_literal, tokens);
    bits.PutBits(16, tokens);
    if (root >= kLiteralAlphabet) {
        uint16_t preCounts[kPreTreeAlphabet] = {};
        int m = TrimmedLength(m_literal.lengths, kLiteralAlphabet);
        WalkLengths(m_literal.lengths, m,
                    [&](int symbol, unsigned, unsigned) { ++preCounts[symbol]; });
        HuffmanCode preTree;
        uint16_t preTotal = 0;
        int preRoot = BuildHuffmanCode(preCounts, kPreTreeAlphabet, preTree, preTotal);
        if (preRoot >= kPreTreeAlphabet) {
            WriteLengthSection(preTree.lengths, kPreTreeAlphabet, 5, 3);
        } else {
            bits.PutBits(5, 0);
            bits.PutBits(5, static_cast<unsigned>(preRoot));
        }
        WriteLiteralLengths(preTree);
    } else {
        bits.PutBits(5, 0);
        bits.PutBits(5, 0);
        bits.PutBits(9, 0);
        bits.PutBits(9, static_cast<unsigned>(root));
    }
    uint16_t positions = 0;
    int positionRoot =
        BuildHuffmanCode(m_positionCounts, m_positionAlphabet, m_position, positions);
    if (positionRoot >= m_positionAlphabet) {
        WriteLengthSection(m_position.lengths, m_positionAlphabet, m_positionWidth, -1);
    } else {
        bits.PutBits(m_positionWidth, 0);
        bits.PutBits(m_positionWidth, static_cast<unsigned>(positionRoot));
    }
    WriteTokens(tokens);
    std::memset(m_literalCounts, 0, sizeof m_literalCounts);
    std::memset(m_positionCounts, 0, sizeof m_positionCounts);
}
