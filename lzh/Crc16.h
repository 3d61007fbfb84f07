// CRC-16/ARC of the LZH format: polynomial 0x8005 bit-reflected (0xA001), initial value 0,
// no final XOR; "123456789" gives 0xBB3D. One table serves headers, decoder and encoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

// kCrc16Slices[0] is the classic byte table; slice k advances a byte k positions further,
// so eight bytes fold in per step.
using Crc16Slices = std::array<std::array<uint16_t, 256>, 8>;

constexpr Crc16Slices MakeCrc16Slices()
{
    Crc16Slices t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
        }
        t[0][i] = static_cast<uint16_t>(c);
    }
    for (unsigned i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k) {
            unsigned prev = t[k - 1][i];
            t[k][i] = static_cast<uint16_t>(t[0][prev & 0xFF] ^ (prev >> 8));
        }
    }
    return t;
}

// Built at compile time, so it is complete before any archive object exists.
inline constexpr Crc16Slices kCrc16Slices = MakeCrc16Slices();
inline constexpr const std::array<uint16_t, 256>& kCrc16Table = kCrc16Slices[0];

// Continues crc over count bytes; a count of 0 or less returns crc unchanged.
uint16_t Crc16Update(uint16_t crc, const void* bytes, long count);
