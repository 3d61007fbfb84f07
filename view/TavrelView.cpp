#include "view/TavrelView.h"

#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "archive/MemberOutput.h"
#include "platform/PrivateTemp.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <algorithm>
#include <cwchar>
#include <functional>
#include <vector>

const int CTavrelView::kColumnWidths[9] = {190, 75, 75, 60, 135, 45, 75, 75, 215};

namespace
{

constexpr int kColumnFormats[9] = {LVCFMT_LEFT,  LVCFMT_RIGHT, LVCFMT_RIGHT,
                                   LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_LEFT,
                                   LVCFMT_RIGHT, LVCFMT_LEFT,  LVCFMT_LEFT};

} // namespace

CTavrelDoc* CTavrelView::GetDocument() const
{
    return static_cast<CTavrelDoc*>(m_pDocument);
}

int CTavrelView::OnCreate()
{
    CListCtrl& list = GetListCtrl();
    for (int i = 0; i < 9; ++i) {
        list.InsertColumn(i, res::kColumnTitles[i], kColumnFormats[i], kColumnWidths[i], i);
    }
    return 0;
}

std::wstring CTavrelView::GroupDigits(const std::wstring& digits)
{
    size_t first = digits.size() % 3 == 0 ? 3 : digits.size() % 3;
    std::wstring out = digits.substr(0, first);
    for (size_t i = first; i < digits.size(); i += 3) {
        out += L',';
        out += digits.substr(i, 3);
    }
    return out;
}

void CTavrelView::AddRow(int index, const wchar_t* name, uint64_t unpacked, uint64_t packed,
                         platform::FileTime localTime, uint32_t attributes, uint32_t crc,
                         const std::wstring& method, const wchar_t* folder)
{
    CListCtrl& list = GetListCtrl();
    int row;
    if (name[0] == 0) {
        if (TavrelApp()->m_nShowFolderEntry == 0) {
            return;
        }
        row = list.InsertItem(list.GetItemCount() + 1, res::kFolderRow);
        list.SetItemText(row, 1, L"0");
        list.SetItemText(row, 2, L"0");
        list.SetItemText(row, 3, L"0%");
    } else {
        row = list.InsertItem(list.GetItemCount() + 1, name);
        list.SetItemText(
            row, 1, GroupDigits(FormatText(L"%llu", static_cast<unsigned long long>(unpacked))));
        list.SetItemText(row, 2,
                         GroupDigits(FormatText(L"%llu", static_cast<unsigned long long>(packed))));
        double ratio = unpacked == 0
                           ? 100.0
                           : static_cast<double>(packed) / static_cast<double>(unpacked) * 100.0;
        list.SetItemText(row, 3, FormatText(L"%.1f%%", ratio));
    }
    platform::SystemTime st{};
    platform::FileTimeToSystemTime(localTime, &st);
    list.SetItemText(row, 4,
                     FormatText(L"%d/%02d/%02d %02d:%02d:%02d", st.year, st.month, st.day, st.hour,
                                st.minute, st.second));
    std::wstring letters;
    letters += (attributes & 0x01) ? L"R" : L"";
    letters += (attributes & 0x02) ? L"H" : L"";
    letters += (attributes & 0x04) ? L"S" : L"";
    letters += (attributes & 0x20) ? L"A" : L"";
    list.SetItemText(row, 5, letters);
    list.SetItemText(row, 6, FormatText(L"%08x", crc));
    list.SetItemText(row, 7, method);
    list.SetItemText(row, 8, folder);
    list.SetItemData(row, static_cast<uintptr_t>(index));
}

void CTavrelView::OnUpdate(CView* /*sender*/, long /*hint*/)
{
    CListCtrl& list = GetListCtrl();
    CTavrelApp* app = TavrelApp();
    CTavrelDoc* doc = GetDocument();
    list.DeleteAllItems();
    for (int i = 1; i < list.GetColumnCount(); ++i) {
        list.SetColumnWidth(i, app->m_nShowColumn[i] != 0 ? kColumnWidths[i] : 0);
    }
    if (doc->m_nArchiveType == kArchiveLzh) {
        const CLzhArchive& a = *doc->m_pLzh;
        for (int k = 0; k < a.GetEntryCount(); ++k) {
            const CArchiveEntry& e = a.GetEntry(k);
            platform::FileTime local = e.modified;
            platform::FileTimeToLocalFileTime(e.modified, &local);
            // A path longer than the record shows with a mark where it was cut.
            // Folders show as the host writes them, '/' between them.
            std::wstring name = e.name, folder = e.folder;
            std::replace(folder.begin(), folder.end(), L'\\', L'/');
            name += (e.flags & kEntryNameCut) ? res::kCutMark : L"";
            folder += (e.flags & kEntryFolderCut) ? res::kCutMark : L"";
            AddRow(k, name.c_str(), e.unpackedSize, e.packedSize, local, e.attributes, e.crc,
                   e.method, folder.c_str());
        }
    } else {
        const CZipArchive& a = *doc->m_pZip;
        for (int k = 0; k < a.GetEntryCount(); ++k) {
            const CZipEntry& e = a.GetEntry(k);
            AddRow(k, e.name, e.unpackedSize, e.packedSize, e.modified, e.attributes, e.crc32,
                   FormatText(L"%d", e.method), e.path);
        }
    }
}

bool CTavrelView::OnCmdMsg(int id)
{
    switch (id) {
    case ID_ARCHIVE_DELETE:
        OnArchiveDelete();
        return true;
    case ID_EXTRACT_SELECTED:
        OnExtractSelected();
        return true;
    default:
        return false;
    }
}

bool CTavrelView::OnUpdateCmdUI(CCmdUI* ui)
{
    CTavrelDoc* doc = GetDocument();
    switch (ui->m_nID) {
    case ID_ARCHIVE_ADD:
    case ID_ARCHIVE_DELETE:
    case ID_ARCHIVE_COMMAND_LINE:
        ui->Enable(doc->m_bArchiveOpen && doc->m_nArchiveType == kArchiveLzh);
        return true;
    case ID_EXTRACT_SELECTED:
    case ID_EXTRACT_ALL:
    case ID_ARCHIVE_TEST:
        ui->Enable(doc->m_bArchiveOpen);
        return true;
    default:
        return false;
    }
}

void CTavrelView::OnArchiveDelete()
{
    CListCtrl& list = GetListCtrl();
    CTavrelDoc* doc = GetDocument();
    std::vector<int> indices;
    indices.reserve(static_cast<size_t>(list.GetItemCount()));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemState(row, LVIS_SELECTED) != 0) {
            indices.push_back(static_cast<int>(list.GetItemData(row)));
        }
    }
    // The selected members go together, in one pass over the list.
    if (!indices.empty() && doc->RefuseUnchangeable()) {
        return;
    }
    if (doc->m_nArchiveType == kArchiveLzh && !indices.empty() &&
        !doc->m_pLzh->DeleteEntries(indices)) {
        ++doc->m_nLastFailed;
        std::wstring name(doc->m_pLzh->GetEntryName(indices.back()));
        AfxMessageBox(FormatText(res::kDeleteFailed, name.c_str()));
    }
    doc->UpdateAllViews(nullptr);
}

void CTavrelView::OnLButtonDblClk(CPoint point)
{
    CListCtrl& list = GetListCtrl();
    int row = list.HitTest(point);
    if (row < 0) {
        return;
    }
    CTavrelDoc* doc = GetDocument();
    int index = static_cast<int>(list.GetItemData(row));
    if (index >= doc->MemberCount()) {
        return;
    }
    std::wstring name = doc->MemberName(index);
    if (name.empty()) {
        return;
    }
    // Extracted files go to a folder of this program's own that only the user may enter.
    if (!platform::PreparePrivateTemp()) {
        AfxMessageBox(res::kTempUnavailable);
        return;
    }
    doc->WithArchive([index](auto& archive) {
        archive.keepFolders = false;
        std::wcscpy(archive.destFolder, res::kTemp);
        archive.testMode = false;
        archive.ExtractEntry(index); // the result is not looked at
    });
    // Written without folders: a name holding '/' lands under its last part.
    AfxBackend().ShellOpen(std::wstring(res::kTemp) + L"\\" + std::wstring(LastComponent(name)));
}

void CTavrelView::OnExtractSelected()
{
    CListCtrl& list = GetListCtrl();
    std::vector<int> selected;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemState(row, LVIS_SELECTED) != 0) {
            selected.push_back(static_cast<int>(list.GetItemData(row)));
        }
    }
    GetDocument()->ExtractMembers(&selected);
}
