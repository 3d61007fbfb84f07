// What the user is told when an archive cannot be changed safely: an archive with unreadable
// parts or a read-only file refuses every change with a message, Test never calls it good, a
// failed rewrite is reported and keeps the changes, and a path longer than the record is
// marked in the list and refused at extraction.
#include "lzh/Crc16.h"
#include "platform/File.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/LzhHeaderBuilder.h"

#include <sys/stat.h>

using namespace testsupport;

namespace
{

using Texts = std::vector<std::wstring>;

std::string Member(const std::string& folder, const std::string& name, const std::string& data)
{
    LzhMemberFields s;
    s.name = name;
    s.data = data;
    s.unpacked = static_cast<uint32_t>(data.size());
    s.crc = Crc16Update(0, data.data(), static_cast<long>(data.size()));
    s.ext.push_back({0x01, name});
    if (!folder.empty()) {
        s.ext.push_back({0x02, folder});
    }
    return BuildMember(s);
}

class Safety : public AppFixture
{
protected:
    void SelectAll()
    {
        for (int row = 0; row < view->GetListCtrl().GetItemCount(); ++row) {
            view->GetListCtrl().SetItemState(row, LVIS_SELECTED, LVIS_SELECTED);
        }
    }
};

} // namespace

TEST_F(Safety, AnArchiveWithUnreadableBytesRefusesEveryChange)
{
    std::string members = Member("", "a.txt", "aaa") + Member("", "b.txt", "bbb");
    std::string bytes = members + "these bytes are no member";
    WriteFile("t.lzh", bytes);
    WriteFile("in/new.txt", "new");
    Start(L"\\t.lzh");
    ASSERT_EQ(doc->MemberCount(), 2);

    doc->OnArchiveTest();
    EXPECT_EQ(ui.MessageTexts(),
              Texts{FormatText(res::kUnreadableRest, static_cast<long long>(members.size()))});
    ui.messages.clear();
    doc->OnArchiveAdd();
    SelectAll();
    view->OnArchiveDelete();
    EXPECT_FALSE(doc->RunCommandLine(L"d *") && doc->m_nLastFailed == 0);
    EXPECT_EQ(ui.MessageTexts(), Texts(3, res::kArchiveIncomplete));
    EXPECT_TRUE(ui.fileDialogs.empty()); // refused before the file is asked for
    EXPECT_EQ(doc->MemberCount(), 2);
    doc->OnArchiveClose();
    EXPECT_EQ(ReadFile("t.lzh"), bytes);
    EXPECT_GT(doc->m_nLastFailed, 0);
}

TEST_F(Safety, ReadOnlyArchivesAreRefused)
{
    std::string bytes = Member("", "a.txt", "aaa") + std::string(1, '\0');
    WriteFile("r.lzh", bytes);
    chmod(folder.HostPath("r.lzh").c_str(), 0444);
    Start(L"\\r.lzh");
    doc->OnArchiveAdd();
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kArchiveReadOnly});
    doc->OnArchiveClose();
    EXPECT_EQ(ReadFile("r.lzh"), bytes);
}

TEST_F(Safety, AFailedRewriteIsReportedAndKeepsTheChanges)
{
    MakeLzh(L"\\a.lzh", {{"x.txt", "x"}});
    std::string before = ReadFile("a.lzh");
    WriteFile("in/add.txt", "added");
    Start(L"\\a.lzh");
    ui.fileAnswers = {L"\\in\\add.txt"};
    doc->OnArchiveAdd();
    ASSERT_EQ(doc->MemberCount(), 2);
    platform::SetFaultHook(
        [](platform::FaultPoint p) { return p == platform::FaultPoint::Rename; });
    doc->OnArchiveClose();
    platform::SetFaultHook(nullptr);
    EXPECT_EQ(ui.MessageTexts(), Texts{res::kCloseFailed});
    EXPECT_TRUE(doc->m_bArchiveOpen); // with its change, for another try
    EXPECT_EQ(ReadFile("a.lzh"), before);
    doc->OnArchiveClose();
    EXPECT_FALSE(doc->m_bArchiveOpen);
    EXPECT_NE(ReadFile("a.lzh"), before);
    ASSERT_TRUE(doc->OpenArchiveByType(L"\\a.lzh"));
    EXPECT_EQ(doc->MemberCount(), 2);
}

TEST_F(Safety, PathsLongerThanTheRecordAreMarkedAndNotExtracted)
{
    std::string folder305 = std::string(100, 'd') + "\xFF" + std::string(100, 'e') + "\xFF" +
                            std::string(100, 'f') + "\xFF";
    WriteFile("long.lzh", Member("", "a.txt", "aaa") + Member(folder305, "m.txt", "mmm") +
                              std::string(1, '\0'));
    Start(L"\\long.lzh");
    app->m_nShowColumn[8] = 1;
    doc->UpdateAllViews(nullptr);
    ASSERT_EQ(Column(0), (Texts{L"a.txt", L"m.txt"}));
    std::wstring shown = Column(8)[1];
    EXPECT_EQ(shown.substr(shown.size() - 2), std::wstring(L"\\") + res::kCutMark);
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out", 0, 1)};
    doc->OnExtractAll();
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{FormatText(res::kPathTooLongToExtract, L"m.txt"),
                     std::wstring(res::kExtractDone) + FormatText(res::kInvalidCount, 1)}));
    EXPECT_EQ(ReadFile("out/a.txt"), "aaa");
}
