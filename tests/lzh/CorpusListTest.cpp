// Lists every archive of the shared LZH corpus and compares each member with MANIFEST.tsv:
// path, method, level, sizes, CRC, OS byte, header offset and time. Where this reader
// deliberately gives another result than the manifest's tools, the archive is named below
// with the reason.
#include "lzh/LzhArchive.h"
#include "platform/CodePage932.h"
#include "platform/DevicePath.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <vector>

namespace
{

struct ManifestRow
{
    std::string member, method, mtime, os;
    int level;
    uint64_t size, packed, offset;
    unsigned crc;
};

// How this reader's listing of an archive differs from the manifest, and why.
struct Divergence
{
    int members;        // members listed (-1: the open fails)
    int status;         // status of a failed open
    const char* reason;
};

const std::map<std::string, Divergence> kDivergences = {
    // Level 3 headers are outside the format read here: the scan ends at the first one.
    {"lha_os2_208/h3_lfn.lzh", {0, 0, "level 3 header ends the scan"}},
    {"lha_os2_208/h3_lh0.lzh", {0, 0, "level 3 header ends the scan"}},
    {"lha_os2_208/h3_lh5.lzh", {0, 0, "level 3 header ends the scan"}},
    {"lha_os2_208/h3_subdir.lzh", {0, 0, "level 3 header ends the scan"}},
    // A folder extended header must end in the separator byte; these end "subdir2" without
    // it (LhA 1.22 on AmigaOS), so their only header is malformed and the scan ends there.
    {"lha_amiga_122/level1.lzh", {0, 0, "folder without trailing separator"}},
    {"lha_amiga_122/level2.lzh", {0, 0, "folder without trailing separator"}},
    // Only names ending in ".exe" are searched for an archive behind a program; these
    // self-extractors are read as plain archives from offset 0, where the program starts.
    {"lha_amiga_122/sfx.run", {0, 0, "program bytes: no readable header at offset 0"}},
    {"pmarc2/sfx.com", {0, 0, "program bytes: no readable header at offset 0"}},
    {"lharc113/sfx.com", {0, 0, "program bytes: no readable header at offset 0"}},
    {"lharc_atari_313a/sfx.tos", {-1, kLzhHeaderScanFailed, "program bytes fail the checksum"}},
    {"lha_x68k_213/sfx.x", {-1, kLzhHeaderScanFailed, "program bytes fail the checksum"}},
};

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> fields;
    std::stringstream s(line);
    std::string field;
    while (std::getline(s, field, '\t')) {
        fields.push_back(field);
    }
    return fields;
}

// Manifest paths: '\xNN' for bytes outside printable ASCII, '\\' for a backslash.
std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
        } else if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            out.push_back(static_cast<char>(std::stoi(text.substr(i + 2, 2), nullptr, 16)));
            i += 3;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

std::map<std::string, std::vector<ManifestRow>> ReadManifest(const std::string& path)
{
    std::map<std::string, std::vector<ManifestRow>> archives;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        auto f = Split(line);
        if (f.size() < 12) {
            ADD_FAILURE() << "short manifest line: " << line;
            continue;
        }
        ManifestRow row;
        row.member = f[1];
        row.method = f[2];
        row.level = std::stoi(f[3]);
        row.size = std::stoull(f[4]);
        row.crc = static_cast<unsigned>(std::stoul(f[5], nullptr, 16));
        row.os = f[8];
        row.packed = std::stoull(f[9]);
        row.offset = std::stoull(f[10]);
        row.mtime = f[11];
        archives[f[0]].push_back(row);
    }
    return archives;
}

// The manifest's time column as a UTC file time (TZ is pinned to UTC, so level 0/1 local
// stamps read as UTC); raw:... marks an invalid MS-DOS stamp, which reads as 0.
platform::FileTime ManifestTime(const std::string& text)
{
    if (text.rfind("raw:", 0) == 0) {
        return 0;
    }
    platform::SystemTime st{};
    int y, mo, d, h, mi, s;
    char sep;
    if (std::sscanf(text.c_str(), "%d-%d-%d%c%d:%d:%d", &y, &mo, &d, &sep, &h, &mi, &s) != 7) {
        ADD_FAILURE() << "bad time " << text;
        return 0;
    }
    st = {static_cast<uint16_t>(y), static_cast<uint16_t>(mo), 0, static_cast<uint16_t>(d),
          static_cast<uint16_t>(h), static_cast<uint16_t>(mi), static_cast<uint16_t>(s), 0};
    platform::FileTime ft = 0;
    EXPECT_TRUE(platform::SystemTimeToFileTime(st, &ft)) << text;
    return ft;
}

// The stored path as this reader shows it, with '/' where the manifest shows separators.
std::wstring ExpectedPath(const ManifestRow& row)
{
    std::string bytes = Unescape(row.member);
    // The name ends at a NUL byte; what follows is a comment some archivers keep there.
    bytes = bytes.substr(0, bytes.find('\0'));
    return platform::Cp932ToWide(bytes);
}

std::wstring ListedPath(const CArchiveEntry& e)
{
    std::wstring path = std::wstring(e.folder) + e.name;
    for (wchar_t& c : path) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return path;
}

void CheckMember(const CArchiveEntry& e, const ManifestRow& row)
{
    SCOPED_TRACE(row.member);
    EXPECT_EQ(ListedPath(e), ExpectedPath(row));
    EXPECT_EQ(e.method, platform::Cp932ToWide(row.method));
    EXPECT_EQ(e.level, row.level);
    EXPECT_EQ(e.unpackedSize, static_cast<uint32_t>(row.size)); // the 32-bit field as stored
    EXPECT_EQ(e.packedSize, row.packed);
    EXPECT_EQ(e.crc, row.crc);
    EXPECT_EQ(e.headerPos, static_cast<int64_t>(row.offset));
    EXPECT_EQ(e.modified, ManifestTime(row.mtime));
    // Level 0 carries no OS byte for this reader, even where an extension area holds one.
    int os = 0;
    if (row.level > 0) {
        os = row.os.rfind("0x", 0) == 0 ? std::stoi(row.os.substr(2), nullptr, 16)
                                        : static_cast<unsigned char>(row.os[0]);
    }
    EXPECT_EQ(e.osId, static_cast<int8_t>(os));
}

} // namespace

TEST(LzhCorpus, EveryArchiveListsAsItsManifestSays)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const std::string root = testsupport::SharedDir() + "/corpus/lzh";
    ASSERT_TRUE(std::filesystem::exists(root + "/MANIFEST.tsv"))
        << "the shared corpus is missing: " << root;
    auto manifest = ReadManifest(root + "/MANIFEST.tsv");
    ASSERT_EQ(manifest.size(), 191u);

    platform::SetDeviceRoot(root);
    size_t archivesSeen = 0;
    for (const auto& file : std::filesystem::recursive_directory_iterator(root)) {
        std::string relative = std::filesystem::relative(file.path(), root).string();
        if (!file.is_regular_file() || relative == "MANIFEST.tsv" ||
            relative.rfind("expected-hdr/", 0) == 0) {
            continue;
        }
        SCOPED_TRACE(relative);
        ++archivesSeen;
        ASSERT_TRUE(manifest.count(relative)) << "not in the manifest";
        const auto& rows = manifest.at(relative);
        auto divergence = kDivergences.find(relative);

        CLzhArchive archive;
        std::wstring path = L"\\" + platform::Cp932ToWide(relative);
        bool opened = archive.Open(path.c_str(), false);
        if (divergence != kDivergences.end()) {
            const Divergence& d = divergence->second;
            SCOPED_TRACE(d.reason);
            EXPECT_EQ(opened, d.members >= 0);
            EXPECT_EQ(opened ? archive.entryCount : archive.status,
                      opened ? d.members : d.status);
            for (int i = 0; i < archive.entryCount && i < static_cast<int>(rows.size()); ++i) {
                CheckMember(archive.entries[i], rows[i]);
            }
            continue;
        }
        EXPECT_TRUE(opened) << "status " << archive.status;
        EXPECT_EQ(archive.entryCount, static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size() && i < static_cast<size_t>(archive.entryCount); ++i) {
            CheckMember(archive.entries[i], rows[i]);
        }
    }
    EXPECT_EQ(archivesSeen, manifest.size());
    platform::SetDeviceRoot("");
    unsetenv("TZ");
    tzset();
}
