// CRC-16/ARC of the LZH format: polynomial 0x8005 bit-reflected (0xA001), initial value 0,
// no final XOR; "123456789" gives 0xBB3D. One table serves headers, decoder and encoder.
#pragma once

#include "archive/CrcSlices.h"

#include <array>
#include <cstddef>
#include <cstdint>

// Built at compile time, so it is complete before any archive object exists.
inline constexpr CrcSlices<uint16_t> kCrc16Slices = MakeCrcSlices<uint16_t>(0xA001);
inline constexpr const std::array<uint16_t, 256>& kCrc16Table = kCrc16Slices[0];

// Continues crc over count bytes; a count of 0 or less returns crc unchanged.
uint16_t Crc16Update(uint16_t crc, const void* bytes, long count);
