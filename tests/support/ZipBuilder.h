// Builds ZIP archives byte by byte for tests: members with any method, flags, sizes and
// attributes, traditional encryption, and end records that lie.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

struct ZipMember
{
    std::string name;    // stored bytes
    std::string data;    // the member's data as stored (compressed), before encryption
    uint16_t method = 0; // 0 stored, 8 deflated, ...
    uint16_t flags = 0;  // bit 0 is set for a password
    uint32_t crc = 0;    // CRC-32 of the uncompressed data
    uint32_t unpackedSize = 0;
    uint16_t time = 0x6000; // 12:00:00
    uint16_t date = 0x5A21; // 2025-01-01
    uint32_t external = 0x20;
    uint8_t madeByHost = 0;
    bool encrypted = false; // behind a 12-byte encryption header, with password
    std::string password;
    uint8_t headerSeed = 0x5A;   // the first byte of the encryption header, before encryption
    bool localSizesZero = false; // the local header's CRC and sizes are 0 (bit 3 style)
    std::string localName;       // when not empty: the local header's name
    std::string extra;           // the extra field of both headers
};

struct ZipLayout
{
    std::string prefix;  // bytes in front of the archive (offsets are not adjusted)
    std::string comment; // archive comment
    std::string suffix;  // bytes after the end record
    uint16_t diskNumber = 0;
    int entryCountDelta = 0; // added to the end record's entry counts
};

// A member holding content as it is: stored, or deflated as stored blocks.
ZipMember StoredMember(const std::string& name, const std::string& content);
ZipMember DeflatedMember(const std::string& name, const std::string& content);
// A member of method 93: content as one Zstandard frame made by libzstd at level.
ZipMember ZstdMember(const std::string& name, const std::string& content, int level = 3);
// member (any method) encrypted with WinZip AES: method 99, bit 0 set, the 0x9901 field ahead
// of its extra field, and its stored bytes salt, verifier, encrypted data and code. AE-2
// (vendorVersion 2) stores 0 for the CRC-32. salt holds 4 + 4 * strength bytes.
ZipMember AesMember(ZipMember member, const std::string& password, int strength, int vendorVersion,
                    const std::string& salt);

// Raw Deflate of content in stored blocks.
std::string DeflateStoredBlocks(const std::string& content);

uint32_t Crc32Of(const std::string& bytes);

std::string BuildZip(const std::vector<ZipMember>& members, const ZipLayout& layout = {});

} // namespace testsupport
