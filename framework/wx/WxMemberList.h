// CWxMemberList: the main window's report list on wxWidgets, virtual: it holds only the row
// count and asks the framework's list for the texts of the rows it draws.
#pragma once

#include "framework/ListCtrl.h"

#include <wx/listctrl.h>

class CWxMemberList : public wxListCtrl
{
public:
    CWxMemberList(wxWindow* parent, CListCtrl& model);

private:
    wxString OnGetItemText(long item, long column) const override;

    CListCtrl& m_model;
};
