// CLzhDecoder: the "-lh5-"/"-lh6-"/"-lh7-" decoder (and "-lh4-"/"-lhx-", the same format with
// other dictionaries), one dictionary size per decoder. Its bit reader is its own: the hot
// loop keeps it in registers and refills with one load, which the shared LzhBitInput of the
// older methods does not need to.
#pragma once

#include "lzh/LzhHuffman.h"
#include "lzh/LzhMethodDecoder.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CLzhDecoder final : public CLzhMethodDecoder
{
public:
    // dictBits: 12 to 19 (13, 15 and 16 for the common methods); other values read as 13.
    explicit CLzhDecoder(int dictBits = 13);
    ~CLzhDecoder() override;
    CLzhDecoder(const CLzhDecoder&) = delete;
    CLzhDecoder& operator=(const CLzhDecoder&) = delete;

    // Past its packed bytes the stream reads as zero bits, at most this many of them:
    // a member that needs more is broken.
    static constexpr uint64_t kMaxOverrunBits = 64;

    // Invalid for a block whose code tables break the format's rules; Truncated when the
    // data end first (more than kMaxOverrunBits needed past them); NoMemory when the
    // window could not be had; Unsupported for a packed size past 4 GB.
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    struct State;
    int m_dictBits;
    std::unique_ptr<State> m_state; // made on the first Decode
};
