// Crc32: the CRC-32 of the ZIP format (reflected polynomial 0xEDB88320), which the ZIP
// cipher also uses for its key updates.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using Crc32Slices = std::array<std::array<uint32_t, 256>, 8>;

constexpr Crc32Slices MakeCrc32Slices()
{
    Crc32Slices t{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        }
        t[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        for (int k = 1; k < 8; ++k) {
            t[k][i] = t[0][t[k - 1][i] & 0xFF] ^ (t[k - 1][i] >> 8);
        }
    }
    return t;
}

// kCrc32Slices[0] is the byte table; slice k advances a byte k positions further.
inline constexpr Crc32Slices kCrc32Slices = MakeCrc32Slices();

// Continues a running CRC-32 (a member's starts at 0) over size bytes, eight per step.
// An update over no buffer (null) gives 0.
uint32_t Crc32(uint32_t crc, const void* data, size_t size);
