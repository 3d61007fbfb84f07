#include "framework/wx/WxFrame.h"

#include "framework/wx/WxAppIcon.h"
#include "framework/wx/WxFileDrop.h"
#include "framework/wx/WxMemberList.h"
#include "framework/wx/WxTrace.h"

#include "platform/DevicePath.h"
#include "res/DialogTemplates.h"
#include "res/Menus.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <wx/accel.h>
#include <wx/artprov.h>
#include <wx/dataobj.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace
{

// Command ids run above the toolkit's limit of 32767: they are shifted down for it.
constexpr int kIdShift = 30000;

// Beyond this many rows the trace gives only their count.
constexpr int kTracedRows = 5000;

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

int KeyOf(int key)
{
    switch (key) {
    case kKeyDelete:
        return WXK_DELETE;
    case kKeyReturn:
        return WXK_RETURN;
    default:
        return key;
    }
}

// A menu item's text for the toolkit, which binds any key named after a tab: a key the
// accelerator table does not hold is shown as a hint only.
wxString MenuText(const MenuItem& item)
{
    wxString text(item.text);
    for (const Accelerator& a : MainAccelerators()) {
        if (a.id == item.id) {
            return text;
        }
    }
    text.Replace(L"\t", L"    ");
    return text;
}

// The file name of a path (either separator).
wxString FileNameOf(const wxString& path)
{
    size_t cut = path.find_last_of(L"\\/");
    return cut == wxString::npos ? path : path.substr(cut + 1);
}

} // namespace

CWxMainFrame::CWxMainFrame(CWinApp& app, CListView& view)
    : wxFrame(nullptr, wxID_ANY, wxString(res::kAppName), wxDefaultPosition, wxSize(900, 560)),
      m_app(app), m_view(view), m_testDrop(this)
{
    SetName("tavrel");
    SetIcons(AppIconBundle());
    auto* bar = new wxMenuBar;
    for (const Menu& menu : MainMenu()) {
        auto* m = new wxMenu;
        for (const MenuItem& item : menu.items) {
            if (item.id == 0) {
                m->AppendSeparator();
            } else {
                // The text before a command string's line break is its help on the status line.
                const wchar_t* help = CommandString(item.id);
                m->Append(ToWx(item.id), MenuText(item),
                          help != nullptr ? wxString(help).BeforeFirst('\n') : wxString());
            }
        }
        bar->Append(m, wxString(menu.title));
        if (m_fileMenu == nullptr) {
            m_fileMenu = m; // the recent archives go in the first menu, before Exit
        }
    }
    SetMenuBar(bar);
    std::vector<wxAcceleratorEntry> keys;
    for (const Accelerator& a : MainAccelerators()) {
        int flags = ((a.modifiers & kAccelCtrl) ? wxACCEL_CTRL : 0) |
                    ((a.modifiers & kAccelShift) ? wxACCEL_SHIFT : 0);
        keys.emplace_back(flags == 0 ? wxACCEL_NORMAL : flags, KeyOf(a.key), ToWx(a.id));
    }
    wxAcceleratorTable table(static_cast<int>(keys.size()), keys.data());
    SetAcceleratorTable(table);

    wxToolBar* tools = CreateToolBar(wxTB_HORIZONTAL | wxTB_FLAT);
    for (const CommandBarEntry& e : MainCommandBar()) {
        if (e.image < 0) {
            tools->AddSeparator();
        } else {
            const wchar_t* text = CommandString(e.id);
            wxString tip = text != nullptr ? wxString(text).AfterFirst('\n') : wxString();
            tools->AddTool(ToWx(e.id), tip, wxArtProvider::GetBitmap(ImageOf(e.id), wxART_TOOLBAR),
                           tip);
            WxTrace(L"tool", std::to_wstring(e.id) + L"\t" + tip.ToStdWstring());
        }
    }
    tools->Realize();
    // Menu help in the first field ("レディ" otherwise), the list's counts in the second.
    CreateStatusBar(2);
    const int widths[] = {-1, -2};
    SetStatusWidths(2, widths);
    SetStatusText(wxString(res::kStatusIdle), 0);

    auto* panel = new wxPanel(this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* nameRow = new wxBoxSizer(wxHORIZONTAL);
    nameRow->Add(new wxStaticText(panel, wxID_ANY, L"書庫名"), 0, wxALIGN_CENTER_VERTICAL | wxALL,
                 4);
    m_archiveName =
        new wxTextCtrl(panel, wxID_ANY, "", wxDefaultPosition, wxDefaultSize, wxTE_READONLY);
    nameRow->Add(m_archiveName, 1, wxEXPAND | wxALL, 2);
    sizer->Add(nameRow, 0, wxEXPAND);
    CListCtrl& model = m_view.GetListCtrl();
    m_list = new CWxMemberList(panel, model);
    m_list->SetName("members");
    m_drop = new CWxFileDrop(
        [this](const std::vector<std::wstring>& paths) { m_view.OnDropFiles(paths); });
    m_list->SetDropTarget(m_drop);
    sizer->Add(m_list, 1, wxEXPAND);
    panel->SetSizer(sizer);
    // The device's column widths are pixels of a 6-pixel-wide font: keep their proportions.
    m_scale = std::max(1.0, m_list->GetCharWidth() / 6.0);

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
    m_list->Bind(wxEVT_LIST_ITEM_ACTIVATED, &CWxMainFrame::OnActivate, this);
    m_list->Bind(wxEVT_LIST_COL_CLICK, &CWxMainFrame::OnColumnClick, this);
    m_list->Bind(wxEVT_LIST_COL_BEGIN_DRAG, &CWxMainFrame::OnColumnDrag, this);
    m_list->Bind(wxEVT_LIST_COL_END_DRAG, [this](wxListEvent& event) {
        int column = event.GetColumn();
        CallAfter([this, column] {
            int width = static_cast<int>(m_list->GetColumnWidth(column) / m_scale + 0.5);
            if (width != m_view.GetListCtrl().GetColumnWidth(column)) {
                m_view.OnColumnResized(column, width);
                m_listDirty = true;
            }
        });
        event.Skip();
    });
    m_list->Bind(wxEVT_LIST_BEGIN_DRAG, &CWxMainFrame::OnBeginDrag, this);
    // A right click, the Menu key and Shift+F10 come as one context menu event each.
    m_list->Bind(wxEVT_CONTEXT_MENU,
                 [this](wxContextMenuEvent& event) { ShowContextMenu(event.GetPosition()); });
    for (auto type :
         {wxEVT_LIST_ITEM_SELECTED, wxEVT_LIST_ITEM_DESELECTED, wxEVT_LIST_ITEM_FOCUSED}) {
        m_list->Bind(type, [this](wxListEvent& event) {
            m_statusDirty = true;
            event.Skip();
        });
    }
    if (WxTracing()) {
        Bind(wxEVT_TIMER, &CWxMainFrame::OnTestDropTimer, this);
        m_testDrop.Start(200);
    }
    SyncList();
    RestoreGeometry();
    ShowRecentFiles();
    UpdateTitle();
    m_list->SetFocus(); // keys go to the rows from the start
}

namespace
{

// The window's place and size: a section of their own in the settings.
constexpr const wchar_t* kWindowSection = L"Window";

// Adds a file to the desktop's recently used list where the toolkit's library has one
// (GTK, looked up at run time: nothing else of it is needed here).
void AddToDesktopRecent(const std::string& hostPath)
{
    using GetDefault = void* (*)();
    using AddItem = int (*)(void*, const char*);
    using ToUri = char* (*)(const char*, const char*, void**);
    using Free = void (*)(void*);
    auto manager =
        reinterpret_cast<GetDefault>(dlsym(RTLD_DEFAULT, "gtk_recent_manager_get_default"));
    auto add = reinterpret_cast<AddItem>(dlsym(RTLD_DEFAULT, "gtk_recent_manager_add_item"));
    auto toUri = reinterpret_cast<ToUri>(dlsym(RTLD_DEFAULT, "g_filename_to_uri"));
    auto release = reinterpret_cast<Free>(dlsym(RTLD_DEFAULT, "g_free"));
    if (manager == nullptr || add == nullptr || toUri == nullptr || release == nullptr) {
        return;
    }
    if (char* uri = toUri(hostPath.c_str(), nullptr, nullptr)) {
        add(manager(), uri);
        release(uri);
    }
}

} // namespace

void CWxMainFrame::RestoreGeometry()
{
    // A place off every display now attached (a screen since removed) is not restored.
    int x = m_app.GetProfileInt(kWindowSection, L"X", INT32_MIN);
    int y = m_app.GetProfileInt(kWindowSection, L"Y", INT32_MIN);
    int width = m_app.GetProfileInt(kWindowSection, L"Width", 0);
    int height = m_app.GetProfileInt(kWindowSection, L"Height", 0);
    if (width >= 200 && height >= 150 && width <= 20000 && height <= 20000) {
        SetSize(width, height);
    }
    bool placed = x > -100000 && x < 100000 && y > -100000 && y < 100000;
    if (placed && wxDisplay::GetFromPoint(wxPoint(x + 40, y + 20)) != wxNOT_FOUND) {
        Move(x, y);
    }
    if (m_app.GetProfileInt(kWindowSection, L"Maximized", 0) != 0) {
        Maximize();
    }
}

void CWxMainFrame::SaveGeometry()
{
    bool maximized = IsMaximized();
    m_app.WriteProfileInt(kWindowSection, L"Maximized", maximized ? 1 : 0);
    if (maximized || IsIconized()) {
        return; // the restored size stays the one before
    }
    wxRect r = GetRect();
    m_app.WriteProfileInt(kWindowSection, L"X", r.x);
    m_app.WriteProfileInt(kWindowSection, L"Y", r.y);
    m_app.WriteProfileInt(kWindowSection, L"Width", r.width);
    m_app.WriteProfileInt(kWindowSection, L"Height", r.height);
}

void CWxMainFrame::ShowRecentFiles()
{
    // The items shown before are replaced: the list as the settings hold it, then a separator.
    for (int n = 0; n < m_recentShown; ++n) {
        m_fileMenu->Destroy(ToWx(ID_FILE_MRU_FILE1 + n));
    }
    if (m_recentShown > 0) {
        m_fileMenu->Destroy(m_fileMenu->FindItemByPosition(kRecentAt));
    }
    std::vector<std::wstring> files = m_app.GetRecentFiles();
    m_recentShown = static_cast<int>(files.size());
    std::wstring traced;
    for (int n = 0; n < m_recentShown; ++n) {
        std::wstring shown = platform::DisplayPath(files[static_cast<size_t>(n)]);
        wxString name(shown);
        name.Replace(L"&", L"&&"); // a '&' of the path is no mnemonic
        name.Replace(L"\t", L" "); // nor a tab the start of a key
        wxString label = wxString::Format(L"&%d ", n + 1) + name;
        m_fileMenu->Insert(kRecentAt + n, ToWx(ID_FILE_MRU_FILE1 + n), label);
        traced += (n == 0 ? L"" : L"|") + shown;
    }
    if (m_recentShown > 0) {
        m_fileMenu->InsertSeparator(kRecentAt + m_recentShown);
    }
    WxTrace(L"recent", traced);
}

void CWxMainFrame::SyncList()
{
    m_syncing = true;
    CListCtrl& model = m_view.GetListCtrl();
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
        int shown = width == 0 ? 0 : static_cast<int>(width * m_scale);
        if (m_list->GetColumnWidth(c) != shown) {
            m_list->SetColumnWidth(c, shown);
        }
    }
    int count = model.GetItemCount();
    if (m_list->GetItemCount() != count) {
        m_list->SetItemCount(count);
    }
    // The selection as the view's list holds it; every row selected is set in one call.
    m_list->SetItemState(-1, 0, wxLIST_STATE_SELECTED);
    if (count > 0 && model.GetSelectedCount() == count) {
        m_list->SetItemState(-1, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    } else {
        for (int row = 0; row < count && model.GetSelectedCount() > 0; ++row) {
            if (model.GetItemState(row, LVIS_SELECTED)) {
                m_list->SetItemState(row, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
            }
        }
    }
    if (model.GetSortColumn() >= 0) {
        m_list->ShowSortIndicator(model.GetSortColumn(), model.IsSortAscending());
    } else {
        m_list->RemoveSortIndicator();
    }
    // The header's own arrow does not show in every theme: the sorted column's title carries
    // one as well.
    for (int c = 0; c < model.GetColumnCount(); ++c) {
        wxString title(model.GetColumn(c).text);
        if (c == model.GetSortColumn()) {
            title += model.IsSortAscending() ? L" ▲" : L" ▼";
        }
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        m_list->GetColumn(c, item);
        if (item.GetText() != title) {
            item.SetText(title);
            m_list->SetColumn(c, item);
        }
    }
    m_list->Refresh();
    TraceRows();
    if (WxTracing()) {
        WxTrace(L"sort", std::to_wstring(model.GetSortColumn()) + L"\t" +
                             (model.IsSortAscending() ? L"1" : L"0"));
    }
    m_listDirty = false;
    m_syncing = false;
    m_statusDirty = true;
}

void CWxMainFrame::UpdateStatus()
{
    // A range selected with the keyboard may come without an event per row: a change of the
    // count is a change too.
    int selected = m_list->GetSelectedItemCount();
    if (!m_statusDirty && selected == m_statusSelected) {
        return;
    }
    m_statusDirty = false;
    m_statusSelected = selected;
    PullSelection();
    wxString text(m_view.StatusText());
    if (GetStatusBar()->GetStatusText(1) != text) {
        SetStatusText(text, 1);
        WxTrace(L"status", text.ToStdWstring());
    }
}

void CWxMainFrame::TraceRows()
{
    if (!WxTracing()) {
        return;
    }
    CListCtrl& model = m_view.GetListCtrl();
    int count = model.GetItemCount();
    WxTrace(L"count", std::to_wstring(count));
    if (count > kTracedRows) {
        return;
    }
    std::wstring names;
    for (int row = 0; row < count; ++row) {
        names += (row == 0 ? L"" : L"|") + model.GetItemText(row, 0);
    }
    WxTrace(L"rows", names);
}

void CWxMainFrame::TraceHeader()
{
    // Where a test clicks a column's header: the screen's y of the header and the x of each
    // column's middle (-1 for a hidden one); written when it changes.
    wxPoint origin = m_list->GetScreenPosition();
    std::wstring middles;
    int left = origin.x - m_list->GetScrollPos(wxHORIZONTAL);
    for (int c = 0; c < m_list->GetColumnCount(); ++c) {
        int width = m_list->GetColumnWidth(c);
        middles += (c == 0 ? L"" : L",") + std::to_wstring(width > 0 ? left + width / 2 : -1);
        left += width;
    }
    std::wstring header = std::to_wstring(origin.y + 10) + L"\t" + middles;
    if (header != m_tracedHeader) {
        m_tracedHeader = header;
        WxTrace(L"header", header);
    }
}

void CWxMainFrame::PullSelection()
{
    CListCtrl& model = m_view.GetListCtrl();
    m_syncing = true;
    int count = model.GetItemCount();
    int selected = m_list->GetSelectedItemCount();
    model.SelectAll(count > 0 && selected == count);
    if (selected > 0 && selected < count) {
        long item = -1;
        while ((item = m_list->GetNextItem(item, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED)) != -1) {
            model.SetItemState(static_cast<int>(item), LVIS_SELECTED, LVIS_SELECTED);
        }
    }
    m_syncing = false;
}

void CWxMainFrame::UpdateTitle()
{
    wxString path(m_app.m_pMainWnd != nullptr ? m_app.m_pMainWnd->GetArchiveBarText() : L"");
    if (m_archiveName->GetValue() != path) {
        m_archiveName->ChangeValue(path);
        WxTrace(L"archive-bar", path.ToStdWstring());
        // Each archive shown goes first in the recent archives, here and on the desktop.
        std::string host = path.utf8_string();
        std::wstring device = host.empty() ? std::wstring() : platform::ExactDevicePath(host);
        if (!device.empty()) {
            m_app.AddToRecentFileList(device);
            ShowRecentFiles();
            AddToDesktopRecent(host);
        }
    }
    // A mark before the name while changes wait for the archive's Close.
    CDocument* doc = m_app.m_pMainWnd != nullptr ? m_app.m_pMainWnd->m_pDocument : nullptr;
    wxString mark = doc != nullptr && doc->IsModified() ? L"*" : L"";
    wxString title = path.empty() ? wxString(res::kAppName)
                                  : mark + FileNameOf(path) + L" - " + wxString(res::kAppName);
    if (GetTitle() != title) {
        SetTitle(title);
        WxTrace(L"title", title.ToStdWstring());
    }
}

void CWxMainFrame::OnCommand(wxCommandEvent& event)
{
    int id = event.GetId() + kIdShift;
    if (id == ID_APP_EXIT) {
        Close();
        return;
    }
    // Keys reach here as well as menus: a disabled command does nothing.
    if (!m_app.IsCommandEnabled(id)) {
        return;
    }
    PullSelection();
    m_app.RouteCommand(id);
    UpdateTitle();
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
    UpdateStatus();
    UpdateTitle();
    if (WxTracing() && IsShown()) {
        TraceHeader();
    }
    event.Skip();
}

void CWxMainFrame::OnClose(wxCloseEvent& event)
{
    SaveGeometry();
    m_testDrop.Stop();
    m_view.GetListCtrl().onChanged = nullptr;
    m_app.RouteCommand(ID_APP_EXIT); // the document closes the archive; the history is saved
    event.Skip();
}

void CWxMainFrame::OnActivate(wxListEvent& event)
{
    // The view finds the row under a point of its own geometry.
    int row = static_cast<int>(event.GetIndex());
    PullSelection();
    m_view.OnLButtonDblClk({4, (row + 1) * CListCtrl::kRowHeight + CListCtrl::kRowHeight / 2});
}

void CWxMainFrame::ShowContextMenu(wxPoint at)
{
    if (m_inContextMenu) {
        return;
    }
    PullSelection();
    bool selection = m_view.GetListCtrl().GetSelectedCount() > 0;
    // The commands the view enables now; keys shown are the window's own.
    wxMenu menu;
    std::wstring traced;
    for (const MenuItem& item : ListContextMenu()) {
        if (item.id == 0) {
            menu.AppendSeparator();
            continue;
        }
        // Here the commands on the selected rows wait for a selection.
        bool onSelection = item.id == ID_OPEN_MEMBER || item.id == ID_EXTRACT_SELECTED ||
                           item.id == ID_ARCHIVE_DELETE;
        bool enabled = m_app.IsCommandEnabled(item.id) && (selection || !onSelection);
        menu.Append(ToWx(item.id), wxString(item.text))->Enable(enabled);
        traced += std::wstring(traced.empty() ? L"" : L"|") + (enabled ? L"+" : L"-") +
                  std::wstring(item.text).substr(0, std::wstring(item.text).find(L'('));
    }
    WxTrace(L"context-menu", traced);
    // From the keyboard it opens at the focused row.
    if (at == wxDefaultPosition) {
        long focused = m_list->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_FOCUSED);
        wxRect row;
        at = focused >= 0 && m_list->GetItemRect(focused, row)
                 ? row.GetBottomLeft() + wxPoint(16, 0)
                 : wxPoint(16, 16);
        at = m_list->ClientToScreen(at);
    }
    m_inContextMenu = true;
    PopupMenu(&menu, ScreenToClient(at));
    m_inContextMenu = false;
}

void CWxMainFrame::OnColumnClick(wxListEvent& event)
{
    PullSelection();
    m_view.OnColumnClick(event.GetColumn());
    SyncList();
}

void CWxMainFrame::OnColumnDrag(wxListEvent& event)
{
    // A hidden column stays closed.
    if (m_view.GetListCtrl().GetColumnWidth(event.GetColumn()) == 0) {
        event.Veto();
    }
}

void CWxMainFrame::OnBeginDrag(wxListEvent& /*event*/)
{
    PullSelection();
    std::vector<std::wstring> files = m_view.OnBeginDrag();
    if (files.empty()) {
        return;
    }
    wxFileDataObject data;
    std::wstring traced;
    for (const std::wstring& file : files) {
        wxString host = wxString::FromUTF8(platform::DeviceToHost(file));
        data.AddFile(host);
        traced += (traced.empty() ? L"" : L"|") + host.ToStdWstring();
    }
    WxTrace(L"drag", traced);
    wxDropSource source(data, m_list);
    m_drop->refuse = true;
    m_dragging = true;
    source.DoDragDrop(wxDrag_CopyOnly);
    m_dragging = false;
    m_drop->refuse = false;
}

void CWxMainFrame::OnTestDropTimer(wxTimerEvent& /*event*/)
{
    // A test writes the host paths to drop, one a line, beside its trace file; they go
    // through the list's drop target as a drop from a file manager would.
    std::string request = std::string(std::getenv("TAVREL_GUI_TRACE")) + ".drop";
    std::ifstream in(request);
    if (!in) {
        return;
    }
    wxArrayString files;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            files.Add(wxString::FromUTF8(line));
        }
    }
    in.close();
    std::remove(request.c_str());
    m_drop->OnDropFiles(10, 40, files);
}
