// What keeps an archive's bytes safe: members whose paths are longer than the record are
// kept by every rewrite, archives with unreadable parts are never changed, permissions
// survive a rewrite, a process killed while adding leaves no work file, and times after 2038
// come back.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <grp.h>
#include <random>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

std::string Member(const std::string& folder, const std::string& name, const std::string& data)
{
    LzhMemberFields s;
    s.level = 2;
    s.name = name;
    s.data = data;
    s.unpacked = static_cast<uint32_t>(data.size());
    s.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
    s.ext.push_back({0x01, name});
    if (!folder.empty()) {
        s.ext.push_back({0x02, folder});
    }
    s.headerCrc = true;
    return BuildMember(s);
}

std::string MemberBytes(const std::string& archive, const CArchiveEntry& e)
{
    return archive.substr(static_cast<size_t>(e.headerPos),
                          static_cast<size_t>(e.dataPos - e.headerPos + e.packedSize));
}

// Every member's header and data, in order.
std::vector<std::string> Members(const std::wstring& path, const std::string& hostPath)
{
    CLzhArchive a;
    std::vector<std::string> members;
    if (!a.Open(path.c_str(), false)) {
        return members;
    }
    std::string bytes = ReadHostFile(hostPath);
    for (int i = 0; i < a.GetEntryCount(); ++i) {
        members.push_back(MemberBytes(bytes, a.GetEntry(i)));
    }
    return members;
}

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

std::string Shell(const std::string& command)
{
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    size_t n;
    while (pipe != nullptr && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    if (pipe != nullptr) {
        pclose(pipe);
    }
    return out;
}

class ArchiveSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("src"));
        tmp.WriteHostFile("src/new.txt", "a new member\n");
    }

    // The archive's bytes after a change that must be refused.
    void ExpectEveryChangeRefused(const std::string& name, int status)
    {
        std::string before = ReadHostFile(tmp.HostPath(name));
        std::wstring path = L"\\" + std::wstring(name.begin(), name.end());
        CLzhArchive a;
        ASSERT_TRUE(a.Open(path.c_str(), false));
        std::wcscpy(a.destFolder, L"\\src\\");
        a.addMode = true;
        EXPECT_FALSE(a.AddFile(L"new.txt"));
        EXPECT_EQ(a.status, status);
        if (a.GetEntryCount() > 0) {
            EXPECT_FALSE(a.DeleteEntry(0));
            EXPECT_EQ(a.status, status);
        }
        EXPECT_EQ(a.workFile, platform::kInvalidFile); // refused before any work
        EXPECT_TRUE(a.Close());
        EXPECT_EQ(ReadHostFile(tmp.HostPath(name)), before);
    }

    TempFolder tmp;
};

} // namespace

TEST_F(ArchiveSafety, MembersUnderLongFoldersSurviveEveryRewrite)
{
    std::string folder305 = std::string(100, 'd') + "\xFF" + std::string(100, 'e') + "\xFF" +
                            std::string(100, 'f') + "\xFF";
    std::string archive = Member("", "a.txt", "aaa") + Member(folder305, "m.txt", "mmm") +
                          Member("", "z.txt", "zzz") + std::string(1, '\0');
    auto change = [](CLzhArchive& a) { return a.DeleteEntry(0); };
    auto add = [](CLzhArchive& a) { return a.AddFile(L"new.txt"); };
    auto replace = [&](CLzhArchive& a) {
        tmp.WriteHostFile("src/z.txt", "a newer z\n");
        return a.AddFile(L"z.txt");
    };
    for (auto op : {+change, +add}) {
        tmp.WriteHostFile("long.lzh", archive);
        std::vector<std::string> before = Members(L"\\long.lzh", tmp.HostPath("long.lzh"));
        ASSERT_EQ(before.size(), 3u);
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\long.lzh", false));
        ASSERT_EQ(a.GetEntryCount(), 3);
        EXPECT_TRUE(a.IsWhole());
        EXPECT_EQ(a.GetEntry(1).flags, kEntryFolderCut);
        std::wcscpy(a.destFolder, L"\\src\\");
        a.addMode = true;
        ASSERT_TRUE(op(a));
        ASSERT_TRUE(a.Close());
        std::vector<std::string> after = Members(L"\\long.lzh", tmp.HostPath("long.lzh"));
        EXPECT_EQ(after[op == +change ? 0 : 1], before[1]); // byte for byte
        EXPECT_EQ(after.size(), op == +change ? 2u : 4u);
    }
    tmp.WriteHostFile("long.lzh", archive);
    std::string longMember = Members(L"\\long.lzh", tmp.HostPath("long.lzh"))[1];
    {
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\long.lzh", false));
        std::wcscpy(a.destFolder, L"\\src\\");
        a.addMode = true;
        ASSERT_TRUE(replace(a));
        ASSERT_TRUE(a.Close());
    }
    std::vector<std::string> replaced = Members(L"\\long.lzh", tmp.HostPath("long.lzh"));
    ASSERT_EQ(replaced.size(), 3u);
    EXPECT_EQ(replaced[1], longMember);

    // Test reads its data; extraction refuses it rather than write it under a cut path.
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\long.lzh", false));
    a.testMode = true;
    EXPECT_TRUE(a.ExtractEntry(1));
    a.testMode = false;
    a.keepFolders = true;
    std::wcscpy(a.destFolder, L"\\out");
    EXPECT_FALSE(a.ExtractEntry(1));
    EXPECT_EQ(a.status, kLzhPathTooLong);
    EXPECT_FALSE(fs::exists(tmp.HostPath("out")));
    a.keepFolders = false; // the name alone is whole
    EXPECT_TRUE(a.ExtractEntry(1));
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/m.txt")), "mmm");
}

// The same with an archive that jlha writes: lhasa lists every member afterwards.
TEST_F(ArchiveSafety, PeerArchiveWithALongFolderKeepsEveryMember)
{
    if (!Have("/usr/bin/jlha") || !Have("/usr/bin/lhasa")) {
        GTEST_SKIP() << "jlha or lhasa missing (apt-get install jlha-utils lhasa)";
    }
    std::string deep =
        std::string(100, 'd') + "/" + std::string(100, 'e') + "/" + std::string(100, 'f');
    fs::create_directories(tmp.HostPath("peer/" + deep));
    tmp.WriteHostFile("peer/a.txt", "a\n");
    tmp.WriteHostFile("peer/" + deep + "/m.txt", "m\n");
    tmp.WriteHostFile("peer/z.txt", "z\n");
    Shell("cd '" + tmp.HostPath("peer") + "' && /usr/bin/jlha a2q ../j.lzh a.txt '" + deep +
          "/m.txt' z.txt");
    std::vector<std::string> before = Members(L"\\j.lzh", tmp.HostPath("j.lzh"));
    ASSERT_EQ(before.size(), 3u);
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\j.lzh", false));
    ASSERT_TRUE(a.DeleteEntry(0));
    std::wcscpy(a.destFolder, L"\\src\\");
    ASSERT_TRUE(a.AddFile(L"new.txt"));
    ASSERT_TRUE(a.Close());
    std::vector<std::string> after = Members(L"\\j.lzh", tmp.HostPath("j.lzh"));
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0], before[1]);
    EXPECT_EQ(after[1], before[2]);
    std::string listing = Shell("/usr/bin/lhasa l '" + tmp.HostPath("j.lzh") + "'");
    EXPECT_NE(listing.find(deep + "/m.txt"), std::string::npos) << listing;
    EXPECT_NE(listing.find("z.txt"), std::string::npos);
    EXPECT_NE(listing.find("new.txt"), std::string::npos);
}

TEST_F(ArchiveSafety, AddedPathsAlwaysReadBackWhole)
{
    // 80 two-byte characters, twice: 322 bytes of folder read back whole.
    std::string kanji;
    for (int i = 0; i < 80; ++i) {
        kanji += "\xE6\x97\xA5"; // U+65E5 in UTF-8, two bytes in code page 932
    }
    fs::create_directories(tmp.HostPath("src/" + kanji + "/" + kanji));
    tmp.WriteHostFile("src/" + kanji + "/" + kanji + "/x.txt", "deep\n");
    std::wstring wide(80, L'\u65E5');
    std::wstring relative = wide + L"\\" + wide + L"\\x.txt";
    for (int level : {0, 1, 2}) {
        SCOPED_TRACE(level);
        fs::remove(tmp.HostPath("k.lzh"));
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\k.lzh", true));
        a.headerLevel = level;
        a.keepFolders = true;
        std::wcscpy(a.destFolder, L"\\src\\");
        if (level == 0) {
            // A level 0 header holds 233 bytes of path: this one would come back cut.
            EXPECT_FALSE(a.AddFile(relative.c_str()));
            EXPECT_EQ(a.status, kLzhPathTooLong);
            EXPECT_EQ(a.GetEntryCount(), 0);
            continue;
        }
        ASSERT_TRUE(a.AddFile(relative.c_str())) << a.status;
        ASSERT_TRUE(a.AddFile(L"new.txt"));
        ASSERT_TRUE(a.Close());
        ASSERT_TRUE(a.Open(L"\\k.lzh", false));
        ASSERT_EQ(a.GetEntryCount(), 2);
        EXPECT_EQ(std::wstring(a.GetEntry(0).folder), L"\\src\\" + wide + L"\\" + wide + L"\\");
        EXPECT_EQ(a.GetEntry(0).flags, 0u);
        EXPECT_TRUE(a.IsWhole());
    }
    // Characters without a code in code page 932 (U+F8F3 reads as its separator byte) come
    // back exactly from the UTF-16 headers of levels 1 and 2; level 0 has none and refuses.
    fs::create_directories(tmp.HostPath("src/\xED\x95\x9C\xEA\xB5\xAD"));
    for (const char* name : {"e\xF0\x9F\x98\x80.txt", "pu\xEF\xA3\xB3x.txt", "caf\xC3\xA9.txt",
                             "\xED\x95\x9C\xEA\xB5\xAD/x.txt"}) {
        std::wstring exact = platform::Utf8ToWide(name);
        std::replace(exact.begin(), exact.end(), L'/', L'\\');
        tmp.WriteHostFile(std::string("src/") + name, "x\n");
        for (int level : {0, 1, 2}) {
            SCOPED_TRACE(std::string(name) + " level " + std::to_string(level));
            fs::remove(tmp.HostPath("k.lzh"));
            CLzhArchive a;
            ASSERT_TRUE(a.Open(L"\\k.lzh", true));
            std::wcscpy(a.destFolder, L"\\src\\");
            a.headerLevel = level;
            a.keepFolders = true;
            if (level == 0) {
                EXPECT_FALSE(a.AddFile(exact.c_str()));
                EXPECT_EQ(a.status, kLzhNameNotStorable);
                EXPECT_EQ(a.GetEntryCount(), 0);
                continue;
            }
            ASSERT_TRUE(a.AddFile(exact.c_str())) << a.status;
            ASSERT_TRUE(a.Close());
            ASSERT_TRUE(a.Open(L"\\k.lzh", false));
            ASSERT_EQ(a.GetEntryCount(), 1);
            CArchiveEntry e = a.GetEntry(0);
            EXPECT_EQ(std::wstring(e.folder) + e.name, L"\\src\\" + exact);
            EXPECT_TRUE(a.IsWhole());
            // Extracted under the exact name, with its bytes.
            fs::remove_all(tmp.HostPath("out"));
            std::wcscpy(a.destFolder, L"\\out");
            a.keepFolders = true;
            ASSERT_TRUE(a.ExtractEntry(0)) << a.status;
            EXPECT_EQ(ReadHostFile(tmp.HostPath(std::string("out/src/") + name)), "x\n");
        }
    }
    // A folder entry named "x|y" would read back as a link to "y"; a file may hold '|'.
    fs::create_directories(tmp.HostPath("src/x|y"));
    tmp.WriteHostFile("src/p|q.txt", "bar\n");
    fs::remove(tmp.HostPath("k.lzh"));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\k.lzh", true));
    std::wcscpy(a.destFolder, L"\\src\\");
    a.keepFolders = true;
    EXPECT_FALSE(a.AddFile(L"x|y"));
    EXPECT_EQ(a.status, kLzhNameNotStorable);
    ASSERT_TRUE(a.AddFile(L"p|q.txt"));
    ASSERT_TRUE(a.Close());
    ASSERT_TRUE(a.Open(L"\\k.lzh", false));
    ASSERT_EQ(a.GetEntryCount(), 1);
    EXPECT_STREQ(a.GetEntry(0).name, L"p|q.txt");
    EXPECT_EQ(a.GetEntry(0).flags & kEntrySymlink, 0u);
}

TEST_F(ArchiveSafety, ArchivesThatAreNotWholeAreNeverChanged)
{
    std::string members = Member("", "a.txt", "aaa") + Member("", "b.txt", "bbb");
    std::mt19937 rng(7);
    std::string random(3000, '\0');
    for (char& c : random) {
        c = static_cast<char>(rng());
    }
    random[0] = 'J'; // not the end marker
    struct Case
    {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"junk.lzh", random},
        {"trailing.lzh", members + "these bytes are no member"},
        {"cut.lzh", members + Member("", "c.txt", "ccc").substr(0, 12)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tmp.WriteHostFile(c.name, c.bytes);
        ExpectEveryChangeRefused(c.name, kLzhArchiveIncomplete);
        // New over such a file opens it as it is, and refuses to add as well.
        CLzhArchive a;
        std::wstring path = L"\\" + std::wstring(c.name, c.name + std::strlen(c.name));
        ASSERT_TRUE(a.Open(path.c_str(), true));
        EXPECT_FALSE(a.IsWhole());
        EXPECT_FALSE(a.AddFile(L"\\src\\new.txt"));
        a.Close();
        EXPECT_EQ(ReadHostFile(tmp.HostPath(c.name)), c.bytes);
    }
    // Bytes after the end marker are kept by a rewrite.
    tmp.WriteHostFile("padded.lzh", members + std::string(1, '\0') + "\x1A\x1A");
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\padded.lzh", false));
    ASSERT_TRUE(a.DeleteEntry(0));
    ASSERT_TRUE(a.Close());
    EXPECT_EQ(ReadHostFile(tmp.HostPath("padded.lzh")),
              Member("", "b.txt", "bbb") + std::string(1, '\0') + "\x1A\x1A");
}

// Only a missing file is a new archive. One held by another program, one that cannot be
// read, or one whose first header is damaged (not a self-extractor's program to skip) is
// never opened as something else and written over.
TEST_F(ArchiveSafety, OnlyAMissingFileIsANewArchive)
{
    std::string second = Member("", "b.txt", "bbb") + std::string(1, '\0');
    std::string damaged = Member("", "a.txt", "aaa");
    damaged[23] ^= 0x01; // the operating system byte: the header's CRC no longer matches
    tmp.WriteHostFile("damaged.lzh", damaged + second);
    tmp.WriteHostFile("held.lzh", second);
    tmp.WriteHostFile("unreadable.lzh", second);
    chmod(tmp.HostPath("unreadable.lzh").c_str(), 0);
    platform::FileHandle holder =
        platform::OpenFile(L"\\held.lzh", platform::kAccessRead, platform::FileShare::None,
                           platform::FileDisposition::OpenExisting);
    ASSERT_NE(holder, platform::kInvalidFile);
    for (const char* name : {"damaged.lzh", "held.lzh", "unreadable.lzh"}) {
        SCOPED_TRACE(name);
        if (std::strcmp(name, "unreadable.lzh") == 0 && geteuid() == 0) {
            continue; // root reads it all the same
        }
        std::string before = ReadHostFile(tmp.HostPath(name));
        std::wstring path = L"\\" + std::wstring(name, name + std::strlen(name));
        CLzhArchive a;
        if (a.Open(path.c_str(), true)) {
            // Opened at all, the damage shows and nothing may change.
            EXPECT_FALSE(a.IsWhole());
            std::wcscpy(a.destFolder, L"\\src\\");
            EXPECT_FALSE(a.AddFile(L"new.txt"));
            a.Close();
        }
        chmod(tmp.HostPath(name).c_str(), 0644);
        EXPECT_EQ(ReadHostFile(tmp.HostPath(name)), before);
    }
    platform::CloseFile(holder);
    CLzhArchive a;
    EXPECT_FALSE(a.Open(L"\\damaged.lzh", false));
    EXPECT_EQ(a.status, kLzhHeaderScanFailed);
}

TEST_F(ArchiveSafety, PermissionsSurviveAndReadOnlyArchivesAreRefused)
{
    std::string archive = Member("", "a.txt", "aaa") + std::string(1, '\0');
    tmp.WriteHostFile("private.lzh", archive);
    chmod(tmp.HostPath("private.lzh").c_str(), 0640);
    bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(tmp.HostPath("private.lzh").c_str(), 12345, 23456), 0);
    }
    {
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\private.lzh", false));
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"new.txt"));
        ASSERT_TRUE(a.Close());
    }
    struct stat st;
    ASSERT_EQ(stat(tmp.HostPath("private.lzh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(st.st_uid, 12345u);
        EXPECT_EQ(st.st_gid, 23456u);
    }
    EXPECT_EQ(Members(L"\\private.lzh", tmp.HostPath("private.lzh")).size(), 2u);

    tmp.WriteHostFile("readonly.lzh", archive);
    chmod(tmp.HostPath("readonly.lzh").c_str(), 0444);
    ExpectEveryChangeRefused("readonly.lzh", kLzhArchiveReadOnly);
    ASSERT_EQ(stat(tmp.HostPath("readonly.lzh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// As a user without privilege: an archive of another owner that the user may not write is
// refused although its folder is writable; the user's own archive keeps its set-user-id bit
// when only its group cannot be kept.
TEST_F(ArchiveSafety, UsersChangeOnlyWhatTheyMayWrite)
{
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root to act as another user";
    }
    const uid_t nobody = 65534;
    std::string archive = Member("", "a.txt", "aaa") + std::string(1, '\0');
    chmod(tmp.Host().c_str(), 0777);
    tmp.WriteHostFile("theirs.lzh", archive);
    chmod(tmp.HostPath("theirs.lzh").c_str(), 0644);
    tmp.WriteHostFile("mine.lzh", archive);
    ASSERT_EQ(chown(tmp.HostPath("mine.lzh").c_str(), nobody, 0), 0);
    chmod(tmp.HostPath("mine.lzh").c_str(), 04754);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(nobody) != 0 || setuid(nobody) != 0) {
            _exit(10);
        }
        int result = 0;
        CLzhArchive theirs;
        if (!theirs.Open(L"\\theirs.lzh", false) || theirs.DeleteEntry(0) ||
            theirs.status != kLzhArchiveReadOnly) {
            result |= 1;
        }
        CLzhArchive mine;
        if (!mine.Open(L"\\mine.lzh", false) || !mine.DeleteEntry(0) || !mine.Close()) {
            result |= 2;
        }
        _exit(result);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("theirs.lzh")), archive);
    struct stat st;
    ASSERT_EQ(stat(tmp.HostPath("mine.lzh").c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody);
    EXPECT_EQ(st.st_mode & 07777, 04754u); // the group went, so only its bit may go
    EXPECT_EQ(ReadHostFile(tmp.HostPath("mine.lzh")), std::string(1, '\0'));
}

// An archive named through a symbolic link: the change reaches the file the link leads to,
// and the link stays.
TEST_F(ArchiveSafety, ChangesThroughALinkReachTheFileItLeadsTo)
{
    fs::create_directories(tmp.HostPath("real"));
    tmp.WriteHostFile("real/a.lzh", Member("", "a.txt", "aaa") + std::string(1, '\0'));
    fs::create_symlink("real/a.lzh", tmp.HostPath("link.lzh"));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\link.lzh", false));
    std::wcscpy(a.destFolder, L"\\src\\");
    ASSERT_TRUE(a.AddFile(L"new.txt"));
    ASSERT_TRUE(a.Close());
    EXPECT_TRUE(fs::is_symlink(tmp.HostPath("link.lzh")));
    EXPECT_EQ(Members(L"\\real\\a.lzh", tmp.HostPath("real/a.lzh")).size(), 2u);
}

// A process killed with SIGKILL in the middle of an add: with unnamed work files nothing is
// ever seen; with named ones, the stale file goes at the next change in the folder.
namespace
{

// Where the process that adds is killed: the fault hook kills it at the count-th call at
// `point` (the unnamed-file point is answered instead, for the named work files).
platform::FaultPoint g_killPoint;
int g_killAt;
int g_calls;
bool g_named;

bool KillAtPoint(platform::FaultPoint point)
{
    if (point == platform::FaultPoint::UnnamedFile) {
        return g_named;
    }
    if (point == g_killPoint && ++g_calls == g_killAt) {
        raise(SIGKILL);
    }
    return false;
}

} // namespace

TEST_F(ArchiveSafety, AKilledProcessLeavesNoWorkFile)
{
    tmp.WriteHostFile("src/big.txt", std::string(300000, 'x') + "compresses well");
    std::string archive = Member("", "a.txt", "aaa") + std::string(1, '\0');
    auto leftovers = [&] {
        size_t n = 0;
        for (auto& e : fs::directory_iterator(tmp.Host())) {
            std::string name = e.path().filename().string();
            n += e.path().extension() == ".dat" || name.rfind(".tavrel-", 0) == 0 ? 1 : 0;
        }
        return n;
    };
    struct Case
    {
        const char* when;
        platform::FaultPoint point;
        int at;
        bool named;
    } cases[] = {
        {"writing the member", platform::FaultPoint::Write, 1, false},
        {"writing the member to a named work file", platform::FaultPoint::Write, 1, true},
        {"naming the work file", platform::FaultPoint::Link, 1, false},
        {"between naming the work file and the rename", platform::FaultPoint::Rename, 1, false},
        {"before renaming a named work file", platform::FaultPoint::Rename, 1, true},
    };
    // The watchers of the killed processes become this process's children, so that waiting
    // for them is exact.
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.when);
        tmp.WriteHostFile("k.lzh", archive);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            g_killPoint = c.point;
            g_killAt = c.at;
            g_calls = 0;
            g_named = c.named;
            platform::SetFaultHook(KillAtPoint);
            CLzhArchive a;
            a.methodIndex = 2;
            std::wcscpy(a.destFolder, L"\\src\\");
            if (a.Open(L"\\k.lzh", false) && a.AddFile(L"big.txt")) {
                a.Close();
            }
            _exit(3); // the kill point was never reached
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the process was not killed where it should be";
        while (waitpid(-1, nullptr, 0) > 0) {
        }
        EXPECT_EQ(ReadHostFile(tmp.HostPath("k.lzh")), archive);
        EXPECT_EQ(leftovers(), 0u);
    }
    prctl(PR_SET_CHILD_SUBREAPER, 0);
    // Where work files have no name, a file that merely bears such a name is the user's.
    tmp.WriteHostFile("lhawk000.dat", "the user's own\n");
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\k.lzh", false));
    std::wcscpy(a.destFolder, L"\\src\\");
    a.addMode = true;
    ASSERT_TRUE(a.AddFile(L"new.txt"));
    ASSERT_TRUE(a.Close());
    EXPECT_EQ(ReadHostFile(tmp.HostPath("lhawk000.dat")), "the user's own\n");
}

TEST_F(ArchiveSafety, TimesAfter2038RoundTrip)
{
    setenv("TZ", "Asia/Tokyo", 1);
    tzset();
    // 2040-01-01 00:00:00 UTC
    auto time = std::chrono::sys_seconds(std::chrono::seconds(2208988800));
    fs::last_write_time(tmp.HostPath("src/new.txt"), fs::file_time_type::clock::from_sys(time));
    for (int level : {1, 2}) {
        SCOPED_TRACE(level);
        fs::remove(tmp.HostPath("t.lzh"));
        fs::remove_all(tmp.HostPath("out"));
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\t.lzh", true));
        a.headerLevel = level;
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"new.txt"));
        ASSERT_TRUE(a.Close());
        ASSERT_TRUE(a.Open(L"\\t.lzh", false));
        std::wcscpy(a.destFolder, L"\\out");
        ASSERT_TRUE(a.ExtractEntry(0));
        EXPECT_EQ(fs::last_write_time(tmp.HostPath("out/new.txt")),
                  fs::file_time_type::clock::from_sys(time));
    }
    unsetenv("TZ");
    tzset();
}
