// Table-driven CRC-16/ARC.
#include "lzh/Crc16.h"

uint16_t Crc16Update(uint16_t crc, const void* bytes, long count)
{
    const auto* p = static_cast<const uint8_t*>(bytes);
    unsigned c = crc;
    for (long i = 0; i < count; ++i) {
        c = kCrc16Table[(c ^ p[i]) & 0xFF] ^ (c >> 8);
    }
    return static_cast<uint16_t>(c);
}
