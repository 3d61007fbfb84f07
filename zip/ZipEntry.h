// CZipEntry, one ZIP member as its central-directory header lists it.
#pragma once

#include "archive/PathLimit.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <type_traits>

// Records are cleared to zero and filled field by field: no pointers here.
struct CZipEntry
{
    int32_t method;              // compression method: 0 stored, 8 deflated, 9 enhanced, ...
    uint64_t packedSize;         // compressed size (from the Zip64 extra field where it is larger)
    uint64_t unpackedSize;       // uncompressed size (likewise)
    platform::FileTime modified; // the DOS date and time as a file time, local (not UTC)
    uint64_t localHeaderOffset;  // offset of the local header from the start of the file
    uint32_t attributes;         // external file attributes
    wchar_t name[kMaxPath];      // the name after its last '/'; empty for a folder member
    wchar_t path[kMaxPath];      // the name up to and including its last '/', or empty
    uint32_t crc32;              // CRC-32 of the uncompressed data
    uint8_t madeByVersion;       // version made by: version and host bytes
    uint8_t madeByHost;
    uint8_t neededVersion; // version needed to extract: version and host bytes
    uint8_t neededHost;
    uint32_t flags; // general-purpose bit flag
};
static_assert(std::is_trivially_copyable_v<CZipEntry>);

// General-purpose flag bits the reader acts on.
enum ZipFlag : uint32_t
{
    kZipFlagEncrypted = 0x0001,       // traditional encryption (with bit 6: strong encryption)
    kZipFlagDataDescriptor = 0x0008,  // sizes and CRC follow the data; the directory has them
    kZipFlagStrongEncryption = 0x0040 // PKWARE strong encryption, which is not supported
};

// Compression methods the reader decodes (and the libraries' methods of ZipLibraryDecoders.h).
enum ZipMethod
{
    kZipStored = 0,
    kZipShrunk = 1,
    kZipReducedFirst = 2, // Reduce with compression factors 1 to 4: methods 2 to 5
    kZipReducedLast = 5,
    kZipImploded = 6,
    kZipDeflated = 8,
    kZipEnhancedDeflated = 9,
};
