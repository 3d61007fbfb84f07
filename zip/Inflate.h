// CInflater: Deflate (method 8) and enhanced Deflate (method 9: a 64 KiB window, distance
// codes 30 and 31, and length symbol 285 followed by 16 bits of length - 3) over a byte
// source and sink.
#pragma once

#include "archive/ByteStreams.h"

#include <cstdint>
#include <memory>

enum InflateStatus
{
    kInflateOk = 0,
    kInflateInvalid = 1,  // invalid code or length, bad stored length, incomplete code
    kInflateBadBlock = 2, // block type 3 or an over-subscribed code
    kInflateNoMemory = 3,
    kInflateSinkRefused = 4, // the sink would not take the output (full disk, size limit)
    kInflateTruncated = 5,   // a symbol ended more than the bound past the compressed bytes
};

class CInflater
{
public:
    CInflater();
    ~CInflater();
    CInflater(const CInflater&) = delete;
    CInflater& operator=(const CInflater&) = delete;

    // Decodes one member's stream up to its final block. Past the end of the source the
    // input reads as one bits; symbols reaching more than 64 bits past it are invalid. Every byte
    // produced goes to the sink (null: only counted into the CRC); a sink that refuses a chunk
    // ends decoding with kInflateSinkRefused. A distance reaching before the member's first
    // byte reads zeros.
    InflateStatus Inflate(ByteSource& source, ByteSink* sink, bool enhanced);

    uint32_t crc = 0;      // CRC-32 of the bytes produced by the last Inflate
    uint64_t produced = 0; // how many

private:
    struct State;
    std::unique_ptr<State> m_state;
};
