// CZipReduceDecoder: the decoder of PKZIP 0.9x Reduce (methods 2-5, compression factors 1-4):
// follower-set coding of a byte stream whose DLE escapes carry back-references.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <memory>

class CZipReduceDecoder final : public CZipMethodDecoder
{
public:
    CZipReduceDecoder();
    ~CZipReduceDecoder() override;
    CZipReduceDecoder(const CZipReduceDecoder&) = delete;
    CZipReduceDecoder& operator=(const CZipReduceDecoder&) = delete;

    // Produces exactly job.unpackedSize bytes (nothing marks the stream's end; a last match
    // running past it is cut there). Truncated when the member's bytes end before that;
    // Invalid for a follower set of more than 32 bytes or an index past its set's end;
    // Unsupported for a method outside 2-5.
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // allocated at the first Decode
};
