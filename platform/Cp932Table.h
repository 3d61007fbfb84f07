// Code page 932 tables generated from iconv (see tools/gen_cp932.py).
// kSingleByte: byte -> UTF-16 unit, 0 for lead bytes and undefined bytes (byte 0 is U+0000).
// kDoubleByte: [lead index * kTrailCount + trail - 0x40] -> UTF-16 unit, 0 when undefined.
// kEncodePairs: (character, code) sorted by character; codes above 0xFF are lead << 8 | trail.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform::cp932
{

constexpr int kLeadCount = 60;   // 0x81-0x9F and 0xE0-0xFC
constexpr int kTrailCount = 189; // 0x40-0xFC

extern const uint16_t kSingleByte[256];
extern const uint16_t kDoubleByte[kLeadCount * kTrailCount];
extern const uint16_t kEncodePairs[][2];
extern const size_t kEncodePairCount;

} // namespace platform::cp932
