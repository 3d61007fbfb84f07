// CLzhDecoder: the "-lh5-"/"-lh6-"/"-lh7-" decoder (and "-lh4-"/"-lhx-", the same format with
// other dictionaries) over a byte source and sink, so that it runs on files (LzhDecode) and
// on memory (tests, fuzzing) alike.
#pragma once

#include "archive/ByteStreams.h"
#include "lzh/LzhHuffman.h"

#include <cstddef>
#include <cstdint>
#include <memory>

class CLzhDecoder
{
public:
    CLzhDecoder();
    ~CLzhDecoder();
    CLzhDecoder(const CLzhDecoder&) = delete;
    CLzhDecoder& operator=(const CLzhDecoder&) = delete;

    // Past its packedSize bytes the stream reads as zero bits, at most this many of them:
    // a member that needs more is broken.
    static constexpr uint64_t kMaxOverrunBits = 64;

    // Decodes packedSize bytes of source into unpackedSize bytes (a last match may run past
    // it and is produced whole) and returns their CRC-16, or 0 when ok ends false. A null
    // sink only checks. ok is set true when decoding starts and false on an invalid block
    // or when more than kMaxOverrunBits are read past the compressed data.
    // dictBits: 12 to 19 (13, 15 and 16 for the common methods); other values read as 13.
    // *writeFailed (when given) tells whether the sink refused bytes; decoding stops there.
    uint16_t Decode(ByteSource& source, ByteSink* sink, uint32_t packedSize, uint32_t unpackedSize,
                    int dictBits, bool& ok, bool* writeFailed = nullptr);

private:
    struct State;
    std::unique_ptr<State> m_state;
};
