// Device paths to host paths and back, with the default mapping and an explicit root.
#include "platform/DevicePath.h"
#include "platform/PrivateTemp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

TEST(DevicePath, ExplicitRootMapsEverythingUnderIt)
{
    SetDeviceRoot("/srv/dev/");
    EXPECT_EQ(DeviceToHost(L"\\My Documents\\a.lzh"), "/srv/dev/My Documents/a.lzh");
    EXPECT_EQ(DeviceToHost(L"/Temp//x\\y"), "/srv/dev/Temp/x/y");
    EXPECT_EQ(DeviceToHost(L"rel\\x.lzh"), "rel/x.lzh");
    EXPECT_EQ(HostToDevice("/srv/dev/My Documents/a.lzh"), L"\\My Documents\\a.lzh");
    EXPECT_EQ(HostToDevice("/srv/dev"), L"\\");
    EXPECT_EQ(HostToDevice("/srv/devices/a"), L"");
    EXPECT_EQ(HostToDevice("/elsewhere"), L"");
    EXPECT_EQ(HostToDevice("rel/x"), L"rel\\x");
    // Only a device path that names the host path again is taken for it.
    EXPECT_EQ(ExactDevicePath("/srv/dev/x/y.lzh"), L"\\x\\y.lzh");
    EXPECT_EQ(ExactDevicePath("/srv/dev/a\\b.lzh"), L"");
    EXPECT_EQ(ExactDevicePath("/elsewhere/x.lzh"), L"");
    SetDeviceRoot("");
}

// A typed path made absolute keeps its "..": "link/.." is the folder above the link's
// target, which only the file system knows.
TEST(DevicePath, AbsoluteHostPathsKeepTheirClimbs)
{
    char* cwd = getcwd(nullptr, 0);
    std::string here = cwd;
    std::free(cwd);
    EXPECT_EQ(AbsoluteHostPath("/a//b/./c/"), "/a/b/c");
    EXPECT_EQ(AbsoluteHostPath("/a/link/../x.lzh"), "/a/link/../x.lzh");
    EXPECT_EQ(AbsoluteHostPath("/"), "/");
    EXPECT_EQ(AbsoluteHostPath("x.lzh"), (here == "/" ? "" : here) + "/x.lzh");
    EXPECT_EQ(AbsoluteHostPath("./sub/../x"), (here == "/" ? "" : here) + "/sub/../x");
}

TEST(DevicePath, DefaultMappingUsesWellKnownFolders)
{
    // The mapping reads the user's folders once per process: a re-executed child sees
    // the HOME set here before its first use.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string home = (std::filesystem::temp_directory_path() / "tavrel-home-XXXXXX").string();
    ASSERT_NE(mkdtemp(home.data()), nullptr);
    std::filesystem::create_directories(home + "/.config");
    std::ofstream(home + "/.config/user-dirs.dirs")
        << "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
    EXPECT_EXIT(
        {
            setenv("HOME", home.c_str(), 1);
            unsetenv("XDG_CONFIG_HOME");
            setenv("TMPDIR", "/var/tmp", 1);
            unsetenv("XDG_RUNTIME_DIR");
            // Each running program has its own "\\Temp" in the user's folder.
            std::string uid = std::to_string(getuid()) + "/" + std::to_string(getpid());
            bool ok = DeviceToHost(L"\\My Documents\\a.lzh") == home + "/Dokumente/a.lzh" &&
                      DeviceToHost(L"\\my documents") == home + "/Dokumente" &&
                      DeviceToHost(L"\\My DocumentsX") == "/My DocumentsX" &&
                      DeviceToHost(L"\\Windows\\\u30C7\u30B9\u30AF\u30C8\u30C3\u30D7\\b") ==
                          home + "/Desktop/b" &&
                      DeviceToHost(L"\\Temp\\t") == "/var/tmp/tavrel-" + uid + "/t" &&
                      DeviceToHost(L"\\usr\\share") == "/usr/share" &&
                      HostToDevice(home + "/Dokumente/x/y.lzh") == L"\\My Documents\\x\\y.lzh" &&
                      HostToDevice(home + "/Desktop") ==
                          L"\\Windows\\\u30C7\u30B9\u30AF\u30C8\u30C3\u30D7" &&
                      HostToDevice("/var/tmp/tavrel-" + uid + "/z") == L"\\Temp\\z" &&
                      HostToDevice("/usr/share") == L"\\usr\\share" &&
                      ExactDevicePath("/usr/share") == L"\\usr\\share" &&
                      ExactDevicePath("/temp/x.lzh").empty() &&
                      ExactDevicePath("/My Documents/x.lzh").empty();
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(home);
}

// However the user's folders are written, or wherever they are (the home folder itself), every
// host path below them has an exact device path.
TEST(DevicePath, EveryHostPathWorksWhateverTheUsersFolders)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string home = (std::filesystem::temp_directory_path() / "tavrel-home-XXXXXX").string();
    ASSERT_NE(mkdtemp(home.data()), nullptr);
    std::filesystem::create_directories(home + "/.config");
    for (const char* documents : {"\"$HOME/\"", "\"$HOME\"", "\"$HOME//docs/./\"", "\"/\""}) {
        SCOPED_TRACE(documents);
        std::ofstream(home + "/.config/user-dirs.dirs")
            << "XDG_DOCUMENTS_DIR=" << documents << "\nXDG_DESKTOP_DIR=\"$HOME/\"\n";
        EXPECT_EXIT(
            {
                setenv("HOME", home.c_str(), 1);
                unsetenv("XDG_CONFIG_HOME");
                unsetenv("XDG_DOCUMENTS_DIR");
                bool ok = true;
                for (std::string path : {home + "/a.lzh", home + "/sub/b.lzh", home + "/docs/c",
                                         home, std::string("/usr/share/d.lzh")}) {
                    std::wstring device = ExactDevicePath(path);
                    ok = ok && !device.empty() && DeviceToHost(device) == path;
                }
                std::exit(ok ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "");
    }
    // The environment's word comes before the file's.
    EXPECT_EXIT(
        {
            setenv("HOME", home.c_str(), 1);
            setenv("XDG_DOCUMENTS_DIR", (home + "/env/").c_str(), 1);
            std::exit(DeviceToHost(L"\\My Documents\\x") == home + "/env/x" ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    std::filesystem::remove_all(home);
}

TEST(DevicePath, TempIsPrivateAndOnePerProgram)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::string runtime = (std::filesystem::temp_directory_path() / "tavrel-run-XXXXXX").string();
    ASSERT_NE(mkdtemp(runtime.data()), nullptr);
    // A folder left by a program that ended, and one held by a program still running.
    std::filesystem::create_directories(runtime + "/tavrel/99999999");
    std::ofstream(runtime + "/tavrel/99999999/left.txt") << "stale";
    std::filesystem::create_directories(runtime + "/tavrel/running");
    int held = open((runtime + "/tavrel/running/.lock").c_str(), O_CREAT | O_RDWR, 0600);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    EXPECT_EXIT(
        {
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            std::string own = runtime + "/tavrel/" + std::to_string(getpid());
            bool ok = DeviceToHost(L"\\Temp\\a.txt") == own + "/a.txt";
            chmod((runtime + "/tavrel").c_str(), 0755);
            ok = ok && platform::PreparePrivateTemp();
            struct stat st;
            ok = ok && stat((runtime + "/tavrel").c_str(), &st) == 0 && (st.st_mode & 0777) == 0700;
            ok = ok && stat(own.c_str(), &st) == 0 && (st.st_mode & 0777) == 0700;
            platform::RemoveStaleTemps();
            ok = ok && !std::filesystem::exists(runtime + "/tavrel/99999999") &&
                 std::filesystem::exists(runtime + "/tavrel/running");
            std::ofstream(own + "/opened.txt") << "member";
            platform::RemovePrivateTemp();
            ok = ok && !std::filesystem::exists(own);
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // A per-user folder that is a link is not taken.
    std::filesystem::remove_all(runtime + "/tavrel");
    std::filesystem::create_directory_symlink("/tmp", runtime + "/tavrel");
    EXPECT_EXIT(
        {
            setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            std::exit(platform::PreparePrivateTemp() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
    close(held);
    std::filesystem::remove_all(runtime);
}
