// Sliding window, hash chains and the crowded-key search of the LZH encoder.
#include "lzh/LzhMatchFinder.h"

#include "lzh/Crc16.h"

#include <algorithm>
#include <cstring>

namespace
{

constexpr uint32_t kMaxWindow = 2 * 65536 + 256;
constexpr unsigned kKeyMask = CLzhMatchFinder::kKeyMask;

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

uint64_t LinkDistance(uint64_t links, int k)
{
    return (links >> (16 * k)) & 0xFFFF;
}

} // namespace

CLzhMatchFinder::CLzhMatchFinder()
    : m_window(new uint8_t[kMaxWindow]), m_head(new uint32_t[kHashSize]),
      m_link(new uint64_t[65536]()), m_slotKey(new uint16_t[65536]),
      m_keyCount(new uint32_t[kHashSize])
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

void CLzhMatchFinder::Clear(int dictBits, ByteSource* source)
{
    int bitsUsed = dictBits == 16 ? 16 : (dictBits == 15 ? 15 : 13);
    dict = 1u << bitsUsed;
    m_windowSize = 2 * dict + 256;
    m_source = source;
    crc = 0;
    crowdedCount = 0;
    crowdedLogAtSlide = crowdedLog != nullptr ? static_cast<uint32_t>(crowdedLog->size()) : 0;
    // The search reads up to 256 bytes past pos whatever remains of the data; a cleared
    // window makes the output a function of the input alone.
    std::memset(m_window.get(), 0, kMaxWindow);
    std::memset(m_head.get(), 0, kHashSize * sizeof(uint32_t));
    std::memset(m_keyCount.get(), 0, kHashSize * sizeof(uint32_t));
    std::fill_n(m_slotKey.get(), dict, kNoKey);
    std::memset(m_crowded, 0, sizeof m_crowded);
}

void CLzhMatchFinder::Start(int dictBits, ByteSource* source)
{
    Clear(dictBits, source);
    m_firstWindow = true;
    slid = 0;
    remaining = Read(m_window.get() + dict, m_windowSize - dict);
    matchLength = remaining < 2 ? remaining : 2;
    matchPos = 0;
    pos = dict;
    const uint8_t* w = m_window.get();
    // The first key shifts by 7 bits where the rolling update shifts by 5.
    m_key = ((static_cast<unsigned>(w[pos]) * 32 ^ w[pos + 1]) * 128 ^ w[pos + 2]) & kKeyMask;
    m_secondKey = ((m_key * 32) ^ w[pos + 3]) & kKeyMask; // what Advance gives position D + 1
    Insert();
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
    crowdedCount = 0;
    if (crowdedLog != nullptr) {
        crowdedLogAtSlide = static_cast<uint32_t>(crowdedLog->size());
    }
    slid += dict;
}

namespace
{

// The state of one chain scan. Walks copy it into locals, test each candidate inline and
// compare in full, which few candidates reach, out of line.
struct ChainScan
{
    const uint8_t* w;    // the window
    const uint8_t* here; // w + pos
    uint32_t max;        // the longest match wanted
    uint32_t length;     // the best length so far
    uint32_t found;      // where it starts
    uint32_t at;         // where the four test bytes start: length - 3, or 0 below 3
    uint32_t mask;       // which of them count: all, or the first three (bytes 0-2)
    uint32_t test;       // the four bytes at here + at

    // A longer match needs bytes 0..length of here; the test takes the four ending at
    // length (at least bytes 0-2 while the best is 2).
    void Aim()
    {
        at = length >= 3 ? length - 3 : 0;
        mask = length >= 3 ? 0xFFFFFFFFu : 0x00FFFFFFu;
        std::memcpy(&test, here + at, 4);
    }

    // Whether the match at s can be longer than the best.
    bool Promising(uint32_t s) const
    {
        uint32_t bytes;
        std::memcpy(&bytes, w + s + at, 4);
        return ((bytes ^ test) & mask) == 0;
    }

    // Compares the match at s in full; true when it reaches max and the scan stops.
    __attribute__((noinline)) bool Extend(uint32_t s)
    {
        const uint32_t l = MatchLength(w + s, here, max);
        if (l <= length) {
            return false;
        }
        length = l;
        found = s;
        if (l < max) {
            Aim();
        }
        return l == max;
    }
};

// What a walk needs besides the scan: the chains and the window's bounds.
struct ChainSet
{
    const uint32_t* head;
    const uint32_t* keyCount; // positions of each key in the window, or one more
    const uint64_t* link;
    uint32_t mask;       // D - 1: a position's entry is at position & mask
    uint32_t pos;        // the position searched from
    uint32_t firstKeyed; // in the first window the first position with the rolling key, else 0
};

// The next candidate after c through its entry e, k = 0-3 steps on.
inline int32_t Step(int32_t c, uint64_t e, int k)
{
    return c - static_cast<int32_t>(LinkDistance(e, k));
}

// Once it is certain whether the chain of the position's own key holds more than 255
// candidates (256 have been seen, or its count in the window says it holds fewer) and the
// best length is 3 or more, only candidates that can still pass the best length matter,
// and each of them shares bytes j..j+2 (any 1 <= j <= best - 2) with pos, so that it is
// found j bytes ahead on the chain of those bytes' key, in the same order. The walk goes on
// there from candidate `from` (the next one of the own key's chain); it needs from + j < pos,
// so that every position it looks at has been inserted. In the first window the position
// after the window's first has a key of its own: it counts only if that is the own key.
bool WalkShifted(ChainScan& scan, const ChainSet& set, int32_t from, int32_t limit, unsigned key,
                 unsigned ownKeyOfSecond, uint32_t j, unsigned shiftedKey)
{
    const auto shift = static_cast<int32_t>(j);
    auto c = static_cast<int32_t>(set.head[shiftedKey]);
    while (c - shift > limit) {
        const uint64_t e = set.link[static_cast<uint32_t>(c) & set.mask];
        for (int k = 0; k <= 3; ++k) {
            const int32_t candidate = (k == 0 ? c : Step(c, e, k - 1)) - shift;
            if (candidate <= limit) {
                return false;
            }
            if (candidate > from) {
                continue; // visited on the own key's chain
            }
            if (static_cast<uint32_t>(candidate) == set.firstKeyed + 1 && ownKeyOfSecond != key) {
                continue;
            }
            if (scan.Promising(static_cast<uint32_t>(candidate)) &&
                scan.Extend(static_cast<uint32_t>(candidate))) {
                return true;
            }
        }
        c = Step(c, e, 3);
    }
    return false;
}

// The rolling key of three bytes.
inline unsigned KeyOf(const uint8_t* t)
{
    return ((static_cast<unsigned>(t[0]) << 10) ^ (t[1] << 5) ^ t[2]) & kKeyMask;
}

// The shift j (1 <= j <= best - 2) whose key has the fewest positions: among the first few
// and the last, which takes the byte at the best length.
constexpr uint32_t kShiftsTried = 4;
inline uint32_t RarestShift(const ChainScan& scan, const ChainSet& set, unsigned& shiftedKey,
                            uint32_t& count)
{
    const uint32_t last = scan.length - 2;
    uint32_t j = last;
    shiftedKey = KeyOf(scan.here + last);
    count = set.keyCount[shiftedKey];
    for (uint32_t i = 1; i < last && i <= kShiftsTried; ++i) {
        const unsigned k = KeyOf(scan.here + i);
        if (set.keyCount[k] < count) {
            j = i;
            shiftedKey = k;
            count = set.keyCount[k];
        }
    }
    return j;
}

// The walk over one chain: candidates c stand for matches at c - off, or at c on the chain
// of the position's own key (kOwnKey), where a long chain goes on through WalkShifted.
// Returns the candidates visited, counted up to 256 where WalkShifted takes over.
//
// The loop keeps the test in locals: `probe` is the distance from a candidate to its test
// bytes (at - off, taken modulo 2^32, which leaves c + probe the index of the bytes since
// c > off), and the full comparison, which may change the test, writes it back.
template <bool kOwnKey>
unsigned Walk(ChainScan& scan, const ChainSet& set, int32_t c, int32_t limit, uint32_t off,
              unsigned key, unsigned ownKeyOfSecond, uint32_t inWindow)
{
    uint32_t decided = 0; // the best length for which staying on this chain was chosen
    const uint8_t* const w = scan.w;
    const uint64_t* const link = set.link;
    const uint32_t mask = set.mask;
    uint32_t probe = scan.at - off;
    uint32_t test = scan.test;
    uint32_t testMask = scan.mask;
    auto promising = [&](int32_t candidate) {
        uint32_t bytes;
        std::memcpy(&bytes, w + (static_cast<uint32_t>(candidate) + probe), 4);
        return ((bytes ^ test) & testMask) == 0;
    };
    // The full comparison; true when the scan stops.
    auto extend = [&](int32_t candidate) {
        bool full = scan.Extend(static_cast<uint32_t>(candidate) - off);
        probe = scan.at - off;
        test = scan.test;
        testMask = scan.mask;
        return full;
    };
    unsigned chain = 0;
    while (c > limit) {
        if (kOwnKey && scan.length >= 3 && (chain >= 256 || inWindow <= 255) &&
            scan.length != decided && static_cast<uint32_t>(c) + scan.length - 2 < set.pos) {
            // Past 256 the rest of a long chain is not walked; otherwise a rarer key is
            // taken when it has fewer positions than this chain has candidates left.
            unsigned shiftedKey;
            uint32_t count;
            const uint32_t j = RarestShift(scan, set, shiftedKey, count);
            if (chain >= 256 || count < inWindow - chain) {
                WalkShifted(scan, set, c, limit, key, ownKeyOfSecond, j, shiftedKey);
                return chain;
            }
            decided = scan.length;
        }
        const uint64_t e = link[static_cast<uint32_t>(c) & mask];
        const int32_t c1 = Step(c, e, 0);
        const int32_t c2 = Step(c, e, 1);
        const int32_t c3 = Step(c, e, 2);
        if (c3 > limit) {
            // Candidates only decrease along the chain: all four are inside the window.
            if (promising(c) && extend(c)) {
                return chain + 1;
            }
            if (promising(c1) && extend(c1)) {
                return chain + 2;
            }
            if (promising(c2) && extend(c2)) {
                return chain + 3;
            }
            chain += 4;
            if (promising(c3) && extend(c3)) {
                return chain;
            }
            c = Step(c, e, 3);
            continue;
        }
        // The chain leaves the window within this entry.
        const int32_t last[3] = {c, c1, c2};
        for (int32_t candidate : last) {
            if (candidate <= limit) {
                break;
            }
            ++chain;
            if (promising(candidate) && extend(candidate)) {
                break;
            }
        }
        return chain;
    }
    return chain;
}

} // namespace

// Scans the chain of `key`, whose candidates c stand for matches starting at c - off, in
// the chain's order, four to an entry. A candidate is compared in full only when the four
// bytes ending at the best length agree (bytes 0-2 while the best is 2): one that differs
// there cannot be longer.
void CLzhMatchFinder::Scan(unsigned key, uint32_t off, uint32_t max, uint32_t& best)
{
    // Positions are below 2^18, so candidates and the limit compare as signed values: a
    // distance that reaches before index 0 ends the walk like one that reaches the limit.
    const auto limit = static_cast<int32_t>(m_firstWindow ? dict + off : pos - dict + off);
    ChainScan scan{m_window.get(), m_window.get() + pos, max, best, matchPos, 0, 0, 0};
    scan.Aim();
    const ChainSet set{m_head.get(), m_keyCount.get(),        m_link.get(), dict - 1,
                       pos,          m_firstWindow ? dict : 0};
    const auto head = static_cast<int32_t>(m_head[key]);
    // Only the chain of the position's own key holds every match at offset 0: a crowded
    // search that found no free key scans the last key it computed at offset 0.
    unsigned chain = 0;
    if (off == 0 && key == m_key) {
        // Its candidates are the counted positions but pos - D, which the slot that pos will
        // take still holds (D in the first window, in slot 0).
        uint32_t inWindow = m_keyCount[key];
        inWindow -= m_slotKey[m_firstWindow ? 0 : pos & (dict - 1)] == key ? 1 : 0;
        chain = Walk<true>(scan, set, head, limit, 0, key, m_secondKey, inWindow);
    } else {
        chain = Walk<false>(scan, set, head, limit, off, key, m_secondKey, 0);
    }
    best = scan.length;
    matchPos = scan.found;
    if (chain > 255 && !IsCrowded(key)) {
        SetCrowded(key);
        ++crowdedCount;
        if (crowdedLog != nullptr) {
            crowdedLog->push_back(static_cast<uint16_t>(key));
        }
    }
}

void CLzhMatchFinder::StartAt(int dictBits, ByteSource* source, uint32_t start, unsigned secondKey)
{
    Clear(dictBits, source);
    m_firstWindow = false;
    slid = start;
    const uint32_t got = Read(m_window.get(), m_windowSize);
    remaining = got > dict ? got - dict : 0;
    // Every position from start - D on has the rolling key; the one at window index 0 stays
    // out of the heads (0 reads as no position), as the slide to here left it.
    const uint8_t* w = m_window.get();
    for (pos = 0; pos < dict; ++pos) {
        m_key = KeyOf(w + pos);
        Insert();
    }
    m_key = KeyOf(w + pos);
    m_secondKey = secondKey;
    matchLength = 2;
    matchPos = 0;
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
