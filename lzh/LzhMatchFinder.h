// The encoder's dictionary and match search.
//
// Window: T = 2D + 256 bytes; the data to encode starts at index D, and when the position
// reaches 2D the upper D + 256 bytes move down by D and D more are read ("slide"). Hash
// chains over a 15-bit key of three bytes link each position to the previous ones with the
// same key. A key whose chain held more than 255 candidates is flagged crowded; its searches
// move to a key further along the data instead (matches then found through it are taken back
// by that offset). The search compares a candidate fully only when the bytes that a longer
// match needs agree at its start and just past the best length so far.
//
// A parse may also start in the middle of the data, at a slide point (StartAt): the window,
// chains and key counts there are those of the parse from the first byte, but for links to
// positions before the window, which every walk treats as the chain's end either way.
//
// Links: the entry of position p (indexed by p mod D) holds the distances back to the next
// four positions of its chain, 16 bits each, kChainEnd where the chain ends or leaves every
// window to come. A walk reads one entry per four candidates, so that following the chain
// waits for one load in four.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

class CLzhMatchFinder
{
public:
    // A link that ends the chain. Every candidate a walk visits lies less than 65535 bytes
    // behind the position searched from, and the walk stops at the window's start, so a
    // distance of 65535 from a candidate always lands at or before that start.
    static constexpr uint64_t kChainEnd = 0xFFFF;
    static constexpr unsigned kKeyMask = 0x7FFF; // keys are 15 bits

    CLzhMatchFinder();
    ~CLzhMatchFinder();
    CLzhMatchFinder(const CLzhMatchFinder&) = delete;
    CLzhMatchFinder& operator=(const CLzhMatchFinder&) = delete;

    // Clears the window and tables and reads the first D + 256 bytes.
    void Start(int dictBits, ByteSource* source);
    // Starts at the data's byte `start` (a multiple of D, at least 2D, followed by at least
    // D + 256 bytes), the source giving the data from start - D on, in the state of a parse
    // from the first byte just after its slide there: positions start - D to start - 1
    // inserted, no key crowded. secondKey is that parse's SecondKey(); crc counts only the
    // bytes read here.
    void StartAt(int dictBits, ByteSource* source, uint32_t start, unsigned secondKey);
    void SetSource(ByteSource* source) { m_source = source; }
    // One byte on: bytes remaining - 1, pos + 1, slide at 2D, roll the key.
    void Advance()
    {
        --remaining;
        ++pos;
        if (pos >= m_windowSize - 256) {
            Slide();
        }
        m_key = ((m_key * 32) ^ m_window[pos + 2]) & kKeyMask;
    }

    // Links pos into the chain of its key: the previous position of the key and, through
    // its entry, the three before it, each distance one more link on (saturating at
    // kChainEnd). A previous position D or more back lies before every window still to come
    // (the walks from here on stop at pos - D or later), and so does everything behind it;
    // otherwise its entry has not been overwritten yet, as only positions D further on share
    // its slot.
    void Insert()
    {
        const uint32_t previous = m_head[m_key];
        const uint32_t d1 = pos - previous;
        uint64_t e = ~uint64_t{0};
        if (previous != 0 && d1 < dict) {
            const uint64_t behind = m_link[previous & (dict - 1)];
#if defined(__SSE2__)
            __m128i lanes = _mm_slli_epi64(_mm_cvtsi64_si128(static_cast<long long>(behind)), 16);
            lanes = _mm_adds_epu16(lanes, _mm_set1_epi16(static_cast<short>(d1)));
            e = static_cast<uint64_t>(_mm_cvtsi128_si64(lanes));
#else
            e = d1;
            for (int k = 1; k < 4; ++k) {
                uint64_t d = d1 + ((behind >> (16 * (k - 1))) & 0xFFFF);
                e |= (d < kChainEnd ? d : kChainEnd) << (16 * k);
            }
#endif
        }
        const uint32_t slot = pos & (dict - 1);
        m_link[slot] = e;
        m_head[m_key] = pos;
        // The slot's previous position (pos - D) leaves the count of its key.
        const uint16_t leaving = m_slotKey[slot];
        if (leaving != kNoKey) {
            --m_keyCount[leaving];
        }
        m_slotKey[slot] = static_cast<uint16_t>(m_key);
        ++m_keyCount[m_key];
    }
    // Longest match at pos longer than matchLength (at least 2); sets matchLength and
    // matchPos, then inserts pos.
    void Search();
    uint8_t ByteAt(uint32_t index) const
    {
        return m_window[index];
    }
    // The data offset of a window index (from the window's second half on).
    uint32_t Absolute(uint32_t index) const
    {
        return index - dict + slid;
    }
    // The data offset just past the bytes read.
    uint32_t ReadEnd() const
    {
        return Absolute(pos) + remaining;
    }
    unsigned SecondKey() const
    {
        return m_secondKey;
    }
    bool IsCrowdedKey(unsigned key) const
    {
        return IsCrowded(key);
    }

    uint32_t dict = 0;      // D
    uint32_t pos = 0;       // current window position
    uint32_t remaining = 0; // bytes read but not yet encoded
    uint32_t matchLength = 0;
    uint32_t matchPos = 0;
    uint16_t crc = 0;  // CRC-16 of every byte read
    uint32_t slid = 0; // bytes the window has moved on: index D is the data's byte slid

    // The keys flagged crowded since the last slide: how many, and (when crowdedLog is set)
    // each appended to the log as it is flagged, the log's size at the slide kept.
    uint32_t crowdedCount = 0;
    std::vector<uint16_t>* crowdedLog = nullptr;
    uint32_t crowdedLogAtSlide = 0;

private:
    uint32_t Read(uint8_t* into, uint32_t count);
    void Clear(int dictBits, ByteSource* source);
    void Slide();
    void Scan(unsigned key, uint32_t off, uint32_t max, uint32_t& best);
    bool IsCrowded(unsigned key) const
    {
        return (m_crowded[key >> 5] >> (key & 31)) & 1;
    }
    void SetCrowded(unsigned key)
    {
        m_crowded[key >> 5] |= 1u << (key & 31);
    }

    static constexpr uint32_t kHashSize = 1u << 15;
    static constexpr uint32_t kMaxMatch = 256;
    std::unique_ptr<uint8_t[]> m_window; // 2 * 65536 + 256 bytes
    std::unique_ptr<uint32_t[]> m_head;  // kHashSize
    std::unique_ptr<uint64_t[]> m_link;  // 65536 entries of four distances back
    // The key of the position in each slot (kNoKey for none), and how many slots hold each
    // key: the positions of a key from pos - D on (from D in the first window).
    static constexpr uint16_t kNoKey = 0xFFFF;
    std::unique_ptr<uint16_t[]> m_slotKey;  // 65536
    std::unique_ptr<uint32_t[]> m_keyCount; // kHashSize
    uint32_t m_crowded[kHashSize / 32 + 1];
    uint32_t m_windowSize = 0; // T
    unsigned m_key = 0;
    unsigned m_secondKey = 0; // the key of position D + 1, which keeps the first key's form
    bool m_firstWindow = true;
    ByteSource* m_source = nullptr;
};
