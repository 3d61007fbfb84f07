#include "app/Dialogs.h"

#include "platform/FileTime.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "view/TavrelView.h"

#include <chrono>
#include <cwchar>

namespace
{

// The progress dialog of the command that runs; one runs at a time.
CProgressDlg* g_activeProgress = nullptr;

int64_t SteadyMilliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "1,234 バイト  2026/12/08 20:45:42": a file's size and its UTC time shown in local time.
std::wstring FileText(uint64_t size, platform::FileTime utc)
{
    platform::FileTime local = utc;
    platform::FileTimeToLocalFileTime(utc, &local);
    platform::SystemTime st{};
    platform::FileTimeToSystemTime(local, &st);
    return FormatText(res::kFileSizeAndTime, CTavrelView::Grouped(size).c_str(), st.year, st.month,
                      st.day, st.hour, st.minute, st.second);
}

} // namespace

CProgressDlg::CProgressDlg() : CDialog(IDD_PROGRESS)
{
    g_activeProgress = this;
}

CProgressDlg::~CProgressDlg()
{
    if (g_activeProgress == this) {
        g_activeProgress = nullptr;
    }
}

CProgressDlg* CProgressDlg::Active()
{
    return g_activeProgress != nullptr && g_activeProgress->IsWindowCreated() ? g_activeProgress
                                                                              : nullptr;
}

void CProgressDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Control(pDX, IDC_PROGRESS, m_progress);
    DDX_Text(pDX, IDC_TEXT, m_strText);
    // A new item starts without the bytes of the one before.
    if (!pDX->m_bSaveAndValidate && m_strText != m_strShownText) {
        m_strShownText = m_strText;
        m_strBytes.clear();
    }
    DDX_Text(pDX, IDC_BYTES, m_strBytes);
}

bool CProgressDlg::ReportBytes(uint64_t done, uint64_t total)
{
    int64_t now = SteadyMilliseconds();
    if (now - m_lastRepaint >= kRepaintMs) {
        m_lastRepaint = now;
        if (total >= kBytesShownFrom) {
            constexpr double kMegabyte = 1024.0 * 1024.0;
            m_strBytes = FormatText(L"%.1f / %.1f MB", static_cast<double>(done) / kMegabyte,
                                    static_cast<double>(total) / kMegabyte);
            SetControlText(IDC_BYTES, m_strBytes);
        }
        NotifyChanged(false); // repaints, and a Cancel pressed meanwhile comes through
    }
    return !m_bCancel;
}

CExtractDestDlg::CExtractDestDlg() : CDialog(IDD_EXTRACT_DEST) {}

void CExtractDestDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Check(pDX, IDC_CREATE_FOLDER, m_bCreateFolder);
    DDX_Check(pDX, IDC_USE_FOLDER, m_bUseFolder);
    DDX_Text(pDX, IDC_TEXT, m_strDest);
}

CCommandLineDlg::CCommandLineDlg() : CDialog(IDD_COMMAND_LINE) {}

void CCommandLineDlg::OnComboDropDown(int id)
{
    if (id != IDC_COMMAND || m_pHistory == nullptr) {
        return;
    }
    auto& items = ComboItems(IDC_COMMAND);
    items.clear();
    for (int i = 0; i < 3; ++i) {
        if (!m_pHistory[i].empty()) {
            items.push_back(m_pHistory[i]);
        }
    }
}

void CCommandLineDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_COMMAND, m_strCommand);
}

CPasswordDlg::CPasswordDlg() : CDialog(IDD_PASSWORD) {}

void CPasswordDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_TEXT, m_strPassword);
    if (pDX->m_bSaveAndValidate && m_strPassword.size() > kPasswordCapacity - 1) {
        m_strPassword.resize(kPasswordCapacity - 1); // the edit field takes no more
    }
}

bool CUserPrompt::AskPassword(const wchar_t* context, bool again, wchar_t* text)
{
    if (again) {
        AfxMessageBox(FormatNamed(res::kWrongPassword, context));
    }
    CPasswordDlg dialog;
    if (dialog.DoModal() != IDOK) {
        return false;
    }
    std::wcsncpy(text, dialog.m_strPassword.c_str(), kPasswordCapacity - 1);
    text[kPasswordCapacity - 1] = 0;
    return true;
}

OverwriteAnswer CUserPrompt::AskOverwrite(const OverwriteQuestion& asked)
{
    if (m_answerForAll != OverwriteAnswer::Unanswerable && !asked.writtenThisRun) {
        return m_answerForAll;
    }
    std::wstring question = FormatNamed(res::kAskOverwrite, asked.name);
    if (question.size() > 255) {
        question.resize(255); // the message is formatted into 256 characters
    }
    question +=
        FormatText(res::kOverwriteSides, FileText(asked.existingSize, asked.existingTime).c_str(),
                   FileText(asked.memberSize, asked.memberTime).c_str());
    switch (AfxMessageBox(question, MB_YESNO | MB_YESNOALL | MB_ICONQUESTION)) {
    case IDYES:
        return OverwriteAnswer::Yes;
    case IDYESALL:
        return m_answerForAll = OverwriteAnswer::Yes;
    case IDNOALL:
        return m_answerForAll = OverwriteAnswer::No;
    case IDCANCEL:
        return OverwriteAnswer::Cancel;
    case IDNOANSWER:
        return OverwriteAnswer::Unanswerable;
    default:
        return OverwriteAnswer::No;
    }
}

bool CUserPrompt::MayReplaceUnasked()
{
    return !AfxBackend().AnswersEveryQuestionNo();
}

bool CUserPrompt::ReportProgress(uint64_t done, uint64_t total)
{
    CProgressDlg* progress = CProgressDlg::Active();
    return progress == nullptr || progress->ReportBytes(done, total);
}
