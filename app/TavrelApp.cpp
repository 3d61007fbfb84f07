#include "app/TavrelApp.h"

#include "app/MainFrame.h"
#include "app/TavrelDoc.h"
#include "framework/Dialog.h"
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "platform/PrivateTemp.h"
#include "platform/Text.h"
#include "platform/Workers.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "view/TavrelView.h"

using settings::kHistory;
using settings::kLastFolder;
using settings::kOption;

CTavrelApp::CTavrelApp() = default;

CTavrelApp::~CTavrelApp()
{
    if (m_doc && !m_closed) {
        CloseMainWindow();
    }
}

CTavrelApp* TavrelApp()
{
    return static_cast<CTavrelApp*>(AfxGetApp());
}

void CTavrelApp::OnSettingsNotSaved()
{
    // A file that could not be read was told of already, when it was read.
    if (Profile().GetState() == CProfileStore::State::ReadOnly) {
        AfxMessageBox(FormatNamed(res::kSettingsNotSaved, platform::Utf8ToWide(Profile().File())));
    }
}

void CTavrelApp::LoadSettings()
{
    SetRegistryKey(res::kRegistryKey);
    if (Profile().GetState() == CProfileStore::State::Unusable && !m_bToldUnreadable) {
        m_bToldUnreadable = true;
        AfxMessageBox(
            FormatNamed(res::kSettingsUnreadable, platform::Utf8ToWide(Profile().File())));
    }
    static const int kColumnDefaults[9] = {1, 1, 1, 1, 1, 1, 0, 0, 1};
    for (int i = 1; i < 9; ++i) {
        m_nShowColumn[i] = GetProfileInt(kOption, settings::kShowColumn[i], kColumnDefaults[i]);
    }
    m_nCreateFolder = GetProfileInt(kOption, L"CreateFolder", 1);
    m_nUseFolder = GetProfileInt(kOption, L"UseFolder", 1);
    m_nResetReadOnly = GetProfileInt(kOption, L"ResetReadOnly", 0);
    m_nToLowercase = GetProfileInt(kOption, L"ToLowercase", 0);
    m_nShowFolderEntry = GetProfileInt(kOption, L"ShowFolderEntry", 0);
    m_nNameEncoding = GetProfileInt(kOption, L"NameEncoding", 0);
    m_nOverwriteInquire = GetProfileInt(kOption, L"OverwriteInquire", 1);
    m_nLhaMethod = GetProfileInt(kOption, L"LhaMethod", 2);
    m_nLhaAction = GetProfileInt(kOption, L"LhaAction", 0);
    m_nStartupFolderType = GetProfileInt(kOption, L"StartupFolderType", 1);
    m_nExtractFolderType = GetProfileInt(kOption, L"ExtractFolderType", 1);
    int threads = GetProfileInt(kOption, L"Threads", 0);
    platform::SetWorkerSetting(threads > 0 ? static_cast<unsigned>(threads) : 0);
    m_strStartupFolder = GetProfileString(kOption, L"StartupFolder", L"");
    m_strExtractFolder = GetProfileString(kOption, L"ExtractFolder", L"");
    m_strLastFolderStartup = GetProfileString(kLastFolder, L"Startup", res::kMyDocuments);
    m_strLastFolderExtract = GetProfileString(kLastFolder, L"Extract", res::kMyDocuments);
    m_strLastFolderAdd = GetProfileString(kLastFolder, L"Add", res::kMyDocuments);
    m_strCommandHistory[0] = GetProfileString(kHistory, L"CommandLine1", L"");
    m_strCommandHistory[1] = GetProfileString(kHistory, L"CommandLine2", L"");
    m_strCommandHistory[2] = GetProfileString(kHistory, L"CommandLine3", L"");
}

void CTavrelApp::SaveCommandHistory()
{
    WriteProfileString(kHistory, L"CommandLine1", m_strCommandHistory[0]);
    WriteProfileString(kHistory, L"CommandLine2", m_strCommandHistory[1]);
    WriteProfileString(kHistory, L"CommandLine3", m_strCommandHistory[2]);
}

bool CTavrelApp::InitInstance(const std::wstring& archivePath)
{
    SetRegistryKey(res::kRegistryKey);
    LoadSettings();
    platform::RemoveStaleTemps(); // left by programs that ended without emptying theirs
    // The single-document template: one document, one frame, one view.
    m_doc = std::make_unique<CTavrelDoc>();
    m_frame = std::make_unique<CMainFrame>();
    m_view = std::make_unique<CTavrelView>();
    m_doc->AddView(m_view.get());
    m_frame->m_pActiveView = m_view.get();
    m_frame->m_pDocument = m_doc.get();
    m_pMainWnd = m_frame.get();
    m_view->OnCreate();
    if (archivePath.empty()) {
        if (!m_doc->OnNewDocument()) {
            return false;
        }
    } else {
        // The framework's open step: the file must exist and be readable.
        platform::FileHandle file =
            platform::OpenFile(archivePath, platform::kAccessRead, platform::FileShare::ReadWrite,
                               platform::FileDisposition::OpenExisting);
        if (file == platform::kInvalidFile) {
            return false;
        }
        platform::CloseFile(file);
    }
    m_view->OnInitialUpdate();
    m_doc->ApplyOverwriteInquire();
    if (!archivePath.empty()) {
        m_doc->OpenArchiveByType(archivePath);
        m_doc->UpdateAllViews(nullptr);
    }
    return true;
}

void CTavrelApp::CloseMainWindow()
{
    if (m_closed) {
        return;
    }
    m_closed = true;
    if (m_doc) {
        m_doc->OnCloseDocument();
    }
    ExitInstance();
}

int CTavrelApp::ExitInstance()
{
    SaveCommandHistory();
    platform::RemovePrivateTemp();
    return 0;
}

bool CTavrelApp::OnCmdMsg(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        m_doc->OnNewDocument();
        return true;
    case ID_APP_EXIT:
        CloseMainWindow();
        return true;
    case ID_APP_ABOUT: {
        CDialog about(IDD_ABOUTBOX);
        about.DoModal();
        return true;
    }
    default:
        return false;
    }
}

NameEncoding CTavrelApp::NameEncodingInForce() const
{
    if (m_nameEncodingForRun) {
        return *m_nameEncodingForRun;
    }
    return m_nNameEncoding == 1   ? NameEncoding::Cp932
           : m_nNameEncoding == 2 ? NameEncoding::Utf8
                                  : NameEncoding::Auto;
}
