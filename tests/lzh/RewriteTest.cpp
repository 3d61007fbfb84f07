// Creating archives, adding, replacing and deleting members, and Close: the archives that
// result byte for byte, work-file numbering, self-extractors, and every write or rename
// failing once without the archive on disk ever being anything but the old or the new one.
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <random>
#include <thread>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

std::string RandomBytes(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string s(size, '\0');
    for (char& c : s) {
        c = static_cast<char>(rng());
    }
    return s;
}

std::string TextBytes(size_t size)
{
    std::string s;
    for (int i = 0; s.size() < size; ++i) {
        s += "line " + std::to_string(i) + " of some text that repeats itself\n";
    }
    return s.substr(0, size);
}

void SetTime(const std::string& host, int64_t unixTime)
{
    fs::last_write_time(host, fs::file_time_type::clock::from_sys(
                                  std::chrono::sys_seconds(std::chrono::seconds(unixTime))));
}

// Bytes of one member in a file: header and data.
std::string MemberBytes(const std::string& archive, const CArchiveEntry& e)
{
    return archive.substr(static_cast<size_t>(e.headerPos),
                          static_cast<size_t>(e.dataPos - e.headerPos + e.packedSize));
}

class Rewrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("src/sub"));
        tmp.WriteHostFile("src/a.txt", TextBytes(50000));
        tmp.WriteHostFile("src/b.bin", RandomBytes(3000, 1));
        tmp.WriteHostFile("src/empty.txt", "");
        tmp.WriteHostFile("src/sub/c.txt", TextBytes(777));
        for (const char* f : {"src/a.txt", "src/b.bin", "src/empty.txt", "src/sub/c.txt"}) {
            SetTime(tmp.HostPath(f), 1300000000);
        }
    }

    // A new archive of the given source files (relative to \src\), closed.
    std::string MakeArchive(const char* name, std::vector<const wchar_t*> files, int level = 2)
    {
        CLzhArchive a;
        std::wstring path = std::wstring(L"\\") + std::wstring(name, name + std::strlen(name));
        EXPECT_TRUE(a.Open(path.c_str(), true));
        a.headerLevel = level;
        a.addMode = true;
        std::wcscpy(a.destFolder, L"\\src\\");
        for (const wchar_t* f : files) {
            EXPECT_TRUE(a.AddFile(f)) << a.status;
        }
        EXPECT_TRUE(a.Close());
        return ReadHostFile(tmp.HostPath(name));
    }

    TempFolder tmp;
};

} // namespace

TEST_F(Rewrite, NewArchiveAppearsOnlyAtCloseAndReadsBack)
{
    for (int level : {0, 1, 2}) {
        SCOPED_TRACE(level);
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\new.lzh", true));
        a.headerLevel = level;
        std::wcscpy(a.destFolder, L"\\src\\");
        a.methodIndex = level; // -lh5-, -lh6-, -lh7- in turn
        for (const wchar_t* f : {L"a.txt", L"b.bin", L"empty.txt", L"sub"}) {
            ASSERT_TRUE(a.AddFile(f)) << a.status;
        }
        EXPECT_FALSE(fs::exists(tmp.HostPath("new.lzh")));
        ASSERT_EQ(a.GetEntryCount(), 4);
        EXPECT_EQ(a.GetEntry(0).method, std::wstring(L"-lh") + std::to_wstring(5 + level) + L"-");
        EXPECT_STREQ(a.GetEntry(1).method, L"-lh0-"); // random bytes do not shrink
        EXPECT_EQ(a.GetEntry(1).packedSize, 3000u);
        EXPECT_STREQ(a.GetEntry(2).method, L"-lh0-");
        EXPECT_EQ(a.GetEntry(2).crc, 0u);
        EXPECT_STREQ(a.GetEntry(3).method, L"-lhd-");
        EXPECT_EQ(a.GetEntry(3).attributes & platform::kAttrFolder, platform::kAttrFolder);
        // Extraction before Close reads the work file.
        std::wcscpy(a.destFolder, L"\\early");
        a.overwriteSilently = a.addMode = true;
        EXPECT_TRUE(a.ExtractEntry(0));
        ASSERT_TRUE(a.Close());

        std::string bytes = ReadHostFile(tmp.HostPath("new.lzh"));
        CLzhArchive b;
        ASSERT_TRUE(b.Open(L"\\new.lzh", false));
        ASSERT_EQ(b.GetEntryCount(), 4);
        const CArchiveEntry& last = b.GetEntry(3);
        EXPECT_EQ(bytes.size(), static_cast<size_t>(last.dataPos + last.packedSize + 1));
        EXPECT_EQ(bytes.back(), '\0');
        std::wcscpy(b.destFolder, L"\\out");
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(b.ExtractEntry(i)) << b.status;
        }
        EXPECT_EQ(ReadHostFile(tmp.HostPath("out/a.txt")), TextBytes(50000));
        EXPECT_EQ(ReadHostFile(tmp.HostPath("out/b.bin")), RandomBytes(3000, 1));
        EXPECT_EQ(ReadHostFile(tmp.HostPath("early/a.txt")), TextBytes(50000));
        b.Close();
        fs::remove(tmp.HostPath("new.lzh"));
        fs::remove_all(tmp.HostPath("out"));
    }
}

TEST_F(Rewrite, StoredPathsKeepFoldersOnlyWhenAsked)
{
    fs::create_directories(tmp.HostPath("My Documents/a"));
    tmp.WriteHostFile("My Documents/a/b.txt", "bee");
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\k.lzh", true));
    a.keepFolders = true;
    ASSERT_TRUE(a.AddFile(L"\\My Documents\\a\\b.txt"));
    EXPECT_STREQ(a.GetEntry(0).folder, L"\\My Documents\\a\\");
    EXPECT_STREQ(a.GetEntry(0).name, L"b.txt");
    a.keepFolders = false;
    std::wcscpy(a.destFolder, L"\\My Documents\\a\\");
    ASSERT_TRUE(a.AddFile(L"b.txt")); // the same stored path? no: "b.txt" alone, appended
    EXPECT_EQ(a.GetEntryCount(), 2);
    EXPECT_STREQ(a.GetEntry(1).folder, L"");
    ASSERT_TRUE(a.Close());
    std::string bytes = ReadHostFile(tmp.HostPath("k.lzh"));
    EXPECT_NE(bytes.find("\xFFMy Documents\xFF"
                         "a\xFF"),
              std::string::npos);
}

TEST_F(Rewrite, ReplaceInPlaceUpdateModeAndCaseSensitiveNames)
{
    std::string original = MakeArchive("r.lzh", {L"a.txt", L"b.bin"});
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\r.lzh", false));
    std::wcscpy(a.destFolder, L"\\src\\");
    a.addMode = false; // update: the file is not newer
    EXPECT_FALSE(a.AddFile(L"a.txt"));
    EXPECT_EQ(a.status, kLzhSkippedNotOlder);
    tmp.WriteHostFile("src/a.txt", "changed");
    SetTime(tmp.HostPath("src/a.txt"), 1400000000);
    ASSERT_TRUE(a.AddFile(L"a.txt")); // newer: replaced in its place
    EXPECT_EQ(a.GetEntryCount(), 2);
    EXPECT_EQ(a.GetEntry(0).unpackedSize, 7u);
    EXPECT_TRUE(a.HasPendingChanges());
    tmp.WriteHostFile("src/A.TXT", "upper");
    ASSERT_TRUE(a.AddFile(L"A.TXT"));
    EXPECT_EQ(a.GetEntryCount(), 3);
    ASSERT_TRUE(a.Close());

    std::string bytes = ReadHostFile(tmp.HostPath("r.lzh"));
    CLzhArchive b;
    ASSERT_TRUE(b.Open(L"\\r.lzh", false));
    ASSERT_EQ(b.GetEntryCount(), 3);
    EXPECT_STREQ(b.GetEntry(0).name, L"a.txt");
    EXPECT_STREQ(b.GetEntry(1).name, L"b.bin");
    EXPECT_STREQ(b.GetEntry(2).name, L"A.TXT");
    CLzhArchive old;
    tmp.WriteHostFile("old.lzh", original);
    ASSERT_TRUE(old.Open(L"\\old.lzh", false));
    // The untouched member keeps its header and data byte for byte; one end marker.
    EXPECT_EQ(MemberBytes(bytes, b.GetEntry(1)), MemberBytes(original, old.GetEntry(1)));
    EXPECT_EQ(bytes.size(),
              static_cast<size_t>(b.GetEntry(2).dataPos + b.GetEntry(2).packedSize + 1));
}

TEST_F(Rewrite, DeletingAndAppendingGiveExactArchives)
{
    std::string original = MakeArchive("d.lzh", {L"a.txt", L"b.bin", L"sub\\c.txt"});
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\d.lzh", false));
    std::vector<std::string> members;
    for (int i = 0; i < 3; ++i) {
        members.push_back(MemberBytes(original, a.GetEntry(i)));
    }
    EXPECT_FALSE(a.DeleteEntry(3));
    EXPECT_EQ(a.status, kLzhEntryNotFound);
    ASSERT_TRUE(a.DeleteEntry(1));
    ASSERT_TRUE(a.Close());
    EXPECT_EQ(ReadHostFile(tmp.HostPath("d.lzh")), members[0] + members[2] + std::string(1, '\0'));

    ASSERT_TRUE(a.Open(L"\\d.lzh", false));
    while (a.GetEntryCount() > 0) {
        ASSERT_TRUE(a.DeleteEntry(a.GetEntryCount() - 1));
    }
    ASSERT_TRUE(a.Close());
    EXPECT_EQ(ReadHostFile(tmp.HostPath("d.lzh")), std::string(1, '\0'));

    // Appending: old members, new ones, one marker.
    tmp.WriteHostFile("d.lzh", original);
    ASSERT_TRUE(a.Open(L"\\d.lzh", false));
    std::wcscpy(a.destFolder, L"\\src\\");
    ASSERT_TRUE(a.AddFile(L"empty.txt"));
    ASSERT_TRUE(a.Close());
    std::string now = ReadHostFile(tmp.HostPath("d.lzh"));
    ASSERT_TRUE(a.Open(L"\\d.lzh", false));
    ASSERT_EQ(a.GetEntryCount(), 4);
    EXPECT_EQ(a.GetEntry(3).headerPos, static_cast<int64_t>(original.size() - 1));
    EXPECT_EQ(now, original.substr(0, original.size() - 1) + MemberBytes(now, a.GetEntry(3)) +
                       std::string(1, '\0'));
}

TEST_F(Rewrite, WorkFilesHaveNoNameUntilTheyReplaceTheArchive)
{
    std::string original = MakeArchive("w.lzh", {L"a.txt", L"b.bin"});
    tmp.WriteHostFile("lhawk000.dat", "another process's");
    platform::FileHandle held =
        platform::OpenFile(L"\\lhawk000.dat", platform::kAccessRead, platform::FileShare::None,
                           platform::FileDisposition::OpenExisting);
    auto before = fs::last_write_time(tmp.HostPath("w.lzh"));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\w.lzh", false));
    ASSERT_TRUE(a.Close()); // only listed: nothing is touched
    EXPECT_EQ(fs::last_write_time(tmp.HostPath("w.lzh")), before);

    ASSERT_TRUE(a.Open(L"\\w.lzh", false));
    ASSERT_TRUE(a.DeleteEntry(0));
    EXPECT_EQ(a.workFile, platform::kInvalidFile); // a delete alone needs no work file yet
    std::wcscpy(a.destFolder, L"\\src\\");
    a.addMode = true;
    ASSERT_TRUE(a.AddFile(L"sub\\c.txt"));
    EXPECT_NE(a.workFile, platform::kInvalidFile);
    EXPECT_STREQ(a.workPath, L"");         // unnamed
    ASSERT_TRUE(a.AddFile(L"sub\\c.txt")); // replaces the one just added
    size_t files = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(tmp.Host())) {
        ++files;
    }
    EXPECT_EQ(files, 3u); // src, w.lzh and lhawk000.dat: no work file shows
    wchar_t next[kMaxPath];
    ASSERT_TRUE(a.MakeWorkFileName(next));
    EXPECT_STREQ(next, L"\\lhawk001.dat");
    // Another opener cannot take the archive while it is being rewritten.
    CLzhArchive other;
    EXPECT_FALSE(other.Open(L"\\w.lzh", false));
    ASSERT_TRUE(a.Close());
    platform::CloseFile(held);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("lhawk000.dat")), "another process's");
    EXPECT_FALSE(fs::exists(tmp.HostPath("lhawk001.dat")));
    ASSERT_TRUE(a.Open(L"\\w.lzh", false));
    EXPECT_EQ(a.GetEntryCount(), 2);
}

// Where the file system has no unnamed files, work files are named, and those no process
// holds are removed when an archive in the folder is next changed.
TEST_F(Rewrite, NamedWorkFilesWhereUnnamedOnesAreMissing)
{
    MakeArchive("w.lzh", {L"a.txt", L"b.bin"});
    platform::SetFaultHook(
        [](platform::FaultPoint p) { return p == platform::FaultPoint::UnnamedFile; });
    tmp.WriteHostFile("lhawk000.dat", "left by a process that died");
    tmp.WriteHostFile("lhawk001.dat", "in use elsewhere");
    platform::FileHandle held =
        platform::OpenFile(L"\\lhawk001.dat", platform::kAccessRead, platform::FileShare::None,
                           platform::FileDisposition::OpenExisting);
    ASSERT_NE(held, platform::kInvalidFile);
    {
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\w.lzh", false));
        std::wcscpy(a.destFolder, L"\\src\\");
        a.addMode = true;
        ASSERT_TRUE(a.AddFile(L"sub\\c.txt"));
        EXPECT_STREQ(a.workPath, L"\\lhawk000.dat");
        EXPECT_EQ(ReadHostFile(tmp.HostPath("lhawk001.dat")), "in use elsewhere");
        ASSERT_TRUE(a.AddFile(L"sub\\c.txt")); // replaces; the new archive takes lhawk002.dat
        ASSERT_TRUE(a.Close());
    }
    platform::CloseFile(held);
    EXPECT_FALSE(fs::exists(tmp.HostPath("lhawk000.dat")));
    EXPECT_FALSE(fs::exists(tmp.HostPath("lhawk002.dat")));
    EXPECT_TRUE(fs::exists(tmp.HostPath("lhawk001.dat")));
    // An object given up with its changes takes its named work file with it.
    {
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\w.lzh", false));
        std::wcscpy(a.destFolder, L"\\src\\");
        a.addMode = true;
        ASSERT_TRUE(a.AddFile(L"a.txt"));
        EXPECT_TRUE(fs::exists(platform::DeviceToHost(a.workPath)));
    }
    platform::SetFaultHook(nullptr);
    EXPECT_FALSE(fs::exists(tmp.HostPath("lhawk000.dat")));
}

TEST_F(Rewrite, SelfExtractorKeepsItsProgram)
{
    std::string archive = MakeArchive("plain.lzh", {L"a.txt", L"b.bin", L"sub\\c.txt"});
    std::string stub(40000, '\x90');
    stub.replace(0, 2, "MZ");
    tmp.WriteHostFile("sfx.exe", stub + archive);
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\sfx.exe", false));
    ASSERT_EQ(a.GetEntry(0).headerPos, 40000);
    std::string third = MemberBytes(stub + archive, a.GetEntry(2));
    ASSERT_TRUE(a.DeleteEntry(1));
    ASSERT_TRUE(a.Close());
    std::string bytes = ReadHostFile(tmp.HostPath("sfx.exe"));
    EXPECT_EQ(bytes.substr(0, 40000), stub);
    ASSERT_TRUE(a.Open(L"\\sfx.exe", false));
    ASSERT_EQ(a.GetEntryCount(), 2);
    EXPECT_EQ(MemberBytes(bytes, a.GetEntry(1)), third);
    a.testMode = true;
    EXPECT_TRUE(a.ExtractEntry(1));
}

TEST_F(Rewrite, FailedAddsLeaveListAndWorkFileAsTheyWere)
{
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\f.lzh", true));
    std::wcscpy(a.destFolder, L"\\src\\");
    ASSERT_TRUE(a.AddFile(L"a.txt"));
    uint64_t size = 0;
    platform::GetFileSize(a.workFile, &size);
    EXPECT_FALSE(a.AddFile(L"missing.txt"));
    EXPECT_EQ(a.status, kLzhSourceUnreadable);
    EXPECT_EQ(a.GetEntryCount(), 1);
    uint64_t after = 0;
    platform::GetFileSize(a.workFile, &after);
    EXPECT_EQ(after, size);
}

namespace
{

int g_failAt = 0;
int g_calls = 0;
bool g_named = false; // the file system has no unnamed files

// Every write, flush, truncation, rename, link and unlink counts; the one numbered g_failAt
// fails.
bool FailOnce(platform::FaultPoint point)
{
    if (point == platform::FaultPoint::UnnamedFile) {
        return g_named;
    }
    return ++g_calls == g_failAt;
}

} // namespace

TEST_F(Rewrite, EveryFileOperationFailingOnceLeavesOldOrNewArchive)
{
    std::string original = MakeArchive("base.lzh", {L"a.txt", L"b.bin", L"sub\\c.txt"});
    std::string second = MakeArchive("second.lzh", {L"b.bin"});
    tmp.WriteHostFile("src/n.txt", TextBytes(90000));
    tmp.WriteHostFile("src/a.txt", TextBytes(20000)); // a newer a.txt replaces the member
    // A run stops at the first step that fails, as a user would after an error message.
    auto addThenClose = [](CLzhArchive& a) {
        std::wcscpy(a.destFolder, L"\\src\\");
        return a.AddFile(L"n.txt") && a.AddFile(L"a.txt") && a.Close();
    };
    auto deleteThenClose = [](CLzhArchive& a) { return a.DeleteEntry(0) && a.Close(); };
    // After a failure the same object opens another archive: nothing of the first may reach it.
    std::string secondExpected;
    {
        tmp.WriteHostFile("s.lzh", second);
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\s.lzh", false));
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"n.txt"));
        ASSERT_TRUE(a.Close());
        secondExpected = ReadHostFile(tmp.HostPath("s.lzh"));
    }
    for (bool named : {false, true}) {
        g_named = named;
        for (auto run : {+addThenClose, +deleteThenClose}) {
            SCOPED_TRACE(named ? "named work files" : "unnamed work files");
            tmp.WriteHostFile("t.lzh", original);
            {
                CLzhArchive a;
                a.addMode = true;
                ASSERT_TRUE(a.Open(L"\\t.lzh", false));
                ASSERT_TRUE(run(a));
            }
            std::string expected = ReadHostFile(tmp.HostPath("t.lzh"));
            ASSERT_NE(expected, original);
            int failures = 0;
            for (int failAt = 1;; ++failAt) {
                SCOPED_TRACE(failAt);
                g_failAt = failAt;
                tmp.WriteHostFile("t.lzh", original);
                tmp.WriteHostFile("s.lzh", second);
                for (auto& e : fs::directory_iterator(tmp.Host())) {
                    if (e.path().extension() == ".dat") {
                        fs::remove(e.path());
                    }
                }
                g_calls = 0;
                platform::SetFaultHook(FailOnce);
                CLzhArchive a;
                a.addMode = true;
                ASSERT_TRUE(a.Open(L"\\t.lzh", false));
                bool closed = run(a);
                bool failedAt = g_calls >= failAt;
                g_failAt = -1; // nothing fails from here on
                std::string now = ReadHostFile(tmp.HostPath("t.lzh"));
                EXPECT_TRUE(now == original || now == expected);
                if (!closed) {
                    EXPECT_EQ(now, original);
                }
                // The object then serves a second archive, independently (and a named work
                // file that a failed removal left behind goes with this change).
                ASSERT_TRUE(a.Open(L"\\s.lzh", false));
                std::wcscpy(a.destFolder, L"\\src\\");
                ASSERT_TRUE(a.AddFile(L"n.txt"));
                ASSERT_TRUE(a.Close());
                EXPECT_EQ(ReadHostFile(tmp.HostPath("s.lzh")), secondExpected);
                EXPECT_EQ(ReadHostFile(tmp.HostPath("t.lzh")), now);
                platform::SetFaultHook(nullptr);
                a.Abandon();
                size_t workFiles = 0;
                for (auto& e : fs::directory_iterator(tmp.Host())) {
                    workFiles += e.path().extension() == ".dat" ? 1 : 0;
                }
                EXPECT_EQ(workFiles, 0u) << "a work file was left behind";
                if (!failedAt) {
                    break; // every operation has failed once
                }
                ++failures;
            }
            EXPECT_GT(failures, 3); // copies, end marker, flush, link or rename at least
        }
    }
    g_named = false;
}

TEST_F(Rewrite, CompressingAheadGivesTheSameArchive)
{
    auto ChangedText = [] { return "changed" + TextBytes(12 * 12 * 337 - 7); };
    fs::create_directories(tmp.HostPath("src/p"));
    std::vector<std::wstring> names;
    for (int i = 0; i < 24; ++i) {
        std::string name = "p/f" + std::to_string(i);
        size_t size = static_cast<size_t>(i * i * 337 % 150000);
        tmp.WriteHostFile("src/" + name, i % 5 == 3 ? RandomBytes(size, i) : TextBytes(size));
        SetTime(tmp.HostPath("src/" + name), 1300000000 + i);
        names.push_back(std::wstring(name.begin(), name.end()));
        std::replace(names.back().begin(), names.back().end(), L'/', L'\\');
    }
    auto make = [&](int method, bool ahead, const char* changed) {
        CLzhArchive a;
        EXPECT_TRUE(a.Open(L"\\ahead.lzh", true));
        a.methodIndex = method;
        a.addMode = true;
        std::wcscpy(a.destFolder, L"\\src\\");
        if (ahead) {
            // Listed but never added, missing, or listed after its add: all without effect.
            std::vector<std::wstring> sources;
            for (const std::wstring& name : names) {
                sources.push_back(L"\\src\\" + name);
            }
            sources.insert(sources.begin() + 3, L"\\src\\missing");
            sources.push_back(L"\\src\\" + names[0]);
            a.CompressAhead(std::move(sources), 3);
            a.FinishAhead(); // every file is compressed ahead before the first add
        }
        for (size_t i = 0; i < names.size(); ++i) {
            if (changed != nullptr && i == 11) {
                // The next file was compressed ahead; then it changes, keeping its size and
                // time. The add must take it as it is.
                tmp.WriteHostFile(changed, ChangedText());
                SetTime(tmp.HostPath(changed), 1300000000 + 12);
            }
            if (i != 7) {
                EXPECT_TRUE(a.AddFile(names[i].c_str())) << a.status;
            }
        }
        a.StopAhead();
        // Every file added but the empty one (f0), and the one that changed, was written from
        // the bytes made ahead.
        EXPECT_EQ(a.MembersMadeAhead(), ahead ? (changed != nullptr ? 21 : 22) : 0);
        EXPECT_TRUE(a.Close());
        std::string bytes = ReadHostFile(tmp.HostPath("ahead.lzh"));
        fs::remove(tmp.HostPath("ahead.lzh"));
        return bytes;
    };
    for (int method : {0, 2}) {
        SCOPED_TRACE(method);
        EXPECT_EQ(make(method, true, nullptr), make(method, false, nullptr));
    }

    std::string bytes = make(1, true, "src/p/f12");
    tmp.WriteHostFile("back.lzh", bytes);
    CLzhArchive b;
    ASSERT_TRUE(b.Open(L"\\back.lzh", false));
    std::wcscpy(b.destFolder, L"\\out");
    b.keepFolders = false;
    int changed = b.FindEntry(L"f12"); // stored without its folder
    ASSERT_GE(changed, 0);
    ASSERT_TRUE(b.ExtractEntry(changed)) << b.status;
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/f12")), ChangedText());
}

TEST_F(Rewrite, AnotherProgramsSaveIsNeverReplaced)
{
    // Between the change and the Close, another program saves the archive: by a new file
    // renamed over it, by rewriting it in place, or by making one where a new archive was
    // to be. Its file stays, and the changes stay pending.
    struct Case
    {
        const char* what;
        bool created; // the archive is a new one
        void (*save)(TempFolder&);
    } cases[] = {
        {"a new file renamed over it", false,
         [](TempFolder& t) {
             t.WriteHostFile("theirs.lzh", "their version");
             fs::rename(t.HostPath("theirs.lzh"), t.HostPath("k.lzh"));
         }},
        {"rewritten in place", false,
         [](TempFolder& t) {
             std::string bytes = ReadHostFile(t.HostPath("k.lzh"));
             t.WriteHostFile("k.lzh", bytes + "appended by them");
         }},
        {"made where a new archive was to be", true,
         [](TempFolder& t) { t.WriteHostFile("k.lzh", "their version"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(tmp.HostPath("k.lzh"));
        if (!c.created) {
            MakeArchive("k.lzh", {L"a.txt"});
        }
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\k.lzh", c.created));
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"b.bin"));
        c.save(tmp);
        std::string theirs = ReadHostFile(tmp.HostPath("k.lzh"));
        EXPECT_FALSE(a.Close());
        EXPECT_EQ(a.status, kLzhArchiveChanged);
        EXPECT_EQ(ReadHostFile(tmp.HostPath("k.lzh")), theirs);
        EXPECT_EQ(a.GetEntryCount(), c.created ? 1 : 2); // still pending
        a.Abandon();
        for (auto& e : fs::directory_iterator(tmp.Host())) {
            EXPECT_NE(e.path().extension(), ".dat") << e.path();
        }
    }
}

TEST_F(Rewrite, ANewArchiveThatGetsNoMemberIsNotMade)
{
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\none.lzh", true));
    std::wcscpy(a.destFolder, L"\\src\\");
    EXPECT_FALSE(a.AddFile(L"missing.txt"));
    ASSERT_TRUE(a.AddFile(L"a.txt"));
    ASSERT_TRUE(a.DeleteEntry(0)); // the only member, taken back
    EXPECT_TRUE(a.Close());
    EXPECT_FALSE(fs::exists(tmp.HostPath("none.lzh")));
    // An archive that was there stays, emptied: the user's file, now without members.
    MakeArchive("some.lzh", {L"a.txt"});
    ASSERT_TRUE(a.Open(L"\\some.lzh", false));
    ASSERT_TRUE(a.DeleteEntry(0));
    EXPECT_TRUE(a.Close());
    EXPECT_EQ(ReadHostFile(tmp.HostPath("some.lzh")), std::string(1, '\0'));
}
