// ZipReaderState: what the ZIP reader keeps between the steps of reading one archive: the
// archive file, the current member's headers, its input stream and output, the password
// and the decoders. Internal to zip/.
#pragma once

#include "archive/LittleEndian.h"
#include "archive/PathLimit.h"
#include "platform/File.h"
#include "zip/Inflate.h"
#include "zip/ZipAes.h"
#include "zip/ZipAesSource.h"
#include "zip/ZipCipher.h"
#include "zip/ZipEntry.h"
#include "zip/ZipImplodeDecoder.h"
#include "zip/ZipLibraryDecoders.h"
#include "zip/ZipMemberStream.h"
#include "zip/ZipReduceDecoder.h"
#include "zip/ZipShrinkDecoder.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The current member as extraction sees it: the central directory's values.
struct ZipMemberInfo
{
    int32_t method; // the compression method (under WinZip AES, the one its field names)
    uint32_t crc32;
    uint64_t packedSize;
    uint64_t unpackedSize;
    bool encrypted;      // general-purpose bit 0
    bool aes;            // encrypted with WinZip AES (method 99), as aesField says
    bool dataDescriptor; // general-purpose bit 3
    uint8_t attributes;  // low byte of the external attributes (+ archive for files)
};

// A local header's fields after the signature; with bit 3 set, the CRC and sizes are the
// member info's.
struct ZipLocalHeader
{
    uint8_t neededVersion;
    uint8_t neededHost;
    uint16_t flags;
    uint16_t method;
    uint16_t time;
    uint16_t date;
    uint32_t crc32;
    uint64_t packedSize; // from the Zip64 extra field where the header holds all ones
    uint64_t unpackedSize;
    uint16_t nameLength;
    uint16_t extraLength;
};

struct ZipReaderState
{
    platform::FileHandle archive = platform::kInvalidFile;
    wchar_t memberName[kMaxPath] = {}; // the current member's name, as the list shows it
    std::vector<uint8_t> extraField;   // the current header's extra field (not interpreted)
    ZipMemberInfo member = {};
    ZipLocalHeader local = {};
    uint64_t packedInForce = 0; // compressed size the member's data are read with

    bool askAnew = false; // the next encrypted member asks even when a password is stored
    bool hasPassword = false;
    std::wstring password; // as typed; tried in each encoding an archiver may have used
    ZipAesExtra aesField = {};
    CZipCipher cipher;
    CZipAesSource aesSource;
    CZipMemberStream input;
    CInflater inflater;
    CZipShrinkDecoder shrink;
    CZipReduceDecoder reduce;
    CZipImplodeDecoder implode;
    CZipLibraryDecoders libraries;

    // The decoder of a method other than stored and Deflate, or null when there is none.
    CZipMethodDecoder* DecoderFor(int method)
    {
        if (method == kZipShrunk) {
            return &shrink;
        }
        if (method >= kZipReducedFirst && method <= kZipReducedLast) {
            return &reduce;
        }
        if (method == kZipImploded) {
            return &implode;
        }
        return method > 0 && method <= 0xFFFF ? libraries.For(static_cast<uint16_t>(method))
                                              : nullptr;
    }
    std::unique_ptr<uint8_t[]> copyBlock; // the stored copy's buffer, made on first use
};

// Takes the sizes and the offset that hold all ones (each may be null) from the Zip64
// extended information of an extra field.
void ApplyZip64Extra(const std::vector<uint8_t>& extra, uint64_t* unpacked, uint64_t* packed,
                     uint64_t* offset);

// Removes the dot MS-DOS archivers put after the eighth character of a volume label.
void DropVolumeLabelDot(wchar_t (&name)[kMaxPath]);

// Whether a member's attributes name a volume label: bit 0x08 from a host whose attributes
// have one (MS-DOS, OS/2, NTFS, VFAT).
inline bool IsZipVolumeLabel(uint8_t madeByHost, uint32_t attributes)
{
    uint8_t h = madeByHost;
    return (attributes & 0x08) != 0 && (h == 0 || h == 5 || h == 6 || h == 11);
}
