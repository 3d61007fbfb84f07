// The encoder's parse: a one-step lazy match. A match found at one position is emitted only
// when the search at the next position finds nothing longer; otherwise the first byte goes
// out as a literal and the longer match becomes the candidate. Ties favour the earlier match.
//
// One loop serves every parse: the steps type gives the finder (which Top may replace), says
// at each loop top whether to go on, and takes the tokens.
#pragma once

#include "lzh/LzhMatchFinder.h"

#include <cstdint>

// The search at pos, its match cut to the bytes that remain.
inline void LzhSearchClamped(CLzhMatchFinder& f)
{
    f.Search();
    if (f.matchLength > f.remaining) {
        f.matchLength = f.remaining; // the last match ends exactly at the end of the data
    }
}

// Steps: `CLzhMatchFinder* finder`; `bool Top()`, false to end; `void Literal(uint8_t)`;
// `void Match(unsigned length, unsigned code)`, code the distance - 1.
template <class Steps> void LzhParse(Steps& steps)
{
    while (steps.finder->remaining > 0 && steps.Top()) {
        CLzhMatchFinder& f = *steps.finder;
        uint32_t lastLength = f.matchLength;
        uint32_t lastCode = f.pos - f.matchPos - 1;
        f.matchLength = lastLength - 1;
        f.Advance();
        LzhSearchClamped(f);
        if (f.matchLength > lastLength || lastLength < 3) {
            steps.Literal(f.ByteAt(f.pos - 1));
            continue;
        }
        steps.Match(lastLength, lastCode & (f.dict - 1));
        for (uint32_t k = lastLength - 2; k > 0; --k) {
            f.Advance();
            f.Insert();
        }
        f.Advance();
        f.matchLength = 2;
        LzhSearchClamped(f);
    }
}
