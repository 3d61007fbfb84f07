// What the user is told when an archive cannot be changed safely: an archive with unreadable
// parts or a read-only file refuses every change with a message, Test never calls it good, a
// failed rewrite is reported and keeps the changes, and a path longer than the record is
// marked in the list and refused at extraction.
#include "lzh/Crc16.h"
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "tests/app/AppFixture.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/ZipBuilder.h"

#include <filesystem>
#include <functional>
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
    std::string junk(3000, '\0');
    for (size_t i = 0; i < junk.size(); ++i) {
        junk[i] = static_cast<char>(0x80 | (i * 2654435761u >> 11)); // never an end marker
    }
    const std::pair<std::string, size_t> others[] = {
        {junk, 0},                                                            // no archive at all
        {members + Member("", "c.txt", "ccc").substr(0, 12), members.size()}, // cut in a header
    };
    WriteFile("in/new.txt", "new");
    for (const auto& [other, at] : others) {
        WriteFile("o.lzh", other);
        Start(L"\\o.lzh");
        doc->OnArchiveTest();
        EXPECT_EQ(ui.MessageTexts(),
                  Texts{FormatText(res::kUnreadableRest, static_cast<long long>(at))});
        ui.messages.clear();
        doc->OnArchiveAdd();
        EXPECT_EQ(ui.MessageTexts(), Texts{res::kArchiveIncomplete});
        ui.messages.clear();
        doc->OnArchiveClose();
        EXPECT_EQ(ReadFile("o.lzh"), other);
    }

    std::string bytes = members + "these bytes are no member";
    WriteFile("t.lzh", bytes);
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
    EXPECT_EQ(shown.substr(shown.size() - 2), std::wstring(L"/") + res::kCutMark);
    ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\out", 0, 1)};
    doc->OnExtractAll();
    EXPECT_EQ(ui.MessageTexts(),
              (Texts{FormatText(res::kPathTooLongToExtract, L"m.txt"),
                     std::wstring(res::kExtractDone) + FormatText(res::kInvalidCount, 1)}));
    EXPECT_EQ(ReadFile("out/a.txt"), "aaa");
}

// Every way of extracting meets a link to a file and a link to a folder in its destination:
// the file link is replaced, the member below the folder link fails (after the first member,
// as a typed command ends there), and nothing outside the destination changes.
TEST_F(Safety, NoExtractionPathWritesThroughALink)
{
    MakeLzh(L"\\a.lzh", {{"a.txt", "member a"}, {"d/g.txt", "member g"}});
    WriteFile("a.zip",
              BuildZip({StoredMember("a.txt", "member a"), StoredMember("d/g.txt", "member g")}));
    WriteFile("outside/secret", "untouched");
    auto plant = [&](const std::string& dest) {
        std::filesystem::remove_all(folder.HostPath(dest));
        std::filesystem::create_directories(folder.HostPath(dest));
        std::filesystem::create_symlink(folder.HostPath("outside/secret"),
                                        folder.HostPath(dest + "/a.txt"));
        std::filesystem::create_directory_symlink(folder.HostPath("outside"),
                                                  folder.HostPath(dest + "/d"));
    };
    auto expectSafe = [&](const std::string& dest) {
        EXPECT_EQ(ReadFile("outside/secret"), "untouched");
        EXPECT_FALSE(Exists("outside/g.txt"));
        EXPECT_FALSE(std::filesystem::is_symlink(folder.HostPath(dest + "/a.txt")));
        EXPECT_EQ(ReadFile(dest + "/a.txt"), "member a");
    };
    struct Path
    {
        const char* what;
        bool lzhOnly;
        std::function<void()> run;
    } paths[] = {
        {"Extract all", false,
         [&] {
             ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\dest", 0, 1)};
             doc->OnExtractAll();
         }},
        {"Extract selected", false,
         [&] {
             SelectAll();
             ui.dialogAnswers[IDD_EXTRACT_DEST] = {Destination(L"\\dest", 0, 1)};
             view->OnExtractSelected();
         }},
        {"typed x", true, [&] { doc->RunCommandLine(L"x \\dest\\"); }},
        {"typed e", true, [&] { doc->RunCommandLine(L"e -x1 \\dest\\"); }},
    };
    WriteFile("Temp/.keep", "");
    int tempFolders = 0;
    for (const wchar_t* archive : {L"\\a.lzh", L"\\a.zip"}) {
        bool lzh = std::wstring(archive).ends_with(L".lzh");
        Start(archive);
        ui.yesNoAnswers.assign(20, IDYES);
        for (const Path& p : paths) {
            if (p.lzhOnly && !lzh) {
                continue;
            }
            SCOPED_TRACE(std::string(p.what) + (lzh ? " of LZH" : " of ZIP"));
            plant("dest");
            ui.messages.clear();
            p.run();
            expectSafe("dest");
            EXPECT_NE(ui.MessageTexts().size(), 0u); // the member below the folder link is reported
        }
        // Open in place writes into a new folder in the private temporary folder: a link in
        // the place of one is passed over.
        std::string taken = "Temp/" + std::to_string(++tempFolders);
        std::filesystem::create_directory_symlink(folder.HostPath("outside"),
                                                  folder.HostPath(taken));
        doc->UpdateAllViews(nullptr);
        view->OnLButtonDblClk({5, CListCtrl::kRowHeight + 3}); // the first row
        EXPECT_FALSE(Exists("outside/a.txt"));
        EXPECT_EQ(ReadFile("Temp/" + std::to_string(++tempFolders) + "/a.txt"), "member a");
    }
}
