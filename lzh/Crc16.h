// CRC-16/ARC of the LZH format: polynomial 0x8005 bit-reflected (0xA001), initial value 0,
// no final XOR; "123456789" gives 0xBB3D. One table serves headers, decoder and encoder.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr std::array<uint16_t, 256> MakeCrc16Table()
{
    std::array<uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (c >> 1) ^ 0xA001 : c >> 1;
        }
        table[i] = static_cast<uint16_t>(c);
    }
    return table;
}

// Built at compile time, so it is complete before any archive object exists.
inline constexpr std::array<uint16_t, 256> kCrc16Table = MakeCrc16Table();

// Continues crc over count bytes; a count of 0 or less returns crc unchanged.
uint16_t Crc16Update(uint16_t crc, const void* bytes, long count);
