// The small dialogs of the commands (progress, extraction destination, command line,
// password) and CUserPrompt, through which the archive objects ask the user.
#pragma once

#include "archive/ArchivePrompt.h"
#include "framework/Dialog.h"

#include <string>

// Modeless progress of Test and the extraction commands (dialog 142). Cancel only sets
// m_bCancel; the owner's loop reads it before each item.
class CProgressDlg : public CDialog
{
public:
    CProgressDlg();
    void OnCancel() override { m_bCancel = true; }

    bool m_bCancel = false;
    CProgressCtrl m_progress;
    std::wstring m_strText;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
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
    void AskPassword(const wchar_t* context, wchar_t* text) override;
    void AskOverwrite(const wchar_t* fileName, bool* answer) override;
};
