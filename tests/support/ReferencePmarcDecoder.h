// Plain decoders of PMarc's "-pm1-" and "-pm2-", written for clarity, one bit at a time,
// as oracles for the program's decoders. Each failure names the rule the stream broke.
#pragma once

#include "archive/DecodeStatus.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

enum class PmarcError
{
    None = 0,
    InputOverrun,      // more than ReferenceBits::kAllowedZeroBits read past the data
    CopyBeforeStart,   // -pm1-: a copy reaching before the first byte (d >= P)
    LengthTooLong,     // -pm2-: a main code length past 16 (M + v - 1)
    MainCodeOverfull,  // -pm2-: the main code lengths' Kraft sum exceeds 1
    ClassCodeOverfull, // -pm2-: the class code lengths' Kraft sum exceeds 1
    NoMainCodeword,    // -pm2-: 16 bits start no codeword of the main code
    NoClassCodeword,   // -pm2-: 16 bits start no codeword of the class code
    MeaninglessSymbol, // -pm2-: a main symbol other than 0-28 (29, 30, or N - 1 for N = 0)
};

const char* PmarcErrorName(PmarcError error);
// The program's status for each: InputOverrun is Truncated, the others Invalid.
DecodeStatus StatusOf(PmarcError error);

struct ReferencePmarcResult
{
    PmarcError error = PmarcError::None;
    std::vector<uint8_t> output; // the bytes produced, up to the command or description that failed
    uint16_t crc = 0;            // CRC-16 of output
};

ReferencePmarcResult ReferencePm1Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize);
ReferencePmarcResult ReferencePm2Decode(const std::vector<uint8_t>& packed, uint64_t unpackedSize);

} // namespace testsupport
