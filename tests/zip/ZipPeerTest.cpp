// Archives made in the test by Info-ZIP zip, 7-Zip and Python's zipfile extract byte for
// byte with their times: stored, deflated at several levels, deflate64, traditional
// encryption, and data descriptors from streamed input. Wrong, cancelled and missing
// passwords fail the member.
#include "tests/support/TempFolder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
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

class FixedPassword final : public CArchivePrompt
{
public:
    bool AskPassword(const wchar_t*, bool, wchar_t* text) override
    {
        ++asked;
        if (!cancel) {
            std::wcsncpy(text, password.c_str(), kPasswordCapacity - 1);
        }
        return !cancel;
    }
    std::wstring password = L"secret";
    bool cancel = false;
    int asked = 0;
};

std::map<std::string, std::string> SourceFiles()
{
    std::string text;
    for (int i = 0; text.size() < 300000; ++i) {
        text += "line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\n";
    }
    std::mt19937 rng(5);
    std::string binary(150000, '\0');
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<char>(i % 5 == 0 ? rng() : i / 700);
    }
    return {{"src/text.txt", text},
            {"src/bin.dat", binary},
            {"src/sub/empty.txt", ""},
            {"src/sub/note.txt", "a short note\n"}};
}

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

class ZipPeer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
        for (const auto& [name, data] : files) {
            fs::create_directories(fs::path(tmp.HostPath(name)).parent_path());
            tmp.WriteHostFile(name, data);
            fs::last_write_time(tmp.HostPath(name),
                                fs::file_time_type::clock::from_sys(
                                    std::chrono::sys_seconds(std::chrono::seconds(kStamp))));
        }
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }

    void Make(const std::string& command)
    {
        std::string line = "cd '" + tmp.Host() + "' && (" + command + ") >/dev/null 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }

    // Extracts and tests every member of name; files maps member paths to their contents.
    void ExpectExtracts(const std::string& name, const std::map<std::string, std::string>& expected)
    {
        SCOPED_TRACE(name);
        CZipArchive archive;
        archive.SetPrompt(&prompt);
        std::wstring path = L"\\" + std::wstring(name.begin(), name.end());
        ASSERT_TRUE(archive.Open(path.c_str())) << archive.status;
        std::wstring dest = L"\\x_" + path.substr(1);
        std::wcscpy(archive.destFolder, dest.c_str());
        archive.skipIfNotOlder = false;
        int listedFiles = 0;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            const CZipEntry& e = archive.GetEntry(i);
            SCOPED_TRACE(std::wstring(e.path) + e.name);
            archive.testMode = true;
            EXPECT_TRUE(archive.ExtractEntry(&e)) << archive.status;
            archive.testMode = false;
            EXPECT_TRUE(archive.ExtractEntry(&e)) << archive.status;
            listedFiles += e.name[0] != 0;
        }
        EXPECT_EQ(listedFiles, static_cast<int>(expected.size()));
        std::string out = tmp.HostPath("x_" + name);
        for (const auto& [file, data] : expected) {
            EXPECT_EQ(ReadHostFile(out + "/" + file), data) << file;
            struct stat st;
            ASSERT_EQ(stat((out + "/" + file).c_str(), &st), 0) << file;
            if (file != "-") {
                EXPECT_EQ(st.st_mtime, kStamp) << file;
            }
        }
    }

    TempFolder tmp;
    FixedPassword prompt;
    const std::map<std::string, std::string> files = SourceFiles();
};

} // namespace

TEST_F(ZipPeer, InfoZip)
{
    if (!Have("/usr/bin/zip")) {
        GTEST_SKIP() << "zip is not installed (apt-get install zip)";
    }
    for (const char* level : {"0", "1", "6", "9"}) {
        std::string name = std::string("level") + level + ".zip";
        Make(std::string("zip -q -r -") + level + " " + name + " src");
        ExpectExtracts(name, files);
    }
    Make("zip -q -r -P secret enc.zip src");
    Make("zip -q -r -0 -P secret enc0.zip src");
    ExpectExtracts("enc.zip", files);
    ExpectExtracts("enc0.zip", files);
    EXPECT_EQ(prompt.asked, 2); // once per archive
    // A Japanese password typed on Linux: zip stores its UTF-8 bytes.
    Make("zip -q -r -P 'ひみつ' utf8.zip src");
    prompt.password = L"ひみつ";
    ExpectExtracts("utf8.zip", files);
    EXPECT_EQ(prompt.asked, 3);
    prompt.password = L"secret";
    // Streamed input: the sizes and CRC follow the data in a descriptor.
    Make("zip -q stream.zip - < src/text.txt");
    ExpectExtracts("stream.zip", {{"-", files.at("src/text.txt")}});
}

TEST_F(ZipPeer, SevenZip)
{
    if (!Have("/usr/bin/7zz")) {
        GTEST_SKIP() << "7zz is not installed (apt-get install 7zip)";
    }
    Make("7zz a -tzip -mm=Deflate -mx=9 deflate.zip src");
    Make("7zz a -tzip -mm=Deflate64 -mx=9 deflate64.zip src");
    Make("7zz a -tzip -mm=Copy stored.zip src");
    Make("7zz a -tzip -mm=Deflate -mem=ZipCrypto -psecret crypto.zip src");
    Make("7zz a -tzip -mm=Deflate64 -mem=ZipCrypto -psecret crypto64.zip src");
    Make("7zz a -tzip -mm=BZip2 bzip2.zip src");
    Make("7zz a -tzip -mm=LZMA lzma.zip src");
    Make("7zz a -tzip -mm=xz xz.zip src");
    Make("7zz a -tzip -mm=Deflate -mem=AES256 -psecret aes256.zip src");
    Make("7zz a -tzip -mm=BZip2 -mem=AES128 -psecret aes128.zip src");
    Make("7zz a -tzip -mm=Copy -mem=AES192 -psecret aes192.zip src");
    for (const char* name :
         {"deflate.zip", "deflate64.zip", "stored.zip", "crypto.zip", "crypto64.zip", "bzip2.zip",
          "lzma.zip", "xz.zip", "aes256.zip", "aes128.zip", "aes192.zip"}) {
        ExpectExtracts(name, files);
    }
    // A wrong password for an AES member is a wrong password, not damage.
    prompt.password = L"guess";
    CZipArchive archive;
    archive.SetPrompt(&prompt);
    ASSERT_TRUE(archive.Open(L"\\aes256.zip"));
    archive.testMode = true;
    const CZipEntry& first = archive.GetEntry(archive.GetEntry(0).name[0] != 0 ? 0 : 1);
    EXPECT_FALSE(archive.ExtractEntry(&first));
    EXPECT_EQ(archive.status, kZipPasswordFailed);
}

TEST_F(ZipPeer, PythonZipfile)
{
    if (!Have("/usr/bin/python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    const std::string script =
        "import os, sys, zipfile\n"
        "def add(z, method):\n"
        "    for root, dirs, names in sorted(os.walk('src')):\n"
        "        for n in sorted(names):\n"
        "            z.write(os.path.join(root, n), compress_type=method)\n"
        "with zipfile.ZipFile('py_stored.zip', 'w') as z: add(z, zipfile.ZIP_STORED)\n"
        "with zipfile.ZipFile('py_deflated.zip', 'w') as z: add(z, zipfile.ZIP_DEFLATED)\n"
        "with zipfile.ZipFile('py_bzip2.zip', 'w') as z: add(z, zipfile.ZIP_BZIP2)\n"
        "with zipfile.ZipFile('py_lzma.zip', 'w') as z: add(z, zipfile.ZIP_LZMA)\n"
        "with zipfile.ZipFile(sys.stdout.buffer, 'w') as z: add(z, zipfile.ZIP_DEFLATED)\n";
    tmp.WriteHostFile("make.py", script);
    Make("/usr/bin/python3 make.py | cat > py_stream.zip"); // a pipe: no seeking back
    for (const char* name :
         {"py_stored.zip", "py_deflated.zip", "py_stream.zip", "py_bzip2.zip", "py_lzma.zip"}) {
        ExpectExtracts(name, files);
    }
}

TEST_F(ZipPeer, WrongCancelledAndMissingPasswords)
{
    if (!Have("/usr/bin/zip")) {
        GTEST_SKIP() << "zip is not installed (apt-get install zip)";
    }
    Make("zip -q -r -P secret enc.zip src");
    CZipArchive archive;
    ASSERT_TRUE(archive.Open(L"\\enc.zip"));
    std::wcscpy(archive.destFolder, L"\\wrong");
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        if (archive.GetEntry(i).flags & kZipFlagEncrypted) {
            EXPECT_FALSE(archive.ExtractEntry(i));
            EXPECT_EQ(archive.status, kZipNoPassword); // no prompt
        }
    }
    archive.SetPrompt(&prompt);
    for (bool cancel : {false, true}) {
        prompt.password = L"not it";
        prompt.cancel = cancel;
        ASSERT_TRUE(archive.Open(L"\\enc.zip"));
        int refused = 0;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            const CZipEntry& e = archive.GetEntry(i);
            if (e.name[0] == 0) {
                continue;
            }
            bool ok = archive.ExtractEntry(&e);
            // One check byte: a wrong password passes it once in 256 and then fails the CRC
            // or the data, except for an empty member, which has no data to fail.
            EXPECT_TRUE(!ok || e.unpackedSize == 0);
            int refusal = cancel ? kZipNoPassword : kZipPasswordFailed;
            EXPECT_TRUE(archive.status == refusal || archive.status == kZipCrcMismatch ||
                        archive.status == kZipDamaged || (ok && e.unpackedSize == 0))
                << archive.status;
            // A refused password writes nothing, and neither does one that passed the check
            // byte by chance: the member fails its CRC, and a failed member leaves no file.
            const std::wstring wide = std::wstring(e.path) + e.name;
            const std::string written =
                tmp.HostPath("wrong/" + std::string(wide.begin(), wide.end()));
            if (!ok) {
                EXPECT_FALSE(fs::exists(written)) << written;
            }
            refused += archive.status == refusal ? 1 : 0;
            fs::remove_all(tmp.HostPath("wrong"));
        }
        EXPECT_GE(refused, 3);
    }
}

// Japanese names as today's makers write them: Info-ZIP with a Unicode path extra field,
// 7-Zip and Python's zipfile with the UTF-8 flag. Listed and extracted under their names.
TEST_F(ZipPeer, JapaneseNamesOfEveryMaker)
{
    const std::string folder = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";   // 日本語
    const std::string file = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt"; // テスト.txt
    fs::create_directories(tmp.HostPath("jp/" + folder));
    tmp.WriteHostFile("jp/" + folder + "/" + file, "tesuto\n");
    tmp.WriteHostFile("make_jp.py", "import zipfile\n"
                                    "with zipfile.ZipFile('py_jp.zip', 'w') as z:\n"
                                    "    z.write('jp/" +
                                        folder + "/" + file + "', '" + folder + "/" + file +
                                        "')\n");
    struct Maker
    {
        const char* tool;
        std::string command;
        const char* archive;
    } makers[] = {
        {"/usr/bin/zip", "cd jp && LC_ALL=C.UTF-8 zip -q -r ../iz_jp.zip " + folder, "iz_jp.zip"},
        {"/usr/bin/7zz", "cd jp && 7zz a -tzip ../7z_jp.zip " + folder, "7z_jp.zip"},
        {"/usr/bin/python3", "/usr/bin/python3 make_jp.py", "py_jp.zip"},
    };
    const std::wstring expected = L"\u65E5\u672C\u8A9E/\u30C6\u30B9\u30C8.txt";
    for (const Maker& m : makers) {
        SCOPED_TRACE(m.archive);
        if (!Have(m.tool)) {
            ADD_FAILURE() << m.tool << " is not installed";
            continue;
        }
        Make(m.command);
        CZipArchive archive;
        std::wstring path = L"\\" + std::wstring(m.archive, m.archive + std::strlen(m.archive));
        ASSERT_TRUE(archive.Open(path.c_str())) << archive.status;
        bool listed = false;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            const CZipEntry& e = archive.GetEntry(i);
            listed = listed || std::wstring(e.path) + e.name == expected;
            std::wcscpy(archive.destFolder, (L"\\x_" + path.substr(1)).c_str());
            EXPECT_TRUE(archive.ExtractEntry(&e)) << archive.status;
        }
        EXPECT_TRUE(listed);
        EXPECT_EQ(
            ReadHostFile(tmp.HostPath(std::string("x_") + m.archive + "/" + folder + "/" + file)),
            "tesuto\n");
    }
}
