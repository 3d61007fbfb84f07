// CTavrelView: the member list (nine columns, one row per member, folder rows as the
// settings say, each row carrying its member's index) and the commands on it: delete the
// selection, open a member in place, extract the selection, and the enabling rules. The rows'
// texts are made from the archive object's records when they are asked for.
#pragma once

#include "framework/DocView.h"

#include "platform/FileTime.h"

#include <string>

class CTavrelDoc;

class CTavrelView : public CListView, public CListRowSource
{
public:
    CTavrelDoc* GetDocument() const;

    int OnCreate() override;
    void OnUpdate(CView* sender, long hint) override;
    bool OnCmdMsg(int id) override;
    bool OnUpdateCmdUI(CCmdUI* ui) override;

    void OnArchiveDelete();
    void OnLButtonDblClk(CPoint point) override;
    void OnExtractSelected();
    // Enter: opens the first selected member in place, as a double-click on its row does.
    void OnOpenMember();
    // Dropped files and folders go into the open LZH archive; one file dropped while no
    // archive is open (or after the close question is answered Yes) is opened.
    void OnDropFiles(const std::vector<std::wstring>& paths) override;
    // The selected members (folder rows aside) are written to \Temp and offered from there.
    std::vector<std::wstring> OnBeginDrag() override;

    // The texts of member `data`: file name (or "<DIR>"), size, packed size, ratio, time,
    // attribute letters, CRC, method, folder.
    std::wstring GetRowText(uintptr_t data, int column) const override;
    // Sizes, ratio, time and CRC as numbers, names and paths in the user's locale.
    int CompareRows(uintptr_t a, uintptr_t b, int column) const override;

    // A column's width set by the user: kept for this and later runs.
    void OnColumnResized(int column, int width) override;
    // The status line: the rows' count and size, and the selection's when there is one.
    std::wstring StatusText() override;

    // The default width of each column.
    static const int kColumnWidths[9];

    // 1234567 -> "1,234,567".
    static std::wstring Grouped(uint64_t n);

private:
    void OpenRow(int row);
    // Writes member index without its folders into a new folder in \Temp; returns its path
    // there, or empty (and the user told why) when it could not be written.
    std::wstring ExtractToTemp(int index);

    // The archive whose rows the sort belongs to (empty: none open).
    std::wstring m_sortedArchive;
    unsigned m_tempFolders = 0; // the folders made in \Temp so far
    uint64_t m_shownSize = 0;   // the size of the rows' members together
    int m_columnWidths[9] = {}; // the shown columns' widths
};
