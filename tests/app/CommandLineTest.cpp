// The typed command line: tokens, the wildcard match, the typed texts of the command table
// on real archives, switches that last, limits, and the history.
#include "app/CommandLine.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"

#include <algorithm>
#include <chrono>
#include <filesystem>

using namespace testsupport;

namespace
{

using Texts = std::vector<std::wstring>;

Texts Tokens(const std::wstring& text)
{
    Texts tokens;
    EXPECT_TRUE(TokenizeCommand(text, tokens));
    return tokens;
}

// Relative device paths are taken from the device root, as on the device (it has no
// current folder): the tests run in the root's host folder.
class CommandLine : public AppFixture
{
protected:
    void SetUp() override
    {
        m_saved = std::filesystem::current_path();
        std::filesystem::current_path(folder.Host());
        MakeLzh(L"\\a.lzh", {{"readme", "r"},
                             {"doc/a.txt", "a"},
                             {"doc/b.doc", "b"},
                             {"doc/sub/c.txt", "c"},
                             {"top.txt", "t"}});
        Start(L"\\a.lzh");
        WriteFile("in/x.txt", std::string(4000, 'x'));
        WriteFile("in/y.doc", std::string(4000, 'y'));
        WriteFile("in/deep/z.txt", std::string(4000, 'z'));
    }
    void TearDown() override { std::filesystem::current_path(m_saved); }

    bool Typed(const std::wstring& text)
    {
        ui.messages.clear();
        return doc->RunCommandLine(text);
    }
    Texts Members()
    {
        Texts paths;
        for (int i = 0; i < doc->m_pLzh->GetEntryCount(); ++i) {
            paths.push_back(MemberPath(doc->m_pLzh->GetEntry(i)));
        }
        return paths;
    }
    std::wstring Method(const std::wstring& path)
    {
        for (int i = 0; i < doc->m_pLzh->GetEntryCount(); ++i) {
            if (MemberPath(doc->m_pLzh->GetEntry(i)) == path) {
                return doc->m_pLzh->GetEntry(i).method;
            }
        }
        return L"(missing)";
    }
    // Host files below a folder of the root, sorted.
    std::vector<std::string> Files(const std::string& relative)
    {
        std::vector<std::string> files;
        if (!Exists(relative)) {
            return files;
        }
        for (const auto& e :
             std::filesystem::recursive_directory_iterator(folder.HostPath(relative))) {
            if (e.is_regular_file()) {
                files.push_back(std::filesystem::relative(e.path(), folder.HostPath(relative)));
            }
        }
        std::sort(files.begin(), files.end());
        return files;
    }

private:
    std::filesystem::path m_saved;
};

} // namespace

TEST(CommandTokens, QuotesAndSpaces)
{
    EXPECT_EQ(Tokens(L"e \"my file.txt\""), (Texts{L"e", L"my file.txt"}));
    EXPECT_EQ(Tokens(L"  e   -x1  "), (Texts{L"e", L"-x1"}));
    // A quote that opens inside a token stays in it and the token runs to the closing quote.
    EXPECT_EQ(Tokens(L"e ab\"c d\" f"), (Texts{L"e", L"ab\"c d", L"f"}));
    // Empty quotes give no token; a quote right after a token ends nothing.
    EXPECT_EQ(Tokens(L"e \"\" x"), (Texts{L"e", L"x"}));
    EXPECT_EQ(Tokens(L"\"unclosed text"), (Texts{L"unclosed text"}));
    std::wstring many;
    for (int i = 0; i < 101; ++i) {
        many += L"t ";
    }
    Texts tokens;
    EXPECT_FALSE(TokenizeCommand(many, tokens));
}

TEST_F(CommandLine, TheTableOfTypedTexts)
{
    EXPECT_FALSE(Typed(L"e"));
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kInvalidCommand});
    EXPECT_FALSE(Typed(L"e -r"));
    EXPECT_FALSE(Typed(L"a -o x.txt"));
    EXPECT_FALSE(Typed(L"e -A *"));
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kInvalidCommand});

    std::wcscpy(doc->m_pLzh->destFolder, L"\\out1\\");
    EXPECT_TRUE(Typed(L"e *"));
    EXPECT_EQ(Files("out1"),
              (std::vector<std::string>{"a.txt", "b.doc", "c.txt", "readme", "top.txt"}));
    std::wcscpy(doc->m_pLzh->destFolder, L"\\out2\\");
    EXPECT_TRUE(Typed(L"*.txt e"));
    EXPECT_EQ(Files("out2"), (std::vector<std::string>{"a.txt", "c.txt", "top.txt"}));
    EXPECT_TRUE(Typed(L"e -r2 readme. \\out3\\"));
    EXPECT_EQ(Files("out3"), std::vector<std::string>{"readme"});
    EXPECT_TRUE(ui.messages.empty());

    // Adding: a name typed before "a" is kept as it is and found nowhere.
    doc->m_commandLine.typed.destFolder.reset(); // "e ... \\out3\\" set one for later commands
    doc->m_pLzh->destFolder[0] = 0;
    EXPECT_TRUE(Typed(L"in\\*.txt a"));
    EXPECT_EQ(Members().size(), 5u);
    EXPECT_TRUE(Typed(L"a -o4 in\\x.txt")); // stored without its folder: -x0 is in force
    EXPECT_EQ(Method(L"x.txt"), L"-lh7-");
    EXPECT_TRUE(Typed(L"a -ztxt \\in\\x.txt \\in\\y.doc"));
    EXPECT_EQ(Method(L"x.txt"), L"-lh0-");
    EXPECT_EQ(Method(L"y.doc"), L"-lh7-"); // -o4 of the command before still holds
    EXPECT_FALSE(doc->m_pLzh->storeOnly);
    EXPECT_TRUE(Typed(L"a -o3 in\\*.txt")); // every file the search finds: x.txt
    EXPECT_EQ(Members().size(), 7u);
    EXPECT_EQ(Method(L"x.txt"), L"-lh6-");
    EXPECT_TRUE(Typed(L"a in\\nothing*.txt"));
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kPathNotFound});

    // A delete that names nothing is refused; "*" names every member.
    ui.messages.clear();
    EXPECT_TRUE(Typed(L"d -x1"));
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kNothingNamedToDelete});
    EXPECT_EQ(Members().size(), 7u);
    EXPECT_TRUE(Typed(L"d *"));
    EXPECT_TRUE(Members().empty());
}

TEST_F(CommandLine, FoldersRecursionAndFullPathMatching)
{
    EXPECT_TRUE(Typed(L"a -d1 in"));
    Texts members = Members();
    EXPECT_NE(std::find(members.begin(), members.end(), L"in"), members.end());
    EXPECT_NE(std::find(members.begin(), members.end(), L"in\\deep\\z.txt"), members.end());
    EXPECT_EQ(doc->m_commandLine.typed.keepFolders, true);
    // The folder and recursion switches last until changed.
    EXPECT_TRUE(doc->m_commandLine.recurse);
    // Full-path matching: "?" takes one character, so doc\sub\c.txt does not match.
    EXPECT_TRUE(Typed(L"d -p1 doc\\?.txt"));
    members = Members();
    EXPECT_EQ(std::count(members.begin(), members.end(), L"doc\\a.txt"), 0);
    EXPECT_EQ(std::count(members.begin(), members.end(), L"doc\\sub\\c.txt"), 1);
    EXPECT_EQ(std::count(members.begin(), members.end(), L"top.txt"), 1);
    EXPECT_TRUE(Typed(L"d -p0 c.txt"));
    members = Members();
    EXPECT_EQ(std::count(members.begin(), members.end(), L"doc\\sub\\c.txt"), 0);
}

TEST_F(CommandLine, SwitchesLastForLaterTypedCommandsOnly)
{
    doc->m_pLzh->keepFolders = false;
    doc->m_pLzh->overwriteSilently = false;
    EXPECT_TRUE(Typed(L"x -a0 -m1 doc\\a.txt \\o\\"));
    EXPECT_EQ(ReadFile("o/doc/a.txt"), "a");
    // The archive object is as the settings left it, for the menu's commands.
    EXPECT_FALSE(doc->m_pLzh->keepFolders);
    EXPECT_FALSE(doc->m_pLzh->overwriteSilently);
    EXPECT_FALSE(doc->m_pLzh->skipHidden);
    EXPECT_EQ(std::wstring(doc->m_pLzh->destFolder), L"");
    // A later typed command keeps them: the folder, the folders kept, the silent overwrite.
    WriteFile("o/doc/c.txt", "the user's");
    EXPECT_TRUE(Typed(L"e c.txt"));
    EXPECT_EQ(ReadFile("o/doc/sub/c.txt"), "c");
    // "u" updates whatever "a" set before: a file that is not newer than its member is
    // skipped.
    WriteFile("src/top.txt", "newer");
    EXPECT_TRUE(Typed(L"a \\src\\ top.txt"));
    int before = doc->m_pLzh->GetEntryCount();
    std::filesystem::last_write_time(folder.HostPath("src/top.txt"),
                                     std::filesystem::file_time_type::clock::now() -
                                         std::chrono::hours(24 * 365 * 10));
    EXPECT_TRUE(Typed(L"u \\src\\ top.txt"));
    EXPECT_EQ(doc->m_pLzh->GetEntryCount(), before);
    EXPECT_EQ(doc->m_commandLine.typed.addMode, false);
}

TEST_F(CommandLine, LimitsRefuseTheWholeCommand)
{
    std::wstring manyNames = L"d";
    for (int i = 0; i < 101; ++i) {
        manyNames += L" n" + std::to_wstring(i);
    }
    EXPECT_FALSE(Typed(manyNames));
    std::wstring manyPatterns = L"a";
    for (int i = 0; i < 65; ++i) {
        manyPatterns += L" -zx" + std::to_wstring(i);
    }
    manyPatterns += L" in\\x.txt";
    EXPECT_FALSE(Typed(manyPatterns));
    EXPECT_FALSE(Typed(L"e " + std::wstring(300, L'f') + L"\\"));
    EXPECT_EQ(Members().size(), 5u); // nothing ran
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kInvalidCommand});
}

TEST_F(CommandLine, HistoryKeepsThreeNewestFirst)
{
    doc->m_commandLine.report = nullptr;
    for (const wchar_t* text : {L"e one", L"e two", L"e three", L"e two", L"bad"}) {
        Typed(text);
    }
    EXPECT_EQ(app->m_strCommandHistory[0], L"bad"); // invalid commands are recorded too
    EXPECT_EQ(app->m_strCommandHistory[1], L"e three");
    EXPECT_EQ(app->m_strCommandHistory[2], L"e two");
    // Through the dialog, which lists the history.
    ui.dialogAnswers[IDD_COMMAND_LINE] = {[](CDialog& d) {
        d.OnComboDropDown(IDC_COMMAND);
        EXPECT_EQ(d.ComboItems(IDC_COMMAND).size(), 3u);
        d.SetControlText(IDC_COMMAND, L"e three");
        return IDOK;
    }};
    doc->OnArchiveCommandLine();
    EXPECT_EQ(app->m_strCommandHistory[0], L"bad");
}

TEST_F(CommandLine, AFolderLinkLoopEndsTheSearch)
{
    // A link back to its own folder: the recursive search must end (links are not followed
    // as folders, and no path is searched beyond what a member can store).
    std::filesystem::create_directories(folder.HostPath("loop"));
    WriteFile("loop/f.txt", "f");
    std::filesystem::create_directory_symlink(".", folder.HostPath("loop/self"));
    doc->m_pLzh->destFolder[0] = 0;
    EXPECT_TRUE(Typed(L"a -r2 loop\\*"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_LE(Members().size(), 7u);
}

// Each folder is searched where it is found, and the list of files has no limit.
TEST_F(CommandLine, FoldersAreSearchedInTurnAndAnyNumberOfFilesIsAdded)
{
    CCommandLineProcessor& p = doc->m_commandLine;
    p.search = [](const std::wstring& pattern,
                  const std::function<void(const std::wstring&, bool)>& found) {
        if (pattern == L"tree") {
            found(L"tree", true);
        } else if (pattern == L"tree\\*") {
            found(L"a.txt", false);
            found(L"sub", true);
            found(L"c.txt", false);
        } else if (pattern == L"tree\\sub\\*") {
            found(L"b.txt", false);
        } else {
            return false;
        }
        return true;
    };
    CLzhArchive scratch;
    ASSERT_EQ(p.Interpret({L"a", L"-r2", L"tree"}), kCommandAdd);
    EXPECT_EQ(p.fileList, (Texts{L"tree\\a.txt", L"tree\\sub\\b.txt", L"tree\\c.txt"}));
    p.fileList.clear();
    p.recurse = false;
    p.search = SearchDeviceFiles;

    for (int i = 0; i < 3000; ++i) {
        WriteFile("many/f" + std::to_string(i) + ".txt", std::to_string(i));
    }
    EXPECT_TRUE(Typed(L"a -o0 -z many\\*"));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(Members().size(), 5u + 3000u);
}

// The command line takes host paths: '/' between folders, absolute ones from the host's root
// (here, the test's device root); only '-' starts a switch.
TEST_F(CommandLine, HostPathsAreTyped)
{
    std::wstring host = platform::Utf8ToWide(folder.HostPath("in/x.txt"));
    EXPECT_TRUE(Typed(L"a -o0 " + host));
    ASSERT_EQ(Members().size(), 6u);
    EXPECT_EQ(Members().back(), L"x.txt");
    std::wstring out = platform::Utf8ToWide(folder.HostPath("out")) + L"/";
    EXPECT_TRUE(Typed(L"e " + out + L" top.txt"));
    EXPECT_EQ(ReadFile("out/top.txt"), "t");
    EXPECT_TRUE(Typed(L"e in/deep/ top.txt")); // relative, from the current folder
    EXPECT_EQ(ReadFile("in/deep/top.txt"), "t");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(CommandLine, OnlyTheFirstCommandLetterIsACommand)
{
    // Members named like command letters: every word after the command is a name.
    MakeLzh(L"\\l.lzh", {{"d", "dee"}, {"x", "ex"}, {"e", "ee"}, {"k.txt", "k"}});
    doc->CloseArchive();
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\l.lzh"));
    WriteFile("x", "new x");
    WriteFile("u", "new u");
    struct Case
    {
        const wchar_t* typed;
        Texts members;       // what the archive lists afterwards
        const char* written; // the file extracted into out/, or ""
    } cases[] = {
        {L"e -x0 out\\ d", {L"d", L"e", L"k.txt", L"x"}, "d"},
        {L"e out\\ x", {L"d", L"e", L"k.txt", L"x"}, "x"},
        {L"d x", {L"d", L"e", L"k.txt"}, ""},
        {L"d e", {L"d", L"k.txt"}, ""},
        {L"a x u", {L"d", L"k.txt", L"u", L"x"}, ""},
        {L"d d", {L"k.txt", L"u", L"x"}, ""},
    };
    doc->m_pLzh->keepFolders = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(platform::WideToUtf8(c.typed));
        std::filesystem::remove_all(folder.HostPath("out"));
        doc->m_commandLine.typed.destFolder.reset();
        EXPECT_TRUE(Typed(c.typed));
        EXPECT_EQ(ui.MessageTexts(), Texts{});
        Texts members = Members();
        std::sort(members.begin(), members.end());
        EXPECT_EQ(members, c.members);
        std::vector<std::string> expected;
        if (*c.written != 0) {
            expected.push_back(c.written);
        }
        EXPECT_EQ(Files("out"), expected);
    }
    // A change that names nothing does nothing and says so.
    EXPECT_TRUE(Typed(L"a -x1"));
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kNothingNamedToAdd});
    EXPECT_EQ(Members().size(), 3u);
    EXPECT_GT(doc->m_nLastFailed, 0);
}
