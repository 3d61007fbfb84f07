// CWxMainFrame: the main window on wxWidgets: the menus and accelerators of resource 128,
// the command bar with its tool tips, the archive-name bar and the virtual report list over
// the view's CListCtrl, with sorting by a header click, files dropped in and members dragged
// out. Menu and key commands go through the application's routing; update handlers enable
// them. The title names the open archive.
#pragma once

#include "framework/DocView.h"

#include <wx/frame.h>
#include <wx/timer.h>

#include <string>

class CWxFileDrop;
class CWxMemberList;
class wxListEvent;
class wxTextCtrl;

class CWxMainFrame : public wxFrame
{
public:
    CWxMainFrame(CWinApp& app, CListView& view);
    // The list goes first: its last events still find the frame whole.
    ~CWxMainFrame() override { DestroyChildren(); }

    // Makes the list show the view's rows, columns, selection and sort now.
    void SyncList();
    // A menu of the list is open or members are being dragged out: the window's own loop
    // runs, and closing must wait for it.
    bool IsBusy() const { return m_inContextMenu || m_dragging; }

private:
    void OnCommand(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnActivate(wxListEvent& event);
    void OnColumnClick(wxListEvent& event);
    // The list's context menu at a screen point (wxDefaultPosition: at the focused row).
    void ShowContextMenu(wxPoint at);
    void OnColumnDrag(wxListEvent& event);
    void OnBeginDrag(wxListEvent& event);
    void OnTestDropTimer(wxTimerEvent& event);
    // The selection of the window's list into the view's list, which commands read.
    void PullSelection();
    void UpdateTitle();
    // The window's place and size from the settings, and back at close.
    void RestoreGeometry();
    void SaveGeometry();
    // The File menu's recent archives, as the settings hold them now.
    void ShowRecentFiles();
    // The status line's counts, when the list or its selection changed.
    void UpdateStatus();
    void TraceRows();
    void TraceHeader();

    CWinApp& m_app;
    CListView& m_view;
    CWxMemberList* m_list = nullptr;
    wxMenu* m_fileMenu = nullptr;
    int m_recentShown = 0;              // recent archives in the File menu
    static constexpr int kRecentAt = 4; // their place: after Close archive's separator
    CWxFileDrop* m_drop = nullptr;      // the list's drop target, owned by the list
    wxTextCtrl* m_archiveName = nullptr;
    wxTimer m_testDrop;      // under tests: polls for a drop to make through the drop target
    double m_scale = 1.0;    // device pixels to this display's, by the font in use
    bool m_listDirty = true; // the view's list changed since the window's list showed it
    bool m_syncing = false;  // the window's list is being changed from the view's
    bool m_inContextMenu = false;
    bool m_dragging = false;
    bool m_statusDirty = true;   // the status line may no longer tell the list's counts
    int m_statusSelected = -1;   // the selected rows' count the status line tells
    std::wstring m_tracedHeader; // the header's place as last traced
};
