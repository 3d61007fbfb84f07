// CLzhLarcDecoder: the decoder of LArc's LZSS methods "-lzs-" (2 KB window) and "-lz5-"
// (4 KB window, also written by LHarc 1.x), over LzhBitInput and LzhHistoryWindow.
#pragma once

#include "lzh/ArchiveEntry.h"
#include "lzh/LzhMethodDecoder.h"

#include <cstdint>
#include <memory>

class CLzhLarcDecoder final : public CLzhMethodDecoder
{
public:
    // kMethodLzs or kMethodLz5 (any other number reads as kMethodLz5).
    explicit CLzhLarcDecoder(LzhMethod method);
    ~CLzhLarcDecoder() override;
    CLzhLarcDecoder(const CLzhLarcDecoder&) = delete;
    CLzhLarcDecoder& operator=(const CLzhLarcDecoder&) = delete;

    // Truncated when the data run out (more than LzhBitInput::kMaxOverreadBytes of zeros
    // taken past them); Unsupported for a size past 4 GB.
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    bool m_lzs;
    std::unique_ptr<State> m_state; // made on the first Decode
};
