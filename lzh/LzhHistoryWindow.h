// LzhHistoryWindow: the output side of the -lh1-, -lzs- and -lz5- decoders. The buffer holds
// the dictionary's D bytes of history followed by the output being produced; when the output
// part reaches kChunk bytes it is delivered (CRC-16, sink) and its last D bytes become the
// history.
#pragma once

#include "lzh/LzhDecoder.h"

#include <cstdint>

struct LzhHistoryWindow
{
    static constexpr uint32_t kMaxDict = 4096; // -lh1- and -lz5-; -lzs- uses 2048
    static constexpr uint32_t kChunk = 64 * 1024;
    // Output stops at most one symbol past chunkEnd: a match of at most 60 bytes (-lh1-),
    // plus the 7 bytes CopyMatch may store beyond it.
    static constexpr uint32_t kMargin = 60 + 8;

    // Clears the output; the caller then fills the history, bytes [0, dict).
    void Start(uint32_t dictSize, ByteSink* to);
    uint8_t* Output() { return bytes + dict; }
    // Delivers [Output(), upTo) and moves the last dict bytes before upTo to the front.
    // Returns the new output position (Output()).
    uint8_t* Flush(uint8_t* upTo);

    uint8_t bytes[kMaxDict + kChunk + kMargin]; // history, then output
    uint32_t dict;                              // history size D (a power of two)
    uint8_t* chunkEnd;                          // Output() + kChunk: flush once reached
    uint16_t crc;                               // CRC-16 of the bytes delivered so far
    bool sinkOk;                                // the sink has taken every byte
    ByteSink* sink;                             // where output goes; null: only check
};
