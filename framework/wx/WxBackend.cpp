#include "framework/wx/WxBackend.h"

#include "framework/Dialog.h"
#include "framework/FileDialog.h"
#include "framework/PropertySheet.h"
#include "framework/wx/WxControls.h"
#include "framework/wx/WxTrace.h"
#include "platform/DevicePath.h"
#include "res/DialogTemplates.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/dcclient.h>
#include <wx/dcmemory.h>
#include <wx/dialog.h>
#include <wx/dirdlg.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/process.h>
#include <wx/propdlg.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/utils.h>

#include <cstdio>
#include <memory>

namespace
{

// A dialog sized to hold its template's controls.
class CTemplateDialog : public wxDialog
{
public:
    CTemplateDialog(wxWindow* parent, const DialogTemplate& t, CDialog& dialog,
                    double fontScale = 1.0)
        : wxDialog(parent, wxID_ANY, wxString(t.caption), wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE)
    {
        if (fontScale != 1.0) {
            SetFont(GetFont().Scaled(static_cast<float>(fontScale)));
        }
        // The About box's OK button, which the device has in the caption, goes below right.
        DialogTemplate shown = t;
        if (t.id == IDD_ABOUTBOX) {
            SetEscapeId(wxID_ANY);
            shown.controls.push_back(
                {1, ControlKind::DefaultButton, L"OK", t.width - 32, t.height - 15, 25, 12});
        }
        m_template = shown;
        clientSize = controls.Build(this, m_template, dialog, true);
        SetClientSize(clientSize);
        CentreOnParent();
        // Shown, the controls have their theme's sizes: they are placed again by those.
        Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
            if (event.IsShown()) {
                wxSize size = controls.Relayout();
                if (size != clientSize) {
                    clientSize = size;
                    SetClientSize(clientSize);
                }
            }
            event.Skip();
        });
        if (wxWindow* first = controls.FirstInput()) {
            CallAfter([first] { first->SetFocus(); });
        }
    }
    CWxControls controls;
    wxSize clientSize;

private:
    DialogTemplate m_template; // kept: the controls refer to it
};

// The settings sheet of a property sheet's pages, built as RunPropertySheet shows it.
class CSheetWindow : public wxPropertySheetDialog
{
public:
    CSheetWindow(wxWindow* parent, CPropertySheet& sheet, double fontScale = 1.0)
        : wxPropertySheetDialog(parent, wxID_ANY, wxString(sheet.m_caption))
    {
        if (fontScale != 1.0) {
            SetFont(GetFont().Scaled(static_cast<float>(fontScale)));
        }
        CreateButtons(wxOK | wxCANCEL);
        if (auto* ok = FindWindow(wxID_OK)) {
            static_cast<wxButton*>(ok)->SetLabel(L"OK");
        }
        if (auto* cancel = FindWindow(wxID_CANCEL)) {
            static_cast<wxButton*>(cancel)->SetLabel(L"キャンセル");
        }
        for (CPropertyPage* page : sheet.m_pages) {
            const DialogTemplate* t = FindDialogTemplate(page->m_nIDTemplate);
            if (t == nullptr) {
                continue;
            }
            auto* panel = new wxPanel(GetBookCtrl());
            pages.push_back(std::make_unique<CWxControls>());
            panelSizes.push_back(pages.back()->Build(panel, *t, *page, false));
            panel->SetMinSize(panelSizes.back());
            GetBookCtrl()->AddPage(panel, wxString(t->caption));
        }
        LayoutDialog();
        // Shown, the controls have their theme's sizes: the pages are placed again by those.
        Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
            if (event.IsShown()) {
                bool grew = false;
                for (size_t i = 0; i < pages.size(); ++i) {
                    wxSize size = pages[i]->Relayout();
                    grew = grew || size != panelSizes[i];
                    panelSizes[i] = size;
                    GetBookCtrl()->GetPage(i)->SetMinSize(size);
                }
                if (grew) {
                    LayoutDialog();
                }
            }
            event.Skip();
        });
    }
    std::vector<std::unique_ptr<CWxControls>> pages;
    std::vector<wxSize> panelSizes;
};

std::unique_ptr<CTemplateDialog> g_progress;

// The question with answers for the whole run: はい is the default, Escape and the close box
// cancel. Tests find the buttons' middles in the trace.
int AskWithAnswersForAll(wxWindow* parent, const std::wstring& text)
{
    wxDialog box(parent, wxID_ANY, wxString(res::kAppName));
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    row->Add(new wxStaticBitmap(&box, wxID_ANY,
                                wxArtProvider::GetBitmap(wxART_QUESTION, wxART_MESSAGE_BOX)),
             0, wxALL, 12);
    auto* words = new wxStaticText(&box, wxID_ANY, wxString(text));
    words->Wrap(box.FromDIP(520)); // a long name breaks into lines, the buttons stay on screen
    row->Add(words, 1, wxALL | wxALIGN_CENTER_VERTICAL, 12);
    sizer->Add(row, 1, wxEXPAND);
    const struct
    {
        int id;
        const wchar_t* label;
        int answer;
    } answers[] = {{wxID_YES, L"はい", IDYES},
                   {wxID_YESTOALL, res::kYesToAll, IDYESALL},
                   {wxID_NO, L"いいえ", IDNO},
                   {wxID_NOTOALL, res::kNoToAll, IDNOALL},
                   {wxID_CANCEL, L"キャンセル", IDCANCEL}};
    auto* buttons = new wxBoxSizer(wxHORIZONTAL);
    buttons->AddStretchSpacer();
    for (const auto& a : answers) {
        auto* button = new wxButton(&box, a.id, wxString(a.label));
        buttons->Add(button, 0, wxLEFT, 6);
        if (a.id == wxID_YES) {
            button->SetDefault();
            button->SetFocus();
        }
    }
    sizer->Add(buttons, 0, wxEXPAND | wxALL, 12);
    box.SetSizerAndFit(sizer);
    box.CentreOnParent();
    box.Bind(wxEVT_BUTTON, [&box](wxCommandEvent& event) { box.EndModal(event.GetId()); });
    box.Bind(wxEVT_SHOW, [&box, &answers](wxShowEvent& event) {
        if (event.IsShown() && WxTracing()) {
            std::wstring middles;
            for (const auto& a : answers) {
                wxRect r = box.FindWindow(a.id)->GetScreenRect();
                middles += (middles.empty() ? L"" : L"\t") + std::to_wstring(r.x + r.width / 2) +
                           L"," + std::to_wstring(r.y + r.height / 2);
            }
            WxTrace(L"overwrite-buttons", middles);
        }
        event.Skip();
    });
    int chosen = box.ShowModal();
    for (const auto& a : answers) {
        if (a.id == chosen) {
            return a.answer;
        }
    }
    return IDCANCEL;
}

// Tells the user when xdg-open could not hand the file to an application.
class COpenProcess : public wxProcess
{
public:
    explicit COpenProcess(const std::wstring& path) : m_path(path) {}
    void OnTerminate(int /*pid*/, int status) override
    {
        if (status != 0) {
            std::wstring path = m_path;
            wxTheApp->CallAfter([path] {
                AfxMessageBox(FormatNamed(res::kCannotOpenInPlace, platform::DisplayPath(path)));
            });
        }
        delete this;
    }

private:
    std::wstring m_path;
};

// Shows a window until it has drawn itself, and saves what it drew as a PNG file (when one
// is named).
void SaveWindowPicture(wxWindow* window, const std::string& file)
{
    window->Show();
    window->Raise();
    for (int i = 0; i < 5; ++i) {
        wxTheApp->Yield(true);
        window->Update();
        wxMilliSleep(20);
    }
    wxSize size = window->GetSize();
    wxBitmap picture(size);
    wxMemoryDC memory(picture);
    wxWindowDC source(window);
    memory.Blit(0, 0, size.x, size.y, &source, 0, 0);
    memory.SelectObject(wxNullBitmap);
    if (!file.empty()) {
        picture.SaveFile(wxString::FromUTF8(file), wxBITMAP_TYPE_PNG);
    }
}

} // namespace

void CWxBackend::ShowProgressAsItIs()
{
    if (m_modeless != nullptr && m_modelessOwner != nullptr) {
        g_progress->controls.Show(*m_modelessOwner);
    }
}

int CWxBackend::MessageBox(const std::wstring& text, unsigned type)
{
    WxTrace(L"message", text);
    ShowProgressAsItIs(); // behind the box, the member it speaks of
    bool yesNo = (type & 0xF) == MB_YESNO;
    if (yesNo && (type & MB_YESNOALL) != 0) {
        return AskWithAnswersForAll(parent, text);
    }
    wxMessageDialog box(parent, wxString(text), wxString(res::kAppName),
                        yesNo ? (wxYES_NO | wxICON_QUESTION) : (wxOK | wxICON_INFORMATION));
    if (yesNo) {
        box.SetYesNoLabels(L"はい", L"いいえ");
    } else {
        box.SetOKLabel(L"OK");
    }
    int result = box.ShowModal();
    return yesNo ? (result == wxID_YES ? IDYES : IDNO) : IDOK;
}

int CWxBackend::RunModal(CDialog& dialog)
{
    const DialogTemplate* t = FindDialogTemplate(dialog.m_nIDTemplate);
    if (t == nullptr) {
        return IDCANCEL;
    }
    ShowProgressAsItIs();
    CTemplateDialog window(parent, *t, dialog);
    WxTrace(L"shown",
            std::to_wstring(dialog.m_nIDTemplate) + L"\t" + dialog.GetControlText(IDC_TEXT));
    if (window.ShowModal() != wxID_OK) {
        return IDCANCEL;
    }
    window.controls.Read(dialog);
    WxTrace(L"dialog", std::to_wstring(dialog.m_nIDTemplate) + L"\t" +
                           dialog.GetControlText(IDC_TEXT) + dialog.GetControlText(IDC_COMMAND));
    return IDOK;
}

void CWxBackend::ModelessCreated(CDialog& dialog)
{
    const DialogTemplate* t = FindDialogTemplate(dialog.m_nIDTemplate);
    if (t == nullptr) {
        return;
    }
    m_modelessOwner = &dialog;
    g_progress = std::make_unique<CTemplateDialog>(parent, *t, dialog);
    // Cancel (its button, the close box, Escape) only raises the owner's flag.
    g_progress->Bind(
        wxEVT_BUTTON,
        [&dialog](wxCommandEvent&) {
            WxTrace(L"cancel", dialog.GetControlText(IDC_TEXT));
            dialog.OnCancel();
        },
        wxID_CANCEL);
    g_progress->Bind(wxEVT_CLOSE_WINDOW, [&dialog](wxCloseEvent&) { dialog.OnCancel(); });
    g_progress->Show();
    m_modeless = g_progress.get();
    m_lastRepaint = {};
    wxSafeYield(m_modeless, true);
    if (wxWindow* cancel = g_progress->FindWindow(wxID_CANCEL)) {
        wxPoint middle = cancel->GetScreenRect().GetPosition() + cancel->GetSize() / 2;
        WxTrace(L"cancel-button", std::to_wstring(middle.x) + L"\t" + std::to_wstring(middle.y));
    }
}

void CWxBackend::ModelessChanged(CDialog& dialog, bool transfer)
{
    if (m_modeless == nullptr || &dialog != m_modelessOwner) {
        return;
    }
    // Shown at most 50 times a second: a repaint costs more than testing a small member, and
    // the work would otherwise wait on the display. Cancel is heard as often.
    auto now = std::chrono::steady_clock::now();
    if (now - m_lastRepaint < std::chrono::milliseconds(20)) {
        return;
    }
    m_lastRepaint = now;
    g_progress->controls.Show(dialog);
    if (!transfer) {
        WxTrace(L"bytes", dialog.GetControlText(IDC_BYTES));
    }
    // Repaint and let the dialog's Cancel through; other windows stay disabled meanwhile.
    wxSafeYield(m_modeless, true);
}

void CWxBackend::ModelessDestroyed(CDialog& dialog)
{
    if (&dialog == m_modelessOwner) {
        WxTrace(L"progress", dialog.GetControlText(IDC_TEXT)); // the last item shown
        g_progress.reset();
        m_modeless = nullptr;
        m_modelessOwner = nullptr;
    }
}

int CWxBackend::RunPropertySheet(CPropertySheet& sheet)
{
    CSheetWindow window(parent, sheet);
    if (window.ShowModal() != wxID_OK) {
        return IDCANCEL;
    }
    for (size_t i = 0; i < window.pages.size(); ++i) {
        window.pages[i]->Read(*sheet.m_pages[i]);
    }
    return IDOK;
}

int CWxBackend::RunFileDialog(CFileDialog& dialog)
{
    // "A|*.a|B|*.b||" -> "A|*.a|B|*.b"
    wxString filter(dialog.m_filter);
    while (filter.EndsWith("|")) {
        filter.RemoveLast();
    }
    if (filter.empty()) {
        filter = L"*";
    }
    bool create = (dialog.m_flags & OFN_OVERWRITEPROMPT) != 0;
    wxString title = dialog.m_title.empty() ? wxString(create ? L"新規作成" : L"開く")
                                            : wxString(dialog.m_title);
    std::string folder = dialog.m_initialFolder.empty()
                             ? std::string()
                             : platform::DeviceToHost(dialog.m_initialFolder);
    wxArrayString chosen;
    if (dialog.m_bPickFolder) {
        wxDirDialog window(parent, title, wxString::FromUTF8(folder),
                           wxDD_DEFAULT_STYLE | wxDD_DIR_MUST_EXIST);
        if (window.ShowModal() != wxID_OK) {
            return IDCANCEL;
        }
        chosen.Add(window.GetPath());
    } else {
        bool several = (dialog.m_flags & OFN_ALLOWMULTISELECT) != 0;
        wxFileDialog window(
            parent, title, wxString::FromUTF8(folder), "", filter,
            create ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT)
                   : (wxFD_OPEN | wxFD_FILE_MUST_EXIST | (several ? wxFD_MULTIPLE : 0)));
        if (window.ShowModal() != wxID_OK) {
            return IDCANCEL;
        }
        if (several) {
            window.GetPaths(chosen);
        } else {
            chosen.Add(window.GetPath());
        }
    }
    // A file that no device path names is refused: another file would be opened or made.
    for (const wxString& path : chosen) {
        std::wstring device = platform::ExactDevicePath(path.utf8_string());
        if (device.empty()) {
            AfxMessageBox(UnusablePathText(path.utf8_string()));
            return IDCANCEL;
        }
        dialog.m_paths.push_back(device);
    }
    if (dialog.m_paths.empty()) {
        return IDCANCEL;
    }
    dialog.m_path = dialog.m_paths.front();
    return IDOK;
}

void CWxBackend::ShellOpen(const std::wstring& path)
{
    wxString host = wxString::FromUTF8(platform::DeviceToHost(path));
    const wchar_t* argv[] = {L"xdg-open", host.wc_str(), nullptr};
    auto* process = new COpenProcess(path);
    if (wxExecute(argv, wxEXEC_ASYNC | wxEXEC_HIDE_CONSOLE, process) == 0) {
        // Not started (xdg-open is missing): the process object hears of nothing.
        delete process;
        AfxMessageBox(FormatNamed(res::kCannotOpenInPlace, platform::DisplayPath(path)));
    }
}

int CWxBackend::CheckLayout(const std::string& folder)
{
    int faults = 0;
    auto report = [&faults](const std::vector<std::string>& found) {
        for (const std::string& line : found) {
            std::printf("clipped: %s\n", line.c_str());
        }
        faults += static_cast<int>(found.size());
    };
    for (double scale : {1.0, 1.5}) {
        std::string suffix = scale == 1.0 ? "" : "-x1.5";
        std::vector<int> pageIds;
        for (const DialogTemplate& t : AllDialogTemplates()) {
            if (t.child) {
                if (t.id != IDD_ARCHIVE_BAR) {
                    pageIds.push_back(t.id);
                }
                continue;
            }
            CDialog dialog(t.id);
            dialog.SetControlText(IDC_TEXT, L"/home/user/ドキュメント/"); // as a person sees it
            CTemplateDialog window(parent, t, dialog, scale);
            std::string where = "dialog " + std::to_string(t.id) + suffix;
            report(window.controls.Check(window.GetClientSize(), where));
            if (!folder.empty()) {
                SaveWindowPicture(&window,
                                  folder + "/dialog-" + std::to_string(t.id) + suffix + ".png");
            }
        }
        // The settings sheet, each page in front in turn.
        std::vector<std::unique_ptr<CPropertyPage>> pages;
        CPropertySheet sheet(res::kSettingsTitle);
        for (int id : pageIds) {
            pages.push_back(std::make_unique<CPropertyPage>(id));
            for (const wchar_t* item : CompressMethodItems()) {
                pages.back()->ComboItems(1027).push_back(item);
            }
            for (const wchar_t* item : CompressActionItems()) {
                pages.back()->ComboItems(1028).push_back(item);
            }
            for (const wchar_t* item : NameEncodingItems()) {
                pages.back()->ComboItems(1029).push_back(item);
            }
            sheet.AddPage(pages.back().get());
        }
        CSheetWindow window(parent, sheet, scale);
        wxSize book = window.GetBookCtrl()->GetSize();
        if (book.x < window.GetBookCtrl()->GetBestSize().x ||
            book.y < window.GetBookCtrl()->GetBestSize().y) {
            report({"the settings sheet" + suffix + " is smaller than its pages"});
        }
        for (size_t i = 0; i < window.pages.size(); ++i) {
            window.GetBookCtrl()->SetSelection(i);
            wxWindow* panel = window.GetBookCtrl()->GetPage(i);
            std::string where = "page " + std::to_string(pageIds[i]) + suffix;
            // A page is given at least the size it asks for (its minimum, which the book and
            // the sheet honour); the first page is not always told of its size in time.
            wxSize area = panel->GetClientSize();
            area.IncTo(window.panelSizes[i]);
            report(window.pages[i]->Check(area, where));
            if (!folder.empty()) {
                SaveWindowPicture(&window,
                                  folder + "/page-" + std::to_string(pageIds[i]) + suffix + ".png");
            }
        }
    }
    return faults;
}
