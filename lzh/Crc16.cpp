// CRC-16/ARC, eight bytes per step (slicing-by-8), then byte by byte for the tail.
#include "lzh/Crc16.h"

uint16_t Crc16Update(uint16_t crc, const void* bytes, long count)
{
    const auto* p = static_cast<const uint8_t*>(bytes);
    uint32_t c = crc;
    const auto& t = kCrc16Slices;
    for (; count >= 8; count -= 8, p += 8) {
        // Little-endian assembly keeps the byte order independent of the host.
        uint32_t lo = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
        lo ^= c;
        c = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^ t[4][lo >> 24] ^
            t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]];
    }
    for (long i = 0; i < count; ++i) {
        c = t[0][(c ^ p[i]) & 0xFF] ^ (c >> 8);
    }
    return static_cast<uint16_t>(c);
}
