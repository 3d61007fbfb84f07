// CListCtrl: a report-style list as data. It keeps the columns, the rows' item data in
// display order, the selection and the sort; a row's texts come from its CListRowSource on
// demand, so a row costs a few bytes whatever its texts. Rows are kRowHeight units high below
// a header of the same height, which is how HitTest maps a point to a row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int LVCFMT_LEFT = 0;
constexpr int LVCFMT_RIGHT = 1;
constexpr unsigned LVIS_SELECTED = 0x2;

struct CPoint
{
    int x, y;
};

// What supplies the texts of the rows, by their item data.
class CListRowSource
{
public:
    virtual ~CListRowSource() = default;
    virtual std::wstring GetRowText(uintptr_t data, int column) const = 0;
    // Below 0, 0 or above 0 as row a sorts before, with or after row b by column. The base
    // compares the texts as they are.
    virtual int CompareRows(uintptr_t a, uintptr_t b, int column) const;
};

class CListCtrl
{
public:
    static constexpr int kRowHeight = 16;

    struct Column
    {
        std::wstring text;
        int format;
        int width;
    };

    int InsertColumn(int index, const wchar_t* text, int format, int width, int subItem);
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    bool SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    const Column& GetColumn(int column) const { return m_columns[static_cast<size_t>(column)]; }

    void SetRowSource(const CListRowSource* source) { m_source = source; }
    bool DeleteAllItems();
    // Appends a row whose texts the row source gives for data; returns its row number.
    int AppendItem(uintptr_t data);
    // The text the row source gives for a row's data; empty outside the rows.
    std::wstring GetItemText(int row, int column) const;
    uintptr_t GetItemData(int row) const;
    int GetItemCount() const { return static_cast<int>(m_data.size()); }
    unsigned GetItemState(int row, unsigned mask) const;
    bool SetItemState(int row, unsigned state, unsigned mask);
    // Selects every row (on) or none.
    void SelectAll(bool on);
    int GetSelectedCount() const { return m_selectedCount; }
    // The row under a point of the control's client area, or -1.
    int HitTest(CPoint point) const;

    // Orders the rows by a column (ascending or not); ties keep the order of their data, so
    // the rows appended in the source's order come back by ClearSort. The selection stays
    // with its rows.
    void SortItems(int column, bool ascending);
    // The rows in the order of their data; no column sorts.
    void ClearSort();
    int GetSortColumn() const { return m_sortColumn; } // -1: the order of the data
    bool IsSortAscending() const { return m_sortAscending; }

    // Called after every change, for a backend that mirrors the list.
    void (*onChanged)(CListCtrl& list, void* context) = nullptr;
    void* changedContext = nullptr;

private:
    void Changed();
    bool IsSelectedData(uintptr_t data) const;

    std::vector<Column> m_columns;
    const CListRowSource* m_source = nullptr;
    std::vector<uint32_t> m_data; // each row's item data, in display order
    std::vector<bool> m_selected; // by item data (so sorting leaves it alone)
    int m_selectedCount = 0;      // rows whose data is marked in m_selected
    int m_sortColumn = -1;        // the column the rows are sorted by, -1 for none
    bool m_sortAscending = true;
};
