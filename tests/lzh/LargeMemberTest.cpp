// Members of 4 GiB and more, from sparse files: refused by level 0 and 1 headers at once;
// added, listed, tested and extracted whole at level 2 (that run writes 4.5 GB and more,
// so it runs only with TAVREL_LARGE_TESTS=1).
#include "lzh/LzhArchive.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using namespace testsupport;
namespace fs = std::filesystem;

namespace
{

constexpr uint64_t kBig = 4'500'000'123; // past 4 GiB, not a multiple of any block

class LargeMember : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(tmp.HostPath("src"));
        std::FILE* f = std::fopen(tmp.HostPath("src/big.bin").c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
        fs::resize_file(tmp.HostPath("src/big.bin"), kBig); // sparse
    }
    TempFolder tmp;
};

} // namespace

TEST_F(LargeMember, LevelsZeroAndOneRefuseIt)
{
    for (int level : {0, 1}) {
        SCOPED_TRACE(level);
        fs::remove(tmp.HostPath("big.lzh"));
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\big.lzh", true));
        a.headerLevel = level;
        std::wcscpy(a.destFolder, L"\\src\\");
        EXPECT_FALSE(a.AddFile(L"big.bin"));
        EXPECT_EQ(a.status, kLzhTooLargeForLevel);
        EXPECT_EQ(a.GetEntryCount(), 0);
        EXPECT_TRUE(a.Close());
        EXPECT_FALSE(fs::exists(tmp.HostPath("big.lzh")));
    }
}

TEST_F(LargeMember, AddedListedTestedAndExtractedWhole)
{
    const char* large = std::getenv("TAVREL_LARGE_TESTS");
    if (large == nullptr || std::string(large) != "1") {
        GTEST_SKIP() << "writes 9 GB; run with TAVREL_LARGE_TESTS=1";
    }
    {
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\big.lzh", true));
        a.headerLevel = 2;
        a.methodIndex = 1; // asked to compress: a file this large is stored
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"big.bin")) << a.status;
        ASSERT_TRUE(a.Close());
    }
    EXPECT_GT(fs::file_size(tmp.HostPath("big.lzh")), kBig);
    CLzhArchive a;
    ASSERT_TRUE(a.Open(L"\\big.lzh", false));
    ASSERT_EQ(a.GetEntryCount(), 1);
    EXPECT_EQ(a.GetEntry(0).unpackedSize, kBig);
    EXPECT_EQ(a.GetRow(0).unpacked, kBig);
    EXPECT_STREQ(a.GetEntry(0).method, L"-lh0-");
    a.testMode = true;
    EXPECT_TRUE(a.ExtractEntry(0)) << a.status;
    a.testMode = false;
    std::wcscpy(a.destFolder, L"\\out");
    EXPECT_TRUE(a.ExtractEntry(0)) << a.status;
    EXPECT_EQ(fs::file_size(tmp.HostPath("out/big.bin")), kBig);
}
