// A plain decoder of LHARK's "-lh7-", written for clarity, one bit at a time, as an oracle
// for the program's decoder. Each failure names the rule the stream broke.
#pragma once

#include "archive/DecodeStatus.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

enum class Lk7Error
{
    None = 0,
    InputOverrun,              // more than ReferenceBits::kAllowedZeroBits read past the data
    LengthTooLong,             // a code length past 16
    PreCodeOverfull,           // a pre-code whose lengths' Kraft sum exceeds 1
    MainCodeOverfull,          // the same for the main code
    DistanceCodeOverfull,      // the same for the distance code
    NoPreCodeword,             // 16 bits start no codeword of the pre-code
    NoMainCodeword,            // ... of the main code
    NoDistanceCodeword,        // ... of the distance code
    MeaninglessMainSymbol,     // a main symbol past 288 (a single-symbol code names it)
    MeaninglessDistanceSymbol, // a distance symbol past 33 (beyond 131,072 bytes back)
};

const char* Lk7ErrorName(Lk7Error error);
// The program's status for each: InputOverrun is Truncated, the others Invalid.
DecodeStatus StatusOf(Lk7Error error);

struct ReferenceLk7Result
{
    Lk7Error error = Lk7Error::None;
    std::vector<uint8_t> output; // the bytes produced, up to the command or header that failed
    uint16_t crc = 0;            // CRC-16 of output
};

ReferenceLk7Result ReferenceLk7Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize);

} // namespace testsupport
