// Slicing-by-8 CRC-32.
#include "zip/Crc32.h"

uint32_t Crc32(uint32_t crc, const void* data, size_t size)
{
    if (data == nullptr) {
        return 0;
    }
    const auto* p = static_cast<const uint8_t*>(data);
    const auto& t = kCrc32Slices;
    uint32_t c = ~crc;
    for (; size >= 8; size -= 8, p += 8) {
        uint32_t lo = (p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24)) ^ c;
        uint32_t hi = p[4] | (p[5] << 8) | (p[6] << 16) | (static_cast<uint32_t>(p[7]) << 24);
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^ t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (size_t i = 0; i < size; ++i) {
        c = t[0][(c ^ p[i]) & 0xFF] ^ (c >> 8);
    }
    return ~c;
}
