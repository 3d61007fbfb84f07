// A ZIP archive's members as their headers store them, read from the archive's bytes without
// the reader under test: the central directory for the sizes (a data descriptor leaves the
// local header's at 0), each local header for where the data start and its extra field.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

struct RawZipMember
{
    std::string name;        // as stored
    uint16_t method = 0;     // the directory's method
    uint16_t flags = 0;      // general-purpose bits
    uint32_t crc = 0;        // the directory's CRC-32
    uint64_t packedSize = 0; // the directory's sizes
    uint64_t unpackedSize = 0;
    std::vector<uint8_t> extra; // the local header's extra field
    std::vector<uint8_t> data;  // the packedSize stored bytes after the local header
};

// Every member of the archive in bytes, in directory order. Records a test failure and
// returns what was read when a structure is missing or runs past the end.
std::vector<RawZipMember> ReadRawZipMembers(const std::vector<uint8_t>& archive);

// The same for a host file.
std::vector<RawZipMember> ReadRawZipFile(const std::string& hostPath);

// A member of the shared ZIP corpus with its manifest line.
struct CorpusZipMember
{
    std::string archive;  // path below corpus/zip
    std::string sha256;   // of the member's content, from the manifest
    std::string password; // the manifest's password column ("-": none)
    RawZipMember member;
};

// The members of the corpus archive (path below corpus/zip) that the manifest lists with a
// SHA-256, matched by name. Records a test failure when the archive or a member is missing.
std::vector<CorpusZipMember> CorpusZipMembers(const std::string& archive);

} // namespace testsupport
