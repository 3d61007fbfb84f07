#include "framework/ListCtrl.h"

#include <algorithm>

int CListRowSource::CompareRows(uintptr_t a, uintptr_t b, int column) const
{
    return GetRowText(a, column).compare(GetRowText(b, column));
}

int CListCtrl::InsertColumn(int index, const wchar_t* text, int format, int width, int /*subItem*/)
{
    if (index < 0 || index > GetColumnCount()) {
        index = GetColumnCount();
    }
    m_columns.insert(m_columns.begin() + index, Column{text, format, width});
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
    m_data.clear();
    m_selected.clear();
    m_selectedCount = 0;
    Changed();
    return true;
}

int CListCtrl::AppendItem(uintptr_t data)
{
    // Item data are member indices, which the list keeps in 32 bits.
    m_data.push_back(static_cast<uint32_t>(data));
    Changed();
    return GetItemCount() - 1;
}

std::wstring CListCtrl::GetItemText(int row, int column) const
{
    if (row < 0 || row >= GetItemCount() || column < 0 || column >= GetColumnCount() ||
        m_source == nullptr) {
        return L"";
    }
    return m_source->GetRowText(m_data[static_cast<size_t>(row)], column);
}

uintptr_t CListCtrl::GetItemData(int row) const
{
    return row < 0 || row >= GetItemCount() ? 0 : m_data[static_cast<size_t>(row)];
}

bool CListCtrl::IsSelectedData(uintptr_t data) const
{
    return data < m_selected.size() && m_selected[data];
}

unsigned CListCtrl::GetItemState(int row, unsigned mask) const
{
    if (row < 0 || row >= GetItemCount()) {
        return 0;
    }
    return IsSelectedData(m_data[static_cast<size_t>(row)]) ? (LVIS_SELECTED & mask) : 0;
}

bool CListCtrl::SetItemState(int row, unsigned state, unsigned mask)
{
    if (row < 0 || row >= GetItemCount()) {
        return false;
    }
    if ((mask & LVIS_SELECTED) == 0) {
        return true;
    }
    uint32_t data = m_data[static_cast<size_t>(row)];
    bool on = (state & LVIS_SELECTED) != 0;
    if (on && data >= m_selected.size()) {
        m_selected.resize(static_cast<size_t>(data) + 1);
    }
    if (data < m_selected.size() && m_selected[data] != on) {
        m_selected[data] = on;
        m_selectedCount += on ? 1 : -1;
    }
    Changed();
    return true;
}

void CListCtrl::SelectAll(bool on)
{
    m_selected.clear();
    m_selectedCount = 0;
    if (on) {
        for (uint32_t data : m_data) {
            if (data >= m_selected.size()) {
                m_selected.resize(static_cast<size_t>(data) + 1);
            }
            m_selected[data] = true;
        }
        m_selectedCount = GetItemCount();
    }
    Changed();
}

int CListCtrl::HitTest(CPoint point) const
{
    if (point.y < kRowHeight || point.x < 0) {
        return -1;
    }
    int row = point.y / kRowHeight - 1;
    return row < GetItemCount() ? row : -1;
}

void CListCtrl::SortItems(int column, bool ascending)
{
    if (column < 0 || column >= GetColumnCount() || m_source == nullptr) {
        return;
    }
    m_sortColumn = column;
    m_sortAscending = ascending;
    const CListRowSource& source = *m_source;
    // Ties fall back to the data, so that equal rows stay in the source's order both ways.
    std::sort(m_data.begin(), m_data.end(), [&](uint32_t a, uint32_t b) {
        int order = source.CompareRows(a, b, column);
        if (order == 0) {
            return a < b;
        }
        return ascending ? order < 0 : order > 0;
    });
    Changed();
}

void CListCtrl::ClearSort()
{
    m_sortColumn = -1;
    m_sortAscending = true;
    std::sort(m_data.begin(), m_data.end());
    Changed();
}

void CListCtrl::Changed()
{
    if (onChanged != nullptr) {
        onChanged(*this, changedContext);
    }
}
