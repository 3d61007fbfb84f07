// Zip64 archives made in the test by Python's zipfile (more than 65,535 members, and the Zip64
// extra field forced on small members) and by zip over a sparse file of 4.4 GB: listed with
// their true counts and sizes, tested and extracted.
#include "tests/support/TempFolder.h"
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

TEST_F(Zip64, ExtraFieldsOnSmallMembers)
{
    if (!Have("/usr/bin/python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    tmp.WriteHostFile("forced.py",
                      "import zipfile\n"
                      "with zipfile.ZipFile('forced.zip', 'w', zipfile.ZIP_DEFLATED) as z:\n"
                      "    for name in ('a.txt', 'dir/b.txt'):\n"
                      "        with z.open(name, 'w', force_zip64=True) as f:\n"
                      "            f.write(b'zip64 sized ' * 100)\n");
    Run("/usr/bin/python3 forced.py");
    ASSERT_TRUE(archive.Open(L"\\forced.zip")) << archive.status;
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
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        expected += "zip64 sized ";
    }
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/dir/b.txt")), expected);
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
