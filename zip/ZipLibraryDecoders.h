// CZipLibraryDecoders: the decoders of the methods that the format libraries decode, one
// object each, found by method number. An archive keeps one set so that each decoder's
// buffers and library state serve member after member.
#pragma once

#include "zip/ZipBzip2Decoder.h"
#include "zip/ZipLzmaDecoder.h"
#include "zip/ZipZstdDecoder.h"

#include <cstdint>

// The method numbers these decoders take.
enum ZipLibraryMethod : uint16_t
{
    kZipBzip2 = 12,
    kZipLzma = 14,
    kZipZstd = 93,
    kZipXz = 95,
};

class CZipLibraryDecoders
{
public:
    // The decoder of method, or null when it is none of the above.
    CZipMethodDecoder* For(uint16_t method)
    {
        switch (method) {
        case kZipBzip2:
            return &m_bzip2;
        case kZipLzma:
        case kZipXz:
            return &m_lzma;
        case kZipZstd:
            return &m_zstd;
        default:
            return nullptr;
        }
    }

private:
    CZipBzip2Decoder m_bzip2;
    CZipLzmaDecoder m_lzma;
    CZipZstdDecoder m_zstd;
};
