// ZipOutputWindow: the output side of the Shrink, Reduce and Implode decoders. The buffer
// holds kHistory bytes of history (zeros at a member's start, as far back as Reduce and
// Implode distances reach) followed by the output being produced; once the output part
// reaches kChunk bytes it goes to the sink and its last kHistory bytes become the history.
#pragma once

#include "archive/ByteStreams.h"
#include "archive/MatchCopy.h"

#include <cstdint>

struct ZipOutputWindow
{
    // Implode's 8 KiB dictionary, the farthest any of the three methods reaches back:
    // Reduce reaches 4096 bytes (factor 4: 15 * 256 + 255 + 1).
    static constexpr uint32_t kHistory = 8192;
    static constexpr uint32_t kChunk = 64 * 1024;
    // The decoders write one step past chunkEnd at most: a Shrink string (at most 7936
    // bytes, see ZipShrinkDecoder.cpp), or a match of at most 385 bytes (Reduce) with the
    // kCopyOverrun - 1 bytes CopyMatch may store beyond it.
    static constexpr uint32_t kSlack = 8192;

    // Zeros the history and empties the output.
    void Start(ByteSink* to);
    uint8_t* Output() { return bytes + kHistory; }
    // Hands [Output(), upTo) to the sink and moves the kHistory bytes before upTo to the
    // front; returns the new output position (Output()). A sink that refuses the bytes sets
    // refused.
    uint8_t* Flush(uint8_t* upTo);

    uint8_t bytes[kHistory + kChunk + kSlack]; // history, then output
    uint8_t* chunkEnd;                         // Output() + kChunk: flush once reached
    ByteSink* sink;                            // where the output goes
    bool refused;                              // the sink would not take a chunk
};
