// The list view: columns and their widths, row texts, folder rows, deleting the selection,
// opening in place, extracting the selection, and which commands are enabled.
#include "platform/DevicePath.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ZipBuilder.h"

#include <algorithm>
#include <filesystem>
#include <string>

using namespace testsupport;

namespace
{

using Texts = std::vector<std::wstring>;

class View : public AppFixture
{
protected:
    void Select(std::initializer_list<int> rows)
    {
        for (int row : rows) {
            view->GetListCtrl().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    // A point inside a row of the list.
    static CPoint RowPoint(int row) { return {5, (row + 1) * CListCtrl::kRowHeight + 3}; }
};

} // namespace

TEST_F(View, ColumnsFollowTheSettingsAtEveryRefresh)
{
    Start();
    CListCtrl& list = view->GetListCtrl();
    ASSERT_EQ(list.GetColumnCount(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(list.GetColumn(i).text, res::kColumnTitles[i]);
    }
    // Defaults: CRC and method hidden.
    Texts widths;
    for (int i = 0; i < 9; ++i) {
        widths.push_back(std::to_wstring(list.GetColumnWidth(i)));
    }
    EXPECT_EQ(widths, (Texts{L"190", L"75", L"75", L"60", L"135", L"45", L"0", L"0", L"215"}));
    list.SetColumnWidth(1, 33); // dragged by the user
    app->m_nShowColumn[6] = 1;
    app->m_nShowColumn[2] = 0;
    doc->UpdateAllViews(nullptr);
    EXPECT_EQ(list.GetColumnWidth(1), 75);
    EXPECT_EQ(list.GetColumnWidth(2), 0);
    EXPECT_EQ(list.GetColumnWidth(6), 75);
    EXPECT_EQ(list.GetItemCount(), 0);
}

TEST_F(View, RowTextsOfZipMembers)
{
    ZipMember big = StoredMember("big.bin", std::string(1234567, 'b'));
    ZipMember empty = StoredMember("dir/empty.txt", "");
    empty.external = 0x27; // read-only, hidden, system, archive
    ZipMember small = DeflatedMember("small.txt", std::string(999, 's'));
    WriteFile("z.zip", BuildZip({big, empty, StoredMember("dir/", ""), small}));
    Start(L"\\z.zip");
    EXPECT_EQ(Column(0), (Texts{L"big.bin", L"empty.txt", L"small.txt"}));
    EXPECT_EQ(Column(1), (Texts{L"1,234,567", L"0", L"999"}));
    EXPECT_EQ(Column(3)[0], L"100.0%");
    EXPECT_EQ(Column(3)[1], L"100.0%"); // empty members show 100.0%
    EXPECT_EQ(Column(3)[2], L"100.5%"); // grew: a stored block adds 5 bytes
    EXPECT_EQ(Column(4)[0], L"2025/01/01 12:00:00");
    EXPECT_EQ(Column(5), (Texts{L"A", L"RHSA", L"A"}));
    EXPECT_EQ(Column(6)[1], L"00000000");
    EXPECT_EQ(Column(7), (Texts{L"0", L"0", L"8"}));
    EXPECT_EQ(Column(8), (Texts{L"", L"dir/", L""}));
    // Folder rows when the setting asks for them.
    app->m_nShowFolderEntry = 1;
    doc->UpdateAllViews(nullptr);
    EXPECT_EQ(Column(0), (Texts{L"big.bin", L"empty.txt", L"<DIR>", L"small.txt"}));
    EXPECT_EQ(Column(3)[2], L"0%");
    EXPECT_EQ(Column(8)[2], L"dir/");
    EXPECT_EQ(view->GetListCtrl().GetItemData(3), 3u);
}

TEST_F(View, RowTextsOfLzhMembers)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", std::string(3000, 'a')}, {"sub/b.txt", "b"}});
    Start(L"\\a.lzh");
    EXPECT_EQ(Column(0), (Texts{L"a.txt", L"b.txt"}));
    EXPECT_EQ(Column(1), (Texts{L"3,000", L"1"}));
    EXPECT_EQ(Column(6)[0].substr(0, 4), L"0000"); // a 16-bit CRC
    EXPECT_EQ(Column(7)[0], L"-lh6-");
    EXPECT_EQ(Column(7)[1], L"-lh0-");           // one byte does not compress
    EXPECT_EQ(Column(8), (Texts{L"", L"sub/"})); // '/' between folders, as the host
    EXPECT_EQ(CTavrelView::Grouped(123), L"123");
    EXPECT_EQ(CTavrelView::Grouped(1000), L"1,000");
    EXPECT_EQ(CTavrelView::Grouped(0), L"0");
    EXPECT_EQ(CTavrelView::Grouped(18446744073709551615u), L"18,446,744,073,709,551,615");
}

TEST_F(View, DeletingSelectedRowsWithHiddenFolderRows)
{
    MakeLzh(L"\\a.lzh", {{"m0", "0"}, {"m1/", ""}, {"m2", "2"}, {"m3", "3"}, {"m4", "4"}});
    Start(L"\\a.lzh");
    ASSERT_EQ(doc->MemberCount(), 5);
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m2", L"m3", L"m4"})); // the folder row is hidden
    EXPECT_EQ(view->StatusText(), FormatText(res::kStatusMembers, L"4", L"4"));
    Select({1, 3}); // entries 2 and 4
    EXPECT_EQ(view->StatusText(), FormatText(res::kStatusSelected, L"2", L"2", L"4", L"4"));
    ui.yesNoAnswers = {IDNO, IDYES};
    view->OnArchiveDelete(); // the question, answered No, keeps them
    EXPECT_EQ(ui.MessageTexts(), Texts{FormatText(res::kAskDeleteSelected, 2)});
    EXPECT_EQ(doc->MemberCount(), 5);
    view->OnArchiveDelete();
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m3"}));
    EXPECT_EQ(view->GetListCtrl().GetItemData(1), 2u); // fresh indices
    view->OnArchiveDelete(); // nothing selected: nothing deleted, the list rebuilt
    EXPECT_EQ(doc->MemberCount(), 3);
    Restart(L"\\a.lzh"); // the close committed the deletion
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m3"}));
    doc->OnArchiveClose();
    EXPECT_EQ(view->StatusText(), res::kStatusIdle);
}

TEST_F(View, OpenInPlaceWritesToTempAndCallsTheShell)
{
    MakeLzh(L"\\a.lzh", {{"sub/deep.txt", "deep"}, {"top.txt", "top"}, {"dir/", ""}});
    Start(L"\\a.lzh");
    app->m_nShowFolderEntry = 1;
    doc->UpdateAllViews(nullptr);
    ASSERT_EQ(Column(0), (Texts{L"<DIR>", L"deep.txt", L"top.txt"}));
    doc->OnArchiveTest(); // test mode must not keep the file from being written
    view->OnLButtonDblClk(RowPoint(1));
    EXPECT_EQ(ReadFile("Temp/1/deep.txt"), "deep"); // without its stored folder
    EXPECT_EQ(ui.shellOpened, Texts{L"\\Temp\\1\\deep.txt"});
    view->OnLButtonDblClk(RowPoint(0)); // a folder row
    view->OnLButtonDblClk(RowPoint(7)); // below the last row
    EXPECT_EQ(ui.shellOpened.size(), 1u);
}

// The file handed to the shell is the one written, whatever separators the name holds and
// whatever an extraction left of lower case.
TEST_F(View, OpenInPlaceHandsOverTheFileWritten)
{
    WriteFile("z.zip", BuildZip({StoredMember("in\\Zip.TXT", "backslash"),
                                 StoredMember("dir/Plain.txt", "plain")}));
    Start(L"\\z.zip");
    doc->m_pZip->lowercase = true;
    for (int row = 0; row < 2; ++row) {
        view->OnLButtonDblClk(RowPoint(row));
        ASSERT_EQ(ui.shellOpened.size(), static_cast<size_t>(row + 1));
        std::wstring opened = ui.shellOpened.back();
        std::string host(opened.begin() + 1, opened.end()); // ASCII names only here
        for (char& c : host) {
            c = c == '\\' ? '/' : c;
        }
        EXPECT_EQ(ReadFile(host), row == 0 ? "backslash" : "plain") << host;
    }
    EXPECT_TRUE(doc->m_pZip->lowercase); // still in force for extraction

    // The list's name decides, never the local header's: a name climbing out is refused
    // (and nothing outside is handed over), another local name is not used.
    WriteFile("victim.txt", "outside the private folder");
    ZipMember climbing = StoredMember("..\\..\\victim.txt", "x");
    climbing.localName = "ok.txt";
    ZipMember renamed = StoredMember("readme.txt", "the listed one");
    renamed.localName = "sub/.bashrc";
    doc->CloseArchive();
    WriteFile("r.zip", BuildZip({climbing, renamed}));
    Start(L"\\r.zip");
    ui.shellOpened.clear();
    ui.messages.clear();
    view->OnLButtonDblClk(RowPoint(0));
    EXPECT_EQ(ui.shellOpened, Texts{});
    EXPECT_EQ(ui.MessageTexts(),
              Texts{L"展開先の外を指すパスのため展開できません。 [..\\..\\victim.txt]"});
    view->OnLButtonDblClk(RowPoint(1));
    ASSERT_EQ(ui.shellOpened.size(), 1u);
    EXPECT_EQ(ui.shellOpened[0].substr(ui.shellOpened[0].rfind(L'\\')), L"\\readme.txt");
    EXPECT_EQ(ReadFile("victim.txt"), "outside the private folder");
}

// A member that cannot be written is not offered: the user is told, and no file of an
// earlier open stands in for it.
TEST_F(View, OpenInPlaceOfADamagedMemberOpensNothing)
{
    MakeLzh(L"\\a.lzh", {{"x.txt", std::string(300, 'x')}});
    Start(L"\\a.lzh");
    view->OnLButtonDblClk(RowPoint(0));
    ASSERT_EQ(ui.shellOpened, Texts{L"\\Temp\\1\\x.txt"});
    doc->OnArchiveClose();
    std::string bytes = ReadFile("a.lzh");
    bytes[bytes.size() - 3] ^= 0x40; // inside the member's data, before the end marker
    WriteFile("a.lzh", bytes);
    Start(L"\\a.lzh");
    ui.messages.clear();
    view->OnLButtonDblClk(RowPoint(0));
    EXPECT_EQ(ui.shellOpened.size(), 1u);
    EXPECT_EQ(ui.MessageTexts(), Texts{L"ファイルが壊れています。 [x.txt]"});
}

TEST_F(View, ExtractSelectedWithNothingSelected)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}, {"b.txt", "b"}});
    Start(L"\\a.lzh");
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\none", 0, 1),
                                          Destination(L"\\some", 0, 1)};
    view->OnExtractSelected();
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kExtractDone});
    EXPECT_FALSE(Exists("none"));
    EXPECT_EQ(app->m_strLastFolderExtract, L"\\none");
    Select({1});
    view->OnExtractSelected();
    EXPECT_FALSE(Exists("some/a.txt"));
    EXPECT_EQ(ReadFile("some/b.txt"), "b");
}

TEST_F(View, CommandsAreEnabledByTheKindOfArchiveOpen)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}});
    WriteFile("z.zip", BuildZip({StoredMember("y.txt", "y")}));
    Start();
    const int commands[] = {ID_ARCHIVE_ADD,      ID_ARCHIVE_DELETE, ID_ARCHIVE_COMMAND_LINE,
                            ID_EXTRACT_SELECTED, ID_EXTRACT_ALL,    ID_ARCHIVE_TEST};
    auto enabled = [&] {
        std::wstring flags;
        for (int id : commands) {
            flags += app->IsCommandEnabled(id) ? L'1' : L'0';
        }
        return flags;
    };
    EXPECT_EQ(enabled(), L"000000");
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\a.lzh"));
    EXPECT_EQ(enabled(), L"111111");
    doc->CloseArchive();
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\z.zip"));
    EXPECT_EQ(enabled(), L"000111");
    EXPECT_TRUE(app->IsCommandEnabled(ID_FILE_OPEN)); // no update handler: always
}

TEST_F(View, SortingByAColumnOrdersNumbersAsNumbersASecondClickReversesAThirdRestores)
{
    // Archive order (by name) differs from size order, and sizes compared as text would give
    // 10 < 100 < 9.
    MakeLzh(L"\\a.lzh", {{"a.txt", std::string(100, 'x')},
                         {"b.txt", std::string(9, 'y')},
                         {"c.txt", std::string(10, 'z')}});
    Start(L"\\a.lzh");
    CListCtrl& list = view->GetListCtrl();
    view->OnColumnClick(1);
    EXPECT_EQ(Column(0), (Texts{L"b.txt", L"c.txt", L"a.txt"}));
    EXPECT_EQ(list.GetSortColumn(), 1);
    EXPECT_TRUE(list.IsSortAscending());
    view->OnColumnClick(1);
    EXPECT_EQ(Column(0), (Texts{L"a.txt", L"c.txt", L"b.txt"}));
    EXPECT_FALSE(list.IsSortAscending());
    view->OnColumnClick(0); // another column starts ascending
    EXPECT_EQ(Column(0), (Texts{L"a.txt", L"b.txt", L"c.txt"}));
    view->OnColumnClick(0);
    EXPECT_EQ(Column(0), (Texts{L"c.txt", L"b.txt", L"a.txt"}));
    view->OnColumnClick(1);
    view->OnColumnClick(1);
    view->OnColumnClick(1); // a third click: the archive's order
    EXPECT_EQ(list.GetSortColumn(), -1);
    EXPECT_EQ(Column(0), (Texts{L"a.txt", L"b.txt", L"c.txt"}));
    // Every row still carries its own member.
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(list.GetItemText(row, 0),
                  doc->MemberName(static_cast<int>(list.GetItemData(row))));
    }
}

TEST_F(View, RatioAndPathSortAsTheyRead)
{
    MakeLzh(L"\\a.lzh", {{"z/big.txt", std::string(5000, 'a')}, // compresses well
                         {"a/one.txt", "1"},                    // stored: 100.0%
                         {"m/mid.txt", "abcdefghijklmnopqrstuvwxyz0123456789"}});
    Start(L"\\a.lzh");
    view->OnColumnClick(3);
    EXPECT_EQ(Column(0).front(), L"big.txt");
    std::vector<std::wstring> ratios = Column(3);
    std::vector<double> values;
    for (const std::wstring& r : ratios) {
        values.push_back(std::stod(r));
    }
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    view->OnColumnClick(8);
    EXPECT_EQ(Column(8), (Texts{L"a/", L"m/", L"z/"}));
}

TEST_F(View, SelectionFollowsItsRowsThroughASortAndDeleteActsOnThem)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", std::string(30, 'a')},
                         {"b.txt", std::string(10, 'b')},
                         {"c.txt", std::string(20, 'c')},
                         {"d.txt", std::string(40, 'd')}});
    Start(L"\\a.lzh");
    Select({0, 1}); // a.txt and b.txt
    view->OnColumnClick(1);
    ASSERT_EQ(Column(0), (Texts{L"b.txt", L"c.txt", L"a.txt", L"d.txt"}));
    CListCtrl& list = view->GetListCtrl();
    EXPECT_NE(list.GetItemState(0, LVIS_SELECTED), 0u);
    EXPECT_EQ(list.GetItemState(1, LVIS_SELECTED), 0u);
    EXPECT_NE(list.GetItemState(2, LVIS_SELECTED), 0u);
    EXPECT_EQ(list.GetSelectedCount(), 2);
    ui.yesNoAnswers = {IDYES};
    view->OnArchiveDelete();
    // The sort lasts through the refresh of the same archive.
    EXPECT_EQ(Column(0), (Texts{L"c.txt", L"d.txt"}));
    EXPECT_EQ(list.GetSortColumn(), 1);
    // Another archive comes in its own order.
    MakeLzh(L"\\b.lzh", {{"x.txt", std::string(50, 'x')}, {"y.txt", "y"}});
    doc->OnArchiveClose();
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\b.lzh"));
    doc->UpdateAllViews(nullptr);
    EXPECT_EQ(list.GetSortColumn(), -1);
    EXPECT_EQ(Column(0), (Texts{L"x.txt", L"y.txt"}));
}

TEST_F(View, KeysSelectEveryRowAndOpenTheSelectedMember)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}, {"b.txt", "b"}, {"dir/", ""}});
    Start(L"\\a.lzh");
    app->m_nShowFolderEntry = 1;
    doc->UpdateAllViews(nullptr);
    ASSERT_TRUE(app->RouteCommand(ID_EDIT_SELECT_ALL));
    EXPECT_EQ(view->GetListCtrl().GetSelectedCount(), 3);
    view->GetListCtrl().SelectAll(false);
    Select({2, 1}); // the folder row and b.txt: the first selected row opens
    ASSERT_TRUE(app->RouteCommand(ID_OPEN_MEMBER));
    EXPECT_EQ(ui.shellOpened, Texts{L"\\Temp\\1\\b.txt"});
    EXPECT_EQ(ReadFile("Temp/1/b.txt"), "b");
    view->GetListCtrl().SelectAll(false);
    app->RouteCommand(ID_OPEN_MEMBER); // nothing selected: nothing opens
    EXPECT_EQ(ui.shellOpened.size(), 1u);
}

TEST_F(View, DraggingOutWritesTheSelectedMembersToTemp)
{
    // Two members of one name each come in a folder of their own.
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}, {"sub/a.txt", "aa"}, {"b.txt", "bb"}, {"dir/", ""}});
    Start(L"\\a.lzh");
    app->m_nShowFolderEntry = 1;
    doc->UpdateAllViews(nullptr);
    view->GetListCtrl().SelectAll(true);
    EXPECT_EQ(view->OnBeginDrag(),
              (Texts{L"\\Temp\\1\\a.txt", L"\\Temp\\2\\b.txt", L"\\Temp\\3\\a.txt"}));
    EXPECT_EQ(ReadFile("Temp/1/a.txt"), "a");
    EXPECT_EQ(ReadFile("Temp/2/b.txt"), "bb");
    EXPECT_EQ(ReadFile("Temp/3/a.txt"), "aa"); // without its folder
    view->GetListCtrl().SelectAll(false);
    EXPECT_TRUE(view->OnBeginDrag().empty());
}

TEST_F(View, DroppedFilesAndFoldersAreAddedWithTheirFolders)
{
    MakeLzh(L"\\a.lzh", {{"old.txt", "old"}});
    WriteFile("drop/new.txt", "new");
    WriteFile("drop/dir/b.txt", "b");
    WriteFile("drop/dir/sub/c.txt", "c");
    Start(L"\\a.lzh");
    app->m_nLhaMethod = 0; // stored
    std::filesystem::path before = std::filesystem::current_path();
    view->OnDropFiles({L"\\drop\\new.txt", L"\\drop\\dir"});
    EXPECT_EQ(std::filesystem::current_path(), before);
    EXPECT_TRUE(ui.messages.empty());
    std::vector<std::wstring> paths;
    for (int row = 0; row < view->GetListCtrl().GetItemCount(); ++row) {
        paths.push_back(view->GetListCtrl().GetItemText(row, 8) +
                        view->GetListCtrl().GetItemText(row, 0));
    }
    std::sort(paths.begin(), paths.end());
    EXPECT_EQ(paths, (Texts{L"dir/b.txt", L"dir/sub/c.txt", L"new.txt", L"old.txt"}));
    EXPECT_EQ(Column(7)[1], L"-lh0-");
    Restart(L"\\a.lzh");              // the close committed them
    EXPECT_EQ(doc->MemberCount(), 6); // with the folder entries of dir and dir\sub
}

TEST_F(View, OneArchiveDroppedOnAZipArchiveOpensItAfterTheQuestion)
{
    WriteFile("z.zip", BuildZip({StoredMember("y.txt", "y")}));
    MakeLzh(L"\\a.lzh", {{"a.txt", "a"}});
    Start(L"\\z.zip");
    view->OnDropFiles({L"\\a.lzh"}); // answered No
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kAskCloseArchive});
    EXPECT_EQ(Column(0), Texts{L"y.txt"});
    ui.yesNoAnswers = {IDYES};
    view->OnDropFiles({L"\\a.lzh"});
    EXPECT_EQ(doc->m_nArchiveType, kArchiveLzh);
    EXPECT_EQ(Column(0), Texts{L"a.txt"});
    doc->OnArchiveClose();
    view->OnDropFiles({L"\\a.lzh", L"\\z.zip"}); // two files on an empty window: nothing
    EXPECT_FALSE(doc->m_bArchiveOpen);
    view->OnDropFiles({L"\\z.zip"});
    EXPECT_EQ(Column(0), Texts{L"y.txt"});
    ui.messages.clear();
    view->OnDropFiles({L"\\a.lzh", L"\\z.zip"}); // files for a ZIP archive: refused, and said
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kOnlyLzhCanBeCreated});
    EXPECT_EQ(Column(0), Texts{L"y.txt"});
}
