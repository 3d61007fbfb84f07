// The settings: defaults on an empty store, what is written when, and the overwrite policy.
#include "app/Dialogs.h"
#include "framework/IniText.h"
#include "framework/Profile.h"
#include "framework/PropertySheet.h"
#include "platform/DevicePath.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"

#include <filesystem>

using namespace testsupport;

namespace
{

class Settings : public AppFixture
{};

} // namespace

TEST_F(Settings, DefaultsOnAnEmptyStore)
{
    Start();
    EXPECT_EQ(app->m_nShowColumn[1] + app->m_nShowColumn[2] + app->m_nShowColumn[3] +
                  app->m_nShowColumn[4] + app->m_nShowColumn[5] + app->m_nShowColumn[8],
              6);
    EXPECT_EQ(app->m_nShowColumn[6] + app->m_nShowColumn[7], 0);
    EXPECT_EQ(app->m_nLhaMethod, 2);
    EXPECT_EQ(app->m_nLhaAction, 0);
    EXPECT_EQ(app->m_nOverwriteInquire, 1);
    EXPECT_EQ(app->m_nCreateFolder, 1);
    EXPECT_EQ(app->m_nUseFolder, 1);
    EXPECT_EQ(app->m_nStartupFolderType, 1);
    EXPECT_EQ(app->m_nExtractFolderType, 1);
    EXPECT_EQ(app->m_strLastFolderStartup, res::kMyDocuments);
    EXPECT_EQ(app->m_strLastFolderExtract, res::kMyDocuments);
    EXPECT_EQ(app->m_strLastFolderAdd, res::kMyDocuments);
    EXPECT_TRUE(doc->m_pLzh->askOnlyIfNewer);
    EXPECT_FALSE(doc->m_pLzh->overwriteSilently);
    EXPECT_FALSE(doc->m_pZip->skipIfNotOlder);
}

TEST_F(Settings, LastFoldersAreWrittenAtOnceAndTheHistoryAtExit)
{
    Start();
    ui.fileAnswers = {L"\\d\\x.lzh"};
    doc->OnFileOpenArchive();
    app->m_strCommandHistory[0] = L"x -x1 *.txt";
    app->m_strCommandHistory[2] = L"d old";
    std::string file = ReadFile("settings/Tavrel.ini");
    EXPECT_NE(file.find("Startup="), std::string::npos);
    EXPECT_EQ(file.find("CommandLine1="), std::string::npos); // not before exit
    Restart();
    EXPECT_EQ(app->m_strLastFolderStartup, L"\\d\\");
    EXPECT_EQ(app->m_strCommandHistory[0], L"x -x1 *.txt");
    EXPECT_EQ(app->m_strCommandHistory[1], L"");
    EXPECT_EQ(app->m_strCommandHistory[2], L"d old");
    // Values the program does not write come from the file when someone put them there.
    app->WriteProfileInt(L"Option", L"ShowCrc", 1);
    app->WriteProfileString(L"Option", L"ExtractFolder", L"\\$HOME\\x");
    Restart();
    EXPECT_EQ(app->m_nShowColumn[6], 1);
    EXPECT_EQ(app->m_strExtractFolder, L"\\$HOME\\x");
}

// Two programs with the same settings file, each writing its values in turn: neither reverts
// the other's, the command history written at exit included.
TEST_F(Settings, TwoProgramsWritingInTurnKeepEachOthersValues)
{
    Start();
    CProfileStore other;
    other.SetFile(app->Profile().File());
    app->WriteProfileString(L"LastFolder", L"Extract", L"\\first\\");
    other.WriteString(L"LastFolder", L"Startup", L"\\second\\");
    app->WriteProfileInt(L"Option", L"ShowCrc", 1);
    other.WriteInt(L"Option", L"LhaMethod", 3);
    app->m_strCommandHistory[0] = L"e *";
    // The settings sheet writes what it changed (lower case), not what it only showed.
    other.WriteInt(L"Option", L"CreateFolder", 0);
    ui.sheetAnswers = {[](CPropertySheet& sheet) {
        sheet.m_pages[1]->SetControlInt(1004, 1);
        return IDOK;
    }};
    doc->OnOptionSettings();
    Restart(); // the history goes to the file at exit, into what the other program wrote
    EXPECT_EQ(app->m_strLastFolderExtract, L"\\first\\");
    EXPECT_EQ(app->m_strLastFolderStartup, L"\\second\\");
    EXPECT_EQ(app->m_nShowColumn[6], 1);
    EXPECT_EQ(app->m_nLhaMethod, 3);
    EXPECT_EQ(app->m_strCommandHistory[0], L"e *");
    EXPECT_EQ(app->m_nToLowercase, 1);
    EXPECT_EQ(app->m_nCreateFolder, 0);
}

TEST_F(Settings, OverwriteInquireSetsBothArchiveObjects)
{
    Start();
    for (int value : {0, 1, 2, 5}) {
        app->m_nOverwriteInquire = value;
        doc->m_pLzh->askOnlyIfNewer = doc->m_pZip->askOnlyIfNewer = true;
        doc->ApplyOverwriteInquire();
        EXPECT_EQ(doc->m_pLzh->overwriteSilently, value == 2) << value;
        EXPECT_EQ(doc->m_pZip->overwriteSilently, value == 2) << value;
        EXPECT_EQ(doc->m_pLzh->askOnlyIfNewer, value == 1 || value == 2) << value;
        EXPECT_EQ(doc->m_pZip->askOnlyIfNewer, value == 1 || value == 2) << value;
    }
}

TEST_F(Settings, StartFoldersAndDestinationsByType)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}});
    Start(L"\\a.lzh");
    app->m_nStartupFolderType = 2; // a named folder, empty
    ui.yesNoAnswers = {IDNO};
    doc->OnNewDocument(); // the pending first run
    ui.yesNoAnswers = {IDYES};
    doc->OnNewDocument();
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].initialFolder, L"");
    const std::pair<int, std::wstring> destinations[] = {
        {0, res::kMyDocuments}, {2, res::kDesktop}, {3, L"\\mine"}, {7, res::kMyDocuments}};
    app->m_strExtractFolder = L"\\mine";
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\a.lzh"));
    for (const auto& [type, expected] : destinations) {
        app->m_nExtractFolderType = type;
        std::wstring shown;
        ui.dialogAnswers[IDD_EXTRACT_DEST] = {[&](CDialog& d) {
            shown = d.GetControlText(IDC_TEXT);
            return IDCANCEL;
        }};
        doc->OnExtractAll();
        EXPECT_EQ(shown, platform::DisplayPath(expected)) << type; // a host path
    }
}

TEST(Dialogs, CommandHistoryListAndPrompts)
{
    testsupport::TempFolder folder;
    CScriptedBackend ui;
    AfxSetBackend(&ui);
    std::wstring history[3] = {L"", L"e -x1 *.txt", L""};
    CCommandLineDlg commandLine;
    commandLine.m_pHistory = history;
    commandLine.OnComboDropDown(IDC_COMMAND);
    commandLine.OnComboDropDown(IDC_COMMAND);
    EXPECT_EQ(commandLine.ComboItems(IDC_COMMAND), std::vector<std::wstring>{L"e -x1 *.txt"});

    CUserPrompt prompt;
    wchar_t buffer[kPasswordCapacity] = L"kept";
    EXPECT_FALSE(prompt.AskPassword(L"member", false, buffer)); // cancelled: unchanged
    EXPECT_EQ(std::wstring(buffer), L"kept");
    ui.dialogAnswers[IDD_PASSWORD] = {[](CDialog& d) {
        d.SetControlText(IDC_TEXT, std::wstring(100, L'p'));
        return IDOK;
    }};
    EXPECT_TRUE(prompt.AskPassword(L"member", false, buffer));
    EXPECT_EQ(std::wstring(buffer), std::wstring(63, L'p'));
    // An answer for all holds until the next run begins; Cancel stops the run.
    ui.yesNoAnswers = {IDNO, IDYES, IDNOANSWER, IDCANCEL, IDYESALL, IDNOALL};
    OverwriteQuestion question{L"a.txt", 1234, 0, 2, 0};
    const OverwriteAnswer expected[] = {OverwriteAnswer::No,           OverwriteAnswer::Yes,
                                        OverwriteAnswer::Unanswerable, OverwriteAnswer::Cancel,
                                        OverwriteAnswer::Yes,          OverwriteAnswer::Yes};
    for (OverwriteAnswer answer : expected) {
        EXPECT_EQ(prompt.AskOverwrite(question), answer);
    }
    prompt.BeginRun();
    EXPECT_EQ(prompt.AskOverwrite(question), OverwriteAnswer::No);
    EXPECT_EQ(prompt.AskOverwrite(question), OverwriteAnswer::No);
    EXPECT_EQ(ui.messages.size(), 6u);
    const std::wstring& text = ui.messages[0].text;
    EXPECT_EQ(
        text.rfind(L"既に[a.txt]が存在します。上書きしますか？\n\n既存のファイル: 2 バイト  ", 0),
        0u);
    EXPECT_NE(text.find(L"\n書庫のファイル: 1,234 バイト  "), std::wstring::npos);
    EXPECT_EQ(ui.messages[0].type & 0xF, MB_YESNO);
    EXPECT_NE(ui.messages[0].type & MB_YESNOALL, 0u);
    AfxSetBackend(nullptr);
}

TEST(PropertySheet, PagesExchangeTheirDataOnlyOnOk)
{
    CScriptedBackend ui;
    AfxSetBackend(&ui);
    struct Page : CPropertyPage
    {
        Page() : CPropertyPage(IDD_OPTION_VIEW) {}
        void DoDataExchange(CDataExchange* pDX) override { DDX_Check(pDX, 1006, showCrc); }
        bool showCrc = false;
    } page;
    CPropertySheet sheet(L"設定");
    sheet.AddPage(&page);
    ui.sheetAnswers = {[](CPropertySheet& s) {
                           s.m_pages[0]->SetControlInt(1006, 1);
                           return IDCANCEL;
                       },
                       [](CPropertySheet& s) {
                           EXPECT_EQ(s.m_pages[0]->GetControlInt(1006), 0); // members shown anew
                           s.m_pages[0]->SetControlInt(1006, 1);
                           return IDOK;
                       }};
    EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    EXPECT_FALSE(page.showCrc);
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_TRUE(page.showCrc);
    AfxSetBackend(nullptr);
}

TEST_F(Settings, TheSettingsSheetLoadsAndWritesBack)
{
    Start();
    app->m_nLhaMethod = 7; // out of range: no selection, stored back as -1
    std::vector<int> pages;
    ui.sheetAnswers = {[&](CPropertySheet& sheet) {
        for (CPropertyPage* page : sheet.m_pages) {
            pages.push_back(page->m_nIDTemplate);
        }
        EXPECT_EQ(sheet.m_caption, L"設定");
        CPropertyPage& columns = *sheet.m_pages[0];
        EXPECT_EQ(columns.GetControlInt(1008), 1); // パス shown by default
        EXPECT_EQ(columns.GetControlInt(1006), 0);
        columns.SetControlInt(1008, 0);            // hide the path column
        EXPECT_EQ(columns.GetControlInt(1029), 0); // names: 自動
        EXPECT_EQ(columns.ComboItems(1029),
                  (std::vector<std::wstring>{L"自動", L"シフトJIS", L"UTF-8"}));
        columns.SetControlInt(1029, 2); // UTF-8
        CPropertyPage& extract = *sheet.m_pages[1];
        EXPECT_EQ(extract.GetControlInt(1010), 0); // from the LZH object: always ask
        extract.SetControlInt(1010, 2);            // しない
        EXPECT_EQ(sheet.m_pages[3]->GetControlInt(1027), -1);
        EXPECT_EQ(sheet.m_pages[3]->ComboItems(1027).size(), 4u);
        sheet.m_pages[2]->SetControlText(1025, L"\\typed"); // kept but not used
        return IDOK;
    }};
    doc->m_pLzh->askOnlyIfNewer = false; // "しない" leaves it as it was
    app->RouteCommand(ID_OPTION_SETTINGS);
    EXPECT_EQ(pages, (std::vector<int>{IDD_OPTION_VIEW, IDD_OPTION_EXTRACT, IDD_OPTION_FOLDER,
                                       IDD_OPTION_COMPRESS}));
    EXPECT_EQ(view->GetListCtrl().GetColumnWidth(8), 0);
    EXPECT_TRUE(doc->m_pLzh->overwriteSilently);
    EXPECT_TRUE(doc->m_pZip->overwriteSilently);
    EXPECT_FALSE(doc->m_pLzh->askOnlyIfNewer);
    EXPECT_EQ(app->m_nLhaMethod, -1);
    EXPECT_EQ(app->m_strStartupFolder, L"\\typed");
    EXPECT_EQ(app->NameEncodingInForce(), NameEncoding::Utf8);
    Restart();
    EXPECT_EQ(app->m_nShowColumn[8], 0);
    EXPECT_EQ(app->m_nNameEncoding, 2);
    EXPECT_EQ(app->m_nOverwriteInquire, 2);
    EXPECT_EQ(app->m_nLhaMethod, -1);
    EXPECT_EQ(app->m_nStartupFolderType, 1);
    // Cancel changes nothing; "新しいファイルのみ" takes effect at once.
    ui.sheetAnswers = {[](CPropertySheet& s) {
                           s.m_pages[1]->SetControlInt(1010, 0);
                           return IDCANCEL;
                       },
                       [](CPropertySheet& s) {
                           s.m_pages[1]->SetControlInt(1010, 1);
                           return IDOK;
                       }};
    doc->OnOptionSettings();
    EXPECT_TRUE(doc->m_pLzh->overwriteSilently);
    doc->OnOptionSettings();
    EXPECT_FALSE(doc->m_pLzh->overwriteSilently);
    EXPECT_TRUE(doc->m_pZip->askOnlyIfNewer);
    EXPECT_EQ(app->m_nOverwriteInquire, 1);
}

// What stands at the settings file's name decides whether it is written: a link is written
// through (to the file it leads to), a file this user may not replace, one that is not text
// of settings, and a folder are left exactly as they are, and the user is told once. A run
// that changes nothing writes nothing, and no lock file is left beside it.
TEST_F(Settings, TheSettingsFileIsWrittenOnlyWhenItMayBeAndAValueChanged)
{
    namespace fs = std::filesystem;
    const std::string name = "settings/Tavrel.ini";
    struct Case
    {
        const char* what;
        void (*make)(TempFolder&);
        const wchar_t* told; // the message's start, or nothing
        bool written;
        int showCrc; // as read from the file
    } cases[] = {
        {"a link to the file",
         [](TempFolder& t) {
             t.WriteHostFile("real/kept.ini", "[Option]\nShowCrc=1\n");
             fs::create_symlink("../real/kept.ini", t.HostPath("settings/Tavrel.ini"));
         },
         nullptr, true, 1},
        {"a read-only file",
         [](TempFolder& t) {
             t.WriteHostFile("settings/Tavrel.ini", "[Option]\nShowCrc=1\n");
             fs::permissions(t.HostPath("settings/Tavrel.ini"), fs::perms::owner_read);
         },
         L"設定ファイルに書き込めないため", false, 1},
        {"a binary file",
         [](TempFolder& t) {
             t.WriteHostFile("settings/Tavrel.ini", std::string("\x7F"
                                                                "ELF\x02\x01\0\0junk",
                                                                12));
         },
         L"設定ファイルを読み込めないため", false, 0},
        {"text that is no settings",
         [](TempFolder& t) {
             t.WriteHostFile("settings/Tavrel.ini", "just a note\nof the user's\n");
         },
         L"設定ファイルを読み込めないため", false, 0},
        {"a folder",
         [](TempFolder& t) { fs::create_directories(t.HostPath("settings/Tavrel.ini")); },
         L"設定ファイルを読み込めないため", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(folder.HostPath("settings"));
        fs::remove_all(folder.HostPath("real"));
        fs::create_directories(folder.HostPath("settings"));
        c.make(folder);
        std::string target = fs::is_symlink(folder.HostPath(name))
                                 ? folder.HostPath("real/kept.ini")
                                 : folder.HostPath(name);
        std::string before = fs::is_regular_file(target) ? ReadHostFile(target) : "";
        ui.messages.clear();
        Restart();
        EXPECT_EQ(app->m_nShowColumn[6], c.showCrc);
        // Two changes: told at most once.
        app->WriteProfileString(L"LastFolder", L"Extract", L"\\changed\\");
        app->WriteProfileString(L"LastFolder", L"Add", L"\\changed too\\");
        size_t told = 0;
        for (const std::wstring& text : ui.MessageTexts()) {
            told += c.told != nullptr && text.rfind(c.told, 0) == 0 ? 1 : 0;
        }
        EXPECT_EQ(told, c.told != nullptr ? 1u : 0u);
        if (c.written) {
            EXPECT_TRUE(fs::is_symlink(folder.HostPath(name)));
            EXPECT_NE(ReadHostFile(target).find("Extract="), std::string::npos);
        } else if (fs::is_regular_file(target)) {
            EXPECT_EQ(ReadHostFile(target), before);
        } else {
            EXPECT_TRUE(fs::is_directory(target));
        }
        for (auto& e : fs::directory_iterator(folder.HostPath("settings"))) {
            EXPECT_EQ(e.path().filename().string().find(".lock"), std::string::npos);
        }
        fs::permissions(target, fs::perms::owner_all, fs::perm_options::add);
    }
    // A run that changes nothing leaves the file as it was, its time included.
    fs::remove_all(folder.HostPath("settings"));
    Restart();
    app->WriteProfileInt(L"Option", L"ShowCrc", 1);
    Restart();
    auto time = fs::last_write_time(folder.HostPath(name));
    std::string bytes = ReadFile(name);
    app->WriteProfileInt(L"Option", L"ShowCrc", 1);
    Restart(); // the history, unchanged, at exit
    EXPECT_EQ(fs::last_write_time(folder.HostPath(name)), time);
    EXPECT_EQ(ReadFile(name), bytes);
}

// Settings files written by earlier versions (through wxFileConfig) read the same, and a value
// written now is the line those versions wrote; every other line stays as it was.
TEST(SettingsFile, ReadsAndWritesTheEscapedFormOfEarlierVersions)
{
    const char* file = "\xEF\xBB\xBF"
                       "Top=root\n"
                       "[Sec]\n"
                       "lead=\" lead\"\n"
                       "trail=trail \n"
                       "quoted=\"\\\"q\\\"\"\n"
                       "inner=a\"b\n"
                       "escapes=back\\\\slash\\nnl\\ttab\\rcr\\qdropped\n"
                       "  spaced  =  value  \r\n"
                       "jp=日本語\n"
                       "twice=first\n"
                       "; a comment\n"
                       "twice=second\n"
                       "\n"
                       "[a\\ b]\n"
                       "key\\ with\\=sign=v\n"
                       "[Sec]\n"
                       "again=1\n";
    CIniText text;
    ASSERT_TRUE(text.Parse(file));
    const std::tuple<const wchar_t*, const wchar_t*, const wchar_t*> reads[] = {
        {L"Sec", L"lead", L" lead"},
        {L"Sec", L"trail", L"trail "},
        {L"Sec", L"quoted", L"\"q\""},
        {L"Sec", L"inner", L"a\"b"},
        {L"Sec", L"escapes", L"back\\slash\nnl\ttab\rcrdropped"},
        {L"Sec", L"spaced", L"value  "},
        {L"Sec", L"jp", L"日本語"},
        {L"Sec", L"twice", L"second"},
        {L"a b", L"key with=sign", L"v"},
        {L"Sec", L"again", L"1"},
    };
    for (const auto& [section, name, value] : reads) {
        EXPECT_EQ(text.Get(section, name), value) << name;
    }
    EXPECT_FALSE(text.Get(L"Sec", L"Top"));

    // As wxFileConfig writes them: a leading blank or quote quotes the value.
    const std::pair<const wchar_t*, const char*> writes[] = {
        {L"plain", "k=plain"},
        {L" lead", "k=\" lead\""},
        {L"trail ", "k=trail "},
        {L"\"q\"", "k=\"\\\"q\\\"\""},
        {L"a\"b", "k=a\"b"},
        {L"back\\slash", "k=back\\\\slash"},
        {L"nl\nx\ty\rz", "k=nl\\nx\\ty\\rz"},
        {L"日本語", "k=日本語"},
        {L"a;b#c=[x]$HOME%x%", "k=a;b#c=[x]$HOME%x%"},
        {L"", "k="},
    };
    for (const auto& [value, line] : writes) {
        CIniText one;
        ASSERT_TRUE(one.Parse("[S]\n"));
        EXPECT_TRUE(one.Set(L"S", L"k", value));
        EXPECT_EQ(one.Bytes(), std::string("[S]\n") + line + "\n");
        CIniText back;
        ASSERT_TRUE(back.Parse(one.Bytes()));
        EXPECT_EQ(back.Get(L"S", L"k"), value);
    }

    // A change rewrites its own line (the last of that name); a new entry follows the last
    // entry of the section's last header; a new section goes at the end.
    EXPECT_FALSE(text.Set(L"Sec", L"twice", L"second"));
    EXPECT_TRUE(text.Set(L"Sec", L"twice", L"third"));
    EXPECT_TRUE(text.Set(L"Sec", L"new", L"n"));
    EXPECT_TRUE(text.Set(L"a b", L"more", L"m"));
    EXPECT_TRUE(text.Set(L"New one", L"x", L"1"));
    std::string expected = std::string(file + 3);
    expected.replace(expected.find("twice=second"), 12, "twice=third");
    expected.replace(expected.find("  spaced  =  value  \r\n"), 22, "  spaced  =  value  \n");
    std::string entry = "key\\ with\\=sign=v\n";
    expected.insert(expected.find(entry) + entry.size(), "more=m\n");
    expected += "new=n\n[New\\ one]\nx=1\n";
    EXPECT_EQ(text.Bytes(), expected);

    // Not settings: left alone by the store.
    const std::string bad[] = {"k8\n", "[open\n", "k 8=x\n", "bad\x80utf8=x\n",
                               std::string("a=\0", 3)};
    for (const std::string& b : bad) {
        EXPECT_FALSE(CIniText().Parse(b)) << b;
    }
}

// Numbers are whole decimal numbers in the range of int; anything else reads as the default.
TEST_F(Settings, NumbersReadAsDecimalIntegersOrTheDefault)
{
    folder.WriteHostFile("settings/Tavrel.ini", "[Option]\nA= 12\nB=12 \nC=+5\nD=-3\nE=0x10\n"
                                                "F=99999999999\nG=\nH=1e3\n");
    CProfileStore store;
    store.SetFile(folder.HostPath("settings/Tavrel.ini"));
    const std::pair<const wchar_t*, int> numbers[] = {{L"A", 12}, {L"B", 12}, {L"C", 5},
                                                      {L"D", -3}, {L"E", 7},  {L"F", 7},
                                                      {L"G", 7},  {L"H", 7},  {L"missing", 7}};
    for (const auto& [name, value] : numbers) {
        EXPECT_EQ(store.GetInt(L"Option", name, 7), value) << name;
    }
}
