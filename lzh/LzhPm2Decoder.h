// CLzhPm2Decoder: the decoder of PMarc2's "-pm2-" (LZ77 over 8 KB with a transmitted
// prefix code, literals sent as ranks in a move-to-front list), over LzhBitInput and
// LzhHistoryWindowOf.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <memory>

class CLzhPm2Decoder final : public CLzhMethodDecoder
{
public:
    CLzhPm2Decoder();
    ~CLzhPm2Decoder() override;
    CLzhPm2Decoder(const CLzhPm2Decoder&) = delete;
    CLzhPm2Decoder& operator=(const CLzhPm2Decoder&) = delete;

    // Invalid for an over-full code, a code length past 16, bits that start no codeword
    // or a symbol without a meaning; Truncated when the stream takes more than
    // LzhBitInput::kMaxOverreadBytes of zeros past its packed bytes; Unsupported for a
    // packed size past 4 GB (a level 0 header holds 32 bits).
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // made on the first Decode
};
