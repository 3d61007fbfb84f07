// The document's commands under a scripted user: opening by type, New, Close, Add, Test and
// the extraction commands with their questions, counts and summaries.
#include "lzh/Crc16.h"
#include "platform/DevicePath.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/ZipBuilder.h"

using namespace testsupport;

namespace
{

using Texts = std::vector<std::wstring>;

class Document : public AppFixture
{};

} // namespace

TEST_F(Document, OpenArchiveByTypeFollowsTheExtensionAndTheTypeLastTried)
{
    MakeLzh(L"\\a.lzh", {{"x.txt", "x"}});
    WriteFile("z.zip", BuildZip({StoredMember("y.txt", "y")}));
    std::filesystem::copy_file(folder.HostPath("a.lzh"), folder.HostPath("A.LZH"));
    std::filesystem::copy_file(folder.HostPath("z.zip"), folder.HostPath("Z.ZIP"));
    std::filesystem::copy_file(folder.HostPath("z.zip"), folder.HostPath("zipped.lzh"));
    std::filesystem::copy_file(folder.HostPath("z.zip"), folder.HostPath("noext"));
    Start();
    // Upper-case extensions are tried as LZH, then as ZIP.
    EXPECT_TRUE(doc->OpenArchiveByType(L"\\A.LZH"));
    EXPECT_EQ(doc->m_nArchiveType, kArchiveLzh);
    doc->CloseArchive();
    EXPECT_TRUE(doc->OpenArchiveByType(L"\\Z.ZIP"));
    EXPECT_EQ(doc->m_nArchiveType, kArchiveZip);
    EXPECT_EQ(app->m_pMainWnd->GetArchiveBarText(), platform::DisplayPath(L"\\Z.ZIP"));
    doc->CloseArchive();
    EXPECT_EQ(app->m_pMainWnd->GetArchiveBarText(), L"");
    EXPECT_EQ(doc->m_nArchiveType, kArchiveZip); // kept after the close
    // The other names of LHA archives open as LZH.
    for (const char* name : {"a.lha", "a.lzs", "a.pma"}) {
        std::filesystem::copy_file(folder.HostPath("a.lzh"), folder.HostPath(name));
        std::wstring path = L"\\" + std::wstring(name, name + 5);
        EXPECT_TRUE(doc->OpenArchiveByType(path));
        EXPECT_EQ(doc->m_nArchiveType, kArchiveLzh);
        doc->CloseArchive();
    }
    // A ZIP archive named .lzh is only tried as LZH.
    EXPECT_FALSE(doc->OpenArchiveByType(L"\\zipped.lzh"));
    EXPECT_EQ(doc->m_nArchiveType, kArchiveLzh);
    // Without a dot the type last tried decides: LZH only now, so the ZIP fails...
    EXPECT_FALSE(doc->OpenArchiveByType(L"\\noext"));
    // ...and after a ZIP archive it is tried as ZIP only.
    EXPECT_TRUE(doc->OpenArchiveByType(L"\\z.zip"));
    doc->CloseArchive();
    EXPECT_TRUE(doc->OpenArchiveByType(L"\\noext"));
    EXPECT_EQ(doc->m_nArchiveType, kArchiveZip);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Document, StartingWithAZipArchiveWithoutExtensionOpensIt)
{
    WriteFile("noext", BuildZip({StoredMember("y.txt", "y")}));
    Start(L"\\noext");
    EXPECT_TRUE(doc->m_bArchiveOpen);
    EXPECT_EQ(doc->m_nArchiveType, kArchiveZip);
    EXPECT_EQ(Column(0), Texts{L"y.txt"});
}

TEST_F(Document, NewAsksToCloseAndCreatesOnlyLzh)
{
    MakeLzh(L"\\a.lzh", {{"x.txt", "x"}});
    Start(L"\\a.lzh");
    // Started with an archive: the first New only clears the pending flag.
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_TRUE(doc->m_bArchiveOpen);
    EXPECT_TRUE(ui.messages.empty());
    // No at the close question keeps the archive open.
    ui.yesNoAnswers = {IDNO};
    EXPECT_FALSE(doc->OnNewDocument());
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kAskCloseArchive});
    EXPECT_TRUE(doc->m_bArchiveOpen);
    // Yes closes it; a name that is not .lzh is refused.
    ui.yesNoAnswers = {IDYES};
    ui.fileAnswers = {L"\\new.zip"};
    EXPECT_FALSE(doc->OnNewDocument());
    EXPECT_FALSE(doc->m_bArchiveOpen);
    EXPECT_EQ(ui.messages.back().text, res::kOnlyLzhCanBeCreated);
    ASSERT_EQ(ui.fileDialogs.size(), 1u);
    EXPECT_EQ(ui.fileDialogs[0].title, res::kNewTitle);
    EXPECT_EQ(ui.fileDialogs[0].initialFolder, res::kMyDocuments); // LastFolder/Startup default
    // A new archive opens empty; a name typed without an extension gets ".lzh".
    ui.fileAnswers = {L"\\new"};
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_TRUE(doc->m_bArchiveOpen);
    EXPECT_EQ(std::wstring(doc->Archive().archivePath), L"\\new.lzh");
    // An archive already there under the name made is not taken for a new one.
    MakeLzh(L"\\old.lzh", {{"kept.txt", "kept"}});
    ui.yesNoAnswers = {IDYES};
    ui.fileAnswers = {L"\\old"};
    EXPECT_FALSE(doc->OnNewDocument());
    EXPECT_EQ(ui.MessageTexts().back(),
              FormatNamed(res::kNewNameExists, platform::DisplayPath(L"\\old.lzh")));
    ui.fileAnswers = {L"\\new.lzh"};
    ui.yesNoAnswers = {IDYES};
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_EQ(doc->m_nArchiveType, kArchiveLzh);
    EXPECT_EQ(doc->MemberCount(), 0);
    // Cancel at the file dialog: nothing open, no message.
    size_t shown = ui.messages.size();
    ui.yesNoAnswers = {IDYES};
    EXPECT_TRUE(doc->OnNewDocument());
    EXPECT_FALSE(doc->m_bArchiveOpen);
    EXPECT_EQ(ui.messages.size(), shown + 1); // only the close question
}

TEST_F(Document, OpenCommandRemembersTheFolderAndReportsFailures)
{
    MakeLzh(L"\\dir\\a.lzh", {{"x.txt", "x"}});
    Start();
    ui.fileAnswers = {L"\\dir\\missing.lzh"};
    doc->OnFileOpenArchive();
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kCannotOpenArchive});
    EXPECT_EQ(app->m_strLastFolderStartup, L"\\dir\\");
    ui.fileAnswers = {L"\\dir\\a.lzh"};
    doc->OnFileOpenArchive();
    EXPECT_TRUE(doc->m_bArchiveOpen);
    ASSERT_EQ(ui.fileDialogs.size(), 2u);
    EXPECT_EQ(ui.fileDialogs[1].filter, res::kOpenFilter);
    EXPECT_EQ(ui.fileDialogs[1].initialFolder, L"\\dir\\");
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kCannotOpenArchive}); // an archive says nothing
    // Close archive when nothing is open changes nothing.
    doc->OnArchiveClose();
    EXPECT_FALSE(doc->m_bArchiveOpen);
    doc->OnArchiveClose();
    EXPECT_FALSE(doc->m_bArchiveOpen);
    // A text file named .lzh is said to be no archive, by its name.
    WriteFile("dir/note.lzh", "just some text\n");
    ui.fileAnswers = {L"\\dir\\note.lzh"};
    doc->OnFileOpenArchive();
    EXPECT_EQ(ui.MessageTexts().back(),
              FormatNamed(res::kNotAnArchive, platform::DisplayPath(L"\\dir\\note.lzh")));
}

TEST_F(Document, AddUsesTheMethodAndActionSettings)
{
    MakeLzh(L"\\a.lzh", {{"x.txt", "x"}});
    WriteFile("in/add.txt", std::string(5000, 'q'));
    Start(L"\\a.lzh");
    app->m_nLhaMethod = 3;
    ui.fileAnswers = {L"\\in\\add.txt"};
    doc->OnArchiveAdd();
    ASSERT_EQ(doc->MemberCount(), 2);
    EXPECT_EQ(std::wstring(doc->m_pLzh->GetEntry(1).method), L"-lh7-");
    EXPECT_EQ(app->m_strLastFolderAdd, L"\\in\\");
    EXPECT_EQ(ui.fileDialogs[0].title, res::kAddTitle);
    // A file that cannot be read.
    ui.fileAnswers = {L"\\in\\missing.txt"};
    doc->OnArchiveAdd();
    EXPECT_EQ(ui.messages.back().text,
              FormatNamed(res::kAddFailedNamed, platform::DisplayPath(L"\\in\\missing.txt")));
    EXPECT_TRUE(doc->m_bArchiveOpen);
    // Several files chosen at once; a folder with what is below it.
    WriteFile("in/two.txt", "2");
    WriteFile("in/three.txt", "3");
    WriteFile("in/dir/sub/deep.txt", "deep");
    ui.fileAnswers = {L"\\in\\two.txt\n\\in\\three.txt", L"\\in\\dir"};
    doc->OnArchiveAdd();
    doc->OnArchiveAddFolder();
    EXPECT_EQ(Column(0), (Texts{L"x.txt", L"add.txt", L"two.txt", L"three.txt", L"deep.txt"}));
    EXPECT_EQ(Column(8).back(), L"dir/sub/");
}

TEST_F(Document, TestCountsBrokenMembersAndSkipsUnsupportedOnes)
{
    ZipMember bad = StoredMember("bad.txt", "data");
    bad.crc ^= 1;
    ZipMember ppmd = StoredMember("ppmd.txt", "xx");
    ppmd.method = 98;
    WriteFile("t.zip", BuildZip({StoredMember("a.txt", "a"), bad, ppmd}));
    WriteFile("u.zip", BuildZip({StoredMember("a.txt", "a"), ppmd}));
    Start(L"\\u.zip");
    doc->OnArchiveTest();
    // A member that could not be tested is never "all good".
    EXPECT_EQ(ui.MessageTexts(),
              Texts{L"テストできたファイルはすべて正常です。\n非対応圧縮ファイル数 1"});
    EXPECT_EQ(ui.progressTexts, (Texts{L"a.txt", L"ppmd.txt"}));
    EXPECT_EQ(ui.modelessOpen, 0);

    doc->CloseArchive();
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\t.zip"));
    ui.messages.clear();
    doc->OnArchiveTest();
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{L"ファイルが壊れています。 [bad.txt]", L"3ファイル中1ファイルが不正です。"}));
}

TEST_F(Document, CancellingTestStopsBeforeTheNextMemberAndStillCountsAll)
{
    std::vector<ZipMember> members;
    for (int i = 0; i < 10; ++i) {
        std::string name = "m";
        name += std::to_string(i); // (GCC 12 warns falsely on "m" + std::to_string(i))
        members.push_back(StoredMember(name, "data"));
    }
    members[1].crc ^= 1;
    WriteFile("t.zip", BuildZip(members));
    Start(L"\\t.zip");
    // Cancelled while the second member is in progress (in the program: during its broken-file
    // message); it completes, and the loop stops before the third.
    ui.cancelAtText = 3;
    doc->OnArchiveTest();
    EXPECT_EQ(ui.progressTexts.size(), 3u);
    EXPECT_EQ(ui.messages.back().text,
              std::wstring(L"10ファイル中1ファイルが不正です。") + res::kCancelledNote);
}

TEST_F(Document, ExtractAllIntoAFolderNamedAfterTheArchive)
{
    MakeLzh(L"\\data.tar.lzh", {{"a.txt", "a"}, {"sub/b.txt", "b"}});
    Start(L"\\data.tar.lzh");
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {[&](CDialog& dialog) {
        // Presets: LastFolder/Extract, both boxes ticked.
        EXPECT_EQ(dialog.GetControlText(IDC_TEXT), platform::DisplayPath(res::kMyDocuments));
        EXPECT_EQ(dialog.GetControlInt(IDC_CREATE_FOLDER), 1);
        EXPECT_EQ(dialog.GetControlInt(IDC_USE_FOLDER), 1);
        dialog.SetControlText(IDC_TEXT, L"\\out");
        return IDOK;
    }};
    doc->OnExtractAll();
    EXPECT_EQ(ReadFile("out/data.tar/a.txt"), "a");
    EXPECT_EQ(ReadFile("out/data.tar/sub/b.txt"), "b");
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kExtractDone});
    EXPECT_EQ(app->m_strLastFolderExtract, L"\\out"); // as typed
    // Again, flat and into the folder itself, always asking: the existing file is kept when
    // the user says no, and that is no failure.
    app->m_nOverwriteInquire = 0;
    doc->ApplyOverwriteInquire();
    ui.messages.clear();
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out\\data.tar\\", 0, 0)};
    doc->OnExtractAll();
    ASSERT_EQ(ui.MessageTexts().size(), 2u);
    EXPECT_EQ(ui.MessageTexts()[0].rfind(L"既に[a.txt]が存在します。上書きしますか？", 0), 0u);
    EXPECT_EQ(ui.MessageTexts()[1], res::kExtractDone + FormatText(res::kKeptCount, 1));
    EXPECT_EQ(ReadFile("out/data.tar/b.txt"), "b");
    // すべていいえ holds for the rest of its run only: the next Extract all asks again.
    ui.messages.clear();
    ui.yesNoAnswers = {IDNOALL, IDYES, IDNO};
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out\\data.tar\\", 0, 0),
                                          Destination(L"\\out\\data.tar\\", 0, 0)};
    doc->OnExtractAll();
    doc->OnExtractAll();
    Texts shown = ui.MessageTexts();
    ASSERT_EQ(shown.size(), 5u); // a question and a summary, two questions and a summary
    EXPECT_EQ(shown[1], res::kExtractDone + FormatText(res::kKeptCount, 2));
    EXPECT_EQ(shown[4], res::kExtractDone + FormatText(res::kKeptCount, 1));
    // Cancel at the destination dialog: nothing stored.
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {};
    doc->OnExtractAll();
    EXPECT_EQ(app->m_strLastFolderExtract, L"\\out\\data.tar\\");
}

TEST_F(Document, ExtractionSummaryCountsUnsupportedAndBrokenMembers)
{
    ZipMember bad = StoredMember("bad.txt", "data");
    bad.crc ^= 1;
    ZipMember ppmd = StoredMember("ppmd.txt", "xx");
    ppmd.method = 98; // PPMd: no decoder here
    WriteFile("t.zip", BuildZip({StoredMember("a.txt", "a"), bad, ppmd}));
    Start(L"\\t.zip");
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out", 0, 1)};
    doc->OnExtractAll();
    EXPECT_EQ(ui.MessageTexts(), (Texts{L"ファイルが壊れています。 [bad.txt]",
                                        L"展開終了\n非対応圧縮ファイル数 1\n不正ファイル数 1"}));
}

TEST_F(Document, MakeArchiveFolderPath)
{
    EXPECT_EQ(
        CTavrelDoc::MakeArchiveFolderPath(L"\\My Documents\\", L"\\Storage Card\\data.tar.lzh"),
        L"\\My Documents\\data.tar");
    EXPECT_EQ(CTavrelDoc::MakeArchiveFolderPath(L"\\My Documents", L"\\a\\b.lzh"),
              L"\\My Documents\\b");
    EXPECT_EQ(CTavrelDoc::MakeArchiveFolderPath(L"\\My Documents", L"\\a\\noext"),
              L"\\My Documents\\noext");
    EXPECT_EQ(CTavrelDoc::MakeArchiveFolderPath(L"", L"x.lzh"), L"\\x");
    // Names that would leave no folder of their own, or name the one above.
    EXPECT_EQ(CTavrelDoc::ArchiveFolderName(L"\\a\\.lzh"), L"_lzh");
    EXPECT_EQ(CTavrelDoc::ArchiveFolderName(L"\\a\\..lzh"), L"._lzh");
    EXPECT_EQ(CTavrelDoc::ArchiveFolderName(L"\\a\\...lzh"), L".._lzh");
    EXPECT_EQ(CTavrelDoc::ArchiveFolderName(L"\\a\\.hidden.lzh"), L".hidden");
}

// The progress bar counts every member of a large archive, past 65,535.
TEST_F(Document, ProgressCountsPast65535)
{
    std::string archive;
    for (int i = 0; i < 70000; ++i) {
        LzhMemberFields m;
        m.name = std::to_string(i);
        m.name.insert(0, 1, 'm');
        m.ext.push_back({0x01, m.name});
        archive += BuildMember(m);
    }
    WriteFile("many.lzh", archive + std::string(1, '\0'));
    Start(L"\\many.lzh");
    ASSERT_EQ(doc->MemberCount(), 70000);
    doc->OnArchiveTest();
    EXPECT_EQ(ui.progressUpper, 70000);
    EXPECT_EQ(ui.progressTexts.back(), L"m69999");
    EXPECT_EQ(ui.MessageTexts().back(), res::kAllFilesGood);
}

TEST_F(Document, ProgressInsideAMemberShowsItsBytesAndCancels)
{
    Start();
    CUserPrompt prompt;
    EXPECT_TRUE(prompt.ReportProgress(1, 2)); // no progress dialog: nothing to stop
    CProgressDlg progress;
    progress.Create(IDD_PROGRESS);
    progress.m_strText = L"big.bin";
    progress.UpdateData(false);
    EXPECT_TRUE(prompt.ReportProgress(5u << 20, 300u << 20));
    EXPECT_EQ(progress.GetControlText(IDC_BYTES), L"5.0 / 300.0 MB");
    progress.OnCancel();
    EXPECT_FALSE(prompt.ReportProgress(6u << 20, 300u << 20));
    // The next member starts without the bytes of the one before.
    progress.m_strText = L"next.bin";
    progress.UpdateData(false);
    EXPECT_EQ(progress.GetControlText(IDC_BYTES), L"");
    progress.DestroyWindow();
    EXPECT_TRUE(prompt.ReportProgress(1, 2)); // the window is gone
}

TEST_F(Document, AnLzhArchiveIsModifiedFromItsFirstChangeUntilItsClose)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}, {"b.txt", "b"}});
    WriteFile("z.zip", BuildZip({StoredMember("y.txt", "y")}));
    Start(L"\\a.lzh");
    EXPECT_FALSE(doc->IsModified());
    view->GetListCtrl().SetItemState(0, LVIS_SELECTED, LVIS_SELECTED);
    ui.yesNoAnswers = {IDYES};
    view->OnArchiveDelete();
    EXPECT_TRUE(doc->IsModified());
    doc->OnArchiveClose();
    EXPECT_FALSE(doc->IsModified());
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\z.zip"));
    EXPECT_FALSE(doc->IsModified());
}

// Switches typed earlier change later typed commands only: the menu's Extract all goes by the
// settings (ask before every replacement, hidden members too).
TEST_F(Document, TypedSwitchesNeverReachTheMenusCommands)
{
    std::string archive;
    for (auto [name, attribute] : {std::pair{"hidden.txt", 0x22}, std::pair{"newer.txt", 0x20}}) {
        LzhMemberFields m;
        m.level = 1;
        m.name = name;
        m.data = "from the archive";
        m.unpacked = static_cast<uint32_t>(m.data.size());
        m.crc = Crc16Update(0, m.data.data(), static_cast<long>(m.data.size()));
        m.attribute = static_cast<uint8_t>(attribute);
        m.timeField = 0x5A210000; // 2025-01-01, older than the user's file
        archive += BuildMember(m);
    }
    WriteFile("t.lzh", archive + std::string(1, '\0'));
    WriteFile("out/newer.txt", "the user's newer file");
    Start(L"\\t.lzh");
    app->m_nOverwriteInquire = 0; // always ask
    app->m_nCreateFolder = 0;
    EXPECT_TRUE(doc->RunCommandLine(L"x -a0 -m1 zzz"));
    ui.messages.clear();
    ui.yesNoAnswers = {IDNO};
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out", 0, 1)};
    doc->OnExtractAll();
    ASSERT_EQ(ui.MessageTexts().size(), 2u);
    EXPECT_EQ(ui.MessageTexts()[0].rfind(L"既に[newer.txt]が存在します。上書きしますか？", 0), 0u);
    EXPECT_EQ(ui.MessageTexts()[1], res::kExtractDone + FormatText(res::kKeptCount, 1));
    EXPECT_EQ(ReadFile("out/newer.txt"), "the user's newer file");
    EXPECT_EQ(ReadFile("out/hidden.txt"), "from the archive");
}

// What the window keeps between runs beside the settings: the recent archives (newest first,
// five at most, each once) that the File menu opens, and the columns' widths.
TEST_F(Document, RecentArchivesAndColumnWidthsOutliveTheProgram)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}});
    Start();
    for (const wchar_t* path :
         {L"\\1.lzh", L"\\gone.lzh", L"\\a.lzh", L"\\3.lzh", L"\\4.lzh", L"\\5.lzh", L"\\a.lzh"}) {
        app->AddToRecentFileList(path);
    }
    view->OnColumnResized(1, 120);
    Restart();
    EXPECT_EQ(app->GetRecentFiles(),
              (Texts{L"\\a.lzh", L"\\5.lzh", L"\\4.lzh", L"\\3.lzh", L"\\gone.lzh"}));
    EXPECT_EQ(view->GetListCtrl().GetColumnWidth(1), 120);
    EXPECT_TRUE(app->RouteCommand(ID_FILE_MRU_FILE1));
    EXPECT_EQ(Column(0), Texts{L"a.txt"});
    ui.yesNoAnswers = {IDYES};
    app->RouteCommand(ID_FILE_MRU_FILE1 + 4);
    EXPECT_EQ(ui.MessageTexts().back(),
              FormatNamed(res::kCannotOpenArchiveNamed, platform::DisplayPath(L"\\gone.lzh")));
    // Entries this program could not have written are passed over.
    app->WriteProfileString(L"RecentFileList", L"File1", L"\\..\\up.lzh");
    app->WriteProfileString(L"RecentFileList", L"File2", L"relative.lzh");
    EXPECT_EQ(app->GetRecentFiles(), (Texts{L"\\4.lzh", L"\\3.lzh", L"\\gone.lzh"}));
}
