// The shared LZH corpus: MANIFEST.tsv rows and the archives this reader lists otherwise
// than the manifest's tools, with the reason.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testsupport
{

struct ManifestRow
{
    std::string member, method, mtime, os, sha256, expect;
    int level;
    uint64_t size, packed, offset;
    unsigned crc;

    // The header's OS id as the manifest names it: "0x20", a letter, or "-" for none (0).
    int OsId() const
    {
        if (os.rfind("0x", 0) == 0) {
            return std::stoi(os.substr(2), nullptr, 16);
        }
        return os == "-" || os.empty() ? 0 : static_cast<unsigned char>(os[0]);
    }
};

// How this reader's listing of an archive differs from the manifest, and why.
struct Divergence
{
    int members; // members listed (-1: the open fails)
    int status;  // status of a failed open
    const char* reason;
};

// Archive path relative to corpus/lzh -> its rows in archive order.
std::map<std::string, std::vector<ManifestRow>> ReadLzhManifest(const std::string& path);
const std::map<std::string, Divergence>& ListingDivergences();
// Manifest paths: '\xNN' for bytes outside printable ASCII, '\\' for a backslash.
std::string Unescape(const std::string& text);
// The "timestamp:" of each member of an upstream header dump (expected-hdr/...-hdr.txt), in
// order: Unix seconds, MS-DOS stamps read in the Europe/London zone; empty when the dump
// is missing or gives none.
std::vector<std::optional<int64_t>> HeaderDumpTimes(const std::string& dumpPath);
// The time column as a UTC file time, reading local stamps as UTC; raw:... reads as 0.
platform::FileTime ManifestTime(const std::string& text);

} // namespace testsupport
