// CTavrelView: the member list (nine columns, one row per member, folder rows as the
// settings say, each row carrying its member's index) and the commands on it: delete the
// selection, open a member in place, extract the selection, and the enabling rules.
#pragma once

#include "framework/DocView.h"

#include "platform/FileTime.h"

#include <string>

class CTavrelDoc;

class CTavrelView : public CListView
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

    // The default width of each column.
    static const int kColumnWidths[9];

    // 1234567 -> "1,234,567".
    static std::wstring GroupDigits(const std::wstring& digits);

private:
    void AddRow(int index, const wchar_t* name, uint64_t unpacked, uint64_t packed,
                platform::FileTime localTime, uint32_t attributes, uint32_t crc,
                const std::wstring& method, const wchar_t* folder);
};
