// Members of the shared LZH corpus chosen by method, with their compressed bytes as the
// archive's own listing locates them, for the decoder tests and the benchmarks.
#pragma once

#include "tests/support/LzhManifest.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

struct CorpusMember
{
    std::string archive;         // path below corpus/lzh
    ManifestRow row;             // the manifest's line for the member
    uint64_t unpackedSize;       // from the member's header
    uint16_t headerCrc;          // CRC-16 field of the member's header
    std::vector<uint8_t> packed; // the member's compressed bytes
};

// Every member whose manifest method is `method` ("-lh1-"). Self-extractors whose name
// does not end in ".exe" are opened under that name so that their archive is searched for.
// Records a test failure when an archive cannot be opened or read.
std::vector<CorpusMember> CorpusMembersWithMethod(const std::string& method);

// Lower-case hex SHA-256 of bytes (through sha256sum, as the manifests were made).
std::string Sha256OfBytes(const std::vector<uint8_t>& bytes);

} // namespace testsupport
