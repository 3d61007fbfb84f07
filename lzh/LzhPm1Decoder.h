// CLzhPm1Decoder: the decoder of PMarc 1.x's "-pm1-" (LZ77 over 10,816 bytes with fixed
// codes, literals sent as ranks in a move-to-front list), over LzhBitInput and
// LzhHistoryWindowOf.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <memory>

class CLzhPm1Decoder final : public CLzhMethodDecoder
{
public:
    CLzhPm1Decoder();
    ~CLzhPm1Decoder() override;
    CLzhPm1Decoder(const CLzhPm1Decoder&) = delete;
    CLzhPm1Decoder& operator=(const CLzhPm1Decoder&) = delete;

    // Invalid for a copy reaching before the member's first byte; Truncated when the
    // stream takes more than LzhBitInput::kMaxOverreadBytes of zeros past its packed bytes;
    // Unsupported for a packed size past 4 GB (a level 0 header holds 32 bits).
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // made on the first Decode
};
