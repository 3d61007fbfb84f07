// Zip64 archives made in the test by Python's zipfile (more than 65,535 members, and the Zip64
// extra field forced on small members), by zip -fz and by zip over a sparse file of 4.4 GB,
// and offsets given in the extra field: listed with their true counts, sizes and offsets,
// tested and extracted.
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <unistd.h>

using namespace testsupport;

namespace
{

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

class Zip64 : public ::testing::Test
{
protected:
    void Run(const std::string& command)
    {
        std::string line = "cd '" + tmp.Host() + "' && (" + command + ") >/dev/null 2>&1";
        ASSERT_EQ(std::system(line.c_str()), 0) << command;
    }

    TempFolder tmp;
    CZipArchive archive;
};

} // namespace

TEST_F(Zip64, MoreThan65535Members)
{
    if (!Have("/usr/bin/python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    tmp.WriteHostFile("many.py", "import zipfile\n"
                                 "with zipfile.ZipFile('many.zip', 'w') as z:\n"
                                 "    for i in range(70000):\n"
                                 "        z.writestr('m%05d.txt' % i, 'member %d\\n' % i)\n");
    Run("/usr/bin/python3 many.py");
    ASSERT_TRUE(archive.Open(L"\\many.zip")) << archive.status;
    ASSERT_EQ(archive.GetEntryCount(), 70000);
    EXPECT_EQ(archive.totalEntries, 70000u);
    const CZipEntry& last = archive.GetEntry(69999);
    EXPECT_STREQ(last.name, L"m69999.txt");
    EXPECT_EQ(last.unpackedSize, 13u);
    std::wcscpy(archive.destFolder, L"\\out");
    archive.skipIfNotOlder = false;
    ASSERT_TRUE(archive.ExtractEntry(&last)) << archive.status;
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/m69999.txt")), "member 69999\n");
}

// Members whose headers say 0xFFFFFFFF and give their sizes in a Zip64 extra field, as
// Python's zipfile (local header) and zip -fz (local and central headers) write them.
TEST_F(Zip64, ExtraFieldsOnSmallMembers)
{
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        expected += "zip64 sized ";
    }
    std::filesystem::create_directories(tmp.HostPath("dir"));
    tmp.WriteHostFile("a.txt", expected);
    tmp.WriteHostFile("dir/b.txt", expected);
    tmp.WriteHostFile("forced.py",
                      "import zipfile\n"
                      "with zipfile.ZipFile('py.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                      "    for name in ('a.txt', 'dir/b.txt'):\n"
                      "        with z.open(name, 'w', force_zip64=True) as f:\n"
                      "            f.write(open(name, 'rb').read())\n");
    const std::pair<const char*, const char*> makers[] = {
        {"/usr/bin/python3", "/usr/bin/python3 forced.py"},
        {"/usr/bin/zip", "zip -q -fz iz.zip a.txt dir/b.txt"},
    };
    for (const auto& [tool, command] : makers) {
        SCOPED_TRACE(command);
        if (!Have(tool)) {
            ADD_FAILURE() << tool << " is not installed";
            continue;
        }
        Run(command);
        std::wstring name = tool == std::string("/usr/bin/zip") ? L"\\iz.zip" : L"\\py.zip";
        ASSERT_TRUE(archive.Open(name.c_str())) << archive.status;
        ASSERT_EQ(archive.GetEntryCount(), 2);
        std::wcscpy(archive.destFolder, L"\\out");
        archive.skipIfNotOlder = false;
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(archive.GetEntry(i).unpackedSize, 1200u);
            archive.testMode = true;
            EXPECT_TRUE(archive.ExtractEntry(i)) << archive.status;
            archive.testMode = false;
            EXPECT_TRUE(archive.ExtractEntry(i)) << archive.status;
        }
        EXPECT_EQ(ReadHostFile(tmp.HostPath("out/dir/b.txt")), expected);
        std::filesystem::remove_all(tmp.HostPath("out"));
    }
    // zip -fz gives the central directory's uncompressed sizes as 0xFFFFFFFF: the values
    // above came from the extra field.
    std::string iz = ReadHostFile(tmp.HostPath("iz.zip"));
    size_t central = iz.find("PK\x01\x02");
    ASSERT_NE(central, std::string::npos);
    EXPECT_EQ(iz.substr(central + 24, 4), std::string(4, '\xFF'));
}

// The local header's offset given in the extra field (the central header says 0xFFFFFFFF):
// the extra field's value is taken, and one that points elsewhere fails the member.
TEST_F(Zip64, OffsetsFromTheExtraField)
{
    auto extra = [](uint64_t offset) {
        std::string e("\x01\x00\x08\x00", 4);
        for (int i = 0; i < 8; ++i) {
            e.push_back(static_cast<char>(offset >> (8 * i)));
        }
        return e;
    };
    auto build = [&](uint64_t second) {
        ZipMember a = StoredMember("a.txt", "first member");
        ZipMember b = StoredMember("b.txt", "second member");
        a.extra = extra(0);
        b.extra = extra(second);
        std::string bytes = BuildZip({a, b});
        // Every central header's offset field says "in the extra field".
        for (size_t at = bytes.find("PK\x01\x02"); at != std::string::npos;
             at = bytes.find("PK\x01\x02", at + 4)) {
            bytes.replace(at + 42, 4, std::string(4, '\xFF'));
        }
        return bytes;
    };
    std::string probe = build(0);
    const uint64_t second = probe.find("PK\x03\x04", 4);
    for (uint64_t claimed : {second, second + 1, uint64_t{5} << 32}) {
        SCOPED_TRACE(claimed);
        tmp.WriteHostFile("o.zip", build(claimed));
        ASSERT_TRUE(archive.Open(L"\\o.zip")) << archive.status;
        ASSERT_EQ(archive.GetEntryCount(), 2);
        EXPECT_EQ(archive.GetEntry(1).localHeaderOffset, claimed);
        archive.testMode = true;
        EXPECT_TRUE(archive.ExtractEntry(0)) << archive.status;
        EXPECT_EQ(archive.ExtractEntry(1), claimed == second) << archive.status;
    }
}

// A member over 4 GiB (zip of a sparse file): its size is listed whole and it tests good.
// Extracting it is left to the benchmark (4.4 GB of disk).
TEST_F(Zip64, AMemberOver4GiB)
{
    if (!Have("/usr/bin/zip")) {
        GTEST_SKIP() << "zip is not installed";
    }
    tmp.WriteHostFile("big.bin", "");
    ASSERT_EQ(truncate(tmp.HostPath("big.bin").c_str(), 4400000000), 0);
    Run("zip -q -1 big.zip big.bin && rm big.bin");
    ASSERT_TRUE(archive.Open(L"\\big.zip")) << archive.status;
    ASSERT_EQ(archive.GetEntryCount(), 1);
    EXPECT_EQ(archive.GetEntry(0).unpackedSize, 4400000000u);
    archive.testMode = true;
    EXPECT_TRUE(archive.ExtractEntry(0)) << archive.status;
}
