// Opens, tests and extracts every archive of the shared ZIP corpus: extracted bytes must
// hash as MANIFEST.tsv says, test mode must agree, and members and archives that cannot be
// read must fail with the status that names why.
#include "platform/CodePage932.h"
#include "platform/DevicePath.h"
#include "tests/support/LzhManifest.h"
#include "tests/support/Sha256.h"
#include "tests/support/TempFolder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

using namespace testsupport;

namespace
{

struct ZipRow
{
    std::string raw, member, sha256, expect, password; // raw: the manifest's escaped name
};

std::map<std::string, std::vector<ZipRow>> ReadZipManifest(const std::string& path)
{
    std::map<std::string, std::vector<ZipRow>> archives;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            f.push_back(field);
        }
        if (f.size() < 11) {
            ADD_FAILURE() << "short manifest line: " << line;
            continue;
        }
        archives[f[0]].push_back({f[1], Unescape(f[1]), f[6], f[7], f[10]});
    }
    return archives;
}

// Archives whose outcome here differs from the manifest, and why.
struct ArchiveDivergence
{
    int openStatus; // -1: the archive opens (its members diverge below)
    const char* reason;
};

const std::map<std::string, ArchiveDivergence> kArchiveDivergences = {
    {"commons-compress/COMPRESS-477/split_zip_created_by_zip/split_zip_created_by_zip.zip",
     {kZipMultiVolume, "multi-disk archives are refused"}},
    {"libarchive/test_read_format_zip_with_invalid_traditional_eocd.zip",
     {kZipMultiVolume, "the end record's disk number reads 0xFFFF; Zip64 records are not read"}},
    {"commons-compress/COMPRESS-228.zip",
     {kZipOk, "the entry count reads 0xFFFF; the Zip64 end record is not read"}},
    {"commons-compress/COMPRESS-621.zip",
     {kZipOk, "offsets in a prefixed archive are not corrected"}},
    {"libarchive/test_read_format_zip_padded1.zip",
     {kZipOk, "offsets in a prefixed archive are not corrected"}},
    {"libarchive/test_read_format_zip_sfx.exe",
     {kZipOk, "offsets of a self-extractor are not corrected"}},
};

// Members whose outcome differs from the manifest's "expect", and why.
struct MemberDivergence
{
    int status;
    const char* extractedAs; // name of the extracted file when it is not the listed one
    const char* reason;
};

// The central directory names these members with code page 437 bytes, their local headers
// with other text; the output takes the local header's name.
constexpr const char* kLocalName = "the output is named by the local header";

const std::map<std::string, MemberDivergence> kMemberDivergences = {
    {"libarchive/test_read_format_zip_7075_utf8_paths.zip:File 2 - \\x94.txt",
     {kZipOk, "File 2 - xx.txt", kLocalName}},
    {"libarchive/test_read_format_zip_7075_utf8_paths.zip:File 3 - \\x84.txt",
     {kZipOk, "File 3 - xx.txt", kLocalName}},
    {"libarchive/test_read_format_zip_7075_utf8_paths.zip:File 4 - \\x86.txt",
     {kZipOk, "File 4 - xx.txt", kLocalName}},
};

class PasswordPrompt final : public CArchivePrompt
{
public:
    void AskPassword(const wchar_t*, wchar_t* text) override
    {
        ++asked;
        std::wcsncpy(text, password.c_str(), kPasswordCapacity - 1);
    }
    std::wstring password;
    int asked = 0;
};

// The statuses a member may end with. The unknown passwords are never right: the prompt
// answers with an empty one.
std::set<int> ExpectedStatuses(const ZipRow& row)
{
    if (row.expect == "unsupported") {
        return {kZipUnsupported};
    }
    if (row.expect == "crc-error") {
        return {kZipCrcMismatch};
    }
    if (row.expect == "password-unknown") {
        return {kZipPasswordFailed};
    }
    if (row.expect == "error") {
        return {kZipDamaged, kZipCrcMismatch};
    }
    return {kZipOk};
}

} // namespace

TEST(ZipCorpus, EveryArchiveOpensTestsAndExtractsAsItsManifestSays)
{
    const std::string root = SharedDir() + "/corpus/zip";
    ASSERT_TRUE(std::filesystem::exists(root + "/MANIFEST.tsv"))
        << "the shared corpus is missing: " << root;
    auto manifest = ReadZipManifest(root + "/MANIFEST.tsv");
    TempFolder out;
    std::filesystem::create_directory(out.HostPath("in"));
    std::filesystem::create_directory_symlink(root, out.HostPath("in/corpus"));
    int archiveNo = 0;
    int extracted = 0;
    for (const auto& [relative, rows] : manifest) {
        SCOPED_TRACE(relative);
        CZipArchive archive;
        PasswordPrompt prompt;
        archive.SetPrompt(&prompt);
        std::wstring path = L"\\in\\corpus\\" + platform::Cp932ToWide(relative);
        bool opened = archive.Open(path.c_str());
        auto divergence = kArchiveDivergences.find(relative);
        if (divergence != kArchiveDivergences.end() && divergence->second.openStatus >= 0) {
            SCOPED_TRACE(divergence->second.reason);
            EXPECT_FALSE(opened);
            EXPECT_EQ(archive.status, divergence->second.openStatus);
            continue;
        }
        bool allDamaged = std::all_of(rows.begin(), rows.end(),
                                      [](const ZipRow& row) { return row.expect == "error"; });
        if (allDamaged && !opened) {
            continue; // damaged beyond listing: no end record or directory
        }
        if (rows[0].member == "(none)") {
            EXPECT_FALSE(opened); // the directory cannot be walked
            continue;
        }
        EXPECT_TRUE(opened) << archive.status;
        EXPECT_EQ(archive.entryCount, static_cast<int>(rows.size()));
        if (!opened || archive.entryCount != static_cast<int>(rows.size())) {
            continue;
        }
        std::wstring dest = L"\\out" + std::to_wstring(++archiveNo);
        std::wcsncpy(archive.destFolder, dest.c_str(), kMaxPath - 1);
        archive.skipIfNotOlder = false;
        archive.overwriteSilently = true;
        for (int i = 0; i < archive.entryCount; ++i) {
            const CZipEntry& e = archive.entries[i];
            const ZipRow& row = rows[static_cast<size_t>(i)];
            SCOPED_TRACE(row.member);
            std::wstring listed = std::wstring(e.path) + e.name;
            EXPECT_EQ(listed, platform::Cp932ToWide(row.member));
            std::set<int> expected = ExpectedStatuses(row);
            std::wstring extractedAs = listed;
            auto member = kMemberDivergences.find(relative + ":" + row.raw);
            if (member != kMemberDivergences.end()) {
                SCOPED_TRACE(member->second.reason);
                expected = {member->second.status};
                extractedAs = platform::Cp932ToWide(member->second.extractedAs);
            }
            prompt.password = row.password == "-" || row.password == "?"
                                  ? L""
                                  : platform::Cp932ToWide(row.password);
            for (bool test : {true, false}) {
                archive.testMode = test;
                bool ok = archive.ExtractEntry(&e);
                EXPECT_TRUE(expected.count(archive.status)) << archive.status;
                EXPECT_EQ(ok, archive.status == kZipOk);
            }
            if (expected.count(kZipOk) && row.sha256 != "-") {
                std::wstring output = dest + L"\\" + extractedAs;
                EXPECT_EQ(Sha256OfHostFile(platform::DeviceToHost(output)), row.sha256);
                ++extracted;
            }
        }
    }
    EXPECT_GE(extracted, 100);
}
