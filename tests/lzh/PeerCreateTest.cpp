// Archives made here by AddFile and Close, at every method and header level, with folders,
// empty and incompressible files and a Japanese name, extracted by lhasa, bsdtar, 7zz and
// jlha: the same bytes under the same names. lhasa writes stored names as they are, which
// shows the Japanese name stored in code page 932; bsdtar told the code page decodes it to
// the same text; 7zz and jlha convert names by code pages of their own, so for them that
// one file is found by its content. bsdtar 3.6 refuses level 1 headers whose attribute byte
// is not 0x20, as a folder entry's 0x10 is: that combination is left out. Level 0 archives hold
// no folders here: level 0 writes folder separators as the byte 0xFF, which the peers do not split
// on (bsdtar refuses the name outright), and lhasa skips level 0 folder entries.
#include "lzh/LzhArchive.h"
#include "platform/Text.h"
#include "tests/support/Shell.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <map>
#include <random>
#include <unistd.h>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"; // 日本語.txt in UTF-8
const std::string kJapaneseCp932 = "\x93\xFA\x96\x7B\x8C\xEA.txt";        // the stored bytes

std::map<std::string, std::string> SourceFiles()
{
    std::mt19937 rng(4);
    std::string noise(20000, '\0');
    for (char& c : noise) {
        c = static_cast<char>(rng());
    }
    std::string text;
    for (int i = 0; text.size() < 100000; ++i) {
        text += "record " + std::to_string(i % 997) + " of the peer interoperability test\n";
    }
    return {{"text.txt", text},
            {"noise.bin", noise},
            {"empty.dat", ""},
            {"deep/er/nested.txt", text.substr(0, 5000)},
            {kJapanese, "\xE3\x81\x82\xE3\x81\x84\n"}};
}

bool HasFileWithContent(const std::string& folder, const std::string& data)
{
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        if (e.is_regular_file() && ReadHostFile(e.path().string()) == data) {
            return true;
        }
    }
    return false;
}

class CurrentFolder
{
public:
    explicit CurrentFolder(const std::string& folder) : m_old(fs::current_path())
    {
        fs::current_path(folder);
    }
    ~CurrentFolder() { fs::current_path(m_old); }

private:
    fs::path m_old;
};

} // namespace

TEST(PeerCreate, PeerToolsExtractOurArchives)
{
    struct Tool
    {
        const char* binary;
        std::string command; // run inside the output folder; %s is the archive
        enum
        {
            Raw,
            Decoded,
            Other
        } names;
    };
    const Tool tools[] = {{"/usr/bin/lhasa", "/usr/bin/lhasa xq '%s'", Tool::Raw},
                          {"/usr/bin/bsdtar",
                           "LC_ALL=C.UTF-8 /usr/bin/bsdtar -x --options hdrcharset=CP932 -f '%s'",
                           Tool::Decoded},
                          {"/usr/bin/7zz", "/usr/bin/7zz x -y '%s'", Tool::Other},
                          {"/usr/bin/jlha", "/usr/bin/jlha xq '%s'", Tool::Other}};
    bool any = false;
    for (const Tool& t : tools) {
        any = any || access(t.binary, X_OK) == 0;
    }
    if (!any) {
        GTEST_SKIP()
            << "no peer tool installed (apt-get install lhasa libarchive-tools 7zip jlha-utils)";
    }
    TempFolder tmp;
    auto files = SourceFiles();
    for (const auto& [name, data] : files) {
        fs::create_directories(fs::path(tmp.HostPath("src/" + name)).parent_path());
        tmp.WriteHostFile("src/" + name, data);
    }
    for (int method = 0; method < 4; ++method) {
        for (int level = 0; level < 3; ++level) {
            char name[16]; // formatted: GCC 12 -O3 warns falsely on "m" + std::to_string(...)
            std::snprintf(name, sizeof name, "m%dl%d.lzh", method, level);
            SCOPED_TRACE(name);
            {
                // Relative paths are stored relative, so every tool extracts below its folder.
                CurrentFolder here(tmp.HostPath("src"));
                CLzhArchive a;
                std::wstring path = L"..\\" + std::wstring(name, name + std::strlen(name));
                ASSERT_TRUE(a.Open(path.c_str(), true));
                a.storeOnly = method == 0;
                a.methodIndex = method - 1;
                a.headerLevel = level;
                a.keepFolders = true;
                for (const wchar_t* f : {L"text.txt", L"noise.bin", L"empty.dat", L"deep\\er",
                                         L"deep\\er\\nested.txt", L"\u65E5\u672C\u8A9E.txt"}) {
                    if (level > 0 || std::wcschr(f, L'\\') == nullptr) {
                        ASSERT_TRUE(a.AddFile(f)) << a.status;
                    }
                }
                ASSERT_TRUE(a.Close());
            }
            for (const Tool& t : tools) {
                if (access(t.binary, X_OK) != 0) {
                    continue;
                }
                SCOPED_TRACE(t.binary);
                if (t.names == Tool::Decoded && level == 1) {
                    continue;
                }
                std::string out = tmp.HostPath("out");
                fs::remove_all(out);
                fs::create_directories(out);
                char command[512];
                std::snprintf(command, sizeof command, t.command.c_str(),
                              tmp.HostPath(name).c_str());
                std::string full = "cd '" + out + "' && " + command + " >/dev/null 2>&1";
                EXPECT_EQ(std::system(full.c_str()), 0);
                for (const auto& [file, data] : files) {
                    if (level == 0 && file.find('/') != std::string::npos) {
                        continue;
                    }
                    if (file == kJapanese && t.names == Tool::Other) {
                        EXPECT_TRUE(HasFileWithContent(out, data)) << file;
                        continue;
                    }
                    std::string onDisk =
                        file == kJapanese && t.names == Tool::Raw ? kJapaneseCp932 : file;
                    EXPECT_TRUE(ReadHostFile(out + "/" + onDisk) == data) << file;
                }
            }
        }
    }
}

// Names beyond code page 932 (stored in UTF-16 beside their closest code page 932 form)
// leave the archive readable by every peer: each tests it whole and lists every member.
TEST(PeerCreate, NamesBeyondCodePage932StayReadable)
{
    TempFolder tmp;
    const std::vector<std::string> names = {"caf\xC3\xA9.txt", "smile\xF0\x9F\x98\x80.txt",
                                            "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4/x.txt"};
    for (const std::string& name : names) {
        fs::create_directories(fs::path(tmp.HostPath("src/" + name)).parent_path());
        tmp.WriteHostFile("src/" + name, "contents of " + name + "\n");
    }
    for (int level : {1, 2}) {
        SCOPED_TRACE(level);
        char archive[16]; // formatted: GCC 12 -O3 warns falsely on "u" + std::to_string(...)
        std::snprintf(archive, sizeof archive, "u%d.lzh", level);
        CLzhArchive a;
        ASSERT_TRUE(a.Open((L"\\" + platform::Utf8ToWide(archive)).c_str(), true));
        a.headerLevel = level;
        a.keepFolders = true;
        std::wcscpy(a.destFolder, L"\\src\\");
        for (const std::string& name : names) {
            std::wstring wide = platform::Utf8ToWide(name);
            std::replace(wide.begin(), wide.end(), L'/', L'\\');
            ASSERT_TRUE(a.AddFile(wide.c_str())) << a.status;
        }
        ASSERT_TRUE(a.Close());
        const std::string path = tmp.HostPath(archive);
        const std::string quoted = "'" + path + "'";
        struct Peer
        {
            const char* tool;
            std::string test, list;
        } peers[] = {{"/usr/bin/lhasa", "lhasa t " + quoted, "lhasa l " + quoted},
                     {"/usr/bin/bsdtar", "bsdtar -xOf " + quoted, "bsdtar -tf " + quoted},
                     {"/usr/bin/7zz", "7zz t " + quoted, "7zz l -ba " + quoted}};
        for (const Peer& peer : peers) {
            if (!Have(peer.tool)) {
                continue;
            }
            SCOPED_TRACE(peer.tool);
            EXPECT_EQ(Shell(peer.test).status, 0);
            ShellOutcome listed = Shell(peer.list);
            EXPECT_EQ(listed.status, 0);
            for (const char* part : {"caf", "smile", "x.txt"}) {
                EXPECT_NE(listed.out.find(part), std::string::npos) << part << "\n" << listed.out;
            }
        }
    }
}
