// CLzhEncoder: "-lh5-"/"-lh6-"/"-lh7-" compression over a byte source and sink. The output
// is a pure function of the input and the method, whatever the threads used.
#pragma once

#include "lzh/LzhBlockWriter.h"
#include "lzh/LzhMatchFinder.h"
#include "lzh/LzhParallelEncoder.h"

#include <cstdint>
#include <memory>

struct LzhEncodeResult
{
    uint16_t crc = 0;           // CRC-16 of every input byte read
    uint32_t packedSize = 0;    // compressed bytes; equals the cap when the data did not shrink
    bool cannotShrink = false;  // stopped early: the output would not be smaller
    bool writeFailed = false;   // the sink refused bytes
    uint32_t segmentsTaken = 0; // segments parsed ahead by other threads whose tokens went out
};

class CLzhEncoder
{
public:
    CLzhEncoder();
    ~CLzhEncoder();
    CLzhEncoder(const CLzhEncoder&) = delete;
    CLzhEncoder& operator=(const CLzhEncoder&) = delete;

    // Compresses the source (unpackedSize bytes, not 0) with method 5, 6 or 7 (others read
    // as 5), writing at most unpackedSize bytes to the sink. Long data may be parsed on more
    // threads (LzhParallelEncoder.h); when it stops early (cannotShrink) the CRC then counts
    // the bytes read ahead too.
    LzhEncodeResult Encode(ByteSource& source, ByteSink& sink, uint32_t unpackedSize, int method,
                           const LzhEncodeThreads& threads = {});

private:
    std::unique_ptr<CLzhMatchFinder> m_finder;
    std::unique_ptr<CLzhBlockWriter> m_blocks;
};
