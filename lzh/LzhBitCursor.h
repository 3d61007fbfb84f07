// LzhBitCursor: a symbol loop's copy of LzhBitInput's reservoir and read position, held in
// locals so that stores to the window cannot alias them; Save() hands them back before the
// careful reader (code descriptions, block headers) runs, Load() takes them up again.
#pragma once

#include "lzh/LzhBitInput.h"

#include <cstdint>
#include <cstring>

struct LzhBitCursor
{
    explicit LzhBitCursor(LzhBitInput& input) : in(input) { Load(); }

    void Save()
    {
        in.bits = bits;
        in.count = count;
        in.next = next;
    }
    void Load()
    {
        bits = in.bits;
        count = in.count;
        next = in.next;
        end = in.end;
    }
    // Tops the reservoir up to at least need (<= 56) valid bits: one 8-byte load while 8
    // bytes are buffered, else through the careful reader, which reads the source and past
    // the member's end supplies counted zero bytes.
    void Need(unsigned need)
    {
        if (count >= need) {
            return;
        }
        if (end - next >= 8) {
            uint64_t v;
            std::memcpy(&v, next, 8);
            bits |= __builtin_bswap64(v) >> count;
            next += (63 - count) >> 3;
            count |= 56;
            return;
        }
        Save();
        in.NeedSlow(need);
        Load();
    }
    // The next n (1-32) bits, left in place; Need(n) first.
    unsigned Peek(unsigned n) const { return static_cast<unsigned>(bits >> (64 - n)); }
    // Drops n (0-56) bits taken; Need(n) first.
    void Skip(unsigned n)
    {
        bits <<= n;
        count -= n;
    }
    // The next n (0-32) bits; Need(n) first.
    unsigned Take(unsigned n)
    {
        // The double shift gives 0 for n = 0 without shifting by 64.
        auto v = static_cast<unsigned>((bits >> 1) >> (63 - n));
        bits <<= n;
        count -= n;
        return v;
    }
    // More than LzhBitInput::kMaxOverreadBytes of zeros taken past the member's end.
    bool Overrun()
    {
        if (in.overread == 0) {
            return false;
        }
        in.count = count;
        return in.Overrun();
    }

    LzhBitInput& in;     // the careful reader the state belongs to
    uint64_t bits;       // the next `count` bits, most significant first
    unsigned count;      // valid bits in bits
    const uint8_t* next; // next unread byte of in.buffer
    const uint8_t* end;  // end of the valid bytes of in.buffer
};
