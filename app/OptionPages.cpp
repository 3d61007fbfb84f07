#include "app/OptionPages.h"

#include "res/DialogTemplates.h"
#include "res/Resource.h"

COptionViewDlg::COptionViewDlg() : CPropertyPage(IDD_OPTION_VIEW)
{
    for (const wchar_t* item : NameEncodingItems()) {
        ComboItems(1029).push_back(item);
    }
}

void COptionViewDlg::DoDataExchange(CDataExchange* pDX)
{
    for (int i = 0; i < 8; ++i) {
        DDX_Check(pDX, 1001 + i, m_bShowColumn[i]);
    }
    DDX_Check(pDX, 1009, m_bShowFolderEntry);
    DDX_CBIndex(pDX, 1029, m_nNameEncoding);
}

COptionExtractDlg::COptionExtractDlg() : CPropertyPage(IDD_OPTION_EXTRACT) {}

void COptionExtractDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Check(pDX, 1001, m_bCreateFolder);
    DDX_Check(pDX, 1002, m_bUseFolder);
    DDX_Radio(pDX, 1010, m_nOverwrite);
    DDX_Check(pDX, 1003, m_bResetReadOnly);
    DDX_Check(pDX, 1004, m_bToLowercase);
}

COptionFoldersDlg::COptionFoldersDlg() : CPropertyPage(IDD_OPTION_FOLDER) {}

void COptionFoldersDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Radio(pDX, 1010, m_nStartupFolderType);
    DDX_Text(pDX, 1025, m_strStartupFolder);
    DDX_Radio(pDX, 1016, m_nExtractFolderType);
    DDX_Text(pDX, 1021, m_strExtractFolder);
}

COptionCompressDlg::COptionCompressDlg() : CPropertyPage(IDD_OPTION_COMPRESS)
{
    // The lists' items come with the template.
    for (const wchar_t* item : CompressMethodItems()) {
        ComboItems(1027).push_back(item);
    }
    for (const wchar_t* item : CompressActionItems()) {
        ComboItems(1028).push_back(item);
    }
}

void COptionCompressDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_CBIndex(pDX, 1027, m_nMethod);
    DDX_CBIndex(pDX, 1028, m_nAction);
}
