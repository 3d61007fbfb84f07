#include "framework/ListCtrl.h"

int CListCtrl::InsertColumn(int index, const wchar_t* text, int format, int width, int /*subItem*/)
{
    if (index < 0 || index > GetColumnCount()) {
        index = GetColumnCount();
    }
    m_columns.insert(m_columns.begin() + index, Column{text, format, width});
    for (Row& r : m_rows) {
        r.texts.insert(r.texts.begin() + index, std::wstring());
    }
    Changed();
    return index;
}

bool CListCtrl::SetColumnWidth(int column, int width)
{
    if (column < 0 || column >= GetColumnCount()) {
        return false;
    }
    m_columns[static_cast<size_t>(column)].width = width;
    Changed();
    return true;
}

int CListCtrl::GetColumnWidth(int column) const
{
    return column < 0 || column >= GetColumnCount() ? 0
                                                    : m_columns[static_cast<size_t>(column)].width;
}

bool CListCtrl::DeleteAllItems()
{
    m_rows.clear();
    Changed();
    return true;
}

int CListCtrl::InsertItem(int index, const std::wstring& text)
{
    if (index < 0 || index > GetItemCount()) {
        index = GetItemCount();
    }
    Row row;
    row.texts.resize(m_columns.empty() ? 1 : m_columns.size());
    row.texts[0] = text;
    m_rows.insert(m_rows.begin() + index, std::move(row));
    Changed();
    return index;
}

bool CListCtrl::SetItemText(int row, int column, const std::wstring& text)
{
    if (row < 0 || row >= GetItemCount() || column < 0) {
        return false;
    }
    auto& texts = m_rows[static_cast<size_t>(row)].texts;
    if (static_cast<size_t>(column) >= texts.size()) {
        texts.resize(static_cast<size_t>(column) + 1);
    }
    texts[static_cast<size_t>(column)] = text;
    Changed();
    return true;
}

std::wstring CListCtrl::GetItemText(int row, int column) const
{
    if (row < 0 || row >= GetItemCount() || column < 0) {
        return L"";
    }
    const auto& texts = m_rows[static_cast<size_t>(row)].texts;
    return static_cast<size_t>(column) < texts.size() ? texts[static_cast<size_t>(column)] : L"";
}

bool CListCtrl::SetItemData(int row, uintptr_t data)
{
    if (row < 0 || row >= GetItemCount()) {
        return false;
    }
    m_rows[static_cast<size_t>(row)].data = data;
    return true;
}

uintptr_t CListCtrl::GetItemData(int row) const
{
    return row < 0 || row >= GetItemCount() ? 0 : m_rows[static_cast<size_t>(row)].data;
}

unsigned CListCtrl::GetItemState(int row, unsigned mask) const
{
    return row < 0 || row >= GetItemCount() ? 0 : m_rows[static_cast<size_t>(row)].state & mask;
}

bool CListCtrl::SetItemState(int row, unsigned state, unsigned mask)
{
    if (row < 0 || row >= GetItemCount()) {
        return false;
    }
    unsigned& s = m_rows[static_cast<size_t>(row)].state;
    s = (s & ~mask) | (state & mask);
    Changed();
    return true;
}

int CListCtrl::HitTest(CPoint point) const
{
    if (point.y < kRowHeight || point.x < 0) {
        return -1;
    }
    int row = point.y / kRowHeight - 1;
    return row < GetItemCount() ? row : -1;
}

void CListCtrl::Changed()
{
    if (onChanged != nullptr) {
        onChanged(*this, changedContext);
    }
}
