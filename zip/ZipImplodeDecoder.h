// CZipImplodeDecoder: the decoder of PKZIP 1.x Implode (method 6): LZ77 over a 4 or 8 KiB
// window with its literals, lengths and distances in Shannon-Fano codes.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <memory>

class CZipImplodeDecoder final : public CZipMethodDecoder
{
public:
    CZipImplodeDecoder();
    ~CZipImplodeDecoder() override;
    CZipImplodeDecoder(const CZipImplodeDecoder&) = delete;
    CZipImplodeDecoder& operator=(const CZipImplodeDecoder&) = delete;

    // Produces exactly job.unpackedSize bytes (nothing marks the stream's end; a last match
    // running past it is cut there); job.flags bit 1 selects the 8 KiB window, bit 2 the
    // literal code (three codes). Truncated when the member's bytes end before that; Invalid
    // for a code description that gives its code more or fewer lengths than it has symbols,
    // or lengths that do not make a complete prefix code; Unsupported for a method other
    // than 6.
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state; // allocated at the first Decode
};
