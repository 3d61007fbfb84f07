// CLzhMethodDecoder: what every LZH method's decoder offers the archive object: one member's
// compressed bytes in, its bytes out with their CRC-16. The sink carries progress and Cancel;
// a decoder only turns bytes into bytes and says how that ended.
#pragma once

#include "archive/ByteStreams.h"
#include "archive/DecodeStatus.h"

#include <cstdint>

struct LzhDecodeJob
{
    ByteSource* source;    // the member's compressed bytes, then nothing
    ByteSink* sink;        // where the bytes produced go; null: only checked
    uint64_t packedSize;   // compressed bytes of the member
    uint64_t unpackedSize; // bytes to produce; a last copy running past it is cut there
};

struct LzhDecodeResult
{
    DecodeStatus status = DecodeStatus::Ok;
    uint16_t crc = 0;      // CRC-16 of the bytes produced
    uint64_t produced = 0; // how many were produced
};

class CLzhMethodDecoder
{
public:
    virtual ~CLzhMethodDecoder() = default;
    virtual LzhDecodeResult Decode(const LzhDecodeJob& job) = 0;
};
