// Large members tell the prompt how far they are, in both formats, and stop when it asks:
// the member fails as cancelled, and nothing of its output file stays.
#include "lzh/LzhArchive.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <filesystem>

using namespace testsupport;

namespace
{

// Stops once `stopAt` bytes of the member are done (never when 0); records what it heard.
class StoppingPrompt final : public CArchivePrompt
{
public:
    bool ReportProgress(uint64_t done, uint64_t total) override
    {
        ++calls;
        lastDone = done;
        lastTotal = total;
        return stopAt == 0 || done < stopAt;
    }
    uint64_t stopAt = 0;
    int calls = 0;
    uint64_t lastDone = 0, lastTotal = 0;
};

std::string Text(size_t size)
{
    std::string s;
    for (int i = 0; s.size() < size; ++i) {
        s += "line " + std::to_string(i * 7919 % 100003) + " of a member that takes a while\n";
    }
    return s.substr(0, size);
}

constexpr size_t kSize = 6 << 20;

} // namespace

TEST(Progress, LzhMembersReportAndStop)
{
    TempFolder tmp;
    std::filesystem::create_directories(tmp.HostPath("src"));
    tmp.WriteHostFile("src/big.txt", Text(kSize));
    for (bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "stored" : "compressed");
        std::filesystem::remove(tmp.HostPath("a.lzh"));
        CLzhArchive a;
        ASSERT_TRUE(a.Open(L"\\a.lzh", true));
        a.storeOnly = stored;
        std::wcscpy(a.destFolder, L"\\src\\");
        ASSERT_TRUE(a.AddFile(L"big.txt"));
        ASSERT_TRUE(a.Close());
        ASSERT_TRUE(a.Open(L"\\a.lzh", false));
        StoppingPrompt prompt;
        a.SetPrompt(&prompt);
        a.testMode = true;
        EXPECT_TRUE(a.ExtractEntry(0));
        EXPECT_GT(prompt.calls, 3);
        EXPECT_EQ(prompt.lastDone, kSize);
        EXPECT_EQ(prompt.lastTotal, kSize);
        prompt.stopAt = kSize / 3;
        EXPECT_FALSE(a.ExtractEntry(0));
        EXPECT_EQ(a.status, kLzhCancelled);
        a.testMode = false;
        std::wcscpy(a.destFolder, L"\\out");
        EXPECT_FALSE(a.ExtractEntry(0));
        EXPECT_EQ(a.status, kLzhCancelled);
        EXPECT_LT(prompt.lastDone, kSize);
        EXPECT_FALSE(std::filesystem::exists(tmp.HostPath("out/big.txt")));
        a.Close();
    }
}

TEST(Progress, ZipMembersReportAndStop)
{
    TempFolder tmp;
    tmp.WriteHostFile("a.zip", BuildZip({StoredMember("big.txt", Text(kSize)),
                                         DeflatedMember("deflated.txt", Text(kSize))}));
    CZipArchive z;
    StoppingPrompt prompt;
    z.SetPrompt(&prompt);
    ASSERT_TRUE(z.Open(L"\\a.zip"));
    std::wcscpy(z.destFolder, L"\\out");
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        prompt.stopAt = 0;
        z.testMode = true;
        EXPECT_TRUE(z.ExtractEntry(i)) << z.status;
        EXPECT_EQ(prompt.lastDone, kSize);
        prompt.stopAt = kSize / 3;
        z.testMode = false;
        EXPECT_FALSE(z.ExtractEntry(i));
        EXPECT_EQ(z.status, kZipCancelled);
        EXPECT_FALSE(
            std::filesystem::exists(tmp.HostPath(i == 0 ? "out/big.txt" : "out/deflated.txt")));
    }
}
