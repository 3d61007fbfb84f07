// Opens, tests and extracts every archive of the shared ZIP corpus: extracted bytes must
// hash as MANIFEST.tsv says, test mode must agree, and members and archives that cannot be
// read must fail with the status that names why.
#include "platform/CodePage932.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"
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
    unsigned flags;                                    // general-purpose bit flag
    int host;                                          // "version made by" host number
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
        archives[f[0]].push_back(
            {f[1], Unescape(f[1]), f[6], f[7], f[10],
             f[3] == "-" ? 0u : static_cast<unsigned>(std::stoul(f[3], nullptr, 16)),
             f[9] == "-" ? 0 : std::stoi(f[9])});
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
    {"commons-compress/COMPRESS-621.zip",
     {kZipOk, "offsets in a prefixed archive are not corrected"}},
    {"libarchive/test_read_format_zip_padded1.zip",
     {kZipOk, "offsets in a prefixed archive are not corrected"}},
    {"libarchive/test_read_format_zip_sfx.exe",
     {kZipOk, "offsets of a self-extractor are not corrected"}},
};

class PasswordPrompt final : public CArchivePrompt
{
public:
    bool AskPassword(const wchar_t*, bool again, wchar_t* text) override
    {
        ++asked;
        std::wcsncpy(text, password.c_str(), kPasswordCapacity - 1);
        return !again;
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

// Names given again in UTF-8 by a Unicode path extra field whose CRC matches the name field.
const std::map<std::string, std::wstring> kUnicodePathNames = {
    {"commons-compress/test-winzip.zip:\\x84/", L"\u00E4/"},
    {"commons-compress/test-winzip.zip:\\x84/\\xfczip.zip", L"\u00E4/\u00B3zip.zip"},
    {"commons-compress/test-winzip.zip:\\x84/\\x81.txt", L"\u00E4/\u00FC.txt"},
    {"commons-compress/utf8-winzip-test.zip:\\x80_for_Dollar.txt", L"\u20AC_for_Dollar.txt"},
    {"commons-compress/utf8-winzip-test.zip:\\x99lf\\x84sser.txt", L"\u00D6lf\u00E4sser.txt"},
    {"libarchive/test_read_format_zip_7075_utf8_paths.zip:File 4 - \\x86.txt",
     L"File 4 - \u00E5.txt"},
};

// The name as listed: UTF-8 with flag bit 11 (or valid UTF-8 from a Unix host), the Unicode
// path where there is one, else code page 932.
std::wstring ExpectedName(const std::string& relative, const ZipRow& row)
{
    auto unicode = kUnicodePathNames.find(relative + ":" + row.raw);
    if (unicode != kUnicodePathNames.end()) {
        return unicode->second;
    }
    // Unix archivers write valid UTF-8 without the flag.
    std::wstring utf8;
    bool fromUnix = row.host == 3 && platform::StrictUtf8ToWide(row.member, &utf8);
    return (row.flags & 0x0800) || fromUnix ? platform::Utf8ToWide(row.member)
                                            : platform::Cp932ToWide(row.member);
}

} // namespace

TEST(ZipCorpus, EveryArchiveOpensTestsAndExtractsAsItsManifestSays)
{
    const std::string root = CorpusDir() + "/zip";
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
        EXPECT_EQ(archive.GetEntryCount(), static_cast<int>(rows.size()));
        if (!opened || archive.GetEntryCount() != static_cast<int>(rows.size())) {
            continue;
        }
        std::wstring dest = L"\\out" + std::to_wstring(++archiveNo);
        std::wcsncpy(archive.destFolder, dest.c_str(), kMaxPath - 1);
        archive.skipIfNotOlder = false;
        archive.overwriteSilently = true;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            const CZipEntry& e = archive.GetEntry(i);
            const ZipRow& row = rows[static_cast<size_t>(i)];
            SCOPED_TRACE(row.member);
            std::wstring listed = std::wstring(e.path) + e.name;
            EXPECT_EQ(listed, ExpectedName(relative, row));
            // Every member is extracted under the name the list shows, whatever its local
            // header says (this corpus has some whose local names differ).
            std::set<int> expected = ExpectedStatuses(row);
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
                std::wstring output = dest + L"\\" + listed;
                EXPECT_EQ(Sha256OfHostFile(platform::DeviceToHost(output)), row.sha256);
                ++extracted;
            }
        }
    }
    EXPECT_GE(extracted, 100);
}
