// Extract here under a scripted user: where each archive goes (a folder named after it, or
// beside it when it holds one item), the destination dialog answered by the program, the
// messages naming the archive when there are several, the exit status, Cancel and Stop, and the
// Extract all dialog's folder left as it was.
#include "app/ExtractHere.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ZipBuilder.h"

#include <chrono>
#include <filesystem>

using namespace testsupport;

namespace
{

using Texts = std::vector<std::wstring>;

class ExtractHere : public AppFixture
{
protected:
    int Run(const std::vector<std::string>& relative)
    {
        std::vector<std::string> hosts;
        for (const std::string& r : relative) {
            hosts.push_back(folder.HostPath(r));
        }
        CExtractHere run(*app);
        return run.Run(hosts);
    }
    std::wstring Host(const std::string& relative) const
    {
        return platform::Utf8ToWide(folder.HostPath(relative));
    }
};

} // namespace

TEST(TopLevelName, IsTheFirstComponentOfFoldersAndName)
{
    EXPECT_EQ(TopLevelName(L"", L"a.txt"), L"a.txt");
    EXPECT_EQ(TopLevelName(L"dir\\sub\\", L"a.txt"), L"dir");
    EXPECT_EQ(TopLevelName(L"dir/", L""), L"dir");
    EXPECT_EQ(TopLevelName(L"\\.\\dir\\", L"a.txt"), L"dir");
    EXPECT_EQ(TopLevelName(L"./", L"a.txt"), L"a.txt");
    EXPECT_EQ(TopLevelName(L"..\\", L"a.txt"), L"");
    EXPECT_EQ(TopLevelName(L"", L""), L"");
}

TEST_F(ExtractHere, EachArchiveGoesIntoAFolderNamedAfterIt)
{
    MakeLzh(L"\\in\\書庫.lzh", {{"a.txt", "a"}, {"dir/b.txt", "b"}});
    WriteFile("zips/z.zip", BuildZip({StoredMember("x.txt", "x"), StoredMember("y.txt", "y")}));
    EXPECT_EQ(Run({"in/書庫.lzh", "zips/z.zip"}), 0);
    EXPECT_EQ(ReadFile("in/書庫/a.txt"), "a");
    EXPECT_EQ(ReadFile("in/書庫/dir/b.txt"), "b");
    EXPECT_EQ(ReadFile("zips/z/x.txt"), "x");
    EXPECT_EQ(ReadFile("zips/z/y.txt"), "y");
    // No dialog but the progress; each summary names its archive.
    EXPECT_EQ(ui.dialogsShown, (std::vector<int>{IDD_PROGRESS, IDD_PROGRESS}));
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{std::wstring(res::kExtractDone) + L"\n[" + Host("in/書庫.lzh") + L"]",
                     std::wstring(res::kExtractDone) + L"\n[" + Host("zips/z.zip") + L"]"}));
}

TEST_F(ExtractHere, OneFolderOrOneFileGoesBesideTheArchive)
{
    MakeLzh(L"\\one\\folder.lzh", {{"dir/", ""}, {"dir/a.txt", "a"}, {"dir/sub/b.txt", "b"}});
    WriteFile("one/file.zip", BuildZip({StoredMember("only.txt", "o")}));
    EXPECT_EQ(Run({"one/folder.lzh", "one/file.zip"}), 0);
    EXPECT_EQ(ReadFile("one/dir/a.txt"), "a");
    EXPECT_EQ(ReadFile("one/dir/sub/b.txt"), "b");
    EXPECT_EQ(ReadFile("one/only.txt"), "o");
    EXPECT_FALSE(Exists("one/folder"));
    EXPECT_FALSE(Exists("one/file"));
}

TEST_F(ExtractHere, OneArchiveAloneHasExtractAllsMessages)
{
    WriteFile("z.zip", BuildZip({StoredMember("x.txt", "x")}));
    EXPECT_EQ(Run({"z.zip"}), 0);
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kExtractDone});
}

TEST_F(ExtractHere, AFileOfTheArchivesOwnNameGoesIntoAFolder)
{
    WriteFile("same/x.zip", BuildZip({StoredMember("x.zip", "inner")}));
    EXPECT_EQ(Run({"same/x.zip"}), 0);
    EXPECT_EQ(ReadFile("same/x/x.zip"), "inner");
}

TEST_F(ExtractHere, AnArchiveThatCannotBeOpenedIsNamedAndTheOthersGoOn)
{
    WriteFile("z.zip", BuildZip({StoredMember("x.txt", "x")}));
    EXPECT_EQ(Run({"missing.lzh", "z.zip"}), 1);
    EXPECT_EQ(ReadFile("x.txt"), "x"); // its one item, beside it
    ASSERT_EQ(ui.MessageTexts().size(), 2u);
    EXPECT_EQ(ui.MessageTexts()[0],
              FormatText(res::kCannotOpenArchiveNamed, Host("missing.lzh").c_str()) + L"\n[" +
                  Host("missing.lzh") + L"]");
}

TEST_F(ExtractHere, ADamagedArchiveEndsWithFailure)
{
    MakeLzh(L"\\whole.lzh", {{"a.txt", "aaaa"}, {"b.txt", "bbbb"}});
    std::string bytes = ReadFile("whole.lzh");
    WriteFile("cut.lzh", bytes.substr(0, bytes.size() - 10));
    EXPECT_EQ(Run({"cut.lzh"}), 1);
}

TEST_F(ExtractHere, AFileThatIsNoArchiveIsSaidToBeSo)
{
    WriteFile("text.lzh", "plain text, no headers\n");
    EXPECT_EQ(Run({"text.lzh"}), 1);
    EXPECT_EQ(ui.MessageTexts(), Texts{FormatText(res::kNotAnArchive, Host("text.lzh").c_str())});
    EXPECT_EQ(ui.dialogsShown, std::vector<int>{});
    EXPECT_FALSE(Exists("text"));
}

TEST_F(ExtractHere, CancelEndsTheRun)
{
    MakeLzh(L"\\a.lzh", {{"a1.txt", "1"}, {"a2.txt", "2"}});
    MakeLzh(L"\\b.lzh", {{"b1.txt", "1"}, {"b2.txt", "2"}});
    ui.cancelAtText = 1; // Cancel as the first member shows
    EXPECT_EQ(Run({"a.lzh", "b.lzh"}), 1);
    EXPECT_FALSE(Exists("b"));
    EXPECT_EQ(ui.dialogsShown, (std::vector<int>{IDD_PROGRESS}));
}

TEST_F(ExtractHere, StopBeforeTheRunBeginsNoArchive)
{
    MakeLzh(L"\\a.lzh", {{"a1.txt", "1"}, {"a2.txt", "2"}});
    CExtractHere run(*app);
    run.Stop();
    EXPECT_EQ(run.Run({folder.HostPath("a.lzh")}), 1);
    EXPECT_FALSE(Exists("a"));
}

TEST_F(ExtractHere, TheExtractAllDialogsFolderStaysAsItWas)
{
    WriteFile("settings/Tavrel.ini", "[LastFolder]\nExtract=\\\\kept\\\\\n");
    WriteFile("z.zip", BuildZip({StoredMember("x.txt", "x")}));
    EXPECT_EQ(Run({"z.zip"}), 0);
    EXPECT_NE(ReadFile("settings/Tavrel.ini").find("Extract=\\\\kept\\\\\n"), std::string::npos)
        << ReadFile("settings/Tavrel.ini");
}

// Beside the archive no file of the user's goes unasked, older or not; Cancel at that
// question ends the whole run.
TEST_F(ExtractHere, AnExistingFileGoesOnlyWithAnAnswerAndCancelEndsTheRun)
{
    WriteFile("z.zip", BuildZip({StoredMember("report.txt", "the archive's")}));
    WriteFile("report.txt", "the user's older text");
    ASSERT_TRUE(std::filesystem::exists(folder.HostPath("report.txt")));
    std::filesystem::last_write_time(folder.HostPath("report.txt"),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(24 * 3650));
    MakeLzh(L"\\b.lzh", {{"b1.txt", "1"}, {"b2.txt", "2"}});
    ui.yesNoAnswers = {IDCANCEL};
    EXPECT_EQ(Run({"z.zip", "b.lzh"}), 1);
    EXPECT_EQ(ReadFile("report.txt"), "the user's older text");
    ASSERT_FALSE(ui.MessageTexts().empty());
    EXPECT_EQ(ui.MessageTexts()[0].rfind(L"既に[report.txt]が存在します。", 0), 0u);
    EXPECT_FALSE(Exists("b"));
}
