// CZipShrinkDecoder: the decoder of PKZIP 1.x Shrink (method 1), LZW over 9- to 13-bit codes
// with partial clearing.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <memory>

class CZipShrinkDecoder final : public CZipMethodDecoder
{
public:
    CZipShrinkDecoder();
    ~CZipShrinkDecoder() override;
    CZipShrinkDecoder(const CZipShrinkDecoder&) = delete;
    CZipShrinkDecoder& operator=(const CZipShrinkDecoder&) = delete;

    // Produces exactly job.unpackedSize bytes (nothing marks the stream's end). Truncated
    // when the member's bytes end before that; Invalid for a code the stream has not
    // defined (a free one), a first code that is no literal, a control code other than 1 and
    // 2, codes growing past 13 bits, or a string whose prefix codes loop or pass a free code;
    // Unsupported for a method other than 1.
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // allocated at the first Decode
};
