// Sliding window, hash chains and the crowded-key search of the LZH encoder.
#include "lzh/LzhMatchFinder.h"

#include "lzh/Crc16.h"

#include <cstring>

namespace
{

constexpr uint32_t kMaxWindow = 2 * 65536 + 256;
constexpr unsigned kKeyMask = 0x7FFF;

// Length of the common prefix of a and b, at most max.
uint32_t MatchLength(const uint8_t* a, const uint8_t* b, uint32_t max)
{
    uint32_t i = 0;
    while (i + 8 <= max) {
        uint64_t x, y;
        std::memcpy(&x, a + i, 8);
        std::memcpy(&y, b + i, 8);
        if (x != y) {
            return i + static_cast<uint32_t>(__builtin_ctzll(x ^ y) >> 3);
        }
        i += 8;
    }
    while (i < max && a[i] == b[i]) {
        ++i;
    }
    return i;
}

// The previous position of a chain: 0 (the end) for no link or one before the window.
uint32_t NextCandidate(uint32_t c, uint16_t distance)
{
    return distance == 0 || distance > c ? 0 : c - distance;
}

} // namespace

CLzhMatchFinder::CLzhMatchFinder()
    : m_window(new uint8_t[kMaxWindow]), m_head(new uint32_t[kHashSize]),
      m_link(new uint16_t[65536]())
{}

CLzhMatchFinder::~CLzhMatchFinder() = default;

uint32_t CLzhMatchFinder::Read(uint8_t* into, uint32_t count)
{
    uint32_t total = 0;
    while (total < count) {
        uint32_t got = m_source->Read(into + total, count - total);
        if (got == 0) {
            break;
        }
        total += got;
    }
    crc = Crc16Update(crc, into, total);
    return total;
}

void CLzhMatchFinder::Start(int dictBits, LzhByteSource* source)
{
    int bitsUsed = dictBits == 16 ? 16 : (dictBits == 15 ? 15 : 13);
    dict = 1u << bitsUsed;
    m_windowSize = 2 * dict + 256;
    m_source = source;
    m_firstWindow = true;
    crc = 0;
    // The search reads up to 256 bytes past pos whatever remains of the data; a cleared
    // window makes the output a function of the input alone.
    std::memset(m_window.get(), 0, kMaxWindow);
    std::memset(m_head.get(), 0, kHashSize * sizeof(uint32_t));
    std::memset(m_crowded, 0, sizeof m_crowded);
    remaining = Read(m_window.get() + dict, m_windowSize - dict);
    matchLength = remaining < 2 ? remaining : 2;
    matchPos = 0;
    pos = dict;
    const uint8_t* w = m_window.get();
    // The first key shifts by 7 bits where the rolling update shifts by 5.
    m_key = ((static_cast<unsigned>(w[pos]) * 32 ^ w[pos + 1]) * 128 ^ w[pos + 2]) & kKeyMask;
    Insert();
}

void CLzhMatchFinder::Insert()
{
    // The link holds the distance back to the previous position of the key, 0 for none; a
    // distance above 65535 is beyond every window and ends the chain as well.
    uint32_t previous = m_head[m_key];
    uint32_t distance = pos - previous;
    m_link[pos & (dict - 1)] =
        static_cast<uint16_t>(previous == 0 || distance > 0xFFFF ? 0 : distance);
    m_head[m_key] = pos;
}

void CLzhMatchFinder::Advance()
{
    --remaining;
    ++pos;
    if (pos >= m_windowSize - 256) {
        Slide();
    }
    m_key = ((m_key * 32) ^ m_window[pos + 2]) & kKeyMask;
}

void CLzhMatchFinder::Slide()
{
    m_firstWindow = false;
    uint8_t* w = m_window.get();
    std::memmove(w, w + dict, m_windowSize - dict);
    remaining += Read(w + m_windowSize - dict, dict);
    pos -= dict;
    for (uint32_t i = 0; i < kHashSize; ++i) {
        m_head[i] = m_head[i] < dict ? 0 : m_head[i] - dict;
    }
    // Links are relative and need no rebasing: a chain that reaches back before the window
    // start now ends where its absolute position would have become 0.
    std::memset(m_crowded, 0, sizeof m_crowded);
}

// Scans the chain of `key`, whose candidates c stand for matches starting at c - off. A
// candidate is compared in full only when the byte just past the best length agrees: one
// that differs there cannot be longer than the best.
void CLzhMatchFinder::Scan(unsigned key, uint32_t off, uint32_t max, uint32_t& best)
{
    const uint8_t* const w = m_window.get();
    const uint8_t* const here = w + pos;
    const uint16_t* const link = m_link.get();
    const uint32_t mask = dict - 1;
    const uint32_t limit = m_firstWindow ? dict + off : pos - dict + off;
    uint32_t length = best;
    uint32_t found = matchPos;
    unsigned chain = 0;
    for (uint32_t c = m_head[key]; c > limit; c = NextCandidate(c, link[c & mask])) {
        ++chain;
        uint32_t s = c - off;
        if (w[s + length] != here[length]) {
            continue;
        }
        uint32_t l = MatchLength(w + s, here, max);
        if (l > length) {
            length = l;
            found = s;
            if (l == max) {
                break;
            }
        }
    }
    best = length;
    matchPos = found;
    if (chain > 255) {
        SetCrowded(key);
    }
}

void CLzhMatchFinder::Search()
{
    uint32_t best = matchLength < 2 ? 2 : matchLength;
    matchPos = pos;
    uint32_t off = 0;
    unsigned k = m_key;
    if (IsCrowded(k)) {
        do {
            ++off;
            k = ((k * 32) ^ m_window[pos + off + 2]) & kKeyMask;
        } while (IsCrowded(k) && off < kMaxMatch - 3);
        if (off == kMaxMatch - 3) {
            off = 0;
        }
    }
    Scan(k, off, kMaxMatch, best);
    if (off > 0 && best <= off + 2) {
        Scan(m_key, 0, off + 2, best);
    }
    matchLength = best;
    Insert();
}
