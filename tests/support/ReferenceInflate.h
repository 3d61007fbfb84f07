// A plain inflater written for clarity (one bit at a time, codes decoded length by length),
// as an oracle for the fast one.
#pragma once

#include <cstdint>
#include <vector>

namespace testsupport
{

// The rule of the format a stream broke, each apart, so that a disagreement names it.
enum class ReferenceInflateRule
{
    None,
    NoCodes,              // a literal/length code with no lengths at all
    OverSubscribed,       // lengths that over-fill the code space
    IncompleteCode,       // lengths that under-fill it (other than one code of length 1)
    EmptyCodeUsed,        // a distance decoded from an empty distance code
    UnusedCode,           // bits that start no codeword of an incomplete set
    DataEnded,            // a literal/length symbol ending more than 64 bits past the input
    BadLengthSymbol,      // symbol 286 or 287
    StoredLengthMismatch, // a stored block whose length and complement disagree
    TooManyLengths,       // more than 286 literal/length codes
    RepeatPastEnd,        // a repeat running past the code lengths
    NoDistances,          // length symbols in use without any distance code
    BadBlockType,         // block type 3
};

const char* ReferenceInflateRuleName(ReferenceInflateRule rule);

struct ReferenceInflateResult
{
    ReferenceInflateRule rule = ReferenceInflateRule::None;
    // The status the fast inflater gives: 0 ok, 1 invalid data, 2 bad block type or
    // over-subscribed code, 5 the data ended (InflateStatus).
    int status = 0;
    std::vector<uint8_t> output;
};

ReferenceInflateResult ReferenceInflate(const std::vector<uint8_t>& input, bool enhanced);

} // namespace testsupport
