// Reference LZH encoding. Window of 2D + 256 bytes, data from index D, sliding by D at 2D;
// a 15-bit rolling key of three bytes (the first key shifts by 7 where the rolling update
// shifts by 5) with chains of links indexed by position mod D; a key whose chain held more
// than 255 candidates is crowded until the next slide, and its searches use a later key,
// taking matches back by the offset. One-step lazy matching, ties to the earlier match.
// Tokens: groups of eight behind a flag byte; a full buffer (32744 bytes or more at a
// group's start) becomes a block. The bit output stops at the first byte past the input's
// size.
#include "tests/support/ReferenceLzhEncoder.h"

#include "lzh/Crc16.h"
#include "lzh/LzhHuffmanBuilder.h"

#include <cstring>

namespace testsupport
{
namespace
{

constexpr uint32_t kHashSize = 1u << 15;
constexpr unsigned kKeyMask = 0x7FFF;
constexpr uint32_t kMaxMatch = 256;
constexpr uint32_t kTokenBufferSize = 32768;
constexpr uint32_t kTokenBufferLimit = kTokenBufferSize - 24;

class Encoder
{
public:
    Encoder(const std::vector<uint8_t>& data, int method) : m_data(data)
    {
        int dictBits = method == 7 ? 16 : (method == 6 ? 15 : 13);
        m_dict = 1u << dictBits;
        m_windowSize = 2 * m_dict + 256;
        m_positionAlphabet = dictBits == 13 ? 14 : (dictBits == 16 ? 17 : 16);
        m_positionWidth = dictBits == 13 ? 4 : 5;
        m_window.assign(2 * 65536 + 256, 0);
        m_head.assign(kHashSize, 0);
        m_link.assign(65536, 0);
        m_crowded.assign(kHashSize, false);
        m_tokens.assign(kTokenBufferSize, 0);
    }

    ReferenceEncodeResult Run()
    {
        StartMatching();
        while (m_remaining > 0 && !m_cannotShrink) {
            uint32_t lastLength = m_matchLength;
            uint32_t lastCode = m_pos - m_matchPos - 1;
            m_matchLength = lastLength - 1;
            Advance();
            SearchClamped();
            if (m_matchLength > lastLength || lastLength < 3) {
                PutToken(m_window[m_pos - 1], 0, false);
                continue;
            }
            PutToken(lastLength + 253, lastCode & (m_dict - 1), true);
            for (uint32_t k = lastLength - 2; k > 0; --k) {
                Advance();
                Insert();
            }
            Advance();
            m_matchLength = 2;
            SearchClamped();
        }
        if (!m_cannotShrink) {
            SendBlock();
            PutBits(7, 0);
        }
        return {m_out, m_cannotShrink, m_crc};
    }

private:
    // Input, in the pieces the window takes.
    uint32_t Read(uint8_t* into, uint32_t count)
    {
        size_t n = m_data.size() - m_read < count ? m_data.size() - m_read : count;
        std::memcpy(into, m_data.data() + m_read, n);
        m_read += n;
        m_crc = Crc16Update(m_crc, into, static_cast<long>(n));
        return static_cast<uint32_t>(n);
    }

    void StartMatching()
    {
        m_remaining = Read(m_window.data() + m_dict, m_windowSize - m_dict);
        m_matchLength = m_remaining < 2 ? m_remaining : 2;
        m_pos = m_dict;
        const uint8_t* w = m_window.data();
        m_key =
            ((static_cast<unsigned>(w[m_pos]) * 32 ^ w[m_pos + 1]) * 128 ^ w[m_pos + 2]) & kKeyMask;
        Insert();
    }

    // The link is the distance back to the previous position of the key; 0 ends the chain.
    void Insert()
    {
        uint32_t previous = m_head[m_key];
        uint32_t distance = m_pos - previous;
        m_link[m_pos & (m_dict - 1)] =
            static_cast<uint16_t>(previous == 0 || distance > 0xFFFF ? 0 : distance);
        m_head[m_key] = m_pos;
    }

    void Advance()
    {
        --m_remaining;
        ++m_pos;
        if (m_pos >= m_windowSize - 256) {
            Slide();
        }
        m_key = ((m_key * 32) ^ m_window[m_pos + 2]) & kKeyMask;
    }

    void Slide()
    {
        m_firstWindow = false;
        uint8_t* w = m_window.data();
        std::memmove(w, w + m_dict, m_windowSize - m_dict);
        m_remaining += Read(w + m_windowSize - m_dict, m_dict);
        m_pos -= m_dict;
        for (uint32_t& h : m_head) {
            h = h < m_dict ? 0 : h - m_dict;
        }
        m_crowded.assign(kHashSize, false);
    }

    // Candidates c of the chain of `key` stand for matches at c - off; the walk stops at
    // the limit, which keeps every match inside the window.
    void Scan(unsigned key, uint32_t off, uint32_t max, uint32_t& best)
    {
        const uint8_t* w = m_window.data();
        const uint32_t limit = m_firstWindow ? m_dict + off : m_pos - m_dict + off;
        unsigned chain = 0;
        uint32_t c = m_head[key];
        while (c > limit) {
            ++chain;
            uint32_t s = c - off;
            uint32_t l = 0;
            // A candidate that differs at the best length cannot be longer.
            while (w[s + best] == w[m_pos + best] && l < max && w[s + l] == w[m_pos + l]) {
                ++l;
            }
            if (l > best) {
                best = l;
                m_matchPos = s;
                if (l == max) {
                    break;
                }
            }
            uint16_t distance = m_link[c & (m_dict - 1)];
            c = distance == 0 || distance > c ? 0 : c - distance;
        }
        if (chain > 255) {
            m_crowded[key] = true;
        }
    }

    void SearchClamped()
    {
        uint32_t best = m_matchLength < 2 ? 2 : m_matchLength;
        m_matchPos = m_pos;
        uint32_t off = 0;
        unsigned k = m_key;
        if (m_crowded[k]) {
            do {
                ++off;
                k = ((k * 32) ^ m_window[m_pos + off + 2]) & kKeyMask;
            } while (m_crowded[k] && off < kMaxMatch - 3);
            if (off == kMaxMatch - 3) {
                off = 0;
            }
        }
        Scan(k, off, kMaxMatch, best);
        if (off > 0 && best <= off + 2) {
            Scan(m_key, 0, off + 2, best);
        }
        m_matchLength = best;
        Insert();
        if (m_matchLength > m_remaining) {
            m_matchLength = m_remaining;
        }
    }

    static unsigned BitLength(unsigned p)
    {
        unsigned j = 0;
        for (; p != 0; p >>= 1) {
            ++j;
        }
        return j;
    }

    void PutToken(unsigned symbol, unsigned position, bool match)
    {
        m_flagBit >>= 1;
        if (m_flagBit == 0) {
            m_flagBit = 0x80;
            if (m_index >= kTokenBufferLimit) {
                SendBlock();
                if (m_cannotShrink) {
                    return;
                }
                m_index = 0;
            }
            m_flagIndex = m_index;
            m_tokens[m_index++] = 0;
        }
        m_tokens[m_index++] = static_cast<uint8_t>(symbol);
        ++m_literalCounts[symbol];
        if (match) {
            m_tokens[m_flagIndex] = static_cast<uint8_t>(m_tokens[m_flagIndex] | m_flagBit);
            m_tokens[m_index++] = static_cast<uint8_t>(position >> 8);
            m_tokens[m_index++] = static_cast<uint8_t>(position);
            ++m_positionCounts[BitLength(position)];
        }
    }

    // Bits most significant first into bytes; the byte that would pass the cap stops all.
    void PutBits(unsigned n, unsigned value)
    {
        for (unsigned i = n; i-- > 0 && !m_cannotShrink;) {
            m_byte = (m_byte << 1) | ((value >> i) & 1);
            if (++m_filled == 8) {
                if (m_out.size() >= m_data.size()) {
                    m_cannotShrink = true;
                    return;
                }
                m_out.push_back(static_cast<uint8_t>(m_byte));
                m_byte = 0;
                m_filled = 0;
            }
        }
    }

    void PutCode(const HuffmanCode& code, unsigned symbol)
    {
        unsigned n = code.lengths[symbol];
        PutBits(n, static_cast<unsigned>(code.codes[symbol]) >> (16 - n));
    }

    static int Trimmed(const uint8_t* lengths, int n)
    {
        while (n > 0 && lengths[n - 1] == 0) {
            --n;
        }
        return n;
    }

    // Lengths of the pre-tree or position code: 3 bits, or k - 4 ones and a zero from 7 on;
    // after the third (special 3) a 2-bit count of the zero lengths at indices 3-5.
    void PutLengthSection(const uint8_t* lengths, int count, unsigned width, int special)
    {
        int n = Trimmed(lengths, count);
        PutBits(width, static_cast<unsigned>(n));
        for (int i = 0; i < n;) {
            unsigned k = lengths[i++];
            if (k <= 6) {
                PutBits(3, k);
            } else {
                PutBits(k - 3, ((1u << (k - 3)) - 1) & ~1u);
            }
            if (i == special) {
                while (i < 6 && lengths[i] == 0) {
                    ++i;
                }
                PutBits(2, static_cast<unsigned>(i - 3));
            }
        }
    }

    // The literal/length lengths as pre-tree symbols: a length l as l + 2, zero runs as 0
    // (one zero), 1 (3-18, 4 bits), 0 and 1 (19) or 2 (20 and more, 9 bits).
    template <typename Visit> static void WalkLengths(const uint8_t* lengths, int m, Visit visit)
    {
        for (int i = 0; i < m;) {
            if (lengths[i] != 0) {
                visit(lengths[i++] + 2, 0u, 0u);
                continue;
            }
            int r = 0;
            for (; i < m && lengths[i] == 0; ++i) {
                ++r;
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

    void SendBlock()
    {
        HuffmanCode literal;
        uint16_t tokens = 0;
        int root = BuildHuffmanCode(m_literalCounts, 510, literal, tokens);
        PutBits(16, tokens);
        if (root >= 510) {
            uint16_t preCounts[19] = {};
            int m = Trimmed(literal.lengths, 510);
            WalkLengths(literal.lengths, m, [&](int s, unsigned, unsigned) { ++preCounts[s]; });
            HuffmanCode preTree;
            uint16_t preTotal = 0;
            int preRoot = BuildHuffmanCode(preCounts, 19, preTree, preTotal);
            if (preRoot >= 19) {
                PutLengthSection(preTree.lengths, 19, 5, 3);
            } else {
                PutBits(5, 0);
                PutBits(5, static_cast<unsigned>(preRoot));
            }
            PutBits(9, static_cast<unsigned>(m));
            WalkLengths(literal.lengths, m, [&](int s, unsigned extraBits, unsigned extra) {
                PutCode(preTree, static_cast<unsigned>(s));
                if (extraBits > 0) {
                    PutBits(extraBits, extra);
                }
            });
        } else {
            PutBits(5, 0);
            PutBits(5, 0);
            PutBits(9, 0);
            PutBits(9, static_cast<unsigned>(root));
        }
        HuffmanCode position;
        uint16_t positions = 0;
        int positionRoot =
            BuildHuffmanCode(m_positionCounts, m_positionAlphabet, position, positions);
        if (positionRoot >= m_positionAlphabet) {
            PutLengthSection(position.lengths, m_positionAlphabet, m_positionWidth, -1);
        } else {
            PutBits(m_positionWidth, 0);
            PutBits(m_positionWidth, static_cast<unsigned>(positionRoot));
        }
        uint32_t at = 0;
        unsigned flags = 0;
        for (unsigned t = 0; t < tokens && !m_cannotShrink; ++t) {
            flags = t % 8 == 0 ? m_tokens[at++] : flags << 1;
            unsigned symbol = m_tokens[at++];
            if (!(flags & 0x80)) {
                PutCode(literal, symbol);
                continue;
            }
            PutCode(literal, symbol + 256);
            unsigned p = (static_cast<unsigned>(m_tokens[at]) << 8) | m_tokens[at + 1];
            at += 2;
            unsigned j = BitLength(p);
            PutCode(position, j);
            if (j > 1) {
                PutBits(j - 1, p & ((1u << (j - 1)) - 1));
            }
        }
        std::memset(m_literalCounts, 0, sizeof m_literalCounts);
        std::memset(m_positionCounts, 0, sizeof m_positionCounts);
    }

    const std::vector<uint8_t>& m_data;
    size_t m_read = 0;
    uint16_t m_crc = 0;
    uint32_t m_dict, m_windowSize;
    std::vector<uint8_t> m_window;
    std::vector<uint32_t> m_head;
    std::vector<uint16_t> m_link;
    std::vector<bool> m_crowded;
    uint32_t m_pos = 0, m_remaining = 0, m_matchLength = 0, m_matchPos = 0;
    unsigned m_key = 0;
    bool m_firstWindow = true;

    int m_positionAlphabet;
    unsigned m_positionWidth;
    std::vector<uint8_t> m_tokens;
    uint32_t m_index = 0, m_flagIndex = 0;
    unsigned m_flagBit = 0;
    uint16_t m_literalCounts[510] = {};
    uint16_t m_positionCounts[17] = {};

    std::vector<uint8_t> m_out;
    unsigned m_byte = 0, m_filled = 0;
    bool m_cannotShrink = false;
};

} // namespace

ReferenceEncodeResult ReferenceLzhEncode(const std::vector<uint8_t>& data, int method)
{
    return Encoder(data, method).Run();
}

} // namespace testsupport
