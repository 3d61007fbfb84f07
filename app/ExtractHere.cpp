#include "app/ExtractHere.h"

#include "app/Dialogs.h"
#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace
{

// The user's backend, with the destination dialog answered by the program and a note added
// to each message (the archive it speaks of, when there are several).
class CHereBackend : public CUiBackend
{
public:
    explicit CHereBackend(CUiBackend& user) : m_user(user) {}

    int MessageBox(const std::wstring& text, unsigned type) override
    {
        int answer = m_user.MessageBox(text + note, type);
        // Cancel at an overwrite question ends the whole run as the progress dialog's does.
        if ((type & MB_YESNOALL) != 0 && answer == IDCANCEL) {
            cancelled = true;
        }
        return answer;
    }
    int RunModal(CDialog& dialog) override
    {
        if (dialog.m_nIDTemplate != IDD_EXTRACT_DEST) {
            return m_user.RunModal(dialog);
        }
        dialog.SetControlText(IDC_TEXT, destination);
        dialog.SetControlInt(IDC_CREATE_FOLDER, createFolder ? 1 : 0);
        dialog.SetControlInt(IDC_USE_FOLDER, 1);
        return IDOK;
    }
    void ModelessCreated(CDialog& dialog) override { m_user.ModelessCreated(dialog); }
    void ModelessChanged(CDialog& dialog, bool transfer) override
    {
        m_user.ModelessChanged(dialog, transfer);
    }
    void ModelessDestroyed(CDialog& dialog) override
    {
        // Cancel pressed (by the user or by Stop) ends the whole run, not only this archive.
        if (dialog.m_nIDTemplate == IDD_PROGRESS && static_cast<CProgressDlg&>(dialog).m_bCancel) {
            cancelled = true;
        }
        m_user.ModelessDestroyed(dialog);
    }
    int RunPropertySheet(CPropertySheet& sheet) override { return m_user.RunPropertySheet(sheet); }
    int RunFileDialog(CFileDialog& dialog) override { return m_user.RunFileDialog(dialog); }
    void ShellOpen(const std::wstring& path) override { m_user.ShellOpen(path); }
    bool AnswersEveryQuestionNo() const override { return m_user.AnswersEveryQuestionNo(); }

    std::wstring destination; // host path, as typed into the dialog
    bool createFolder = false;
    std::wstring note;
    bool cancelled = false;

private:
    CUiBackend& m_user;
};

} // namespace

std::wstring_view TopLevelName(std::wstring_view folder, std::wstring_view name)
{
    for (std::wstring_view part : {folder, name}) {
        size_t start = 0;
        while (start < part.size()) {
            size_t end = part.find_first_of(L"\\/", start);
            if (end == std::wstring_view::npos) {
                end = part.size();
            }
            std::wstring_view component = part.substr(start, end - start);
            if (component == L"..") {
                return {};
            }
            if (!component.empty() && component != L".") {
                return component;
            }
            start = end + 1;
        }
    }
    return {};
}

std::wstring OneTopLevelItem(const CArchiveObject& archive)
{
    int count = archive.GetEntryCount();
    std::wstring_view first;
    for (int i = 0; i < count; ++i) {
        MemberRow row = archive.GetRow(i);
        std::wstring_view top = TopLevelName(row.folder, row.name);
        if (top.empty() || (i > 0 && top != first)) {
            return {};
        }
        first = top;
    }
    // An archive holding a file of its own name would be written over by it.
    if (first == platform::LastComponent(archive.archivePath)) {
        return {};
    }
    return std::wstring(first);
}

int CExtractHere::Run(const std::vector<std::string>& hostPaths)
{
    CUiBackend& user = AfxBackend();
    CHereBackend ui(user);
    AfxSetBackend(&ui);
    int failures = 0;
    if (!m_app.InitInstance(L"")) {
        AfxSetBackend(&user);
        return 1;
    }
    CTavrelDoc* doc = m_app.GetDocument();
    std::wstring lastFolder = m_app.m_strLastFolderExtract;
    for (const std::string& given : hostPaths) {
        if (m_stopped || ui.cancelled) {
            ++failures; // asked for, not done
            continue;
        }
        std::string host = platform::AbsoluteHostPath(given);
        std::wstring archive = platform::ExactDevicePath(host);
        ui.note = hostPaths.size() > 1 ? FormatNamed(res::kArchiveNote, platform::Utf8ToWide(host))
                                       : std::wstring();
        if (archive.empty()) {
            ++failures;
            AfxMessageBox(UnusablePathText(host));
            continue;
        }
        // Each archive is opened as the program opens the one it starts with: by its
        // extension, whatever the one before it was.
        doc->m_nArchiveType = kArchiveNone;
        if (!doc->OpenArchiveByType(archive)) {
            ++failures;
            AfxMessageBox(
                FormatNamed(res::kCannotOpenArchiveNamed, platform::DisplayPath(archive)));
            continue;
        }
        if (doc->MemberCount() == 0 && !doc->Archive().IsWhole()) {
            // Nothing in it could be read: it is said to be no archive, and nothing is made.
            ++failures;
            doc->ReportNotAnArchive();
            doc->CloseArchive();
            continue;
        }
        bool beside = !OneTopLevelItem(doc->Archive()).empty();
        ui.destination = platform::DisplayPath(platform::FolderPart(archive));
        ui.createFolder = !beside;
        // The user chose no destination: beside the archive (a download folder, say) an
        // existing file goes only with an answer, older or not, unless the settings say
        // never to ask.
        int inquire = m_app.m_nOverwriteInquire;
        if (inquire == CTavrelApp::kAskIfNewer) {
            m_app.m_nOverwriteInquire = CTavrelApp::kAskAlways;
        }
        doc->ExtractMembers(nullptr);
        m_app.m_nOverwriteInquire = inquire;
        failures += doc->m_nLastBroken + doc->m_nLastUnsupported;
        doc->CloseArchive();
    }
    ui.note.clear();
    // The destination was the program's choice, not the user's: the dialog proposes what it
    // proposed before.
    if (m_app.m_strLastFolderExtract != lastFolder) {
        m_app.m_strLastFolderExtract = lastFolder;
        m_app.WriteProfileString(settings::kLastFolder, L"Extract", lastFolder);
    }
    m_app.CloseMainWindow();
    failures += doc->m_nLastFailed;
    AfxSetBackend(&user);
    return failures > 0 ? 1 : 0;
}

void CExtractHere::Stop()
{
    m_stopped = true;
    if (CProgressDlg* progress = CProgressDlg::Active()) {
        progress->OnCancel();
    }
}
