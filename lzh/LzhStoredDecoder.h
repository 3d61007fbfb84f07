// CLzhStoredDecoder: the "decoder" of the stored methods ("-lh0-", LArc's "-lz4-", PMarc's
// "-pm0-"): the member's bytes are its data, copied with their CRC-16.
#pragma once

#include "lzh/LzhMethodDecoder.h"

#include <memory>

class CLzhStoredDecoder final : public CLzhMethodDecoder
{
public:
    CLzhStoredDecoder() = default;
    // Truncated when the source ends before the member's size; NoMemory when the copy
    // buffer could not be had.
    LzhDecodeResult Decode(const LzhDecodeJob& job) override;

private:
    std::unique_ptr<uint8_t[]> m_block; // made on the first Decode
};
