// A plain LZH decoder written for clarity, one bit at a time, as an oracle for the fast one.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

// The rule of the format a member broke, each apart, so that a disagreement names it.
enum class ReferenceLzhRule
{
    None,
    LengthPastSixteen,        // a code length above 16
    CodeSpaceNotFilled,       // code lengths that over- or under-fill the code space
    SingleSymbolPastAlphabet, // a single-symbol code naming no symbol of its alphabet
    CountPastAlphabet,        // more literal lengths than the alphabet has
    ZeroRunPastAlphabet,      // a run of zero lengths reaching past the alphabet
    DataEnded,                // more than 64 bits taken past the compressed data
};

const char* ReferenceLzhRuleName(ReferenceLzhRule rule);

struct ReferenceResult
{
    bool ok = false;
    ReferenceLzhRule rule = ReferenceLzhRule::None; // when not ok
    uint16_t crc = 0;
    std::vector<uint8_t> output; // the bytes produced, cut at the size
};

// Decodes `packed` (the member's compressed bytes) into unpackedSize bytes with a
// dictionary of 2^dictBits bytes (12 to 19; other values read as 13).
ReferenceResult ReferenceLzhDecode(const std::vector<uint8_t>& packed, uint32_t unpackedSize,
                                   int dictBits);

} // namespace testsupport
