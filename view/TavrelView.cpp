#include "view/TavrelView.h"

#include "app/Outcome.h"
#include "app/TavrelApp.h"
#include "app/TavrelDoc.h"
#include "archive/MemberOutput.h"
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "platform/PrivateTemp.h"
#include "res/Resource.h"
#include "res/Strings.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cwchar>
#include <functional>
#include <vector>

const int CTavrelView::kColumnWidths[9] = {190, 75, 75, 60, 135, 45, 75, 75, 215};

namespace
{

// The widths the user gave the columns: a section of their own beside the column settings.
constexpr const wchar_t* kColumnSection = L"ColumnWidth";
constexpr int kNarrowestColumn = 8;
constexpr int kWidestColumn = 4000;

std::wstring ColumnEntry(int column)
{
    return L"Column" + std::to_wstring(column);
}

constexpr int kColumnFormats[9] = {LVCFMT_LEFT,  LVCFMT_RIGHT, LVCFMT_RIGHT,
                                   LVCFMT_RIGHT, LVCFMT_RIGHT, LVCFMT_LEFT,
                                   LVCFMT_RIGHT, LVCFMT_LEFT,  LVCFMT_LEFT};

enum ListColumn
{
    kColumnName,
    kColumnSize,
    kColumnPacked,
    kColumnRatio,
    kColumnTime,
    kColumnAttributes,
    kColumnCrc,
    kColumnMethod,
    kColumnPath,
};

// A text as the list shows it: cut where the member's record would cut it, with a mark.
std::wstring Shown(std::wstring_view text, bool folder)
{
    if (text.size() < static_cast<size_t>(kMaxPath)) {
        return std::wstring(text);
    }
    std::wstring kept(text.substr(0, static_cast<size_t>(kMaxPath) - (folder ? 2 : 1)));
    return kept + (folder ? L"\\" : L"") + res::kCutMark;
}

bool IsFolderRow(const MemberRow& f)
{
    return f.name.empty();
}

double Ratio(const MemberRow& f)
{
    if (IsFolderRow(f)) {
        return 0.0;
    }
    return f.unpacked == 0
               ? 100.0
               : static_cast<double>(f.packed) / static_cast<double>(f.unpacked) * 100.0;
}

std::wstring AttributeLetters(uint32_t attributes)
{
    std::wstring letters;
    letters += (attributes & 0x01) ? L"R" : L"";
    letters += (attributes & 0x02) ? L"H" : L"";
    letters += (attributes & 0x04) ? L"S" : L"";
    letters += (attributes & 0x20) ? L"A" : L"";
    return letters;
}

template <typename T> int Order(T a, T b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Writes n as `width` decimal digits, zero-padded.
wchar_t* PutDigits(wchar_t* p, unsigned n, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<wchar_t>(L'0' + n % 10);
        n /= 10;
    }
    return p + width;
}

// "2010/01/12 13:46:38".
std::wstring TimeText(const platform::SystemTime& st)
{
    wchar_t text[24];
    wchar_t* p = PutDigits(text, static_cast<unsigned>(st.year), st.year >= 10000 ? 5 : 4);
    *p++ = L'/';
    p = PutDigits(p, static_cast<unsigned>(st.month), 2);
    *p++ = L'/';
    p = PutDigits(p, static_cast<unsigned>(st.day), 2);
    *p++ = L' ';
    p = PutDigits(p, static_cast<unsigned>(st.hour), 2);
    *p++ = L':';
    p = PutDigits(p, static_cast<unsigned>(st.minute), 2);
    *p++ = L':';
    p = PutDigits(p, static_cast<unsigned>(st.second), 2);
    return std::wstring(text, p);
}

// "45.3%": one decimal, rounded as printf rounds.
std::wstring RatioText(double ratio)
{
    char digits[32];
    auto [end, error] =
        std::to_chars(digits, digits + sizeof digits, ratio, std::chars_format::fixed, 1);
    std::wstring text(digits, error == std::errc() ? end : digits);
    return text + L"%";
}

// Eight lower-case hexadecimal digits.
std::wstring HexText(uint32_t value)
{
    static constexpr wchar_t kHex[] = L"0123456789abcdef";
    wchar_t text[8];
    for (int i = 7; i >= 0; --i) {
        text[i] = kHex[value & 0xF];
        value >>= 4;
    }
    return std::wstring(text, 8);
}

// Two texts in the order of the user's language (the buffers are kept: a sort of many
// members makes no allocation per comparison).
int Collate(std::wstring_view a, std::wstring_view b)
{
    thread_local std::wstring left, right;
    left.assign(a);
    right.assign(b);
    return std::wcscoll(left.c_str(), right.c_str());
}

} // namespace

// n in decimal with a comma between groups of three digits ("1,234,567").
std::wstring CTavrelView::Grouped(uint64_t n)
{
    wchar_t digits[32];
    wchar_t* p = digits + 32;
    int inGroup = 0;
    do {
        if (inGroup == 3) {
            *--p = L',';
            inGroup = 0;
        }
        *--p = static_cast<wchar_t>(L'0' + n % 10);
        n /= 10;
        ++inGroup;
    } while (n != 0);
    return std::wstring(p, digits + 32);
}

CTavrelDoc* CTavrelView::GetDocument() const
{
    return static_cast<CTavrelDoc*>(m_pDocument);
}

int CTavrelView::OnCreate()
{
    CListCtrl& list = GetListCtrl();
    list.SetRowSource(this);
    // Widths the user gave the columns last time (in the list's units), within reason.
    for (int i = 0; i < 9; ++i) {
        int kept = TavrelApp()->GetProfileInt(kColumnSection, ColumnEntry(i).c_str(), 0);
        m_columnWidths[i] =
            kept >= kNarrowestColumn && kept <= kWidestColumn ? kept : kColumnWidths[i];
        list.InsertColumn(i, res::kColumnTitles[i], kColumnFormats[i], m_columnWidths[i], i);
    }
    return 0;
}

void CTavrelView::OnColumnResized(int column, int width)
{
    if (column < 0 || column >= 9 || width < kNarrowestColumn || width > kWidestColumn) {
        return; // a column closed to nothing stays as the settings show it
    }
    m_columnWidths[column] = width;
    GetListCtrl().SetColumnWidth(column, width);
    TavrelApp()->WriteProfileInt(kColumnSection, ColumnEntry(column).c_str(), width);
}

std::wstring CTavrelView::GetRowText(uintptr_t data, int column) const
{
    CTavrelDoc* doc = GetDocument();
    int index = static_cast<int>(data);
    if (index < 0 || index >= doc->MemberCount()) {
        return L"";
    }
    MemberRow f = doc->Archive().GetRow(index);
    bool folderRow = IsFolderRow(f);
    switch (column) {
    case kColumnName: {
        // A path longer than the record shows with a mark where it was cut; a link shows
        // where it points.
        if (folderRow) {
            return res::kFolderRow;
        }
        if (f.link.empty()) {
            return Shown(f.name, false);
        }
        std::wstring shown = Shown(f.name, false) + res::kLinkArrow + std::wstring(f.link);
        std::replace(shown.end() - static_cast<std::ptrdiff_t>(f.link.size()), shown.end(), L'\\',
                     L'/');
        return shown;
    }
    case kColumnSize:
        return folderRow ? L"0" : Grouped(f.unpacked);
    case kColumnPacked:
        return folderRow ? L"0" : Grouped(f.packed);
    case kColumnRatio:
        return folderRow ? L"0%" : RatioText(Ratio(f));
    case kColumnTime: {
        platform::FileTime local = f.modified;
        if (f.utc) {
            platform::FileTimeToLocalFileTime(f.modified, &local);
        }
        platform::SystemTime st{};
        platform::FileTimeToSystemTime(local, &st);
        return TimeText(st);
    }
    case kColumnAttributes:
        return AttributeLetters(f.attributes);
    case kColumnCrc:
        return HexText(f.crc);
    case kColumnMethod:
        return f.method[0] != 0 ? std::wstring(f.method, f.method + std::strlen(f.method))
                                : FormatText(L"%d", f.zipMethod);
    case kColumnPath: {
        // Folders show as the host writes them, '/' between them.
        std::wstring folder = Shown(f.folder, true);
        std::replace(folder.begin(), folder.end(), L'\\', L'/');
        return folder;
    }
    default:
        return L"";
    }
}

int CTavrelView::CompareRows(uintptr_t a, uintptr_t b, int column) const
{
    CTavrelDoc* doc = GetDocument();
    int ia = static_cast<int>(a), ib = static_cast<int>(b);
    int count = doc->MemberCount();
    if (ia < 0 || ib < 0 || ia >= count || ib >= count) {
        return Order(a, b);
    }
    MemberRow fa = doc->Archive().GetRow(ia);
    MemberRow fb = doc->Archive().GetRow(ib);
    bool dirA = IsFolderRow(fa), dirB = IsFolderRow(fb);
    switch (column) {
    case kColumnName:
        return Collate(dirA ? res::kFolderRow : fa.name, dirB ? res::kFolderRow : fb.name);
    case kColumnSize:
        return Order(dirA ? 0u : fa.unpacked, dirB ? 0u : fb.unpacked);
    case kColumnPacked:
        return Order(dirA ? 0u : fa.packed, dirB ? 0u : fb.packed);
    case kColumnRatio:
        return Order(Ratio(fa), Ratio(fb));
    case kColumnTime:
        return Order(fa.modified, fb.modified); // both UTC or both local: one archive's members
    case kColumnAttributes:
        return AttributeLetters(fa.attributes).compare(AttributeLetters(fb.attributes));
    case kColumnCrc:
        return Order(fa.crc, fb.crc);
    case kColumnMethod:
        // By the identifier where members have one (LZH), else by number (ZIP).
        return fa.method[0] != 0 || fb.method[0] != 0 ? std::strcmp(fa.method, fb.method)
                                                      : Order(fa.zipMethod, fb.zipMethod);
    case kColumnPath:
        return Collate(fa.folder, fb.folder);
    default:
        return 0;
    }
}

void CTavrelView::OnUpdate(CView* /*sender*/, long /*hint*/)
{
    CListCtrl& list = GetListCtrl();
    CTavrelApp* app = TavrelApp();
    CTavrelDoc* doc = GetDocument();
    list.DeleteAllItems();
    for (int i = 1; i < list.GetColumnCount(); ++i) {
        list.SetColumnWidth(i, app->m_nShowColumn[i] != 0 ? m_columnWidths[i] : 0);
    }
    // One row per member, in archive order; folder entries only when the setting asks.
    bool folders = app->m_nShowFolderEntry != 0;
    const CArchiveObject& a = doc->Archive();
    m_shownSize = 0;
    for (int k = 0; k < a.GetEntryCount(); ++k) {
        if (folders || !a.GetEntryName(k).empty()) {
            list.AppendItem(static_cast<uintptr_t>(k));
            m_shownSize += a.GetRow(k).unpacked;
        }
    }
    // The sort lasts while the same archive stays open; another archive starts in its own
    // order.
    std::wstring archive = doc->m_bArchiveOpen ? std::wstring(a.archivePath) : std::wstring();
    if (archive.empty() || archive != m_sortedArchive) {
        list.ClearSort();
    } else if (list.GetSortColumn() >= 0) {
        list.SortItems(list.GetSortColumn(), list.IsSortAscending());
    }
    m_sortedArchive = archive;
}

std::wstring CTavrelView::StatusText()
{
    CTavrelDoc* doc = GetDocument();
    if (doc == nullptr || !doc->m_bArchiveOpen) {
        return res::kStatusIdle;
    }
    const CListCtrl& list = GetListCtrl();
    int rows = list.GetItemCount();
    int selected = list.GetSelectedCount();
    std::wstring all = Grouped(static_cast<uint64_t>(rows));
    if (selected == 0) {
        return FormatText(res::kStatusMembers, all.c_str(), Grouped(m_shownSize).c_str());
    }
    // Every row selected (Ctrl+A on a million members) costs nothing more.
    uint64_t size = m_shownSize;
    if (selected < rows) {
        size = 0;
        const CArchiveObject& a = doc->Archive();
        for (int row = 0, seen = 0; row < rows && seen < selected; ++row) {
            if (list.GetItemState(row, LVIS_SELECTED) != 0) {
                size += a.GetRow(static_cast<int>(list.GetItemData(row))).unpacked;
                ++seen;
            }
        }
    }
    return FormatText(res::kStatusSelected, Grouped(static_cast<uint64_t>(selected)).c_str(),
                      Grouped(size).c_str(), all.c_str(), Grouped(m_shownSize).c_str());
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
    case ID_EDIT_SELECT_ALL:
        GetListCtrl().SelectAll(true);
        return true;
    case ID_OPEN_MEMBER:
        OnOpenMember();
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
    case ID_ARCHIVE_ADD_FOLDER:
    case ID_ARCHIVE_DELETE:
    case ID_ARCHIVE_COMMAND_LINE:
        // Changes, and the typed command line, are offered for the format that is written.
        ui->Enable(doc->m_bArchiveOpen && doc->Archive().IsWritableFormat());
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
    indices.reserve(static_cast<size_t>(list.GetSelectedCount()));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemState(row, LVIS_SELECTED) != 0) {
            indices.push_back(static_cast<int>(list.GetItemData(row)));
        }
    }
    // The selected members go together, in one pass over the list.
    if (!indices.empty() && doc->RefuseUnchangeable()) {
        return;
    }
    // The change waits for Close, yet a key brings it: it is confirmed, with Yes ready.
    if (!indices.empty() &&
        AfxMessageBox(FormatText(res::kAskDeleteSelected, static_cast<int>(indices.size())),
                      MB_YESNO | MB_ICONQUESTION) != IDYES) {
        return;
    }
    if (!indices.empty() && !doc->Archive().DeleteEntries(indices)) {
        ++doc->m_nLastFailed;
        AfxMessageBox(FormatNamed(res::kDeleteFailed, doc->MemberLabel(indices.back())));
    }
    doc->UpdateAllViews(nullptr);
}

void CTavrelView::OnLButtonDblClk(CPoint point)
{
    OpenRow(GetListCtrl().HitTest(point));
}

void CTavrelView::OnOpenMember()
{
    CListCtrl& list = GetListCtrl();
    for (int row = 0; row < list.GetItemCount() && list.GetSelectedCount() > 0; ++row) {
        if (list.GetItemState(row, LVIS_SELECTED) != 0) {
            OpenRow(row);
            return;
        }
    }
}

std::wstring CTavrelView::ExtractToTemp(int index)
{
    // Extracted files go to a folder of this program's own that only the user may enter, each
    // member into a new folder there: two members of one name, or a file an earlier open left,
    // are never taken for each other.
    std::wstring folder;
    bool made = false;
    for (int tries = 0; !made && tries < 1000 && platform::PreparePrivateTemp(); ++tries) {
        folder = std::wstring(res::kTemp) + L"\\" + std::to_wstring(++m_tempFolders);
        made = platform::CreateFolder(folder);
        if (!made && platform::GetFileAttributes(folder) == platform::kInvalidAttributes) {
            break; // failed for another reason than being there
        }
    }
    if (!made) {
        AfxMessageBox(res::kTempUnavailable);
        return L"";
    }
    CTavrelDoc* doc = GetDocument();
    CArchiveObject& archive = doc->Archive();
    archive.keepFolders = false;
    std::wcscpy(archive.destFolder, folder.c_str());
    archive.testMode = false;
    // The file handed over is named as the member (lower case, set for extraction, stays in
    // force for it).
    bool lowercase = archive.lowercase;
    archive.lowercase = false;
    bool ok = archive.ExtractEntry(index);
    archive.lowercase = lowercase;
    if (!ok) {
        MemberOutcome outcome = OutcomeOf(archive.LastCause());
        if (outcome != MemberOutcome::Skipped && outcome != MemberOutcome::Cancelled) {
            AfxMessageBox(ExtractFailureText(archive.LastCause(), doc->MemberLabel(index), L"",
                                             platform::DisplayPath(folder)));
        }
        return L"";
    }
    std::wstring written = archive.LastOutput();
    // Exactly the file the archive object wrote, never a path made again from a name.
    return written;
}

void CTavrelView::OpenRow(int row)
{
    CListCtrl& list = GetListCtrl();
    if (row < 0 || row >= list.GetItemCount()) {
        return;
    }
    CTavrelDoc* doc = GetDocument();
    int index = static_cast<int>(list.GetItemData(row));
    if (index >= doc->MemberCount() || doc->MemberName(index)[0] == 0) {
        return; // a folder row
    }
    std::wstring file = ExtractToTemp(index);
    if (!file.empty()) {
        AfxBackend().ShellOpen(file);
    }
}

std::vector<std::wstring> CTavrelView::OnBeginDrag()
{
    CListCtrl& list = GetListCtrl();
    CTavrelDoc* doc = GetDocument();
    std::vector<std::wstring> files;
    for (int row = 0; row < list.GetItemCount() && list.GetSelectedCount() > 0; ++row) {
        int index = static_cast<int>(list.GetItemData(row));
        if (list.GetItemState(row, LVIS_SELECTED) != 0 && index < doc->MemberCount() &&
            doc->MemberName(index)[0] != 0) {
            std::wstring file = ExtractToTemp(index);
            if (file.empty()) {
                break; // no private temporary folder: told once
            }
            files.push_back(file);
        }
    }
    return files;
}

void CTavrelView::OnDropFiles(const std::vector<std::wstring>& paths)
{
    CTavrelDoc* doc = GetDocument();
    if (paths.empty()) {
        return;
    }
    if (doc->m_bArchiveOpen && doc->Archive().IsWritableFormat()) {
        doc->AddFiles(paths);
        return;
    }
    // Anything else than one archive has no place to go; files dropped on an open ZIP
    // archive are told why.
    if (paths.size() != 1) {
        if (doc->m_bArchiveOpen) {
            AfxMessageBox(res::kOnlyLzhCanBeCreated);
        }
        return;
    }
    if (doc->m_bArchiveOpen) {
        if (AfxMessageBox(res::kAskCloseArchive, MB_YESNO | MB_ICONQUESTION) != IDYES) {
            return;
        }
        bool closed = doc->CloseArchive();
        doc->UpdateAllViews(nullptr);
        if (!closed) {
            return;
        }
    }
    if (!doc->OpenArchiveByType(paths[0])) {
        AfxMessageBox(res::kCannotOpenArchive);
        return;
    }
    doc->UpdateAllViews(nullptr);
    doc->ReportNotAnArchive();
}

void CTavrelView::OnExtractSelected()
{
    CListCtrl& list = GetListCtrl();
    std::vector<int> selected;
    selected.reserve(static_cast<size_t>(list.GetSelectedCount()));
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemState(row, LVIS_SELECTED) != 0) {
            selected.push_back(static_cast<int>(list.GetItemData(row)));
        }
    }
    GetDocument()->ExtractMembers(&selected);
}
