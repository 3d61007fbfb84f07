// Extraction rules: output paths, update and overwrite policies, attributes and times,
// refused paths, unsupported and damaged members.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "platform/File.h"
#include "tests/support/BitWriter.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cwchar>
#include <deque>
#include <filesystem>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

constexpr uint32_t kMemberTime = 1262304000; // 2010-01-01 00:00:00 UTC

struct Member
{
    Member(std::string n, std::string f, std::string d, std::string m = "-lh0-", uint16_t a = 0x20,
           std::string p = "")
        : name(std::move(n)), folder(std::move(f)), data(std::move(d)), method(std::move(m)),
          attributes(a), packed(std::move(p))
    {}
    std::string name;
    std::string folder; // '\' separated, with a trailing '\'
    std::string data;
    std::string method;
    uint16_t attributes;
    std::string packed; // compressed data; empty: data itself
};

std::string Build(const std::vector<Member>& members)
{
    std::string bytes;
    for (const Member& m : members) {
        LzhMemberFields s;
        s.level = 2;
        s.method = m.method;
        s.data = m.packed.empty() ? m.data : m.packed;
        s.unpacked = static_cast<uint32_t>(m.data.size());
        s.crc = Crc16Update(0, m.data.data(), static_cast<long>(m.data.size()));
        s.timeField = kMemberTime;
        s.ext.push_back({0x01, m.name});
        if (!m.folder.empty()) {
            std::string folder = m.folder;
            for (char& c : folder) {
                c = c == '\\' ? '\xFF' : c;
            }
            s.ext.push_back({0x02, folder});
        }
        s.ext.push_back({0x40, std::string{static_cast<char>(m.attributes), '\0'}});
        bytes += BuildMember(s);
    }
    return bytes + std::string(1, '\0');
}

// A "-lh5-" stream of up to 4 x 65535 copies of one byte: blocks of single-symbol codes,
// which use no bits.
std::string RepeatedByteStream(uint8_t byte)
{
    BitWriter w;
    for (int block = 0; block < 4; ++block) {
        w.Put(65535, 16), w.Put(0, 5), w.Put(0, 5), w.Put(0, 9), w.Put(byte, 9);
        w.Put(0, 4), w.Put(0, 4);
    }
    return std::string(w.Bytes().begin(), w.Bytes().end());
}

class ScriptedPrompt final : public CArchivePrompt
{
public:
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override
    {
        asked.push_back(question.name);
        bool answer = false;
        if (!answers.empty()) {
            answer = answers.front();
            answers.pop_front();
        }
        return answer ? OverwriteAnswer::Yes : OverwriteAnswer::No;
    }
    std::deque<bool> answers;
    std::vector<std::wstring> asked;
};

class Extract : public ::testing::Test
{
protected:
    // Writes the archive, opens it and sets the destination \out.
    void Open(const std::vector<Member>& members)
    {
        tmp.WriteHostFile("a.lzh", Build(members));
        ASSERT_TRUE(archive.Open(L"\\a.lzh", false));
        ASSERT_EQ(archive.GetEntryCount(), static_cast<int>(members.size()));
        std::wcscpy(archive.destFolder, L"\\out");
        archive.addMode = true;
        archive.overwriteSilently = true;
    }
    bool Run(int index) { return archive.ExtractEntry(index); }
    std::string Out(const std::string& relative) { return tmp.HostPath("out/" + relative); }
    std::string Content(const std::string& relative) { return ReadHostFile(Out(relative)); }
    void SetTime(const std::string& relative, int64_t unixTime)
    {
        fs::last_write_time(Out(relative),
                            fs::file_time_type::clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(unixTime))));
    }

    TempFolder tmp;
    CLzhArchive archive;
};

} // namespace

TEST_F(Extract, FoldersAreKeptOnlyWhenAsked)
{
    // A '/' in a name (Unix archivers) is a folder too, and without folders only the text
    // after the last separator of either kind names the file.
    Open({{"a.txt", "docs\\old\\", "alpha"}, {"unix/sub/b.txt", "", "beta"}});
    ASSERT_TRUE(Run(0));
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Content("a.txt"), "alpha");
    EXPECT_EQ(Content("b.txt"), "beta");
    EXPECT_FALSE(fs::exists(Out("docs")));
    EXPECT_FALSE(fs::exists(Out("unix")));
    archive.keepFolders = true;
    std::wcscpy(archive.destFolder, L"\\out\\"); // a trailing separator is not doubled
    ASSERT_TRUE(Run(0));
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Content("docs/old/a.txt"), "alpha");
    EXPECT_EQ(Content("unix/sub/b.txt"), "beta");
}

TEST_F(Extract, LowerCaseAppliesToTheMemberPath)
{
    Open({{"README.TXT", "DOCS\\", "r"}});
    std::wcscpy(archive.destFolder, L"\\Out");
    archive.keepFolders = true;
    archive.lowercase = true;
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(ReadHostFile(tmp.HostPath("Out/docs/readme.txt")), "r");
}

TEST_F(Extract, PathsNeverLeaveTheDestination)
{
    Open({{"x.txt", "\\abs\\", "abs"},
          {"../up.txt", "", "up"},
          {"a/../../up2.txt", "", "up2"},
          {"y.txt", "sub\\..\\..\\", "up3"},
          {"/tmp/slash.txt", "", "slash"}});
    archive.keepFolders = true;
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(Content("abs/x.txt"), "abs"); // an absolute path lands below the destination
    for (int i : {1, 2, 3}) {
        EXPECT_FALSE(Run(i));
        EXPECT_EQ(archive.status, kLzhUnsafePath);
    }
    ASSERT_TRUE(Run(4));
    EXPECT_EQ(Content("tmp/slash.txt"), "slash");
    EXPECT_FALSE(fs::exists(tmp.HostPath("up.txt")));
    EXPECT_FALSE(fs::exists(tmp.HostPath("up2.txt")));
    EXPECT_FALSE(fs::exists(tmp.HostPath("y.txt")));
    archive.keepFolders = false; // the stored folder is not used, so it cannot escape
    EXPECT_TRUE(Run(3));
    EXPECT_EQ(Content("y.txt"), "up3");
    archive.testMode = true; // testing only reads the data
    EXPECT_TRUE(Run(1));
}

TEST_F(Extract, UpdateModeSkipsFilesThatAreNotOlder)
{
    Open({{"u.txt", "", "new"}});
    archive.addMode = false;
    fs::create_directory(Out(""));
    tmp.WriteHostFile("out/u.txt", "old");
    SetTime("u.txt", kMemberTime);
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(archive.status, kLzhSkippedNotOlder);
    EXPECT_EQ(Content("u.txt"), "old");
    SetTime("u.txt", kMemberTime - 2);
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(Content("u.txt"), "new");
}

TEST_F(Extract, OverwritePoliciesAskThroughThePrompt)
{
    Open({{"o.txt", "", "member"}});
    ScriptedPrompt prompt;
    archive.SetPrompt(&prompt);
    fs::create_directory(Out(""));
    auto existing = [&](int64_t age) {
        tmp.WriteHostFile("out/o.txt", "existing");
        SetTime("o.txt", kMemberTime + age);
    };

    // Policy 0: always ask.
    archive.overwriteSilently = false;
    archive.askOnlyIfNewer = false;
    existing(-100);
    prompt.answers = {false};
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(archive.status, kLzhSkippedNotOlder);
    EXPECT_EQ(Content("o.txt"), "existing");
    prompt.answers = {true};
    EXPECT_TRUE(Run(0));
    EXPECT_EQ(Content("o.txt"), "member");
    EXPECT_EQ(prompt.asked, (std::vector<std::wstring>{L"o.txt", L"o.txt"}));

    // Policy 1: ask only about newer files.
    archive.askOnlyIfNewer = true;
    prompt.asked.clear();
    existing(-100);
    EXPECT_TRUE(Run(0));
    EXPECT_TRUE(prompt.asked.empty());
    existing(+100);
    prompt.answers = {false};
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(prompt.asked.size(), 1u);

    // Policy 2: never ask.
    archive.overwriteSilently = true;
    existing(+100);
    EXPECT_TRUE(Run(0));
    EXPECT_EQ(prompt.asked.size(), 1u);

    // Asking without a prompt object keeps the file.
    archive.SetPrompt(nullptr);
    archive.overwriteSilently = false;
    archive.askOnlyIfNewer = false;
    existing(-100);
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(Content("o.txt"), "existing");
}

TEST_F(Extract, AttributesAndTimesAreRestored)
{
    Open({{"ro.txt", "", "read only", "-lh0-", 0x21}, {"h.txt", "", "hidden", "-lh0-", 0x22}});
    fs::create_directory(Out(""));
    tmp.WriteHostFile("out/ro.txt", "old");
    fs::permissions(Out("ro.txt"), fs::perms::owner_read);
    ASSERT_TRUE(Run(0)); // a read-only existing file is replaced
    EXPECT_EQ(Content("ro.txt"), "read only");
    EXPECT_EQ(platform::GetFileAttributes(L"\\out\\ro.txt"),
              platform::kAttrArchive | platform::kAttrReadOnly);
    struct stat st;
    ASSERT_EQ(stat(Out("ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, kMemberTime);

    archive.resetReadOnly = true;
    ASSERT_TRUE(Run(0));
    EXPECT_EQ(platform::GetFileAttributes(L"\\out\\ro.txt"), platform::kAttrArchive);

    archive.skipHidden = true;
    EXPECT_FALSE(Run(1));
    EXPECT_EQ(archive.status, kLzhSkippedAttributes);
    EXPECT_FALSE(fs::exists(Out("h.txt")));
    archive.testMode = true; // testing does not skip
    EXPECT_TRUE(Run(1));
}

TEST_F(Extract, FolderEntries)
{
    Open({{"", "dir\\sub\\", "", "-lhd-", 0x11}, {"", "bad\\", "xyz", "-lhd-", 0x10}});
    archive.keepFolders = true;
    archive.testMode = true;
    EXPECT_TRUE(Run(0));
    EXPECT_TRUE(Run(1));
    EXPECT_FALSE(fs::exists(Out("")));
    archive.testMode = false;
    ASSERT_TRUE(Run(0));
    EXPECT_TRUE(fs::is_directory(Out("dir/sub")));
    tmp.WriteHostFile("out/dir/sub/inside.txt", "a read-only folder still takes files");
    EXPECT_FALSE(Run(1));
    EXPECT_EQ(archive.status, kLzhFolderHasData);
    EXPECT_FALSE(fs::exists(Out("bad")));
    archive.ignoreErrors = true;
    EXPECT_TRUE(Run(1));
    EXPECT_TRUE(fs::is_directory(Out("bad")));
}

TEST_F(Extract, UnsupportedAndDamagedMembers)
{
    std::string z(5000, 'Z');
    Open({{"m.txt", "", "data", "-lh2-"},
          {"z.txt", "", z, "-lh5-", 0x20, RepeatedByteStream('Z')},
          {"bad.txt", "", z, "-lh6-", 0x20, "\xFF\xFF\xFF\xFF"},
          {"crc.txt", "", z, "-lh7-", 0x20, RepeatedByteStream('Y')},
          {"empty.txt", "", "", "-lh0-"},
          {"empty5.txt", "", "", "-lh5-"}});
    fs::create_directory(Out(""));
    tmp.WriteHostFile("out/m.txt", "precious");
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(archive.status, kLzhUnsupportedMethod);
    EXPECT_EQ(Content("m.txt"), "precious"); // never truncated
    ASSERT_TRUE(Run(1));
    EXPECT_EQ(Content("z.txt"), z);
    EXPECT_FALSE(Run(2));
    EXPECT_EQ(archive.status, kLzhTruncatedData); // four bytes of 5,000
    EXPECT_FALSE(Run(3));
    EXPECT_EQ(archive.status, kLzhCrcMismatch);
    EXPECT_TRUE(Run(4));
    EXPECT_TRUE(fs::exists(Out("empty.txt")));
    EXPECT_EQ(fs::file_size(Out("empty.txt")), 0u);
    EXPECT_TRUE(Run(5));

    archive.testMode = true;
    EXPECT_FALSE(Run(0));
    EXPECT_EQ(archive.status, kLzhUnsupportedMethod);
    EXPECT_TRUE(Run(1));
    EXPECT_FALSE(Run(3));
    EXPECT_EQ(archive.status, kLzhCrcMismatch);
}

// Amiga LhA writes some folders as empty "-lh0-" members whose path ends in a separator; a
// member with data under such a path, or an empty one with a name, stays a file.
TEST_F(Extract, AmigaFoldersStoredAsEmptyFilesAreFolders)
{
    Open({{"", "Main\\Empty\\", ""}, {"f.txt", "Main\\", "x"}, {"empty.txt", "Main\\", ""}});
    archive.keepFolders = true;
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(Run(i)) << archive.status;
    }
    EXPECT_TRUE(fs::is_directory(Out("Main/Empty")));
    EXPECT_TRUE(fs::is_regular_file(Out("Main/f.txt")));
    EXPECT_TRUE(fs::is_regular_file(Out("Main/empty.txt")));
}

TEST_F(Extract, TruncatedStoredMemberIsTruncated)
{
    std::string bytes = Build({{"t.txt", "", std::string(1000, 'q')}});
    tmp.WriteHostFile("t.lzh", bytes.substr(0, bytes.size() - 300));
    ASSERT_TRUE(archive.Open(L"\\t.lzh", false));
    archive.testMode = true;
    EXPECT_FALSE(archive.ExtractEntry(0));
    EXPECT_EQ(archive.status, kLzhTruncatedData);
}

TEST_F(Extract, OutputThatCannotBeWrittenFails)
{
    std::string big(200000, 'B');
    Open({{"big.txt", "", big}, {"big5.txt", "", big, "-lh5-", 0x20, RepeatedByteStream('B')}});
    // A file size limit makes writes fail as a full disk would.
    auto extractUnderLimit = [this] {
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit;
        limit.rlim_cur = limit.rlim_max = 50000;
        setrlimit(RLIMIT_FSIZE, &limit);
        bool stored = Run(0) || archive.status != kLzhWriteFailed;
        bool decoded = Run(1) || archive.status != kLzhWriteFailed;
        std::exit(stored || decoded ? 1 : 0);
    };
    EXPECT_EXIT(extractUnderLimit(), ::testing::ExitedWithCode(0), "");
}
