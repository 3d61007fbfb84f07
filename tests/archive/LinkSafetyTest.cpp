// Extraction never writes through a symbolic link at or below the destination, for LZH and ZIP
// alike: a link where a file goes is replaced (its target left alone), a link where a folder
// of the member's path is needed fails that member, a dangling link is replaced as well, and
// the destination itself may be a link the user chose. LZH link members are made only where
// they point inside the destination.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cwchar>
#include <filesystem>
#include <functional>
#include <iterator>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

std::string LzhMember(const std::string& path, const std::string& data, bool folder = false)
{
    LzhMemberFields s;
    s.level = 1;
    s.name = path;
    s.method = folder ? "-lhd-" : "-lh0-";
    s.data = data;
    s.unpacked = static_cast<uint32_t>(data.size());
    s.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
    return BuildMember(s);
}

// The members both formats carry in these tests, '\' between folders for LZH.
struct Member
{
    std::string path;
    std::string data;
};
const Member kMembers[] = {
    {"flink", "new file"},              // a link to a file outside stands there
    {"dangling", "new file"},           // a link to nothing stands there
    {"dlink/x.txt", "into the folder"}, // a link to a folder outside stands where "dlink" goes
    {"d/last/y.txt", "below the last"}, // "last" is a link, the last folder of the path
    {"plain/z.txt", "ordinary"},
};

class LinkSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("outside"));
        tmp.WriteHostFile("outside/secret", "untouched");
        fs::create_directories(tmp.HostPath("dest/d"));
        fs::create_symlink(tmp.HostPath("outside/secret"), tmp.HostPath("dest/flink"));
        fs::create_symlink(tmp.HostPath("outside/none"), tmp.HostPath("dest/dangling"));
        fs::create_directory_symlink(tmp.HostPath("outside"), tmp.HostPath("dest/dlink"));
        fs::create_directory_symlink(tmp.HostPath("outside"), tmp.HostPath("dest/d/last"));
    }

    // Runs extract(i) for every member and checks what the destination and outside hold.
    void ExpectSafe(const std::function<bool(int)>& extract, const std::function<int()>& status,
                    int linkInTheWay)
    {
        for (int i = 0; i < 5; ++i) {
            SCOPED_TRACE(kMembers[i].path);
            bool blocked = i == 2 || i == 3;
            EXPECT_EQ(extract(i), !blocked);
            if (blocked) {
                EXPECT_EQ(status(), linkInTheWay);
            }
        }
        EXPECT_EQ(ReadHostFile(tmp.HostPath("outside/secret")), "untouched");
        EXPECT_FALSE(fs::exists(tmp.HostPath("outside/none")));
        EXPECT_FALSE(fs::exists(tmp.HostPath("outside/x.txt")));
        EXPECT_FALSE(fs::exists(tmp.HostPath("outside/y.txt")));
        for (const char* replaced : {"dest/flink", "dest/dangling"}) {
            EXPECT_FALSE(fs::is_symlink(tmp.HostPath(replaced)));
            EXPECT_EQ(ReadHostFile(tmp.HostPath(replaced)), "new file");
        }
        EXPECT_EQ(ReadHostFile(tmp.HostPath("dest/plain/z.txt")), "ordinary");
        EXPECT_TRUE(fs::is_symlink(tmp.HostPath("dest/dlink"))); // left as it was
    }

    TempFolder tmp;
};

} // namespace

TEST_F(LinkSafety, LzhMembersNeverWriteThroughLinks)
{
    std::string archive;
    for (const Member& m : kMembers) {
        std::string path = m.path;
        for (char& c : path) {
            c = c == '/' ? '\xFF' : c;
        }
        archive += LzhMember(path, m.data);
    }
    tmp.WriteHostFile("a.lzh", archive + std::string(1, '\0'));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\a.lzh", false));
    std::wcscpy(a.destFolder, L"\\dest");
    a.keepFolders = a.overwriteSilently = a.addMode = true;
    ExpectSafe([&](int i) { return a.ExtractEntry(i); }, [&] { return a.status; },
               kLzhLinkInTheWay);
}

TEST_F(LinkSafety, ZipMembersNeverWriteThroughLinks)
{
    std::vector<ZipMember> members;
    for (const Member& m : kMembers) {
        members.push_back(StoredMember(m.path, m.data));
    }
    tmp.WriteHostFile("a.zip", BuildZip(members));
    CZipArchive z;
    ASSERT_TRUE(z.Open(L"\\a.zip"));
    std::wcscpy(z.destFolder, L"\\dest");
    z.overwriteSilently = true;
    z.skipIfNotOlder = false;
    ExpectSafe([&](int i) { return z.ExtractEntry(i); }, [&] { return z.status; },
               kZipLinkInTheWay);
}

TEST_F(LinkSafety, TheDestinationItselfMayBeALink)
{
    fs::create_directory_symlink(tmp.HostPath("outside"), tmp.HostPath("chosen"));
    tmp.WriteHostFile("a.lzh", LzhMember("m.txt", "here") + std::string(1, '\0'));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\a.lzh", false));
    std::wcscpy(a.destFolder, L"\\chosen");
    ASSERT_TRUE(a.ExtractEntry(0));
    EXPECT_EQ(ReadHostFile(tmp.HostPath("outside/m.txt")), "here");
}

TEST_F(LinkSafety, LinkMembersOnlyPointInside)
{
    struct Case
    {
        const char* stored; // "path|target", '\xFF' between folders
        bool made;
    } cases[] = {
        {"up|file", true},
        {"sub\xFFin|../up", true},
        {"sub\xFFout|../../x", false},
        {"abs|/etc/passwd", false},
        // A climb after a name may leave through the target of an earlier link: "sub/l"
        // is the destination itself, so "sub/l/.." would be the folder above it.
        {"sub\xFFl|..", true},
        {"e|sub/l/..", false},
        {"deep\xFF"
         "er\xFF"
         "ok|../x/../y",
         false},
        // The link is made at the last real component of its path: "c/d/" and "x/." are made
        // as "c/d" and "x", one folder higher than their text says.
        {"c\xFF"
         "d\xFF|../../x",
         false},
        {"x/.|../y", false},
        {"g/h/./.|../../w", false},
        {"k/l/|../w", true},
    };
    const int count = static_cast<int>(std::size(cases));
    std::string archive;
    for (const Case& c : cases) {
        archive += LzhMember(c.stored, "", true);
    }
    tmp.WriteHostFile("l.lzh", archive + std::string(1, '\0'));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\l.lzh", false));
    ASSERT_EQ(a.GetEntryCount(), count);
    EXPECT_STREQ(a.GetEntry(1).name, L"in");
    EXPECT_STREQ(a.GetEntry(1).folder, L"sub\\");
    EXPECT_STREQ(a.GetEntry(1).linkTarget, L"../up");
    std::wcscpy(a.destFolder, L"\\links");
    a.keepFolders = true;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(cases[i].stored);
        a.testMode = true;
        EXPECT_TRUE(a.ExtractEntry(i)); // no data to check
        a.testMode = false;
        EXPECT_EQ(a.ExtractEntry(i), cases[i].made);
        std::string relative;
        for (wchar_t c : std::wstring(a.GetEntry(i).folder) + a.GetEntry(i).name) {
            relative += c == L'\\' ? '/' : static_cast<char>(c); // ASCII names only here
        }
        // Where the tree makes it: without trailing separators and "." parts.
        while (relative.ends_with("/") || relative.ends_with("/.")) {
            relative.resize(relative.size() - (relative.ends_with("/") ? 1 : 2));
        }
        std::string host = tmp.HostPath("links/" + relative);
        EXPECT_EQ(fs::is_symlink(host), cases[i].made);
        if (!cases[i].made) {
            EXPECT_EQ(a.status, kLzhLinkRefused);
            EXPECT_FALSE(fs::exists(host)); // no folder named after the target either
        }
    }
}

// A link member replaces a file standing in its place only as a file member would, and any
// member a link standing in its place; a folder entry that cannot be made where a file
// stands fails instead of passing as done.
TEST_F(LinkSafety, WhatStandsInTheWayIsRespectedOrReported)
{
    fs::create_directories(tmp.HostPath("kept"));
    tmp.WriteHostFile("kept/x", "the user's newer file");
    tmp.WriteHostFile("kept/d", "a file where a folder goes");
    fs::last_write_time(tmp.HostPath("kept/x"),
                        fs::file_time_type::clock::now() + std::chrono::hours(24 * 365));
    fs::create_symlink("mine", tmp.HostPath("kept/ulink")); // the user's, newer than the members
    fs::create_symlink("mine", tmp.HostPath("kept/ufile"));
    tmp.WriteHostFile("l.lzh", LzhMember("x|y", "", true) + LzhMember("d", "", true) +
                                   LzhMember("ulink|t", "", true) + LzhMember("ufile", "data") +
                                   std::string(1, '\0'));
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\l.lzh", false));
    std::wcscpy(a.destFolder, L"\\kept");
    a.addMode = false; // extraction skips a file that is not older than the member
    EXPECT_FALSE(a.ExtractEntry(0));
    EXPECT_EQ(a.status, kLzhSkippedNotOlder);
    EXPECT_FALSE(fs::is_symlink(tmp.HostPath("kept/x")));
    EXPECT_EQ(ReadHostFile(tmp.HostPath("kept/x")), "the user's newer file");
    EXPECT_FALSE(a.ExtractEntry(1));
    EXPECT_EQ(a.status, kLzhCannotCreateOutput);
    // A link standing there is judged by its own time, as a file would be.
    for (int i : {2, 3}) {
        EXPECT_FALSE(a.ExtractEntry(i));
        EXPECT_EQ(a.status, kLzhSkippedNotOlder);
    }
    EXPECT_EQ(fs::read_symlink(tmp.HostPath("kept/ulink")), "mine");
    EXPECT_EQ(fs::read_symlink(tmp.HostPath("kept/ufile")), "mine");

    tmp.WriteHostFile("d.zip", BuildZip({StoredMember("d/", "")}));
    CZipArchive z;
    ASSERT_TRUE(z.Open(L"\\d.zip"));
    std::wcscpy(z.destFolder, L"\\kept");
    EXPECT_FALSE(z.ExtractEntry(0));
    EXPECT_EQ(z.status, kZipCannotCreateOutput);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("kept/d")), "a file where a folder goes");
}
