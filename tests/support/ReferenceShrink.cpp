// Reference Shrink: LZW over codes of 9 to 13 bits, least significant bit first. 256 is a
// control code (then 1: codes grow by a bit; 2: partial clear, freeing every code in use that
// no code in use names as its prefix); 257-8191 are strings, each the string of its prefix
// code plus one byte. Every code after the first first defines the lowest free code as the
// previous code plus the first byte of its own string, then reads through the table as it
// stands (so the lowest free code, read, is the previous string plus its own first byte);
// every code on the way must be in use. Nothing ends the stream: decoding stops at the
// member's size.
#include "tests/support/ReferenceShrink.h"

#include "tests/support/LsbBits.h"

#include <algorithm>

namespace testsupport
{
namespace
{

constexpr unsigned kControl = 256;
constexpr unsigned kFirstString = 257;
constexpr unsigned kCodes = 8192;
// A chain of more prefix links than there are string codes must pass one code twice.
constexpr unsigned kMostLinks = kCodes - kFirstString;

struct Entry
{
    bool inUse = false;
    unsigned prefix = 0;
    uint8_t last = 0;
};

class Unshrinker
{
public:
    explicit Unshrinker(const std::vector<uint8_t>& packed) : m_in(packed), m_table(kCodes) {}

    ShrinkError Run(uint64_t size, std::vector<uint8_t>& out)
    {
        bool havePrevious = false;
        unsigned previous = 0;
        while (out.size() < size) {
            unsigned code;
            if (!m_in.Read(m_width, code)) {
                return ShrinkError::Truncated;
            }
            if (code == kControl) {
                ShrinkError e = Control();
                if (e != ShrinkError::Ok) {
                    return e;
                }
                continue;
            }
            // The definition this code brings is made first; the code may stand on it.
            unsigned defined = kCodes;
            if (havePrevious && m_lowestFree < kCodes) {
                defined = m_lowestFree;
                m_table[defined] = {true, previous, 0};
                m_end = std::max(m_end, defined + 1);
            }
            if (code > kControl && !m_table[code].inUse) {
                return havePrevious ? ShrinkError::UndefinedCode : ShrinkError::FirstCodeNotLiteral;
            }
            unsigned first;
            ShrinkError chain = FirstByte(code, first);
            if (chain != ShrinkError::Ok) {
                return chain;
            }
            if (defined != kCodes) {
                m_table[defined].last = static_cast<uint8_t>(first);
                FindLowestFree();
            }
            Spell(code, m_string);
            const std::vector<uint8_t>& string = m_string;
            havePrevious = true;
            previous = code;
            size_t n = std::min<uint64_t>(string.size(), size - out.size());
            out.insert(out.end(), string.begin(), string.begin() + static_cast<ptrdiff_t>(n));
        }
        return ShrinkError::Ok;
    }

private:
    ShrinkError Control()
    {
        unsigned action;
        if (!m_in.Read(m_width, action)) {
            return ShrinkError::Truncated;
        }
        if (action == 1) {
            if (m_width == 13) {
                return ShrinkError::WidthPast13;
            }
            ++m_width;
            return ShrinkError::Ok;
        }
        if (action == 2) {
            PartialClear();
            return ShrinkError::Ok;
        }
        return ShrinkError::UnknownControl;
    }

    // The literal a code's chain of prefixes ends in, through codes in use only.
    ShrinkError FirstByte(unsigned code, unsigned& first) const
    {
        unsigned links = 0;
        while (code >= kFirstString) {
            if (!m_table[code].inUse) {
                return ShrinkError::ChainThroughFreeCode;
            }
            if (++links > kMostLinks) {
                return ShrinkError::LoopingString;
            }
            code = m_table[code].prefix;
        }
        first = code;
        return ShrinkError::Ok;
    }

    // The string of code (whose chain ends), first byte first.
    void Spell(unsigned code, std::vector<uint8_t>& string) const
    {
        string.clear();
        while (code >= kFirstString) {
            string.push_back(m_table[code].last);
            code = m_table[code].prefix;
        }
        string.push_back(static_cast<uint8_t>(code));
        std::reverse(string.begin(), string.end());
    }

    // Codes above the highest one ever defined are free and stay out of the scans.
    void PartialClear()
    {
        std::vector<bool> extended(kCodes);
        for (unsigned c = kFirstString; c < m_end; ++c) {
            if (m_table[c].inUse) {
                extended[m_table[c].prefix] = true;
            }
        }
        for (unsigned c = kFirstString; c < m_end; ++c) {
            if (m_table[c].inUse && !extended[c]) {
                m_table[c].inUse = false;
            }
        }
        m_lowestFree = kFirstString;
        FindLowestFree();
    }

    void FindLowestFree()
    {
        while (m_lowestFree < kCodes && m_table[m_lowestFree].inUse) {
            ++m_lowestFree;
        }
    }

    LsbBitReader m_in;
    std::vector<Entry> m_table;
    unsigned m_width = 9;
    unsigned m_lowestFree = kFirstString;
    unsigned m_end = kFirstString; // one past the highest code defined so far
    std::vector<uint8_t> m_string; // the string of the code just read
};

} // namespace

ReferenceShrinkResult ReferenceUnshrink(const std::vector<uint8_t>& packed, uint64_t unpackedSize)
{
    ReferenceShrinkResult result;
    Unshrinker unshrinker(packed);
    result.error = unshrinker.Run(unpackedSize, result.output);
    return result;
}

DecodeStatus StatusOf(ShrinkError error)
{
    switch (error) {
    case ShrinkError::Ok:
        return DecodeStatus::Ok;
    case ShrinkError::Truncated:
        return DecodeStatus::Truncated;
    default:
        return DecodeStatus::Invalid;
    }
}

} // namespace testsupport
