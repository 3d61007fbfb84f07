#include "framework/DocView.h"

#include "platform/DevicePath.h"

#include <algorithm>

namespace
{

CWinApp* g_app = nullptr;

} // namespace

CWinApp* AfxGetApp()
{
    return g_app;
}

CWinApp::CWinApp()
{
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this) {
        g_app = nullptr;
    }
}

int CWinApp::GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue)
{
    return m_profile.GetInt(section, entry, defaultValue);
}

std::wstring CWinApp::GetProfileString(const wchar_t* section, const wchar_t* entry,
                                       const wchar_t* defaultValue)
{
    return m_profile.GetString(section, entry, defaultValue);
}

bool CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value)
{
    return Saved(m_profile.WriteInt(section, entry, value));
}

bool CWinApp::WriteProfileString(const wchar_t* section, const wchar_t* entry,
                                 const std::wstring& value)
{
    return Saved(m_profile.WriteString(section, entry, value));
}

bool CWinApp::Saved(bool saved)
{
    if (!saved && !m_bToldUnsaved) {
        m_bToldUnsaved = true;
        OnSettingsNotSaved();
    }
    return saved;
}

void CWinApp::OnSettingsNotSaved() {}

namespace
{

constexpr const wchar_t* kRecentSection = L"RecentFileList";

std::wstring RecentEntry(int n)
{
    return L"File" + std::to_wstring(n + 1);
}

// Whether a path read from the settings file is one this program could have put there: an
// absolute device path, no "." or ".." in it, that names its host path again (the settings
// file is the user's to edit, or another root's).
bool IsRecentFilePath(const std::wstring& path)
{
    if (path.empty() || path[0] != L'\\') {
        return false;
    }
    for (size_t start = 1; start <= path.size();) {
        size_t end = std::min(path.find(L'\\', start), path.size());
        std::wstring_view part(path.data() + start, end - start);
        if (part.empty() || part == L"." || part == L"..") {
            return false;
        }
        start = end + 1;
    }
    return platform::ExactDevicePath(platform::DeviceToHost(path)) == path;
}

} // namespace

std::vector<std::wstring> CWinApp::GetRecentFiles()
{
    m_recentFiles.clear();
    for (int n = 0; n < kRecentFiles; ++n) {
        std::wstring path = GetProfileString(kRecentSection, RecentEntry(n).c_str());
        if (IsRecentFilePath(path)) {
            m_recentFiles.push_back(path);
        }
    }
    return m_recentFiles;
}

std::wstring CWinApp::GetRecentFile(int n) const
{
    return n >= 0 && n < static_cast<int>(m_recentFiles.size())
               ? m_recentFiles[static_cast<size_t>(n)]
               : std::wstring();
}

void CWinApp::AddToRecentFileList(const std::wstring& path)
{
    std::vector<std::wstring> files = GetRecentFiles();
    if (!files.empty() && files.front() == path) {
        return; // nothing to write
    }
    std::erase(files, path);
    files.insert(files.begin(), path);
    for (int n = 0; n < kRecentFiles; ++n) {
        WriteProfileString(kRecentSection, RecentEntry(n).c_str(),
                           n < static_cast<int>(files.size()) ? files[static_cast<size_t>(n)]
                                                              : L"");
    }
}

bool CWinApp::RouteCommand(int id)
{
    if (m_pMainWnd != nullptr) {
        if (m_pMainWnd->m_pActiveView != nullptr && m_pMainWnd->m_pActiveView->OnCmdMsg(id)) {
            return true;
        }
        if (m_pMainWnd->m_pDocument != nullptr && m_pMainWnd->m_pDocument->OnCmdMsg(id)) {
            return true;
        }
        if (m_pMainWnd->OnCmdMsg(id)) {
            return true;
        }
    }
    return OnCmdMsg(id);
}

bool CWinApp::IsCommandEnabled(int id)
{
    CCmdUI ui(id);
    if (m_pMainWnd != nullptr) {
        CCmdTarget* targets[] = {m_pMainWnd->m_pActiveView, m_pMainWnd->m_pDocument, m_pMainWnd};
        for (CCmdTarget* t : targets) {
            if (t != nullptr && t->OnUpdateCmdUI(&ui)) {
                return ui.m_bEnabled;
            }
        }
    }
    return !OnUpdateCmdUI(&ui) || ui.m_bEnabled;
}

void CListView::OnColumnClick(int column)
{
    if (m_list.GetSortColumn() != column) {
        m_list.SortItems(column, true);
    } else if (m_list.IsSortAscending()) {
        m_list.SortItems(column, false);
    } else {
        m_list.ClearSort();
    }
}

void CDocument::AddView(CView* view)
{
    m_views.push_back(view);
    view->m_pDocument = this;
}

void CDocument::UpdateAllViews(CView* sender, long hint)
{
    for (CView* v : m_views) {
        if (v != sender) {
            v->OnUpdate(sender, hint);
        }
    }
}
