// CPropertySheet with its CPropertyPage pages: a modal dialog of tabs, each page a dialog
// with its own data exchange. On OK every page reads its controls back.
#pragma once

#include "framework/Dialog.h"

#include <string>
#include <vector>

class CPropertyPage : public CDialog
{
public:
    explicit CPropertyPage(int templateId) : CDialog(templateId) {}
};

class CPropertySheet
{
public:
    explicit CPropertySheet(const wchar_t* caption) : m_caption(caption) {}
    void AddPage(CPropertyPage* page) { m_pages.push_back(page); }
    // Members to controls on every page, the backend runs the sheet, and on IDOK every page
    // takes its controls back.
    int DoModal();

    std::wstring m_caption;
    std::vector<CPropertyPage*> m_pages;
};
