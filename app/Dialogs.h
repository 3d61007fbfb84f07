// The small dialogs of the commands (progress, extraction destination, command line,
// password) and CUserPrompt, through which the archive objects ask the user.
#pragma once

#include "archive/ArchivePrompt.h"
#include "framework/Dialog.h"

#include <cstdint>
#include <string>

// Modeless progress of Test and the extraction commands (dialog 142). Cancel only sets
// m_bCancel; the owner's loop reads it before each item, and ReportProgress inside a member.
class CProgressDlg : public CDialog
{
public:
    CProgressDlg();
    ~CProgressDlg() override;
    void OnCancel() override { m_bCancel = true; }
    // The progress dialog whose window is open, or null.
    static CProgressDlg* Active();
    // Shows the bytes done of the member in progress (when it is large), repainting at most
    // every kRepaintMs, and lets Cancel through. False once Cancel was pressed.
    bool ReportBytes(uint64_t done, uint64_t total);

    // Members of this many bytes and more show their bytes done.
    static constexpr uint64_t kBytesShownFrom = 4u << 20;
    // The dialog repaints at least this often (milliseconds) while a member is in progress.
    static constexpr int kRepaintMs = 50;

    bool m_bCancel = false;
    CProgressCtrl m_progress;
    std::wstring m_strText;
    std::wstring m_strBytes; // "12.5 / 300.0 MB" of a large member in progress, else empty

protected:
    void DoDataExchange(CDataExchange* pDX) override;

private:
    std::wstring m_strShownText; // the item name last transferred
    int64_t m_lastRepaint = 0;   // milliseconds of a steady clock
};

// The extraction destination (dialog 141), taken as typed.
class CExtractDestDlg : public CDialog
{
public:
    CExtractDestDlg();

    bool m_bCreateFolder = false;
    bool m_bUseFolder = false;
    std::wstring m_strDest;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// The command line (dialog 135): the combo box lists the non-empty history entries each
// time its list opens.
class CCommandLineDlg : public CDialog
{
public:
    CCommandLineDlg();
    void OnComboDropDown(int id) override;

    std::wstring* m_pHistory = nullptr; // three strings, newest first
    std::wstring m_strCommand;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// The password question (dialog 139); at most 63 characters are delivered.
class CPasswordDlg : public CDialog
{
public:
    CPasswordDlg();

    std::wstring m_strPassword;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class CUserPrompt : public CArchivePrompt
{
public:
    // The password dialog; after a wrong password the user is told so first.
    bool AskPassword(const wchar_t* context, bool again, wchar_t* text) override;
    // The question names the member and shows both files' sizes and times; "all" answers
    // hold for the rest of the run.
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
    void BeginRun() override { m_answerForAll = OverwriteAnswer::Unanswerable; }
    bool MayReplaceUnasked() override;
    // Drives the open progress dialog: its bytes of a large member, its Cancel.
    bool ReportProgress(uint64_t done, uint64_t total) override;

private:
    // Yes or No given for the whole run; Unanswerable while none was.
    OverwriteAnswer m_answerForAll = OverwriteAnswer::Unanswerable;
};
