// CListCtrl: a report-style list as data (columns, rows of texts, item data, selection),
// which a backend draws. Rows are kRowHeight units high below a header of the same height,
// which is how HitTest maps a point to a row.
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
    struct Row
    {
        std::vector<std::wstring> texts;
        uintptr_t data = 0;
        unsigned state = 0;
    };

    int InsertColumn(int index, const wchar_t* text, int format, int width, int subItem);
    int GetColumnCount() const { return static_cast<int>(m_columns.size()); }
    bool SetColumnWidth(int column, int width);
    int GetColumnWidth(int column) const;
    const Column& GetColumn(int column) const { return m_columns[static_cast<size_t>(column)]; }

    bool DeleteAllItems();
    // Inserts a row before index (at the end when index is the count or more); returns it.
    int InsertItem(int index, const std::wstring& text);
    bool SetItemText(int row, int column, const std::wstring& text);
    std::wstring GetItemText(int row, int column) const;
    bool SetItemData(int row, uintptr_t data);
    uintptr_t GetItemData(int row) const;
    int GetItemCount() const { return static_cast<int>(m_rows.size()); }
    unsigned GetItemState(int row, unsigned mask) const;
    bool SetItemState(int row, unsigned state, unsigned mask);
    // The row under a point of the control's client area, or -1.
    int HitTest(CPoint point) const;

    // Called after every change, for a backend that mirrors the list.
    void (*onChanged)(CListCtrl& list, void* context) = nullptr;
    void* changedContext = nullptr;

private:
    void Changed();
    std::vector<Column> m_columns;
    std::vector<Row> m_rows;
};
