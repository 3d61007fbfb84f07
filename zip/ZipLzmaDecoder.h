// CZipLzmaDecoder: the two methods liblzma decodes. Method 14 is a raw LZMA stream behind
// ZIP's own small header; method 95 is an .xz stream (or several back to back). Both refuse
// a dictionary larger than kMaxDictionary instead of allocating it.
#pragma once

#include "zip/ZipMethodDecoder.h"

#include <cstdint>
#include <memory>

class CZipLzmaDecoder final : public CZipMethodDecoder
{
public:
    // The largest dictionary a member may make this decoder allocate (128 MiB: above what
    // xz -9 and 7-Zip's highest level use, and the Zstandard decoder's window limit).
    static constexpr uint64_t kMaxDictionary = uint64_t{1} << 27;

    CZipLzmaDecoder();
    ~CZipLzmaDecoder() override;
    CZipLzmaDecoder(const CZipLzmaDecoder&) = delete;
    CZipLzmaDecoder& operator=(const CZipLzmaDecoder&) = delete;

    // job.method 14: general-purpose bit 1 says the stream ends with an end marker; without it
    // the stream ends at job.unpackedSize (a declared size short of the stream's end is
    // Invalid). Bytes after the stream's end are not looked at. lc + lp above 4 is
    // Unsupported (liblzma takes no more). A
    // dictionary is needed only as far as the member's size reaches, so a large one is
    // refused (Unsupported) only when the member is larger than kMaxDictionary as well.
    // job.method 95: every stream's index, padding and check are verified, and the member
    // must end with the last stream. Unsupported: a dictionary beyond the limit, or a filter
    // or option liblzma does not know. Any other method number is Unsupported.
    DecodeStatus Decode(const ZipDecodeJob& job) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
