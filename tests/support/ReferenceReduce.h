// A plain decoder of Reduce (ZIP methods 2-5) written for clarity, one bit at a time, as an
// oracle for CZipReduceDecoder: each rule a stream can break has its own error.
#pragma once

#include "archive/DecodeStatus.h"

#include <cstdint>
#include <vector>

namespace testsupport
{

enum class ReduceError
{
    Ok = 0,
    Truncated = 1,           // the data end before the member's size is produced
    FollowerSetTooLarge = 2, // a follower set of more than 32 bytes
    IndexPastSet = 3,        // a follower index at or past its set's size
};

struct ReferenceReduceResult
{
    ReduceError error = ReduceError::Ok;
    std::vector<uint8_t> output; // the bytes produced, up to the member's size
};

// factor: the compression factor, 1-4 (method - 1).
ReferenceReduceResult ReferenceUnreduce(const std::vector<uint8_t>& packed, uint64_t unpackedSize,
                                        unsigned factor);

DecodeStatus StatusOf(ReduceError error);

} // namespace testsupport
