// The virtual report list: row texts from the framework's list, by row.
#include "framework/wx/WxMemberList.h"

#include "framework/wx/WxTrace.h"

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
    // A hidden column (width 0) draws nothing: the list would squeeze its text into a dot.
    if (m_model.GetColumnWidth(static_cast<int>(column)) == 0) {
        return wxString();
    }
    std::wstring text = m_model.GetItemText(static_cast<int>(item), static_cast<int>(column));
    // Tests see when the list first showed rows and that it was scrolled to its end.
    if (column == 0 && WxTracing()) {
        if (item == 0) {
            WxTrace(L"first-row-drawn", text);
        }
        if (item == GetItemCount() - 1) {
            WxTrace(L"last-row-drawn", text);
        }
    }
    return wxString(text);
}
