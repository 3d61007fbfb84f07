// CLzhLh1Decoder: the decoder of LHarc 1.x's "-lh1-" (LZSS over a 4 KB window; literals and
// match lengths in an adaptive Huffman code), over LzhBitInput and LzhHistoryWindow.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <cstdint>
#include <memory>

class CLzhLh1Decoder final : public CLzhMethodDecoder
{
public:
    CLzhLh1Decoder();
    ~CLzhLh1Decoder() override;
    CLzhLh1Decoder(const CLzhLh1Decoder&) = delete;
    CLzhLh1Decoder& operator=(const CLzhLh1Decoder&) = delete;

    // Truncated when the data run out (more than LzhBitInput::kMaxOverreadBytes of zeros
    // taken past them); Unsupported for a packed size past 4 GB.
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // made on the first Decode
};
