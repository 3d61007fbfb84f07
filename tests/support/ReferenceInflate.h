// A plain inflater written for clarity (one bit at a time, codes decoded length by length),
// as an oracle for the fast one.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

struct ReferenceInflateResult
{
    int status = 0; // 0 ok, 1 invalid data, 2 bad block type or over-subscribed code
    std::vector<uint8_t> output;
};

ReferenceInflateResult ReferenceInflate(const std::vector<uint8_t>& input, bool enhanced);

} // namespace testsupport
