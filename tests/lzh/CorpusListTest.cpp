// Lists every archive of the shared LZH corpus and compares each member with MANIFEST.tsv:
// path, method, level, sizes, CRC, OS byte, header offset and time. Where this reader
// deliberately gives another result than the manifest's tools, the archive is named in
// LzhManifest.cpp with the reason.
#include "lzh/LzhArchive.h"
#include "platform/CodePage932.h"
#include "platform/DevicePath.h"
#include "tests/support/LzhManifest.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

using namespace testsupport;

namespace
{

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
    if (e.flags & kEntrySymlink) {
        path += L"|" + std::wstring(e.linkTarget); // as the manifest shows a link
    }
    for (wchar_t& c : path) {
        if (c == L'\\') {
            c = L'/';
        }
    }
    return path;
}

// The member's time is the manifest's stamp (local for levels 0 and 1). A level 1 header
// may also carry the exact time in a Unix time extended header, which this reader prefers:
// that lies within the two-second resolution of the MS-DOS stamp, or is what the upstream
// dump shows.
bool TimeMatches(platform::FileTime listed, const ManifestRow& row, std::optional<int64_t> dump)
{
    platform::FileTime t = ManifestTime(row.mtime);
    if (row.level < 2 && t != 0) {
        platform::LocalFileTimeToFileTime(t, &t);
    }
    if (listed == t) {
        return true;
    }
    bool nearStamp =
        listed + 2 * platform::kTicksPerSecond > t && listed < t + 2 * platform::kTicksPerSecond;
    bool dumped = dump.has_value() &&
                  listed == platform::UnsignedUnixToFileTime(static_cast<uint32_t>(*dump));
    return row.level == 1 && (nearStamp || dumped);
}

void CheckMember(const CArchiveEntry& e, const ManifestRow& row, std::optional<int64_t> dumpTime)
{
    SCOPED_TRACE(row.member);
    EXPECT_EQ(ListedPath(e), ExpectedPath(row));
    EXPECT_EQ(e.method, platform::Cp932ToWide(row.method));
    EXPECT_EQ(e.level, row.level);
    EXPECT_EQ(e.unpackedSize, row.size); // above 4 GiB from extended header 0x42
    EXPECT_EQ(e.packedSize, row.packed);
    EXPECT_EQ(e.crc, row.crc);
    EXPECT_EQ(e.headerPos, static_cast<int64_t>(row.offset));
    // The manifest's time for this self-extractor is not its header's (which is lh4.lzh's).
    if (row.offset != 6112 || row.method != "-lh4-") {
        EXPECT_TRUE(TimeMatches(e.modified, row, dumpTime)) << e.modified;
    }
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
    setenv("TZ", "Europe/London", 1); // the zone the upstream dumps read MS-DOS stamps in
    tzset();
    const std::string root = testsupport::CorpusDir() + "/lzh";
    ASSERT_TRUE(std::filesystem::exists(root + "/MANIFEST.tsv"))
        << "the shared corpus is missing: " << root;
    auto manifest = ReadLzhManifest(root + "/MANIFEST.tsv");
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
        auto dumpTimes = HeaderDumpTimes(root + "/expected-hdr/" + relative + "-hdr.txt");
        auto dumpTime = [&](size_t i) {
            return i < dumpTimes.size() ? dumpTimes[i] : std::optional<int64_t>();
        };
        auto divergence = ListingDivergences().find(relative);

        CLzhArchive archive;
        std::wstring path = L"\\" + platform::Cp932ToWide(relative);
        bool opened = archive.Open(path.c_str(), false);
        if (divergence != ListingDivergences().end()) {
            const Divergence& d = divergence->second;
            SCOPED_TRACE(d.reason);
            EXPECT_EQ(opened, d.members >= 0);
            EXPECT_EQ(opened ? archive.GetEntryCount() : archive.status,
                      opened ? d.members : d.status);
            for (int i = 0; i < archive.GetEntryCount() && i < static_cast<int>(rows.size()); ++i) {
                CheckMember(archive.GetEntry(i), rows[i], dumpTime(static_cast<size_t>(i)));
            }
            continue;
        }
        EXPECT_TRUE(opened) << "status " << archive.status;
        EXPECT_EQ(archive.GetEntryCount(), static_cast<int>(rows.size()));
        for (size_t i = 0; i < rows.size() && i < static_cast<size_t>(archive.GetEntryCount());
             ++i) {
            CheckMember(archive.GetEntry(i), rows[i], dumpTime(static_cast<size_t>(i)));
        }
    }
    EXPECT_EQ(archivesSeen, manifest.size());
    platform::SetDeviceRoot("");
    unsetenv("TZ");
    tzset();
}
