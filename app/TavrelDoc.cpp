#include "app/TavrelDoc.h"

#include "app/OptionPages.h"
#include "app/Outcome.h"
#include "app/TavrelApp.h"
#include "framework/FileDialog.h"
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "platform/FindFile.h"
#include "platform/FolderTree.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <cwchar>
#include <iterator>
#include <set>
#include <utility>
#include <vector>

namespace
{

bool IsPathSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

} // namespace

CTavrelDoc::CTavrelDoc() : m_pZip(nullptr), m_pLzh(new CLzhArchive)
{
    m_commandLine.report = [](const std::wstring& text) { AfxMessageBox(text); };
    m_pLzh->SetPrompt(&m_prompt);
    m_pLzh->addMode = true;
    m_pLzh->askOnlyIfNewer = true;
    m_pZip = new CZipArchive;
    m_pZip->SetPrompt(&m_prompt);
    m_pZip->skipIfNotOlder = false;
    m_pZip->askOnlyIfNewer = true;
}

CTavrelDoc::~CTavrelDoc()
{
    delete m_pLzh;
    delete m_pZip;
}

bool CTavrelDoc::OnCmdMsg(int id)
{
    switch (id) {
    case ID_FILE_OPEN:
        OnFileOpenArchive();
        return true;
    case ID_ARCHIVE_CLOSE:
        OnArchiveClose();
        return true;
    case ID_ARCHIVE_ADD:
        OnArchiveAdd();
        return true;
    case ID_ARCHIVE_ADD_FOLDER:
        OnArchiveAddFolder();
        return true;
    case ID_ARCHIVE_TEST:
        OnArchiveTest();
        return true;
    case ID_EXTRACT_ALL:
        OnExtractAll();
        return true;
    case ID_ARCHIVE_COMMAND_LINE:
        OnArchiveCommandLine();
        return true;
    case ID_OPTION_SETTINGS:
        OnOptionSettings();
        return true;
    default:
        if (id >= ID_FILE_MRU_FILE1 && id < ID_FILE_MRU_FILE1 + CWinApp::kRecentFiles) {
            OnOpenRecentFile(id - ID_FILE_MRU_FILE1);
            return true;
        }
        return false;
    }
}

void CTavrelDoc::ShowArchiveName(const std::wstring& path)
{
    if (AfxGetApp() != nullptr && AfxGetApp()->m_pMainWnd != nullptr) {
        AfxGetApp()->m_pMainWnd->SetArchiveBarText(platform::DisplayPath(path));
    }
}

std::wstring CTavrelDoc::StartFolder() const
{
    CTavrelApp* app = TavrelApp();
    switch (app->m_nStartupFolderType) {
    case CTavrelApp::kStartInChosenFolder:
        return app->m_strStartupFolder;
    case CTavrelApp::kStartInLastFolder:
        return app->m_strLastFolderStartup;
    default:
        return res::kMyDocuments;
    }
}

std::wstring CTavrelDoc::InitialDestination() const
{
    CTavrelApp* app = TavrelApp();
    switch (app->m_nExtractFolderType) {
    case CTavrelApp::kExtractToChosenFolder:
        return app->m_strExtractFolder;
    case CTavrelApp::kExtractToDesktop:
        return res::kDesktop;
    case CTavrelApp::kExtractToLastFolder:
        return app->m_strLastFolderExtract;
    default:
        return res::kMyDocuments;
    }
}

std::wstring CTavrelDoc::ArchiveFolderName(const std::wstring& archivePath)
{
    std::wstring base(platform::LastComponent(archivePath));
    size_t dot = base.rfind(L'.');
    if (dot == std::wstring::npos) {
        return base;
    }
    std::wstring stem = base.substr(0, dot);
    if (stem.empty() || stem == L"." || stem == L"..") {
        // ".lzh" or "...lzh" would name the destination itself or the folder above it.
        base[dot] = L'_';
        return base;
    }
    return stem;
}

std::wstring CTavrelDoc::MakeArchiveFolderPath(const std::wstring& destination,
                                               const std::wstring& archivePath)
{
    std::wstring base = ArchiveFolderName(archivePath);
    std::wstring folder = destination;
    if (folder.empty() || !IsPathSeparator(folder.back())) {
        folder.push_back(L'\\');
    }
    return folder + base;
}

bool CTavrelDoc::AskToClose()
{
    if (!m_bArchiveOpen) {
        return true;
    }
    if (AfxMessageBox(res::kAskCloseArchive, MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return false;
    }
    bool closed = CloseArchive();
    UpdateAllViews(nullptr);
    return closed; // a failed rewrite keeps the archive open with its changes
}

bool CTavrelDoc::OnNewDocument()
{
    if (!CDocument::OnNewDocument()) {
        return false;
    }
    if (m_bFirstNewPending) {
        m_bFirstNewPending = false; // the framework's run while it builds the window
        return true;
    }
    if (!AskToClose()) {
        return false;
    }
    CFileDialog dialog(true, nullptr, nullptr, OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, nullptr);
    dialog.m_title = res::kNewTitle;
    dialog.m_initialFolder = StartFolder();
    if (dialog.DoModal() != IDOK) {
        return true;
    }
    // A name typed without an extension gets the one of the only kind made; another kind's
    // extension is refused.
    std::wstring path = dialog.GetPathName();
    if (dialog.GetFileExt().empty() && !path.empty() && !IsPathSeparator(path.back())) {
        path += L".lzh";
        // The file dialog asked about the name typed, not this one: an existing archive is
        // not taken for a new one.
        if (platform::GetFileAttributes(path) != platform::kInvalidAttributes) {
            AfxMessageBox(FormatNamed(res::kNewNameExists, platform::DisplayPath(path)));
            return false;
        }
    } else if (dialog.GetFileExt() != L"lzh") {
        AfxMessageBox(res::kOnlyLzhCanBeCreated);
        return false;
    }
    if (m_pLzh->Open(path.c_str(), true)) {
        ShowArchiveName(path);
        m_nArchiveType = kArchiveLzh;
        m_bArchiveOpen = true;
        UpdateAllViews(nullptr);
    } else {
        AfxMessageBox(res::kCannotOpenArchive);
    }
    return true;
}

void CTavrelDoc::OnCloseDocument()
{
    if (m_bArchiveOpen && !CloseArchive()) {
        // The program ends: the changes that could not be written are given up; the file
        // on disk is as it was, as the message said.
        Archive().Abandon();
        m_bArchiveOpen = false;
    }
    CDocument::OnCloseDocument();
}

void CTavrelDoc::OnOpenRecentFile(int n)
{
    // The archive the menu shows, whatever another window wrote to the settings since.
    std::wstring path = TavrelApp()->GetRecentFile(n);
    if (path.empty() || !AskToClose()) {
        return;
    }
    if (!OpenArchiveByType(path)) {
        AfxMessageBox(FormatNamed(res::kCannotOpenArchiveNamed, platform::DisplayPath(path)));
        return;
    }
    UpdateAllViews(nullptr);
    ReportNotAnArchive();
}

void CTavrelDoc::OnFileOpenArchive()
{
    if (!AskToClose()) {
        return;
    }
    CFileDialog dialog(true, nullptr, nullptr, 0, res::kOpenFilter);
    dialog.m_initialFolder = StartFolder();
    if (dialog.DoModal() != IDOK) {
        return;
    }
    std::wstring path = dialog.GetPathName();
    if (!OpenArchiveByType(path)) {
        AfxMessageBox(res::kCannotOpenArchive);
    } else {
        UpdateAllViews(nullptr);
        ReportNotAnArchive();
    }
    CTavrelApp* app = TavrelApp();
    app->m_strLastFolderStartup = std::wstring(platform::FolderPart(path));
    app->WriteProfileString(settings::kLastFolder, L"Startup", app->m_strLastFolderStartup);
}

bool CTavrelDoc::OpenArchiveByType(const std::wstring& path)
{
    m_pLzh->nameEncoding = m_pZip->nameEncoding = TavrelApp()->NameEncodingInForce();
    size_t dot = path.rfind(L'.');
    if (dot != std::wstring::npos) {
        // LHA archives go by several names: LArc's .lzs and PMarc's .pma hold the same
        // headers.
        std::wstring extension = path.substr(dot);
        bool lzh = extension == L".lzh" || extension == L".lha" || extension == L".lzs" ||
                   extension == L".pma";
        m_nArchiveType = lzh ? kArchiveLzh : extension == L".zip" ? kArchiveZip : kArchiveNone;
    }
    if (m_nArchiveType == kArchiveLzh || m_nArchiveType == kArchiveNone) {
        bool opened = m_pLzh->Open(path.c_str(), false);
        // A file of no extension that holds nothing readable as LZH may be a ZIP archive.
        if (opened && m_nArchiveType == kArchiveNone && m_pLzh->GetEntryCount() == 0 &&
            !m_pLzh->IsWhole() && m_pZip->Open(path.c_str(), false)) {
            m_pLzh->Abandon();
            ShowArchiveName(path);
            m_bArchiveOpen = true;
            m_nArchiveType = kArchiveZip;
            return true;
        }
        if (opened) {
            ShowArchiveName(path);
            m_bArchiveOpen = true;
            m_nArchiveType = kArchiveLzh;
            return true;
        }
        if (m_nArchiveType == kArchiveLzh) {
            return false;
        }
    }
    if (m_pZip->Open(path.c_str(), false)) {
        ShowArchiveName(path);
        m_bArchiveOpen = true;
        m_nArchiveType = kArchiveZip;
        return true;
    }
    return false;
}

bool CTavrelDoc::CloseArchive()
{
    if (!m_bArchiveOpen) {
        return false;
    }
    if (!Archive().Close()) {
        // The pending changes stay with the open archive for another try.
        ++m_nLastFailed;
        AfxMessageBox(Archive().LastCause() == StatusCause::ArchiveChanged
                          ? res::kArchiveChangedElsewhere
                          : res::kCloseFailed);
        return false;
    }
    ShowArchiveName(L"");
    m_bArchiveOpen = false;
    return true;
}

bool CTavrelDoc::RefuseUnchangeable()
{
    if (Archive().CanChange()) {
        return false;
    }
    ++m_nLastFailed;
    AfxMessageBox(ChangeFailureText(Archive().LastCause(), L""));
    return true;
}

void CTavrelDoc::OnArchiveClose()
{
    if (CloseArchive()) {
        UpdateAllViews(nullptr);
    }
}

void CTavrelDoc::ApplyMenuPolicy()
{
    // Whatever a typed command or an earlier run set, the menu's commands go by the settings:
    // the overwrite rule, every member extracted whatever its attributes, a damaged header
    // never passed over, and new members with level 2 headers.
    ApplyOverwriteInquire();
    m_pLzh->addMode = true; // replace regardless of times: the overwrite rule decides
    m_pLzh->skipHidden = m_pLzh->skipSystem = false;
    m_pLzh->ignoreErrors = false;
    m_pLzh->headerLevel = 2;
    m_pZip->skipIfNotOlder = false;
    CTavrelApp* app = TavrelApp();
    Archive().resetReadOnly = app->m_nResetReadOnly != 0;
    Archive().lowercase = app->m_nToLowercase != 0;
}

void CTavrelDoc::ApplyOverwriteInquire()
{
    int value = TavrelApp()->m_nOverwriteInquire;
    if (value == CTavrelApp::kNeverAsk) {
        m_pLzh->overwriteSilently = true;
        m_pZip->overwriteSilently = true;
        return;
    }
    m_pLzh->overwriteSilently = false;
    m_pZip->overwriteSilently = false;
    m_pLzh->askOnlyIfNewer = value == CTavrelApp::kAskIfNewer;
    m_pZip->askOnlyIfNewer = value == CTavrelApp::kAskIfNewer;
}

void CTavrelDoc::ApplyAddSettings()
{
    CTavrelApp* app = TavrelApp();
    m_pLzh->storeOnly = app->m_nLhaMethod == CTavrelApp::kStoreOnly;
    if (!m_pLzh->storeOnly) {
        m_pLzh->methodIndex = app->m_nLhaMethod - 1;
    }
    m_pLzh->addMode = app->m_nLhaAction == CTavrelApp::kAddAll;
}

void CTavrelDoc::OnArchiveAdd()
{
    if (RefuseUnchangeable()) {
        return;
    }
    CTavrelApp* app = TavrelApp();
    CFileDialog dialog(true, nullptr, nullptr, OFN_ALLOWMULTISELECT, res::kAllFilesFilter);
    dialog.m_title = res::kAddTitle;
    dialog.m_initialFolder = app->m_strLastFolderAdd;
    if (dialog.DoModal() != IDOK) {
        return;
    }
    // Adding is the LZH object's: RefuseUnchangeable let no other format through. Each file
    // chosen is added as one alone would be; one passed over (said so) lets the rest go on, as
    // in a drop.
    ApplyMenuPolicy();
    ApplyAddSettings();
    m_pLzh->destFolder[0] = 0; // the chosen full path is stored as it is
    for (const std::wstring& path : dialog.m_paths) {
        if (!m_pLzh->AddFile(path.c_str())) {
            ++m_nLastFailed;
            AfxMessageBox(ChangeFailureText(m_pLzh->LastCause(), platform::DisplayPath(path)));
            if (!AddGoesOn(m_pLzh->LastCause())) {
                break;
            }
        }
    }
    UpdateAllViews(nullptr);
    RememberAddFolder(dialog.GetPathName());
}

void CTavrelDoc::OnArchiveAddFolder()
{
    if (RefuseUnchangeable()) {
        return;
    }
    CFileDialog dialog(true);
    dialog.m_title = res::kAddFolderTitle;
    dialog.m_bPickFolder = true;
    dialog.m_initialFolder = TavrelApp()->m_strLastFolderAdd;
    if (dialog.DoModal() != IDOK) {
        return;
    }
    // The folder with everything below it, as a folder dropped on the list.
    AddFiles({dialog.GetPathName()});
    UpdateAllViews(nullptr);
    RememberAddFolder(dialog.GetPathName());
}

void CTavrelDoc::RememberAddFolder(const std::wstring& path)
{
    CTavrelApp* app = TavrelApp();
    app->m_strLastFolderAdd = std::wstring(platform::FolderPart(path));
    app->WriteProfileString(settings::kLastFolder, L"Add", app->m_strLastFolderAdd);
}

CArchiveObject& CTavrelDoc::Archive() const
{
    if (m_nArchiveType == kArchiveLzh) {
        return *m_pLzh;
    }
    return *m_pZip;
}

int CTavrelDoc::MemberCount() const
{
    return Archive().GetEntryCount();
}

std::wstring CTavrelDoc::MemberName(int index) const
{
    return std::wstring(Archive().GetRow(index).name);
}

std::wstring CTavrelDoc::MemberLabel(int index) const
{
    MemberRow row = Archive().GetRow(index);
    return ::MemberLabel(row.name, row.folder);
}

bool CTavrelDoc::ExtractMember(int index, StatusCause* cause)
{
    CArchiveObject& archive = Archive();
    bool ok = archive.ExtractEntry(index);
    *cause = archive.LastCause();
    return ok;
}

bool CTavrelDoc::RunMembers(CProgressDlg& progress, int count, const std::vector<int>* selected)
{
    progress.Create(IDD_PROGRESS);
    progress.m_progress.SetRange(0, count); // the true count, however large
    progress.m_progress.SetStep(1);
    m_nLastBroken = 0;
    m_nLastUnsupported = 0;
    m_nLastSkipped = 0;
    bool cancelled = false;
    std::wstring destination = platform::DisplayPath(Archive().destFolder);
    // The members are decoded ahead on the other cores; everything shown stays here.
    std::vector<int> order(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        order[static_cast<size_t>(n)] =
            selected != nullptr ? (*selected)[static_cast<size_t>(n)] : n;
    }
    Archive().PlanRun(std::move(order));
    for (int n = 0; n < count && !cancelled; ++n) {
        int index = selected != nullptr ? (*selected)[static_cast<size_t>(n)] : n;
        progress.m_strText = MemberName(index);
        progress.UpdateData(false);
        if (progress.m_bCancel) {
            cancelled = true;
            break;
        }
        StatusCause cause = StatusCause::None;
        if (ExtractMember(index, &cause)) {
            progress.m_progress.StepIt();
            continue;
        }
        MemberOutcome outcome = OutcomeOf(cause);
        if (outcome == MemberOutcome::Unsupported) {
            ++m_nLastUnsupported;
        } else if (outcome == MemberOutcome::Skipped) {
            ++m_nLastSkipped;
        } else if (outcome == MemberOutcome::Cancelled) {
            cancelled = true; // stopped inside the member; nothing of it was kept
        } else if (outcome == MemberOutcome::Failed || outcome == MemberOutcome::Stopped) {
            int other = Archive().CollidedWith();
            std::wstring otherLabel =
                other >= 0 && other < MemberCount() ? MemberLabel(other) : L"";
            AfxMessageBox(ExtractFailureText(cause, MemberLabel(index), otherLabel, destination));
            ++m_nLastBroken;
            if (outcome == MemberOutcome::Stopped) {
                break; // the destination cannot take any member
            }
        }
        progress.m_progress.StepIt();
    }
    Archive().EndPlan();
    progress.DestroyWindow();
    if (cancelled) {
        ++m_nLastFailed; // not everything asked was done
    }
    return cancelled;
}

bool CTavrelDoc::ReportUnreadableRest()
{
    if (Archive().IsWhole()) {
        return false;
    }
    ++m_nLastFailed;
    AfxMessageBox(
        FormatText(res::kUnreadableRest, static_cast<long long>(Archive().UnreadableOffset())));
    return true;
}

void CTavrelDoc::ReportNotAnArchive()
{
    if (m_bArchiveOpen && MemberCount() == 0 && !Archive().IsWhole()) {
        AfxMessageBox(
            FormatNamed(res::kNotAnArchive, platform::DisplayPath(Archive().archivePath)));
    }
}

void CTavrelDoc::OnArchiveTest()
{
    ApplyMenuPolicy();
    CProgressDlg progress;
    Archive().testMode = true;
    int count = MemberCount();
    bool cancelled = RunMembers(progress, count, nullptr);
    const wchar_t* note = cancelled ? res::kCancelledNote : L"";
    if (m_nLastBroken > 0) {
        AfxMessageBox(FormatText(res::kInvalidFiles, count, m_nLastBroken) + note);
    }
    // What follows the members when the header scan could not read on is never "all good",
    // nor is a run that could not test every member.
    if (ReportUnreadableRest() || m_nLastBroken > 0) {
        return;
    }
    if (m_nLastUnsupported > 0) {
        AfxMessageBox(std::wstring(res::kTestedGood) +
                      FormatText(res::kUnsupportedCount, m_nLastUnsupported) + note);
        return;
    }
    AfxMessageBox(std::wstring(res::kAllFilesGood) + note);
}

void CTavrelDoc::OnExtractAll()
{
    ExtractMembers(nullptr);
}

void CTavrelDoc::ExtractMembers(const std::vector<int>* selected)
{
    CTavrelApp* app = TavrelApp();
    CExtractDestDlg destination;
    CProgressDlg progress;
    // The dialog shows and takes host paths; the settings keep the device's form.
    destination.m_strDest = platform::DisplayPath(InitialDestination());
    destination.m_bCreateFolder = app->m_nCreateFolder != 0;
    destination.m_bUseFolder = app->m_nUseFolder != 0;
    if (destination.DoModal() != IDOK) {
        return;
    }
    std::wstring typed = platform::DevicePathOf(destination.m_strDest);
    std::wstring archivePath = Archive().archivePath;
    ApplyMenuPolicy();
    std::wstring dest =
        destination.m_bCreateFolder ? MakeArchiveFolderPath(typed, archivePath) : typed;
    // A destination that does not fit the archive object is refused: cut short, it would
    // name another folder.
    bool fits = dest.size() < static_cast<size_t>(kMaxPath);
    CArchiveObject& archive = Archive();
    if (fits) {
        std::wcscpy(archive.destFolder, dest.c_str());
    }
    archive.keepFolders = destination.m_bUseFolder;
    archive.testMode = false;
    int count = !fits                 ? 0
                : selected != nullptr ? static_cast<int>(selected->size())
                                      : MemberCount();
    // The destination is held from the first member to the last; the folder named after the
    // archive is the program's, not the user's choice: made only when something goes in,
    // never through a link standing in its place.
    archive.BeginExtraction(destination.m_bCreateFolder);
    bool cancelled = RunMembers(progress, count, selected);
    archive.EndExtraction();
    app->m_strLastFolderExtract = typed;
    app->WriteProfileString(settings::kLastFolder, L"Extract", typed);
    if (!fits) {
        ++m_nLastFailed;
        AfxMessageBox(res::kDestinationTooLong);
        return;
    }
    std::wstring summary = res::kExtractDone;
    if (m_nLastUnsupported > 0) {
        summary += FormatText(res::kUnsupportedCount, m_nLastUnsupported);
    }
    if (m_nLastBroken > 0) {
        summary += FormatText(res::kInvalidCount, m_nLastBroken);
    }
    if (m_nLastSkipped > 0) {
        summary += FormatText(res::kKeptCount, m_nLastSkipped);
    }
    AfxMessageBox(summary + (cancelled ? res::kCancelledNote : L""));
    ReportUnreadableRest();
}

void CTavrelDoc::OnArchiveCommandLine()
{
    CCommandLineDlg dialog;
    dialog.m_pHistory = TavrelApp()->m_strCommandHistory;
    if (dialog.DoModal() != IDOK) {
        return;
    }
    RunCommandLine(dialog.m_strCommand);
}

bool CTavrelDoc::RunCommandLine(const std::wstring& text)
{
    std::vector<std::wstring> tokens;
    if (!TokenizeCommand(text, tokens)) {
        tokens.clear();
    }
    return RunCommandTokens(tokens, text);
}

bool CTavrelDoc::RunCommandTokens(const std::vector<std::wstring>& tokens, const std::wstring& text)
{
    m_commandLine.failures = 0;
    bool valid = m_commandLine.RunTokens(tokens, *m_pLzh);
    m_nLastFailed += m_commandLine.failures;
    UpdateCommandHistory(TavrelApp()->m_strCommandHistory, text);
    UpdateAllViews(nullptr);
    return valid;
}

void CTavrelDoc::OnOptionSettings()
{
    CTavrelApp* app = TavrelApp();
    CPropertySheet sheet(res::kSettingsTitle);
    COptionViewDlg view;
    COptionExtractDlg extract;
    COptionFoldersDlg folders;
    COptionCompressDlg compress;
    for (int i = 0; i < 8; ++i) {
        view.m_bShowColumn[i] = app->m_nShowColumn[i + 1] != 0;
    }
    view.m_bShowFolderEntry = app->m_nShowFolderEntry != 0;
    view.m_nNameEncoding = app->m_nNameEncoding;
    extract.m_bCreateFolder = app->m_nCreateFolder != 0;
    extract.m_bUseFolder = app->m_nUseFolder != 0;
    extract.m_bResetReadOnly = app->m_nResetReadOnly != 0;
    extract.m_bToLowercase = app->m_nToLowercase != 0;
    extract.m_nOverwrite = m_pLzh->overwriteSilently ? 2 : (m_pLzh->askOnlyIfNewer ? 1 : 0);
    folders.m_nStartupFolderType = app->m_nStartupFolderType;
    folders.m_nExtractFolderType = app->m_nExtractFolderType;
    folders.m_strStartupFolder = platform::DisplayPath(app->m_strStartupFolder);
    folders.m_strExtractFolder = platform::DisplayPath(app->m_strExtractFolder);
    compress.m_nMethod = app->m_nLhaMethod;
    compress.m_nAction = app->m_nLhaAction;
    sheet.AddPage(&view);
    sheet.AddPage(&extract);
    sheet.AddPage(&folders);
    sheet.AddPage(&compress);
    if (sheet.DoModal() != IDOK) {
        return;
    }
    // Only the values this sheet changed are written: another instance may have written the
    // others since this one loaded them, and they stay as it wrote them.
    using settings::kOption;
    std::vector<std::pair<const wchar_t*, int*>> ints;
    for (int i = 1; i < 9; ++i) {
        ints.emplace_back(settings::kShowColumn[i], &app->m_nShowColumn[i]);
    }
    ints.insert(ints.end(), {{L"ShowFolderEntry", &app->m_nShowFolderEntry},
                             {L"NameEncoding", &app->m_nNameEncoding},
                             {L"CreateFolder", &app->m_nCreateFolder},
                             {L"UseFolder", &app->m_nUseFolder},
                             {L"ResetReadOnly", &app->m_nResetReadOnly},
                             {L"ToLowercase", &app->m_nToLowercase},
                             {L"OverwriteInquire", &app->m_nOverwriteInquire},
                             {L"LhaMethod", &app->m_nLhaMethod},
                             {L"LhaAction", &app->m_nLhaAction},
                             {L"StartupFolderType", &app->m_nStartupFolderType},
                             {L"ExtractFolderType", &app->m_nExtractFolderType}});
    const std::pair<const wchar_t*, std::wstring*> strings[] = {
        {L"StartupFolder", &app->m_strStartupFolder}, {L"ExtractFolder", &app->m_strExtractFolder}};
    std::vector<int> intsBefore;
    for (const auto& [name, value] : ints) {
        intsBefore.push_back(*value);
    }
    std::vector<std::wstring> stringsBefore;
    for (const auto& [name, value] : strings) {
        stringsBefore.push_back(*value);
    }
    for (int i = 0; i < 8; ++i) {
        app->m_nShowColumn[i + 1] = view.m_bShowColumn[i] ? 1 : 0;
    }
    app->m_nShowFolderEntry = view.m_bShowFolderEntry ? 1 : 0;
    app->m_nNameEncoding = view.m_nNameEncoding;
    app->m_nCreateFolder = extract.m_bCreateFolder ? 1 : 0;
    app->m_nUseFolder = extract.m_bUseFolder ? 1 : 0;
    app->m_nResetReadOnly = extract.m_bResetReadOnly ? 1 : 0;
    app->m_nToLowercase = extract.m_bToLowercase ? 1 : 0;
    app->m_nOverwriteInquire = extract.m_nOverwrite;
    ApplyOverwriteInquire();
    app->m_nLhaMethod = compress.m_nMethod;
    app->m_nLhaAction = compress.m_nAction;
    app->m_nStartupFolderType = folders.m_nStartupFolderType;
    app->m_nExtractFolderType = folders.m_nExtractFolderType;
    app->m_strStartupFolder = platform::DevicePathOf(folders.m_strStartupFolder);
    app->m_strExtractFolder = platform::DevicePathOf(folders.m_strExtractFolder);
    UpdateAllViews(nullptr);
    for (size_t i = 0; i < ints.size(); ++i) {
        if (*ints[i].second != intsBefore[i]) {
            app->WriteProfileInt(kOption, ints[i].first, *ints[i].second);
        }
    }
    for (size_t i = 0; i < std::size(strings); ++i) {
        if (*strings[i].second != stringsBefore[i]) {
            app->WriteProfileString(kOption, strings[i].first, *strings[i].second);
        }
    }
}

namespace
{

// The files and folders below `item` (a path relative to `base`, itself included), in the order
// they are added: each folder before what it holds. A folder reached a second time (a bind
// mount of one above it) is not walked again, nor is a symbolic link: it is a member of its
// own.
std::vector<std::wstring> WalkTree(const std::wstring& base, const std::wstring& item,
                                   std::vector<std::wstring>* files)
{
    std::vector<std::wstring> items{item};
    std::set<std::pair<uint64_t, uint64_t>> seen;
    for (size_t i = 0; i < items.size(); ++i) {
        const std::wstring current = items[i];
        platform::PathInfo info;
        if (!platform::GetPathInfo(base + current, &info) ||
            info.kind != platform::PathInfo::Folder) {
            if (info.kind == platform::PathInfo::File ||
                (info.kind == platform::PathInfo::Link && info.targetIsFile)) {
                files->push_back(base + current);
            }
            continue;
        }
        if (!seen.emplace(info.device, info.inode).second) {
            items.erase(items.begin() + static_cast<std::ptrdiff_t>(i--));
            continue;
        }
        platform::CFindFile finder;
        platform::FindData data;
        // Paths too long to store are not descended into.
        if (current.size() + 2 < static_cast<size_t>(kMaxPath) &&
            finder.First(base + current + L"\\*", &data)) {
            do {
                items.push_back(current + L"\\" + data.name);
            } while (finder.Next(&data));
        }
    }
    return items;
}

} // namespace

bool CTavrelDoc::AddFiles(const std::vector<std::wstring>& paths)
{
    // Files go only into an archive of the written format (RefuseUnchangeable says so).
    if (!m_bArchiveOpen || RefuseUnchangeable()) {
        return false;
    }
    ApplyMenuPolicy();
    ApplyAddSettings();
    bool keepFolders = m_pLzh->keepFolders;
    m_pLzh->keepFolders = true;
    bool ok = true;
    int failed = 0;
    m_pLzh->BeginAddRun();
    for (size_t p = 0; p < paths.size() && ok; ++p) {
        // Each path is stored by its name within the folder that holds it.
        std::wstring folder(platform::FolderPart(paths[p]));
        if (folder.size() >= static_cast<size_t>(kMaxPath)) {
            ++m_nLastFailed;
            ++failed;
            AfxMessageBox(
                ChangeFailureText(StatusCause::PathTooLong, platform::DisplayPath(paths[p])));
            ok = false;
            break;
        }
        std::wcscpy(m_pLzh->destFolder, folder.c_str());
        // The tree is walked first, so that its files are compressed ahead on every core.
        std::vector<std::wstring> files;
        std::vector<std::wstring> items = WalkTree(folder, paths[p].substr(folder.size()), &files);
        if (!m_pLzh->storeOnly) {
            m_pLzh->CompressAhead(std::move(files));
        }
        for (size_t i = 0; i < items.size() && ok; ++i) {
            if (m_pLzh->AddFile(items[i].c_str(), items[i].c_str()) ||
                m_pLzh->LastCause() == StatusCause::Skipped) {
                continue;
            }
            ++m_nLastFailed;
            ++failed;
            AfxMessageBox(ChangeFailureText(m_pLzh->LastCause(),
                                            platform::DisplayPath(folder + items[i]),
                                            platform::DisplayPath(m_pLzh->CollidedSource())));
            // What is only passed over lets the add go on; any other failure ends it.
            ok = AddGoesOn(m_pLzh->LastCause());
        }
        m_pLzh->StopAhead();
    }
    m_pLzh->EndAddRun();
    m_pLzh->destFolder[0] = 0;
    m_pLzh->keepFolders = keepFolders;
    UpdateAllViews(nullptr);
    return ok && failed == 0;
}

bool CTavrelDoc::IsModified() const
{
    return m_bArchiveOpen && Archive().HasPendingChanges();
}
