// A plain decoder of Shrink (ZIP method 1) written for clarity, one bit and one table entry at
// a time, as an oracle for CZipShrinkDecoder: each rule a stream can break has its own error.
#pragma once

#include "archive/DecodeStatus.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

enum class ShrinkError
{
    Ok = 0,
    Truncated = 1,            // the data end before the member's size is produced
    FirstCodeNotLiteral = 2,  // the first code names a string, and none is defined yet
    UndefinedCode = 3,        // a free code that is not the next to be defined
    UnknownControl = 4,       // 256 followed by something other than 1 or 2
    WidthPast13 = 5,          // 256, 1 while codes are 13 bits wide already
    LoopingString = 6,        // a string whose prefix codes lead back into themselves
    ChainThroughFreeCode = 7, // a string whose prefix codes pass a free code
};

struct ReferenceShrinkResult
{
    ShrinkError error = ShrinkError::Ok;
    std::vector<uint8_t> output; // the bytes produced, up to the member's size
};

ReferenceShrinkResult ReferenceUnshrink(const std::vector<uint8_t>& packed, uint64_t unpackedSize);

// How a decoder that keeps only the causes of DecodeStatus reports the error.
DecodeStatus StatusOf(ShrinkError error);

} // namespace testsupport
