// A plain LZH encoder written for clarity, as an oracle for the fast one: the same hash
// chains, crowded keys and lazy matching, walked one link at a time, and the same block
// coding, written one bit at a time. Its output must equal the fast encoder's byte for byte.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

struct ReferenceEncodeResult
{
    std::vector<uint8_t> bytes; // the compressed bytes written (at most the input's size)
    bool cannotShrink = false;  // stopped at the cap: the data do not shrink
    uint16_t crc = 0;           // CRC-16 of the input bytes read
};

// Compresses data (not empty) with method 5, 6 or 7 (others read as 5).
ReferenceEncodeResult ReferenceLzhEncode(const std::vector<uint8_t>& data, int method);

} // namespace testsupport
