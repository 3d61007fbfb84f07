// LzhBitInput: the buffered input of one member's compressed bytes for the -lh1-, -lzs- and
// -lz5- decoders: whole bytes and bit fields read most significant bit first. Past the
// member's packed bytes it reads zeros, at most kMaxOverreadBytes of them.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>
#include <cstring>

struct LzhBitInput
{
    static constexpr uint32_t kBufferSize = 32 * 1024;
    // A stream that ends inside its last byte's worth of codes needs a few padding bits; a
    // stream still decoding after this many zero bytes has lost its data.
    static constexpr unsigned kMaxOverreadBytes = 4;

    void Start(ByteSource& from, uint32_t packedSize);
    // Moves the unread bytes to the buffer's start and reads more, so that at least want
    // (<= kBufferSize) bytes lie at next, or all the member still has.
    void Fill(uint32_t want);
    // The next byte; past the member's end a zero, counted in overread.
    uint8_t ReadByte()
    {
        if (next == end) {
            Fill(kBufferSize);
            if (next == end) {
                ++overread;
                return 0;
            }
        }
        return *next++;
    }
    // Tops bits up to at least need (<= 57) valid bits, from the buffer or as counted zeros.
    void Need(unsigned need)
    {
        if (count >= need) {
            return;
        }
        if (end - next >= 8) {
            Load8();
            return;
        }
        NeedSlow(need);
    }
    // The next n (1-24) bits of the stream.
    unsigned TakeBits(unsigned n)
    {
        Need(n);
        auto v = static_cast<unsigned>(bits >> (64 - n));
        bits <<= n;
        count -= n;
        return v;
    }
    // Adds whole bytes below the valid bits until at least 56 are valid; needs 8 buffered.
    void Load8()
    {
        uint64_t v;
        std::memcpy(&v, next, 8);
        bits |= __builtin_bswap64(v) >> count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    void NeedSlow(unsigned need);
    // More than kMaxOverreadBytes of zeros taken past the member's end: zero bytes still
    // waiting in bits (the last overread * 8 valid bits at most) are not yet taken.
    bool Overrun() const
    {
        return overread > kMaxOverreadBytes && overread * 8 > count + kMaxOverreadBytes * 8;
    }

    uint8_t buffer[kBufferSize]; // bytes read from the source and not yet taken
    const uint8_t* next;         // next unread byte of buffer
    const uint8_t* end;          // end of the valid bytes of buffer
    uint64_t bits;               // the next `count` bits, most significant first; zeros below
    unsigned count;              // valid bits in bits (0-64)
    uint32_t packedLeft;         // member bytes not yet read from the source
    unsigned overread;           // zero bytes supplied past the member's end
    ByteSource* source;          // where the member's bytes come from
};
