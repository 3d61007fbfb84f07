// Files on device paths: dispositions, share modes between openers, buffered reads mixed
// with seeks and writes, times, attributes, atomic replace and wildcard search.
#include "platform/File.h"
#include "platform/FindFile.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using testsupport::TempFolder;

namespace
{

std::string ReadAll(FileHandle f, uint32_t chunk)
{
    std::string out;
    std::string buffer(chunk, '\0');
    uint32_t got = 0;
    while (ReadFile(f, buffer.data(), chunk, &got) && got > 0) {
        out.append(buffer.data(), got);
    }
    return out;
}

} // namespace

TEST(File, DispositionsCreateOpenAndTruncate)
{
    TempFolder tmp;
    EXPECT_EQ(OpenFile(L"\\a.bin", kAccessRead, FileShare::Read, FileDisposition::OpenExisting),
              kInvalidFile);
    FileHandle f = OpenFile(L"\\a.bin", kAccessWrite, FileShare::None, FileDisposition::CreateNew);
    ASSERT_NE(f, kInvalidFile);
    uint32_t n = 0;
    ASSERT_TRUE(WriteFile(f, "hello", 5, &n));
    EXPECT_EQ(n, 5u);
    ASSERT_TRUE(CloseFile(f));
    EXPECT_EQ(OpenFile(L"\\a.bin", kAccessWrite, FileShare::None, FileDisposition::CreateNew),
              kInvalidFile);

    f = OpenFile(L"/a.bin", kAccessReadWrite, FileShare::None, FileDisposition::OpenAlways);
    ASSERT_NE(f, kInvalidFile);
    uint64_t size = 0;
    ASSERT_TRUE(GetFileSize(f, &size));
    EXPECT_EQ(size, 5u);
    CloseFile(f);

    f = OpenFile(L"\\a.bin", kAccessWrite, FileShare::None, FileDisposition::CreateAlways);
    ASSERT_NE(f, kInvalidFile);
    ASSERT_TRUE(GetFileSize(f, &size));
    EXPECT_EQ(size, 0u);
    CloseFile(f);
    EXPECT_EQ(OpenFile(L"\\sub", kAccessRead, FileShare::Read, FileDisposition::OpenExisting),
              kInvalidFile);
}

TEST(File, ShareModesHoldBetweenOpenersAndProcesses)
{
    TempFolder tmp;
    tmp.WriteHostFile("arc.lzh", "data");
    FileHandle reader1 =
        OpenFile(L"\\arc.lzh", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
    FileHandle reader2 =
        OpenFile(L"\\arc.lzh", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
    ASSERT_NE(reader1, kInvalidFile);
    ASSERT_NE(reader2, kInvalidFile);
    EXPECT_EQ(OpenFile(L"\\arc.lzh", kAccessRead, FileShare::None, FileDisposition::OpenExisting),
              kInvalidFile);
    CloseFile(reader1);
    CloseFile(reader2);

    FileHandle exclusive =
        OpenFile(L"\\arc.lzh", kAccessRead, FileShare::None, FileDisposition::OpenExisting);
    ASSERT_NE(exclusive, kInvalidFile);
    // A truncating open elsewhere must neither succeed nor cut the file.
    EXPECT_EQ(OpenFile(L"\\arc.lzh", kAccessWrite, FileShare::Read, FileDisposition::CreateAlways),
              kInvalidFile);
    EXPECT_EQ(testsupport::ReadHostFile(tmp.HostPath("arc.lzh")), "data");

    pid_t child = fork();
    if (child == 0) {
        FileHandle other =
            OpenFile(L"\\arc.lzh", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
        _exit(other == kInvalidFile ? 0 : 1);
    }
    int childStatus = -1;
    waitpid(child, &childStatus, 0);
    EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0);
    CloseFile(exclusive);
}

TEST(File, BufferedReadsFollowSeeksAndWrites)
{
    TempFolder tmp;
    std::string content;
    for (int i = 0; i < 200000; ++i) {
        content.push_back(static_cast<char>(i * 7 + i / 256));
    }
    tmp.WriteHostFile("big.bin", content);
    FileHandle f =
        OpenFile(L"\\big.bin", kAccessReadWrite, FileShare::None, FileDisposition::OpenExisting);
    ASSERT_NE(f, kInvalidFile);
    EXPECT_EQ(ReadAll(f, 21), content);
    EXPECT_EQ(ReadAll(f, 21), "");

    int64_t pos = 0;
    ASSERT_TRUE(SeekFile(f, -100000, SeekOrigin::End, &pos));
    EXPECT_EQ(pos, 100000);
    char buf[5];
    uint32_t got = 0;
    ASSERT_TRUE(ReadFile(f, buf, 5, &got));
    EXPECT_EQ(std::string(buf, 5), content.substr(100000, 5));
    ASSERT_TRUE(SeekFile(f, -5, SeekOrigin::Current));
    uint32_t n = 0;
    ASSERT_TRUE(WriteFile(f, "XYZ", 3, &n)); // inside the read-ahead window
    ASSERT_TRUE(SeekFile(f, 100000, SeekOrigin::Begin));
    ASSERT_TRUE(ReadFile(f, buf, 5, &got));
    EXPECT_EQ(std::string(buf, 5), "XYZ" + content.substr(100003, 2));
    EXPECT_FALSE(SeekFile(f, -1, SeekOrigin::Begin));
    EXPECT_FALSE(SeekFile(f, INT64_MAX, SeekOrigin::Current));

    ASSERT_TRUE(SeekFile(f, 10, SeekOrigin::Begin));
    ASSERT_TRUE(SetEndOfFile(f));
    uint64_t size = 0;
    ASSERT_TRUE(GetFileSize(f, &size));
    EXPECT_EQ(size, 10u);
    ASSERT_TRUE(SeekFile(f, 0, SeekOrigin::Begin));
    EXPECT_EQ(ReadAll(f, 4096), content.substr(0, 10));
    CloseFile(f);
}

TEST(File, TimesAttributesFoldersAndRenames)
{
    TempFolder tmp;
    ASSERT_TRUE(CreateFolder(L"\\dir"));
    EXPECT_FALSE(CreateFolder(L"\\dir"));
    EXPECT_EQ(GetFileAttributes(L"\\dir"), kAttrFolder);
    EXPECT_EQ(GetFileAttributes(L"\\missing"), kInvalidAttributes);

    FileHandle f =
        OpenFile(L"\\dir\\f.txt", kAccessWrite, FileShare::None, FileDisposition::CreateNew);
    ASSERT_NE(f, kInvalidFile);
    const FileTime stamp = 129067776000000000; // 2010-01-01 00:00:00 UTC
    ASSERT_TRUE(SetFileTimes(f, &stamp));
    FileTime written = 0, created = 0;
    ASSERT_TRUE(GetFileTimes(f, &created, &written));
    EXPECT_EQ(written, stamp);
    EXPECT_GT(created, stamp);
    CloseFile(f);

    EXPECT_EQ(GetFileAttributes(L"\\dir\\f.txt"), kAttrArchive);
    ASSERT_TRUE(SetFileAttributes(L"\\dir\\f.txt", kAttrReadOnly | kAttrHidden));
    EXPECT_EQ(GetFileAttributes(L"\\dir\\f.txt"), kAttrArchive | kAttrReadOnly);
    ASSERT_TRUE(SetFileAttributes(L"\\dir\\f.txt", kAttrArchive));
    struct stat st;
    ASSERT_EQ(stat(tmp.HostPath("dir/f.txt").c_str(), &st), 0);
    EXPECT_TRUE(st.st_mode & S_IWUSR);

    tmp.WriteHostFile("other.txt", "x");
    EXPECT_FALSE(MoveFile(L"\\other.txt", L"\\dir\\f.txt")); // never over an existing file
    ASSERT_TRUE(MoveFile(L"\\other.txt", L"\\moved.txt"));
    ASSERT_TRUE(DeleteFile(L"\\moved.txt"));
    EXPECT_FALSE(DeleteFile(L"\\moved.txt"));
    EXPECT_FALSE(RemoveFolder(L"\\dir"));
    ASSERT_TRUE(DeleteFile(L"\\dir\\f.txt"));
    EXPECT_TRUE(RemoveFolder(L"\\dir"));
}

TEST(File, ReplaceSwapsContentInOneStep)
{
    TempFolder tmp;
    tmp.WriteHostFile("arc.lzh", "old");
    tmp.WriteHostFile("lhawk000.dat", "new archive");
    ASSERT_TRUE(ReplaceFile(L"\\lhawk000.dat", L"\\arc.lzh"));
    EXPECT_EQ(testsupport::ReadHostFile(tmp.HostPath("arc.lzh")), "new archive");
    EXPECT_EQ(GetFileAttributes(L"\\lhawk000.dat"), kInvalidAttributes);
    EXPECT_FALSE(ReplaceFile(L"\\lhawk000.dat", L"\\arc.lzh"));
    EXPECT_EQ(testsupport::ReadHostFile(tmp.HostPath("arc.lzh")), "new archive");
}

TEST(File, UnnamedFilesGetANameOnceAndKeepOthersOut)
{
    TempFolder tmp;
    FileHandle f = CreateUnnamedFile(L"\\");
    ASSERT_NE(f, kInvalidFile) << "this file system makes no unnamed files";
    uint32_t written = 0;
    ASSERT_TRUE(WriteFile(f, "work", 4, &written));
    EXPECT_EQ(GetFileAttributes(L"\\w.dat"), kInvalidAttributes);
    ASSERT_TRUE(LinkUnnamedFile(f, L"\\w.dat"));
    EXPECT_EQ(testsupport::ReadHostFile(tmp.HostPath("w.dat")), "work");
    // Held like a file opened without sharing: not stale while it is open.
    EXPECT_FALSE(DeleteUnlockedFile(L"\\w.dat"));
    EXPECT_EQ(OpenFile(L"\\w.dat", kAccessRead, FileShare::Read, FileDisposition::OpenExisting),
              kInvalidFile);
    ASSERT_TRUE(DeleteFile(L"\\w.dat"));
    EXPECT_FALSE(LinkUnnamedFile(f, L"\\w.dat")); // once named and removed, it stays unnamed
    CloseFile(f);
    tmp.WriteHostFile("stale.dat", "left behind");
    EXPECT_TRUE(DeleteUnlockedFile(L"\\stale.dat"));
    EXPECT_EQ(GetFileAttributes(L"\\stale.dat"), kInvalidAttributes);
    // A link is never taken for the file it names.
    tmp.WriteHostFile("target.dat", "keep");
    ASSERT_EQ(symlink("target.dat", tmp.HostPath("link.dat").c_str()), 0);
    EXPECT_FALSE(DeleteUnlockedFile(L"\\link.dat"));
    EXPECT_EQ(testsupport::ReadHostFile(tmp.HostPath("target.dat")), "keep");
    // Where a file system makes none, the caller is told so.
    SetFaultHook([](FaultPoint p) { return p == FaultPoint::UnnamedFile; });
    EXPECT_EQ(CreateUnnamedFile(L"\\"), kInvalidFile);
    EXPECT_EQ(LastFileError(), EOPNOTSUPP);
    SetFaultHook(nullptr);
}

TEST(File, PermissionsCopyFromFileToFile)
{
    TempFolder tmp;
    tmp.WriteHostFile("from", "");
    tmp.WriteHostFile("to", "");
    chmod(tmp.HostPath("from").c_str(), 0640);
    FileHandle from =
        OpenFile(L"\\from", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
    FileHandle to =
        OpenFile(L"\\to", kAccessReadWrite, FileShare::None, FileDisposition::OpenExisting);
    ASSERT_TRUE(CopyFilePermissions(from, to));
    uint32_t mode = 0;
    ASSERT_TRUE(GetFileMode(to, &mode));
    EXPECT_EQ(mode, 0640u);
    CloseFile(from);
    CloseFile(to);
}

TEST(File, FindListsMatchesWithoutDotEntries)
{
    TempFolder tmp;
    tmp.WriteHostFile("a.txt", "1");
    tmp.WriteHostFile("B.TXT", "22");
    tmp.WriteHostFile("c.lzh", "");
    tmp.WriteHostFile("\xE3\x81\x82.txt", "");
    ASSERT_TRUE(CreateFolder(L"\\sub.txt"));
    CFindFile find;
    FindData data;
    std::set<std::wstring> names;
    for (bool ok = find.First(L"\\*.txt", &data); ok; ok = find.Next(&data)) {
        names.insert(data.name);
        if (data.name == L"B.TXT") {
            EXPECT_EQ(data.size, 2u);
        }
        if (data.name == L"sub.txt") {
            EXPECT_EQ(data.attributes, kAttrFolder);
        }
    }
    EXPECT_EQ(names, (std::set<std::wstring>{L"a.txt", L"B.TXT", L"\u3042.txt", L"sub.txt"}));
    names.clear();
    for (bool ok = find.First(L"\\*.*", &data); ok; ok = find.Next(&data)) {
        names.insert(data.name);
    }
    EXPECT_EQ(names.size(), 5u);
    EXPECT_FALSE(find.First(L"\\nothing\\*.*", &data));
}
