// The list view: columns and their widths, row texts, folder rows, deleting the selection,
// opening in place, extracting the selection, and which commands are enabled.
#include "platform/DevicePath.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/ZipBuilder.h"

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
    EXPECT_EQ(CTavrelView::GroupDigits(L"123"), L"123");
    EXPECT_EQ(CTavrelView::GroupDigits(L"1000"), L"1,000");
    EXPECT_EQ(CTavrelView::GroupDigits(L"0"), L"0");
}

TEST_F(View, DeletingSelectedRowsWithHiddenFolderRows)
{
    MakeLzh(L"\\a.lzh", {{"m0", "0"}, {"m1/", ""}, {"m2", "2"}, {"m3", "3"}, {"m4", "4"}});
    Start(L"\\a.lzh");
    ASSERT_EQ(doc->MemberCount(), 5);
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m2", L"m3", L"m4"})); // the folder row is hidden
    Select({1, 3});                                            // entries 2 and 4
    view->OnArchiveDelete();
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m3"}));
    EXPECT_EQ(view->GetListCtrl().GetItemData(1), 2u); // fresh indices
    view->OnArchiveDelete(); // nothing selected: nothing deleted, the list rebuilt
    EXPECT_EQ(doc->MemberCount(), 3);
    Restart(L"\\a.lzh"); // the close committed the deletion
    EXPECT_EQ(Column(0), (Texts{L"m0", L"m3"}));
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
    EXPECT_EQ(ReadFile("Temp/deep.txt"), "deep"); // without its stored folder
    EXPECT_EQ(ui.shellOpened, Texts{L"\\Temp\\deep.txt"});
    view->OnLButtonDblClk(RowPoint(0)); // a folder row
    view->OnLButtonDblClk(RowPoint(7)); // below the last row
    EXPECT_EQ(ui.shellOpened.size(), 1u);
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
