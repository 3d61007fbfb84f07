// CZipBzip2Decoder: method 12, a bzip2 stream (or several back to back, as parallel
// compressors write them) decoded by libbz2. Its memory is bounded by the format: at most a
// 900 kB block, about 3.6 MB of tables.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <memory>

class CZipBzip2Decoder final : public CZipMethodDecoder
{
public:
    CZipBzip2Decoder();
    ~CZipBzip2Decoder() override;
    CZipBzip2Decoder(const CZipBzip2Decoder&) = delete;
    CZipBzip2Decoder& operator=(const CZipBzip2Decoder&) = delete;

    // Ok once the last stream ends with the member's bytes; Invalid for a bad signature, block
    // or stream CRC; Truncated when the member ends inside a stream (an empty member included).
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
