// CZipZstdDecoder: method 93, Zstandard frames (one or more, skippable frames among them)
// through libzstd's streaming decoder, with the window limited to kMaxWindowLog.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <memory>

class CZipZstdDecoder final : public CZipMethodDecoder
{
public:
    // Frames asking for a window above 2^27 bytes (128 MiB) are refused as Unsupported
    // before anything is allocated for them; zstd's own levels stay within 8 MiB unless told
    // to use long-distance windows.
    static constexpr int kMaxWindowLog = 27;

    CZipZstdDecoder();
    ~CZipZstdDecoder() override;
    CZipZstdDecoder(const CZipZstdDecoder&) = delete;
    CZipZstdDecoder& operator=(const CZipZstdDecoder&) = delete;

    // Ok when the member ends exactly where a frame ends; Truncated when it ends inside one
    // (or holds nothing); Invalid for corrupt data, a bad checksum or bytes that start no
    // frame of the format's 1.0 version (the library's older formats included); Unsupported
    // for a window beyond the limit or a reserved frame parameter.
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
