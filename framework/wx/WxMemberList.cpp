#include "framework/wx/WxMemberList.h"

CWxMemberList::CWxMemberList(wxWindow* parent, CListCtrl& model)
    : wxListCtrl(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                 wxLC_REPORT | wxLC_VIRTUAL | wxBORDER_SUNKEN),
      m_model(model)
{}

wxString CWxMemberList::OnGetItemText(long item, long column) const
{
    if (item < 0 || item > INT32_MAX || column < 0 || column > INT32_MAX) {
        return wxString();
    }
    return wxString(m_model.GetItemText(static_cast<int>(item), static_cast<int>(column)));
}
