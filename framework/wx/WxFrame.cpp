#include "framework/wx/WxFrame.h"

#include "framework/wx/WxTrace.h"

#include "res/DialogTemplates.h"
#include "res/Menus.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

namespace
{

// Command ids run above the toolkit's limit of 32767: they are shifted down for it.
constexpr int kIdShift = 30000;

int ToWx(int id)
{
    return id - kIdShift;
}

wxArtID ImageOf(int id)
{
    switch (id) {
    case ID_FILE_NEW:
        return wxART_NEW;
    case ID_FILE_OPEN:
        return wxART_FILE_OPEN;
    case ID_ARCHIVE_ADD:
        return wxART_PLUS;
    case ID_EXTRACT_ALL:
        return wxART_GO_DOWN;
    case ID_EXTRACT_SELECTED:
        return wxART_GOTO_LAST;
    default:
        return wxART_INFORMATION;
    }
}

} // namespace

CWxMainFrame::CWxMainFrame(CWinApp& app, CListView& view)
    : wxFrame(nullptr, wxID_ANY, wxString(res::kAppName), wxDefaultPosition, wxSize(900, 560)),
      m_app(app), m_view(view)
{
    SetName("tavrel");
    auto* bar = new wxMenuBar;
    for (const Menu& menu : MainMenu()) {
        auto* m = new wxMenu;
        for (const MenuItem& item : menu.items) {
            if (item.id == 0) {
                m->AppendSeparator();
            } else {
                m->Append(ToWx(item.id), wxString(item.text));
            }
        }
        bar->Append(m, wxString(menu.title));
    }
    SetMenuBar(bar);
    std::vector<wxAcceleratorEntry> keys;
    for (const Accelerator& a : MainAccelerators()) {
        keys.emplace_back(a.ctrl ? wxACCEL_CTRL : wxACCEL_NORMAL, a.key, ToWx(a.id));
    }
    wxAcceleratorTable table(static_cast<int>(keys.size()), keys.data());
    SetAcceleratorTable(table);

    wxToolBar* tools = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    for (const CommandBarEntry& e : MainCommandBar()) {
        if (e.image < 0) {
            tools->AddSeparator();
        } else {
            const wchar_t* tip = CommandString(e.id);
            wxString help = tip != nullptr ? wxString(tip).AfterFirst('\n') : wxString();
            tools->AddTool(ToWx(e.id), help, wxArtProvider::GetBitmap(ImageOf(e.id), wxART_TOOLBAR),
                           help);
        }
    }
    tools->Realize();

    auto* panel = new wxPanel(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(new wxStaticText(panel, wxID_ANY, L"書庫名"), 0, wxALIGN_CENTER_VERTICAL | wxALL,
                 4);
    m_archiveName =
        new wxTextCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    nameRow->Add(m_archiveName, 1, wxEXPAND | wxALL, 2);
    sizer->Add(nameRow, 0, wxEXPAND);
    m_list = new wxListCtrl(panel, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                            wxLC_REPORT | wxBORDER_SUNKEN);
    m_list->SetName("members");
    sizer->Add(m_list, 1, wxEXPAND);
    panel->SetSizer(sizer);
    // The device's column widths are pixels of a 6-pixel-wide font: keep their proportions.
    m_scale = std::max(1.0, m_list->GetCharWidth() / 6.0);

    CListCtrl& model = m_view.GetListCtrl();
    model.changedContext = this;
    model.onChanged = [](CListCtrl&, void* context) {
        auto* frame = static_cast<CWxMainFrame*>(context);
        if (!frame->m_syncing) {
            frame->m_listDirty = true;
        }
    };

    Bind(wxEVT_MENU, &CWxMainFrame::OnCommand, this);
    Bind(wxEVT_TOOL, &CWxMainFrame::OnCommand, this);
    Bind(wxEVT_UPDATE_UI, &CWxMainFrame::OnUpdateUI, this);
    Bind(wxEVT_IDLE, &CWxMainFrame::OnIdle, this);
    Bind(wxEVT_CLOSE_WINDOW, &CWxMainFrame::OnClose, this);
    m_list->Bind(wxEVT_LIST_ITEM_SELECTED, &CWxMainFrame::OnSelect, this);
    m_list->Bind(wxEVT_LIST_ITEM_DESELECTED, &CWxMainFrame::OnSelect, this);
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CWxMainFrame::OnActivate, this);
    m_list->Bind(wxEVT_LIST_COL_BEGIN_DRAG, &CWxMainFrame::OnColumnDrag, this);
    SyncList();
}

void CWxMainFrame::SyncList()
{
    m_syncing = true;
    CListCtrl& model = m_view.GetListCtrl();
    m_list->Freeze();
    m_list->DeleteAllItems();
    if (m_list->GetColumnCount() != model.GetColumnCount()) {
        m_list->DeleteAllColumns();
        for (int c = 0; c < model.GetColumnCount(); ++c) {
            const CListCtrl::Column& column = model.GetColumn(c);
            m_list->InsertColumn(c, wxString(column.text),
                                 column.format == LVCFMT_RIGHT ? wxLIST_FORMAT_RIGHT
                                                               : wxLIST_FORMAT_LEFT);
        }
    }
    for (int c = 0; c < model.GetColumnCount(); ++c) {
        int width = model.GetColumnWidth(c);
        m_list->SetColumnWidth(c, width == 0 ? 0 : static_cast<int>(width * m_scale));
    }
    for (int row = 0; row < model.GetItemCount(); ++row) {
        long item = m_list->InsertItem(row, wxString(model.GetItemText(row, 0)));
        for (int c = 1; c < model.GetColumnCount(); ++c) {
            m_list->SetItem(item, c, wxString(model.GetItemText(row, c)));
        }
        if (model.GetItemState(row, LVIS_SELECTED)) {
            m_list->SetItemState(item, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
        }
    }
    m_list->Thaw();
    std::wstring names;
    for (int row = 0; row < model.GetItemCount(); ++row) {
        names += (row == 0 ? L"" : L"|") + model.GetItemText(row, 0);
    }
    WxTrace(L"rows", names);
    m_listDirty = false;
    m_syncing = false;
}

void CWxMainFrame::OnCommand(wxCommandEvent& event)
{
    int id = event.GetId() + kIdShift;
    if (id == ID_APP_EXIT) {
        Close();
        return;
    }
    m_app.RouteCommand(id);
}

void CWxMainFrame::OnUpdateUI(wxUpdateUIEvent& event)
{
    int id = event.GetId() + kIdShift;
    if (id > kIdShift) {
        event.Enable(m_app.IsCommandEnabled(id));
    }
}

void CWxMainFrame::OnIdle(wxIdleEvent& event)
{
    if (m_listDirty) {
        SyncList();
    }
    wxString name(m_app.m_pMainWnd != nullptr ? m_app.m_pMainWnd->GetArchiveBarText() : L"");
    if (m_archiveName->GetValue() != name) {
        m_archiveName->ChangeValue(name);
    }
    event.Skip();
}

void CWxMainFrame::OnClose(wxCloseEvent& event)
{
    m_view.GetListCtrl().onChanged = nullptr;
    m_app.RouteCommand(ID_APP_EXIT); // the document closes the archive; the history is saved
    event.Skip();
}

void CWxMainFrame::OnSelect(wxListEvent& event)
{
    if (m_syncing) {
        return;
    }
    m_syncing = true;
    bool selected = event.GetEventType() == wxEVT_LIST_ITEM_SELECTED;
    m_view.GetListCtrl().SetItemState(static_cast<int>(event.GetIndex()),
                                      selected ? LVIS_SELECTED : 0, LVIS_SELECTED);
    m_syncing = false;
}

void CWxMainFrame::OnActivate(wxListEvent& event)
{
    // The view finds the row under a point of its own geometry.
    int row = static_cast<int>(event.GetIndex());
    m_view.OnLButtonDblClk({4, (row + 1) * CListCtrl::kRowHeight + CListCtrl::kRowHeight / 2});
}

void CWxMainFrame::OnColumnDrag(wxListEvent& event)
{
    // A hidden column stays closed.
    if (m_view.GetListCtrl().GetColumnWidth(event.GetColumn()) == 0) {
        event.Veto();
    }
}
