// Archives made by jlha (a peer LZH archiver) in the test itself extract byte for byte, with
// their times restored, for every method and header level. jlha records no read-only flag
// (its OS byte is "generic"), so ExtractTest covers attributes with headers made there.
#include "lzh/LzhArchive.h"
#include "platform/File.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <map>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

constexpr int64_t kStamp = 1300000000; // 2011-03-13 07:06:40 UTC, an even second

std::string TextData()
{
    std::string text;
    for (int i = 0; text.size() < 120000; ++i) {
        text += "line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\n";
    }
    return text;
}

std::string BinaryData()
{
    std::mt19937 rng(3);
    std::string data(70000, '\0');
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<char>(i % 7 == 0 ? rng() : i / 300);
    }
    return data;
}

} // namespace

TEST(PeerExtract, JlhaArchivesOfEveryMethodAndLevel)
{
    if (access("/usr/bin/jlha", X_OK) != 0) {
        GTEST_SKIP() << "jlha is not installed (apt-get install jlha-utils)";
    }
    setenv("TZ", "UTC", 1);
    tzset();
    TempFolder tmp;
    fs::create_directories(tmp.HostPath("src/sub"));
    const std::map<std::string, std::string> files = {{"text.txt", TextData()},
                                                      {"bin.dat", BinaryData()},
                                                      {"sub/empty.txt", ""},
                                                      {"sub/note.txt", "a short note\n"}};
    for (const auto& [name, data] : files) {
        tmp.WriteHostFile("src/" + name, data);
        fs::last_write_time(tmp.HostPath("src/" + name),
                            fs::file_time_type::clock::from_sys(
                                std::chrono::sys_seconds(std::chrono::seconds(kStamp))));
    }

    for (const char* method : {"z", "o5", "o6", "o7"}) {
        for (int level : {0, 1, 2}) {
            SCOPED_TRACE(std::string(method) + " level " + std::to_string(level));
            std::string name = std::string("a_") + method + std::to_string(level) + ".lzh";
            std::string command = "cd '" + tmp.HostPath("src") + "' && /usr/bin/jlha a" +
                                  std::to_string(level) + method + "q ../" + name +
                                  " text.txt bin.dat sub/empty.txt sub/note.txt >/dev/null 2>&1";
            ASSERT_EQ(std::system(command.c_str()), 0);

            CLzhArchive archive;
            std::wstring path = L"\\" + std::wstring(name.begin(), name.end());
            ASSERT_TRUE(archive.Open(path.c_str(), false));
            ASSERT_EQ(archive.GetEntryCount(), 4);
            std::wstring dest = L"\\x" + path.substr(1);
            std::wcscpy(archive.destFolder, dest.c_str());
            archive.keepFolders = true;
            archive.addMode = true;
            archive.overwriteSilently = true;
            for (int i = 0; i < archive.GetEntryCount(); ++i) {
                archive.testMode = true;
                EXPECT_TRUE(archive.ExtractEntry(i)) << archive.status;
                archive.testMode = false;
                EXPECT_TRUE(archive.ExtractEntry(i)) << archive.status;
            }
            std::string out = tmp.HostPath("x" + name);
            for (const auto& [file, data] : files) {
                EXPECT_EQ(ReadHostFile(out + "/" + file), data) << file;
                struct stat st;
                ASSERT_EQ(stat((out + "/" + file).c_str(), &st), 0);
                EXPECT_EQ(st.st_mtime, kStamp) << file;
            }
        }
    }
    unsetenv("TZ");
    tzset();
}
