// Extracting and testing ZIP members: output paths, the overwrite rules, the stored copy and
// its window, data descriptors, damaged and unsupported members, and unsafe names.
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace testsupport;

namespace
{

class CountingPrompt final : public CArchivePrompt
{
public:
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override
    {
        ++asked;
        lastName = question.name;
        return agree ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    }
    bool agree = false;
    int asked = 0;
    std::wstring lastName;
};

class ZipExtract : public ::testing::Test
{
protected:
    void Open(const std::vector<ZipMember>& members)
    {
        folder.WriteHostFile("a.zip", BuildZip(members));
        ASSERT_TRUE(archive.Open(L"\\a.zip"));
        archive.SetPrompt(&prompt);
        std::wcscpy(archive.destFolder, L"\\out");
        archive.skipIfNotOlder = false; // as the application sets it
    }
    bool Extract(int i) { return archive.ExtractEntry(i); }
    std::string Output(const std::string& relative) const
    {
        return ReadHostFile(folder.HostPath("out/" + relative));
    }
    bool Exists(const std::string& relative) const
    {
        return std::filesystem::exists(folder.HostPath(relative));
    }

    TempFolder folder;
    CZipArchive archive;
    CountingPrompt prompt;
};

std::string Pattern(size_t size)
{
    std::string s(size, '\0');
    for (size_t i = 0; i < size; ++i) {
        s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    }
    return s;
}

} // namespace

TEST_F(ZipExtract, StoredAndDeflatedMembersAcrossWindowBoundaries)
{
    std::vector<ZipMember> members;
    for (size_t size : {size_t{0}, size_t{1}, size_t{65536}, size_t{65537}, size_t{300000}}) {
        members.push_back(StoredMember("s" + std::to_string(size), Pattern(size)));
        members.push_back(DeflatedMember("d" + std::to_string(size), Pattern(size)));
    }
    Open(members);
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(Extract(i)) << archive.status;
        EXPECT_EQ(Output(members[static_cast<size_t>(i)].name),
                  Pattern(members[static_cast<size_t>(i)].unpackedSize));
    }
    // The file time is the local header's local time.
    platform::FileTime written = 0;
    uint32_t attributes = 0;
    ASSERT_TRUE(platform::GetFileInfo(L"\\out\\s1", &attributes, &written));
    platform::FileTime local = 0;
    platform::FileTimeToLocalFileTime(written, &local);
    EXPECT_EQ(local, platform::DosToFileTime(0x5A21, 0x6000));
}

TEST_F(ZipExtract, TestModeWritesNothingAndStillFindsCrcErrors)
{
    ZipMember bad = StoredMember("sub/bad.txt", "data");
    bad.crc ^= 1;
    Open({StoredMember("sub/good.txt", "data"), bad, StoredMember("folder/", "")});
    archive.testMode = true;
    EXPECT_TRUE(Extract(0));
    EXPECT_FALSE(Extract(1));
    EXPECT_EQ(archive.status, kZipCrcMismatch);
    EXPECT_TRUE(Extract(2));
    EXPECT_FALSE(Exists("out"));
    EXPECT_EQ(prompt.asked, 0);

    archive.testMode = false;
    EXPECT_FALSE(Extract(1));
    EXPECT_EQ(archive.status, kZipCrcMismatch);
    EXPECT_FALSE(Exists("out/sub/bad.txt")); // a member that fails its check leaves nothing
}

TEST_F(ZipExtract, DataDescriptorsTakeTheDirectorysSizesAndCrc)
{
    ZipMember m = DeflatedMember("dd.txt", Pattern(5000));
    m.flags = 0x08;
    m.localSizesZero = true;
    ZipMember s = StoredMember("dds.txt", Pattern(70000));
    s.flags = 0x08;
    s.localSizesZero = true;
    Open({m, s});
    EXPECT_TRUE(Extract(0)) << archive.status;
    EXPECT_TRUE(Extract(1)) << archive.status;
    EXPECT_EQ(Output("dd.txt"), Pattern(5000));
    EXPECT_EQ(Output("dds.txt"), Pattern(70000));
}

TEST_F(ZipExtract, OutputPathsFromTheListedName)
{
    // The list shows the directory's name; a local header naming another file (a hidden
    // one, in another folder) is not followed.
    ZipMember renamed = StoredMember("readme.txt", "r");
    renamed.localName = "sub/.bashrc";
    Open({StoredMember("a\\b.txt", "ab"), StoredMember("x/y/z.txt", "xyz"), renamed});
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(Output("a/b.txt"), "ab");
    EXPECT_TRUE(Extract(1));
    EXPECT_EQ(Output("x/y/z.txt"), "xyz");
    EXPECT_TRUE(Extract(2));
    EXPECT_EQ(Output("readme.txt"), "r");
    EXPECT_FALSE(Exists("out/sub"));
    EXPECT_EQ(archive.LastOutput(), L"\\out\\readme.txt");

    // Without folders the name is cut at its last '/' before backslashes turn into '/'.
    archive.keepFolders = false;
    std::wcscpy(archive.destFolder, L"\\flat\\");
    EXPECT_TRUE(Extract(0));
    EXPECT_TRUE(Extract(1));
    EXPECT_EQ(ReadHostFile(folder.HostPath("flat/a/b.txt")), "ab");
    EXPECT_EQ(ReadHostFile(folder.HostPath("flat/z.txt")), "xyz");

    std::wcscpy(archive.destFolder, L"\\slash/");
    EXPECT_TRUE(Extract(1));
    EXPECT_EQ(ReadHostFile(folder.HostPath("slash/z.txt")), "xyz");

    archive.keepFolders = true;
    archive.lowercase = true;
    std::wcscpy(archive.destFolder, L"\\Out2");
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(ReadHostFile(folder.HostPath("Out2/a/b.txt")), "ab");
}

TEST_F(ZipExtract, FolderMembers)
{
    ZipMember dosFolder = StoredMember("def", "");
    dosFolder.external = 0x10; // MS-DOS marks it by attribute only
    ZipMember readOnly = StoredMember("ro/", "");
    readOnly.external = 0x11;
    Open({StoredMember("ghi/", ""), dosFolder, StoredMember("def/foo", "foo"), readOnly});
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        EXPECT_TRUE(Extract(i)) << i << " " << archive.status;
    }
    EXPECT_TRUE(std::filesystem::is_directory(folder.HostPath("out/ghi")));
    EXPECT_TRUE(std::filesystem::is_directory(folder.HostPath("out/def")));
    EXPECT_EQ(Output("def/foo"), "foo");
    // Folders stay writable on the host, whatever their read-only bit says.
    struct stat st
    {};
    ASSERT_EQ(stat(folder.HostPath("out/ro").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode) && (st.st_mode & S_IWUSR));
    // With no destination (the current folder) an empty name and "/" are folders that are
    // already there: nothing is made, nothing fails.
    Open({StoredMember("", ""), StoredMember("/", "")});
    archive.destFolder[0] = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        EXPECT_TRUE(Extract(i)) << i << " " << archive.status;
    }
}

TEST_F(ZipExtract, ExistingFiles)
{
    Open({StoredMember("f.txt", "new")});
    std::filesystem::create_directory(folder.HostPath("out"));
    auto existing = [&](uint16_t time) {
        folder.WriteHostFile("out/f.txt", "old");
        platform::FileTime utc = 0;
        platform::LocalFileTimeToFileTime(platform::DosToFileTime(0x5A21, time), &utc);
        platform::FileHandle f =
            platform::OpenFile(L"\\out\\f.txt", platform::kAccessReadWrite,
                               platform::FileShare::None, platform::FileDisposition::OpenExisting);
        platform::SetFileTimes(f, &utc);
        platform::CloseFile(f);
    };
    // Same time, with skipping on: skipped.
    archive.skipIfNotOlder = true;
    existing(0x6000);
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipSkipped);
    EXPECT_EQ(Output("f.txt"), "old");
    // Older, skipping on: asked; declined keeps the file.
    existing(0x5000);
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipSkipped);
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(prompt.lastName, L"f.txt");
    // Asked only when newer: an older file is replaced without a question.
    archive.askOnlyIfNewer = true;
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(Output("f.txt"), "new");
    // A newer file with skipping off: asked, agreed, replaced even when read-only.
    archive.skipIfNotOlder = false;
    existing(0x7000);
    std::filesystem::permissions(folder.HostPath("out/f.txt"), std::filesystem::perms::owner_read);
    prompt.agree = true;
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(prompt.asked, 2);
    EXPECT_EQ(Output("f.txt"), "new");
    // Silently.
    archive.overwriteSilently = true;
    existing(0x7000);
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(prompt.asked, 2);
}

TEST_F(ZipExtract, UnsupportedMembersFailBeforeAnythingIsCreated)
{
    ZipMember ppmd = StoredMember("sub/ppmd.txt", "xx");
    ppmd.method = 98; // PPMd: no decoder here
    ZipMember strong = StoredMember("sub/strong.txt", "xx");
    strong.flags = 0x41;
    Open({ppmd, strong});
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipUnsupported);
    EXPECT_FALSE(Extract(1));
    EXPECT_EQ(archive.status, kZipUnsupported);
    EXPECT_FALSE(Exists("out"));
}

TEST_F(ZipExtract, NamesNeverLeaveTheDestination)
{
    Open({StoredMember("../evil.txt", "e"), StoredMember("a/../../evil2.txt", "e"),
          StoredMember("..\\evil3.txt", "e"), StoredMember("/abs/file.txt", "abs"),
          StoredMember("..name", "dots")});
    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(Extract(i));
        EXPECT_EQ(archive.status, kZipUnsafePath);
    }
    EXPECT_FALSE(Exists("evil.txt"));
    EXPECT_FALSE(Exists("evil2.txt"));
    EXPECT_FALSE(Exists("evil3.txt"));
    EXPECT_TRUE(Extract(3));
    EXPECT_EQ(Output("abs/file.txt"), "abs");
    EXPECT_TRUE(Extract(4));
    EXPECT_EQ(Output("..name"), "dots");
    // Testing reads the data wherever the name points.
    archive.testMode = true;
    EXPECT_TRUE(Extract(0));
}

TEST_F(ZipExtract, DamagedMembers)
{
    ZipMember longer = StoredMember("longer.txt", "0123456789");
    longer.unpackedSize = 4; // the data run past the declared size
    ZipMember truncated = DeflatedMember("truncated.txt", Pattern(1000));
    truncated.data.resize(500);
    ZipMember badBlock = DeflatedMember("bad.txt", "x");
    badBlock.data = "\x07"; // final block of type 3
    ZipMember moved = StoredMember("moved.txt", "m");
    Open({longer, truncated, badBlock, moved});
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(Extract(i));
        EXPECT_TRUE(archive.status == kZipDamaged || archive.status == kZipCrcMismatch)
            << archive.status;
    }
    EXPECT_EQ(Output("longer.txt").size(), 0u); // refused before the first write
    // A local header that is not where the directory says.
    CZipEntry shifted = archive.GetEntry(3);
    shifted.localHeaderOffset += 1;
    EXPECT_FALSE(archive.ExtractEntry(&shifted));
    EXPECT_EQ(archive.status, kZipDamaged);
}

TEST_F(ZipExtract, FailedWritesAreReported)
{
    Open({StoredMember("big.bin", Pattern(200000))});
    static int writes;
    writes = 0;
    platform::SetFaultHook([](platform::FaultPoint point) {
        return point == platform::FaultPoint::Write && ++writes == 1;
    });
    bool ok = Extract(0);
    platform::SetFaultHook(nullptr);
    EXPECT_FALSE(ok);
    EXPECT_EQ(archive.status, kZipWriteFailed);
    // A file in the way of the output's folder.
    folder.WriteHostFile("blocker", "");
    std::wcscpy(archive.destFolder, L"\\blocker");
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipDestinationFailed);
}

namespace
{

// Points the central directory's entry `index` at local header offset `offset`.
void SetLocalOffset(std::string& zip, int index, uint32_t offset)
{
    size_t at = zip.find("PK\x01\x02");
    for (int i = 0; i < index; ++i) {
        at = zip.find("PK\x01\x02", at + 4);
    }
    ASSERT_NE(at, std::string::npos);
    for (int b = 0; b < 4; ++b) {
        zip[at + 42 + static_cast<size_t>(b)] = static_cast<char>(offset >> (8 * b));
    }
}

} // namespace

TEST_F(ZipExtract, MembersSharingTheirDataAreListedButRefused)
{
    // The non-recursive "zip bomb": a member whose stored data quote the next member's local
    // header and data, and two entries of the directory naming one local header.
    std::string quoted = BuildZip({StoredMember("b.txt", "kernel")});
    quoted.resize(quoted.find("PK\x01\x02")); // b's local header and data
    struct Case
    {
        const char* what;
        std::vector<ZipMember> members;
        std::vector<std::pair<int, uint32_t>> offsets; // (entry, local header offset)
        std::vector<bool> refused;
    } cases[] = {
        {"a member quoting the next",
         {StoredMember("a", quoted), StoredMember("b.txt", "kernel")},
         {{1, 30 + 1}},
         {true, true}},
        {"two entries of one header",
         {StoredMember("x.txt", "same"), StoredMember("x.txt", "same"), StoredMember("c", "c")},
         {{1, 0}},
         {true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string zip = BuildZip(c.members);
        for (auto [entry, offset] : c.offsets) {
            SetLocalOffset(zip, entry, offset);
        }
        std::filesystem::remove_all(folder.HostPath("out"));
        folder.WriteHostFile("bomb.zip", zip);
        ASSERT_TRUE(archive.Open(L"\\bomb.zip"));
        std::wcscpy(archive.destFolder, L"\\out");
        ASSERT_EQ(archive.GetEntryCount(), static_cast<int>(c.refused.size()));
        for (bool test : {true, false}) {
            archive.testMode = test;
            for (int i = 0; i < archive.GetEntryCount(); ++i) {
                SCOPED_TRACE(i);
                EXPECT_EQ(Extract(i), !c.refused[static_cast<size_t>(i)]);
                EXPECT_EQ(archive.status,
                          c.refused[static_cast<size_t>(i)] ? kZipOverlapping : kZipOk);
            }
        }
    }
}
