// ZipBitInput: one member's compressed bytes as the PKZIP 1.x methods (Shrink, Reduce,
// Implode) read them: bit fields packed least significant bit first, the first field in bit 0
// of the first byte. Past the member's end the input reads as zero bits, each one counted.
#pragma once

#include "archive/ByteStreams.h"

#include <cstdint>
#include <cstring>

struct ZipBitInput
{
    static constexpr uint32_t kBufferSize = 32 * 1024;
    // After Refill at least this many bits are valid: 7 whole bytes, whatever was left.
    static constexpr unsigned kRefillBits = 56;

    void Start(ByteSource& from);
    // Moves the unread bytes to the buffer's start and reads until at least want
    // (<= kBufferSize) bytes lie at next, or the source has ended.
    void Fill(uint32_t want);
    // Tops bits up to at least kRefillBits valid bits: one 8-byte load while 8 bytes are
    // buffered, byte by byte near the end, zeros past it.
    void Refill()
    {
        if (end - next >= 8) {
            Load8();
        } else {
            RefillSlow();
        }
    }
    // Adds whole bytes above the valid bits until 56 to 63 are valid; needs 8 buffered bytes.
    // The bits above count then hold the low bits of the byte at next, which the next load
    // ORs in again at the same place.
    void Load8()
    {
        uint64_t v;
        std::memcpy(&v, next, 8);
        bits |= v << count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    void RefillSlow();
    // The next n (0-32) bits of the stream, the first in bit 0.
    uint32_t Take(unsigned n)
    {
        if (count < n) {
            Refill();
        }
        auto v = static_cast<uint32_t>(bits & ((uint64_t{1} << n) - 1));
        bits >>= n;
        count -= n;
        return v;
    }
    // Whether bits past the member's end have been taken: the padding sits above the real
    // bits, so it is untouched while the valid bits still cover all of it.
    bool Overran() const { return padBits > count; }

    uint8_t buffer[kBufferSize]; // bytes read from the source and not yet taken into bits
    const uint8_t* next;         // next byte of buffer to take into bits
    const uint8_t* end;          // end of the valid bytes of buffer
    uint64_t bits;               // the next `count` bits of the stream, the first in bit 0
    unsigned count;              // valid bits in bits (0-63)
    uint32_t padBits;            // zero bits supplied past the member's end
    bool sourceEnded;            // the source has returned nothing
    ByteSource* source;          // where the member's bytes come from
};
