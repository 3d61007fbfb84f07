// Builds LZH member headers byte by byte for tests, including broken ones: every field can
// be set directly, and checksum, header CRC and sizes are computed unless overridden.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace testsupport
{

struct ExtHeader
{
    uint8_t type;
    std::string data;
};

struct LzhMemberFields
{
    int level = 2;
    std::string method = "-lh0-";
    std::string name = "a.txt"; // base name field (levels 0, 1)
    // level 3 writes 4-byte size fields (total size at 24, extended sizes)
    std::string data;               // member data written after the header
    std::optional<uint32_t> packed; // default: data size (level 1 adds extended headers)
    uint32_t unpacked = 0;
    uint32_t timeField = 0;   // MS-DOS time | date << 16, or Unix time (levels 2, 3)
    uint8_t attribute = 0x20; // byte 19 (level 2 normally 0x20)
    uint16_t crc = 0;
    uint8_t osId = 'U';
    std::vector<ExtHeader> ext;
    bool headerCrc = false;            // level 1/2: add a type 0x00 header with the right CRC
    std::optional<uint8_t> checksum;   // levels 0, 1: override the computed checksum
    std::optional<uint32_t> totalSize; // levels 2, 3: override the total size field
    size_t padding = 0;                // levels 2, 3: padding after the extended headers
};

// The header followed by fields.data.
std::string BuildMember(const LzhMemberFields& fields);

} // namespace testsupport
