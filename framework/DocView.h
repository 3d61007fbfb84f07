// The document/view classes: CWinApp (settings profile, main window), CDocument with its
// views, CView and CListView, CFrameWnd with the archive-name bar, and command routing with
// update handlers (CCmdUI).
#pragma once

#include "framework/Framework.h"
#include "framework/ListCtrl.h"
#include "framework/Profile.h"

#include <string>
#include <vector>

class CDocument;
class CView;
class CFrameWnd;

// What an update handler decides about one command.
class CCmdUI
{
public:
    explicit CCmdUI(int id) : m_nID(id) {}
    void Enable(bool on = true) { m_bEnabled = on; }
    int m_nID;
    bool m_bEnabled = true;
};

// Something that handles commands: OnCmdMsg returns true when it handled id; OnUpdateCmdUI
// returns true when it has an update handler for the command.
class CCmdTarget
{
public:
    virtual ~CCmdTarget() = default;
    virtual bool OnCmdMsg(int /*id*/) { return false; }
    virtual bool OnUpdateCmdUI(CCmdUI* /*ui*/) { return false; }
};

class CView : public CCmdTarget
{
public:
    CDocument* GetDocument() const { return m_pDocument; }
    virtual void OnInitialUpdate() { OnUpdate(nullptr, 0); }
    virtual void OnUpdate(CView* /*sender*/, long /*hint*/) {}

    CDocument* m_pDocument = nullptr;
};

class CListView : public CView
{
public:
    CListCtrl& GetListCtrl() { return m_list; }
    // The window is made: the view adds its columns here.
    virtual int OnCreate() { return 0; }
    // A double-click at a point of the list's client area.
    virtual void OnLButtonDblClk(CPoint /*point*/) {}
    // A click on a column's header: the rows sort by that column, a second click on the same
    // column reverses the order, a third brings back the order of the rows' data.
    virtual void OnColumnClick(int column);
    // Files and folders (device paths) dropped on the list.
    virtual void OnDropFiles(const std::vector<std::wstring>& /*paths*/) {}
    // The selected rows are dragged out of the list: the files (device paths) to offer, made
    // now; none cancels the drag.
    virtual std::vector<std::wstring> OnBeginDrag() { return {}; }
    // The user set a column's width (in the list's units).
    virtual void OnColumnResized(int column, int width) { m_list.SetColumnWidth(column, width); }
    // The text of the window's status line for the list as it stands.
    virtual std::wstring StatusText() { return {}; }

private:
    CListCtrl m_list;
};

class CDocument : public CCmdTarget
{
public:
    virtual bool OnNewDocument() { return true; }
    // Whether the document holds changes not yet written (the title shows a mark).
    virtual bool IsModified() const { return false; }
    virtual void OnCloseDocument() {}
    void AddView(CView* view);
    void UpdateAllViews(CView* sender, long hint = 0);

private:
    std::vector<CView*> m_views;
};

class CFrameWnd : public CCmdTarget
{
public:
    // The archive-name bar's edit control (1025).
    void SetArchiveBarText(const std::wstring& text) { m_archiveBarText = text; }
    const std::wstring& GetArchiveBarText() const { return m_archiveBarText; }

    CView* m_pActiveView = nullptr;
    CDocument* m_pDocument = nullptr;

private:
    std::wstring m_archiveBarText;
};

class CWinApp : public CCmdTarget
{
public:
    CWinApp();
    ~CWinApp() override;

    void SetRegistryKey(const wchar_t* company) { m_registryKey = company; }
    int GetProfileInt(const wchar_t* section, const wchar_t* entry, int defaultValue);
    std::wstring GetProfileString(const wchar_t* section, const wchar_t* entry,
                                  const wchar_t* defaultValue = L"");
    bool WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value);
    bool WriteProfileString(const wchar_t* section, const wchar_t* entry,
                            const std::wstring& value);
    CProfileStore& Profile() { return m_profile; }
    // The archives opened last (device paths), newest first, at most kRecentFiles; kept in
    // the settings' section of their own.
    static constexpr int kRecentFiles = 5;
    // Entries that are no absolute device path of this root are left out.
    std::vector<std::wstring> GetRecentFiles();
    // The n-th of the list as GetRecentFiles last gave it (what the menu shows); empty when
    // there is none.
    std::wstring GetRecentFile(int n) const;
    void AddToRecentFileList(const std::wstring& path);
    // Called once, at the first change of a setting that could not be saved.
    virtual void OnSettingsNotSaved();

    // Routes a command: view, document, frame, then the application. False when nobody
    // handled it.
    bool RouteCommand(int id);
    // Asks the update handlers whether a command is enabled (true when none has one).
    bool IsCommandEnabled(int id);

    CFrameWnd* m_pMainWnd = nullptr;
    std::wstring m_registryKey;

private:
    bool Saved(bool saved);

    CProfileStore m_profile;
    bool m_bToldUnsaved = false;
    std::vector<std::wstring> m_recentFiles;
};

// The running application.
CWinApp* AfxGetApp();
