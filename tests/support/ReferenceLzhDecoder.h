// A plain LZH decoder written for clarity, one bit at a time, as an oracle for the fast one.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

struct ReferenceResult
{
    bool ok = false;
    uint16_t crc = 0;
    std::vector<uint8_t> output; // every byte produced, a last match's overshoot included
};

// Decodes `packed` (the member's compressed bytes) into unpackedSize bytes with a
// dictionary of 2^dictBits bytes (12 to 19; other values read as 13).
ReferenceResult ReferenceLzhDecode(const std::vector<uint8_t>& packed, uint32_t unpackedSize,
                                   int dictBits);

} // namespace testsupport
