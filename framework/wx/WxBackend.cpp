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
#include <wx/bookctrl.h>
#include <wx/button.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/msgdlg.h>
#include <wx/panel.h>
#include <wx/propdlg.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include <memory>

namespace
{

// A dialog sized to its template, with the template's controls.
class CTemplateDialog : public wxDialog
{
public:
    CTemplateDialog(wxWindow* parent, const DialogTemplate& t, CDialog& dialog)
        : wxDialog(parent, wxID_ANY, wxString(t.caption), wxDefaultPosition, wxDefaultSize,
                   wxDEFAULT_DIALOG_STYLE)
    {
        SetClientSize(ConvertDialogToPixels(wxSize(t.width, t.height)));
        controls.Build(this, t, dialog, true);
        CentreOnParent();
        if (wxWindow* first = controls.FirstInput()) {
            CallAfter([first] { first->SetFocus(); });
        }
    }
    CWxControls controls;
};

std::unique_ptr<CTemplateDialog> g_progress;

} // namespace

int CWxBackend::MessageBox(const std::wstring& text, unsigned type)
{
    WxTrace(L"message", text);
    bool yesNo = (type & 0xF) == MB_YESNO;
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
    CTemplateDialog window(parent, *t, dialog);
    if (dialog.m_nIDTemplate == 100) {
        window.SetEscapeId(wxID_ANY);
        new wxButton(&window, wxID_OK, L"OK",
                     window.ConvertDialogToPixels(wxPoint(t->width - 32, t->height - 16)));
    }
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
        wxEVT_BUTTON, [&dialog](wxCommandEvent&) { dialog.OnCancel(); }, wxID_CANCEL);
    g_progress->Bind(wxEVT_CLOSE_WINDOW, [&dialog](wxCloseEvent&) { dialog.OnCancel(); });
    g_progress->Show();
    m_modeless = g_progress.get();
    wxSafeYield(m_modeless, true);
}

void CWxBackend::ModelessChanged(CDialog& dialog, bool /*transfer*/)
{
    if (m_modeless == nullptr || &dialog != m_modelessOwner) {
        return;
    }
    g_progress->controls.Show(dialog);
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
    wxPropertySheetDialog window(parent, wxID_ANY, wxString(sheet.m_caption));
    window.CreateButtons(wxOK | wxCANCEL);
    if (auto* ok = window.FindWindow(wxID_OK)) {
        static_cast<wxButton*>(ok)->SetLabel(L"OK");
    }
    if (auto* cancel = window.FindWindow(wxID_CANCEL)) {
        static_cast<wxButton*>(cancel)->SetLabel(L"キャンセル");
    }
    std::vector<std::unique_ptr<CWxControls>> pages;
    wxSize largest;
    for (CPropertyPage* page : sheet.m_pages) {
        const DialogTemplate* t = FindDialogTemplate(page->m_nIDTemplate);
        if (t == nullptr) {
            continue;
        }
        auto* panel = new wxPanel(window.GetBookCtrl());
        pages.push_back(std::make_unique<CWxControls>());
        pages.back()->Build(panel, *t, *page, false);
        wxSize size = panel->ConvertDialogToPixels(wxSize(t->width, t->height));
        panel->SetMinSize(size);
        largest.IncTo(size);
        window.GetBookCtrl()->AddPage(panel, wxString(t->caption));
    }
    window.LayoutDialog();
    // Wide enough for every tab.
    wxSize best = window.GetBestSize();
    best.IncTo(wxSize(largest.x + 80, largest.y + 120));
    window.SetSize(best);
    if (window.ShowModal() != wxID_OK) {
        return IDCANCEL;
    }
    for (size_t i = 0; i < pages.size(); ++i) {
        pages[i]->Read(*sheet.m_pages[i]);
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
    wxFileDialog window(parent, title, wxString::FromUTF8(folder), "", filter,
                        create ? (wxFD_SAVE | wxFD_OVERWRITE_PROMPT)
                               : (wxFD_OPEN | wxFD_FILE_MUST_EXIST));
    if (window.ShowModal() != wxID_OK) {
        return IDCANCEL;
    }
    dialog.m_path = platform::HostToDevice(window.GetPath().utf8_string());
    return dialog.m_path.empty() ? IDCANCEL : IDOK;
}

void CWxBackend::ShellOpen(const std::wstring& path)
{
    wxString host = wxString::FromUTF8(platform::DeviceToHost(path));
    const wchar_t* argv[] = {L"xdg-open", host.wc_str(), nullptr};
    wxExecute(argv, wxEXEC_ASYNC | wxEXEC_HIDE_CONSOLE); // a failure is silent
}
