// CWxMainFrame: the main window on wxWidgets: the menus and accelerators of resource 128,
// the command bar, the archive-name bar and the report list, which mirrors the view's
// CListCtrl. Menu and key commands go through the application's routing; update handlers
// enable them.
#pragma once

#include "framework/DocView.h"

#include <wx/frame.h>

class wxListCtrl;
class wxListEvent;
class wxTextCtrl;

class CWxMainFrame : public wxFrame
{
public:
    CWxMainFrame(CWinApp& app, CListView& view);

    // Makes the list show the view's rows and columns now.
    void SyncList();

private:
    void OnCommand(wxCommandEvent& event);
    void OnUpdateUI(wxUpdateUIEvent& event);
    void OnIdle(wxIdleEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnSelect(wxListEvent& event);
    void OnActivate(wxListEvent& event);
    void OnColumnDrag(wxListEvent& event);

    CWinApp& m_app;
    CListView& m_view;
    wxListCtrl* m_list = nullptr;
    wxTextCtrl* m_archiveName = nullptr;
    double m_scale = 1.0; // device pixels to this display's, by the font in use
    bool m_listDirty = true;
    bool m_syncing = false;
};
