// LzhRecencyList: PMarc's move-to-front list of the 256 byte values, shared by -pm1- and
// -pm2-. Literals are sent as ranks in the list, and every byte produced, literal or copied,
// moves to its front (rank 0), the bytes ahead of it each moving back one place.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

struct LzhRecencyList
{
    // The order each member starts with: 0x20-0x7F, 0x00-0x1F, 0xA0-0xDF, 0x80-0x9F,
    // 0xE0-0xFF.
    static constexpr std::array<uint8_t, 256> kStart = [] {
        std::array<uint8_t, 256> list{};
        constexpr uint8_t kGroups[5][2] = {
            {0x20, 0x7F}, {0x00, 0x1F}, {0xA0, 0xDF}, {0x80, 0x9F}, {0xE0, 0xFF}};
        size_t k = 0;
        for (const auto& g : kGroups) {
            for (unsigned v = g[0]; v <= g[1]; ++v) {
                list[k++] = static_cast<uint8_t>(v);
            }
        }
        return list;
    }();

    void Reset() { std::memcpy(list, kStart.data(), sizeof list); }

    // The byte of rank (0-255), moved to the front.
    uint8_t TakeRank(unsigned rank)
    {
        uint8_t b = list[rank];
        MoveToFront(rank, b);
        return b;
    }
    // Moves byte b to the front.
    void Touch(uint8_t b)
    {
        if (list[0] != b) { // runs of one byte: nothing moves
            MoveToFront(Find(b), b);
        }
    }

    // The rank of b, eight entries per step: a byte of w ^ pattern is 0 where b is, and the
    // lowest byte that (x - 0x01..) & ~x & 0x80.. marks is the first such (a borrow only
    // marks bytes above a zero one).
    unsigned Find(uint8_t b) const
    {
        constexpr uint64_t kOnes = 0x0101010101010101;
        const uint64_t pattern = b * kOnes;
        for (unsigned at = 0; at < 256; at += 8) {
            uint64_t w;
            std::memcpy(&w, list + at, 8);
            uint64_t x = w ^ pattern;
            uint64_t zero = (x - kOnes) & ~x & (kOnes << 7);
            if (zero != 0) {
                return at + (static_cast<unsigned>(std::countr_zero(zero)) >> 3);
            }
        }
        return 255; // not reached: the list holds every value
    }
    // Entries [0, n) move to [1, n] and b, the entry at n, goes to 0. The list is read
    // and written eight entries at a time, as little-endian words: below 8, one word
    // shifted up by a byte, with b in its lowest byte and the entries above n kept; from 8
    // on, words from the top down (each reads below the bytes the one before wrote), and
    // last the first word as it was, stored one entry up: the entries it lands on past
    // those still to move get the same bytes the words before gave them.
    void MoveToFront(unsigned n, uint8_t b)
    {
        uint64_t first;
        std::memcpy(&first, list, 8);
        if (n < 8) {
            const uint64_t moved = ~uint64_t{0} >> (56 - 8 * n); // bytes 0..n
            first = ((first << 8 | b) & moved) | (first & ~moved);
            std::memcpy(list, &first, 8);
            return;
        }
        for (; n >= 8; n -= 8) {
            uint64_t w;
            std::memcpy(&w, list + n - 8, 8);
            std::memcpy(list + n - 7, &w, 8);
        }
        std::memcpy(list + 1, &first, 8);
        list[0] = b;
    }

    uint8_t list[256]; // byte values, most recent first
};

static_assert(std::endian::native == std::endian::little,
              "the list is read as little-endian words");
