// The encoder's dictionary and match search.
//
// Window: T = 2D + 256 bytes; the data to encode starts at index D, and when the position
// reaches 2D the upper D + 256 bytes move down by D and D more are read ("slide"). Hash
// chains over a 15-bit key of three bytes link each position to the previous one with the
// same key (links indexed by position mod D hold the distance back, 0 = none). A key whose chain
// held more than 255 candidates is flagged crowded; its searches move to a key further along the
// data instead (matches then found through it are taken back by that offset). The search compares a
// candidate fully only when the byte just past the best length so far agrees.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>
#include <memory>

class CLzhMatchFinder
{
public:
    CLzhMatchFinder();
    ~CLzhMatchFinder();
    CLzhMatchFinder(const CLzhMatchFinder&) = delete;
    CLzhMatchFinder& operator=(const CLzhMatchFinder&) = delete;

    // Clears the window and tables and reads the first D + 256 bytes.
    void Start(int dictBits, LzhByteSource* source);
    // One byte on: bytes remaining - 1, pos + 1, slide at 2D, roll the key.
    void Advance();
    // Links pos into the chain of its key.
    void Insert();
    // Longest match at pos longer than matchLength (at least 2); sets matchLength and
    // matchPos, then inserts pos.
    void Search();
    uint8_t ByteAt(uint32_t index) const { return m_window[index]; }

    uint32_t dict = 0;      // D
    uint32_t pos = 0;       // current window position
    uint32_t remaining = 0; // bytes read but not yet encoded
    uint32_t matchLength = 0;
    uint32_t matchPos = 0;
    uint16_t crc = 0; // CRC-16 of every byte read

private:
    uint32_t Read(uint8_t* into, uint32_t count);
    void Slide();
    void Scan(unsigned key, uint32_t off, uint32_t max, uint32_t& best);
    bool IsCrowded(unsigned key) const { return (m_crowded[key >> 5] >> (key & 31)) & 1; }
    void SetCrowded(unsigned key) { m_crowded[key >> 5] |= 1u << (key & 31); }

    static constexpr uint32_t kHashSize = 1u << 15;
    static constexpr uint32_t kMaxMatch = 256;
    std::unique_ptr<uint8_t[]> m_window; // 2 * 65536 + 256 bytes
    std::unique_ptr<uint32_t[]> m_head;  // kHashSize
    std::unique_ptr<uint16_t[]> m_link;  // 65536 distances back to the previous position
    uint32_t m_crowded[kHashSize / 32 + 1];
    uint32_t m_windowSize = 0; // T
    unsigned m_key = 0;
    bool m_firstWindow = true;
    LzhByteSource* m_source = nullptr;
};
