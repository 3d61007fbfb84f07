// A plain decoder of Implode (ZIP method 6) written for clarity, codes read one bit at a time,
// as an oracle for CZipImplodeDecoder: each rule a stream can break has its own error.
#pragma once

#include "archive/DecodeStatus.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

enum class ImplodeError
{
    Ok = 0,
    Truncated = 1,      // the data end before the member's size is produced
    TooManyLengths = 2, // a code description runs past its code's symbols
    TooFewLengths = 3,  // a code description leaves symbols without a length
    OverSubscribed = 4, // the lengths ask for more codes than 16 bits hold
    Incomplete = 5,     // the lengths leave codes unused
};

struct ReferenceImplodeResult
{
    ImplodeError error = ImplodeError::Ok;
    std::vector<uint8_t> output; // the bytes produced, up to the member's size
};

// flags: the general-purpose bits (bit 1: 8 KiB window, bit 2: three codes).
ReferenceImplodeResult ReferenceExplode(const std::vector<uint8_t>& packed, uint64_t unpackedSize,
                                        uint16_t flags);

DecodeStatus StatusOf(ImplodeError error);

// The code values the lengths give, as the format builds them: symbols sorted by length
// (stably), the last one 0, each earlier one the next one's value plus 2^(16 - the next one's
// length). A symbol's code is the top `length` bits of its value. Also used by the test-side
// encoder. Returns the last value plus its step (65536 for a complete code).
uint32_t ShannonFanoValues(const std::vector<unsigned>& lengths, std::vector<uint32_t>& values);

} // namespace testsupport
