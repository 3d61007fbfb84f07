// LzhHistoryWindow: the output side of the decoders over LzhBitInput (-lh1-, -lzs-, -lz5-,
// PMarc's -pm1- and -pm2-, LHARK's -lh7-). The buffer holds the dictionary's D bytes of
// history followed by the output being produced; when the output part reaches kChunk bytes
// it is delivered (CRC-16, sink) and its last D bytes become the history.
#pragma once

#include "archive/DecodeStatus.h"
#include "archive/MatchCopy.h"
#include "lzh/LzhDecoder.h"

#include <cstdint>

// The delivery state, the same for every buffer size.
struct LzhWindowOutput
{
    // Starts a member with D = dictSize bytes of history before output; the caller then
    // fills the history, bytes [0, dict).
    void Begin(uint8_t* bytes, uint32_t dictSize, uint32_t chunk, ByteSink* to);
    // Delivers [bytes + dict, upTo) and moves the last dict bytes before upTo to the front.
    // Returns the new output position (bytes + dict).
    uint8_t* Deliver(uint8_t* bytes, uint8_t* upTo);
    // Delivers [bytes + dict, upTo) and keeps no history: the member's last output.
    void DeliverLast(uint8_t* bytes, uint8_t* upTo);

    uint32_t dict;     // history size D (a power of two)
    uint8_t* chunkEnd; // output start + kChunk: flush once reached
    uint16_t crc;      // CRC-16 of the bytes delivered so far
    bool sinkOk;       // the sink has taken every byte
    ByteSink* sink;    // where output goes; null: only check
};

// MaxDict: the largest history a member asks for. MaxStep: the most bytes a decoder
// writes between two checks against chunkEnd, each check made while below it (a match or
// a run of literals), written with CopyMatch, which may store kCopyOverrun - 1 bytes more.
template <uint32_t MaxDict, uint32_t MaxStep> struct LzhHistoryWindowOf : LzhWindowOutput
{
    static constexpr uint32_t kMaxDict = MaxDict;
    // At least twice the history, so that moving it to the front costs at most half a
    // byte per byte delivered.
    static constexpr uint32_t kChunk = 2 * MaxDict > 64 * 1024 ? 2 * MaxDict : 64 * 1024;
    static constexpr uint32_t kMargin = MaxStep + kCopyOverrun;

    // Clears the output; the caller then fills the history, bytes [0, dict).
    void Start(uint32_t dictSize, ByteSink* to) { Begin(bytes, dictSize, kChunk, to); }
    uint8_t* Output() { return bytes + dict; }
    // Delivers [Output(), upTo) and moves the last dict bytes before upTo to the front.
    // Returns the new output position (Output()).
    uint8_t* Flush(uint8_t* upTo) { return Deliver(bytes, upTo); }
    // Flushes once out has reached the chunk's end; false when the sink refused the bytes.
    bool FlushIfFull(uint8_t*& out)
    {
        if (out < chunkEnd) {
            return true;
        }
        out = Flush(out);
        return sinkOk;
    }
    // Delivers the member's last output, [Output(), upTo), unless the sink has refused
    // bytes already, and gives the status decoding ended with: status as it is, or
    // OutputRefused where the stream decoded well but the sink refused bytes.
    DecodeStatus Finish(uint8_t* upTo, DecodeStatus status)
    {
        if (sinkOk) {
            DeliverLast(bytes, upTo);
        }
        return status == DecodeStatus::Ok && !sinkOk ? DecodeStatus::OutputRefused : status;
    }

    uint8_t bytes[kMaxDict + kChunk + kMargin]; // history, then output
};

// The window of -lh1- and -lz5- (4 KB; -lzs- uses 2 KB of it): a step is one symbol, a
// match of at most 60 bytes (-lh1-).
using LzhHistoryWindow = LzhHistoryWindowOf<4096, 60>;
