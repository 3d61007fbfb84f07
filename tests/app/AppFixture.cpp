#include "tests/app/AppFixture.h"

#include "platform/DevicePath.h"
#include "res/Resource.h"

#include <filesystem>

namespace testsupport
{

AppFixture::AppFixture()
{
    AfxSetBackend(&ui);
    app = std::make_unique<CTavrelApp>();
    app->Profile().SetFile(folder.HostPath("settings/Tavrel.ini"));
}

AppFixture::~AppFixture()
{
    app.reset();
    AfxSetBackend(nullptr);
}

void AppFixture::Start(const std::wstring& archive)
{
    ASSERT_TRUE(app->InitInstance(archive));
    doc = app->GetDocument();
    view = app->GetView();
}

void AppFixture::Restart(const std::wstring& archive)
{
    app->CloseMainWindow();
    app.reset();
    app = std::make_unique<CTavrelApp>();
    app->Profile().SetFile(folder.HostPath("settings/Tavrel.ini"));
    Start(archive);
}

void AppFixture::WriteFile(const std::string& relative, const std::string& bytes)
{
    std::filesystem::create_directories(
        std::filesystem::path(folder.HostPath(relative)).parent_path());
    folder.WriteHostFile(relative, bytes);
}

std::string AppFixture::ReadFile(const std::string& relative) const
{
    return ReadHostFile(folder.HostPath(relative));
}

bool AppFixture::Exists(const std::string& relative) const
{
    return std::filesystem::exists(folder.HostPath(relative));
}

void AppFixture::MakeLzh(const std::wstring& path, const std::map<std::string, std::string>& files)
{
    std::filesystem::create_directories(
        std::filesystem::path(platform::DeviceToHost(path)).parent_path());
    // Members are added by relative names from \src, so that they are stored without it.
    std::filesystem::create_directories(folder.HostPath("src"));
    std::filesystem::path saved = std::filesystem::current_path();
    std::filesystem::current_path(folder.HostPath("src"));
    CLzhArchive archive;
    ASSERT_TRUE(archive.Open(path.c_str(), true));
    archive.keepFolders = true;
    for (const auto& [name, bytes] : files) {
        if (name.back() == '/') {
            std::filesystem::create_directories(folder.HostPath("src/" + name));
        } else {
            WriteFile("src/" + name, bytes);
        }
        std::wstring member(name.begin(), name.end());
        for (wchar_t& c : member) {
            c = c == L'/' ? L'\\' : c;
        }
        if (member.back() == L'\\') {
            member.pop_back();
        }
        EXPECT_TRUE(archive.AddFile(member.c_str())) << name << " " << archive.status;
    }
    EXPECT_TRUE(archive.Close());
    std::filesystem::current_path(saved);
}

std::vector<std::wstring> AppFixture::Column(int column)
{
    std::vector<std::wstring> texts;
    CListCtrl& list = view->GetListCtrl();
    for (int row = 0; row < list.GetItemCount(); ++row) {
        texts.push_back(list.GetItemText(row, column));
    }
    return texts;
}

CScriptedBackend::DialogAnswer AppFixture::Destination(const std::wstring& destination,
                                                       int createFolder, int useFolder)
{
    return [=](CDialog& dialog) {
        dialog.SetControlText(IDC_TEXT, destination);
        if (createFolder >= 0) {
            dialog.SetControlInt(IDC_CREATE_FOLDER, createFolder);
        }
        if (useFolder >= 0) {
            dialog.SetControlInt(IDC_USE_FOLDER, useFolder);
        }
        return IDOK;
    };
}

} // namespace testsupport
