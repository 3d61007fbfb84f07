// CZipMethodDecoder: what every ZIP compression method's decoder offers the member stream:
// one member's compressed bytes in, its bytes out. The caller's sink counts the CRC-32, keeps
// the member within its declared size and carries progress and Cancel; a decoder only turns
// bytes into bytes and says how that ended.
#pragma once

#include "archive/ByteStreams.h"
#include "archive/DecodeStatus.h"

#include <cstdint>

struct ZipDecodeJob
{
    ByteSource* source;    // the member's compressed bytes (decrypted already), then nothing
    ByteSink* sink;        // where every byte produced goes; never null
    uint64_t packedSize;   // compressed bytes the directory declares
    uint64_t unpackedSize; // bytes the directory declares: methods without an end mark stop there
    uint16_t method;       // the member's method number
    uint16_t flags;        // general-purpose bits (Implode reads bits 1 and 2)
};

class CZipMethodDecoder
{
public:
    virtual ~CZipMethodDecoder() = default;
    // Decodes the whole member. OutputRefused when the sink refused a write (the caller's
    // sink knows whether that was a full disk, the size limit or Cancel).
    virtual DecodeStatus Decode(const ZipDecodeJob& job) = 0;
};
