// The four pages of the settings sheet: list columns, extraction, folders, compression.
#pragma once

#include "framework/PropertySheet.h"

#include <string>

class COptionViewDlg : public CPropertyPage
{
public:
    COptionViewDlg();
    bool m_bShowColumn[8] = {}; // ShowOriginalSize ... ShowPath, by column 1..8
    bool m_bShowFolderEntry = false;
    int m_nNameEncoding = 0; // NameEncoding

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class COptionExtractDlg : public CPropertyPage
{
public:
    COptionExtractDlg();
    bool m_bCreateFolder = false;
    bool m_bUseFolder = false;
    int m_nOverwrite = -1; // 0 always ask, 1 only when newer, 2 never
    bool m_bResetReadOnly = false;
    bool m_bToLowercase = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class COptionFoldersDlg : public CPropertyPage
{
public:
    COptionFoldersDlg();
    int m_nStartupFolderType = -1;
    int m_nExtractFolderType = -1;
    std::wstring m_strStartupFolder;
    std::wstring m_strExtractFolder;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

class COptionCompressDlg : public CPropertyPage
{
public:
    COptionCompressDlg();
    int m_nMethod = -1; // LhaMethod
    int m_nAction = -1; // LhaAction

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};
