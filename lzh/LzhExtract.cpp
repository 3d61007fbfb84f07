// Extraction and test of LZH members: output paths, the update and overwrite rules, and
// the copy or decode of the data with its CRC check.
#include "archive/MemberOutput.h"
#include "lzh/Crc16.h"
#include "lzh/LzhCodec.h"
#include "lzh/LzhReader.h"
#include "platform/DevicePath.h"
#include "platform/FolderTree.h"
#include "platform/Text.h"

#include <cwchar>

using namespace platform;

namespace
{

constexpr uint32_t kCopyBlock = 128 * 1024;

} // namespace

int64_t CLzhReader::CopyWithCrc(FileHandle output, FileHandle input, uint32_t count, uint16_t& crc,
                                CArchivePrompt* progress)
{
    crc = 0;
    m_writeFailed = false;
    m_cancelled = false;
    if (count == 0) {
        return 0;
    }
    auto* block = static_cast<uint8_t*>(heap.Alloc(kCopyBlock));
    if (block == nullptr) {
        return -1;
    }
    int64_t copied = 0;
    uint32_t remaining = count;
    while (remaining > 0) {
        uint32_t want = remaining < kCopyBlock ? remaining : kCopyBlock;
        uint32_t got = 0;
        if (!ReadFile(input, block, want, &got) || got != want) {
            crc = Crc16Update(crc, block, got);
            copied = -1;
            break;
        }
        uint32_t written = 0;
        if (output != kInvalidFile &&
            (!WriteFile(output, block, want, &written) || written != want)) {
            m_writeFailed = true;
            copied = -1;
            break;
        }
        crc = Crc16Update(crc, block, want);
        copied += want;
        remaining -= want;
        if (progress != nullptr &&
            !progress->ReportProgress(static_cast<uint64_t>(copied), count)) {
            m_cancelled = true;
            copied = -1;
            break;
        }
    }
    heap.Free(block);
    return copied;
}

uint16_t CLzhReader::DecodeEntry(FileHandle input, FileHandle output, const CArchiveEntry& entry,
                                 bool& ok, bool& unsupported)
{
    ok = false;
    unsupported = false;
    m_writeFailed = false;
    m_cancelled = false;
    int method = ReadableMethodFromString(entry.method);
    if (IsStoredMethod(method)) {
        uint16_t crc = 0;
        CopyWithCrc(output, input, entry.unpackedSize, crc, prompt);
        ok = true; // a short copy shows as a CRC mismatch
        return crc;
    }
    if (method == kMethodUnknown) {
        unsupported = true;
        return 0;
    }
    LzhCodecParams params{
        input,  output, entry.unpackedSize, entry.packedSize, DictBitsForMethod(method),
        method, prompt};
    bool writeFailed = false;
    uint16_t crc = LzhDecodeChecked(params, ok, &writeFailed, &m_cancelled);
    m_writeFailed = writeFailed && !m_cancelled;
    if (entry.unpackedSize == 0) {
        ok = true; // an empty member is whole; its CRC (0) is checked as usual
    }
    return crc;
}

std::wstring CLzhReader::OutputPath(const CArchiveEntry& entry) const
{
    // Folders come from the stored folder and from either separator in the name (names
    // stored with '/' by Unix archivers); without folders only the last component is used.
    std::wstring stored = keepFolders ? std::wstring(entry.folder) + entry.name
                                      : std::wstring(LastComponent(entry.name));
    return BelowDestination(stored, lowercase);
}

namespace
{

// Calls f for each component of a path with either separator, leaving out empty ones and "."
// as the folder tree does.
template <typename F> void ForEachComponent(std::wstring_view path, F f)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(L"\\/", start);
        end = end == std::wstring_view::npos ? path.size() : end;
        std::wstring_view name = path.substr(start, end - start);
        if (!name.empty() && name != L".") {
            f(name);
        }
        start = end + 1;
    }
}

// Whether a link placed at `linkPath` (below the destination) pointing to `target` resolves
// inside the destination without leaving it on the way: relative, climbing ("..") only at its
// start and never above the destination, then descending. The link is made where the folder
// tree makes it, at the last of its path's components, and the folders above it are real
// folders (the tree never makes a path through a link, nor replaces a folder), so the climb
// is what the components say; a ".." after a name could climb out of the target of an
// earlier link ("l -> .." and then "e -> l/.."), so it is refused.
bool StaysInside(std::wstring_view linkPath, std::wstring_view target)
{
    if (target.empty() || IsSeparator(target[0])) {
        return false;
    }
    int depth = -1; // the folders above the link: its path's components but the last
    ForEachComponent(linkPath, [&](std::wstring_view) { ++depth; });
    bool inside = depth >= 0;
    bool descending = false;
    ForEachComponent(target, [&](std::wstring_view name) {
        if (name != L"..") {
            ++depth;
            descending = true;
        } else if (descending || --depth < 0) {
            inside = false;
        }
    });
    return inside;
}

int TreeStatus(TreeResult why)
{
    return why == TreeResult::LinkInTheWay ? kLzhLinkInTheWay : kLzhCannotCreateOutput;
}

} // namespace

bool CLzhReader::MayReplaceWith(const CArchiveEntry& e, const CFolderTree& tree,
                                const std::wstring& relative)
{
    FileTime memberLocal = e.modified;
    FileTimeToLocalFileTime(e.modified, &memberLocal);
    ReplaceRules rules{!addMode, overwriteSilently, askOnlyIfNewer, prompt};
    return MayReplace(tree, relative, memberLocal, e.name, rules);
}

bool CLzhReader::ExtractLink(const CArchiveEntry& entry, CFolderTree& tree,
                             const std::wstring& relative)
{
    if (!StaysInside(relative, entry.linkTarget)) {
        status = kLzhLinkRefused;
        return false;
    }
    // A link replaces a file standing in its place only as the member's data would.
    if (!MayReplaceWith(entry, tree, relative)) {
        status = kLzhSkippedNotOlder;
        return false;
    }
    // Unix targets separate with '/'; a separator byte of the header reads as '\'.
    std::wstring target = entry.linkTarget;
    for (wchar_t& c : target) {
        c = c == L'\\' ? L'/' : c;
    }
    TreeResult why = tree.MakeFolders(relative, false);
    if (why == TreeResult::Ok) {
        why = tree.CreateLink(relative, target);
    }
    if (why != TreeResult::Ok) {
        status = TreeStatus(why);
        return false;
    }
    return true;
}

bool CLzhReader::ExtractFolder(const CArchiveEntry& entry, CFolderTree& tree,
                               const std::wstring& relative)
{
    if ((entry.packedSize != 0 || entry.unpackedSize != 0) && !ignoreErrors) {
        status = kLzhFolderHasData;
        return false;
    }
    // Read-only does not apply to folders on the host, so the attributes have nothing to set.
    // An existing folder is made again without fault; a file or a link in its place is not.
    TreeResult why = tree.MakeFolders(relative, true);
    if (why != TreeResult::Ok) {
        status = TreeStatus(why);
        return false;
    }
    return true;
}

bool CLzhReader::ExtractFile(const CArchiveEntry& e, FileHandle source, CFolderTree& tree,
                             const std::wstring& relative, uint16_t& crc)
{
    // An unsupported member fails before an existing file of its name is touched.
    if (ReadableMethodFromString(e.method) == kMethodUnknown) {
        status = kLzhUnsupportedMethod;
        return false;
    }
    if (!MayReplaceWith(e, tree, relative)) {
        status = kLzhSkippedNotOlder;
        return false;
    }
    TreeResult why = tree.MakeFolders(relative, false);
    FileHandle output = why == TreeResult::Ok ? tree.CreateFile(relative, &why) : kInvalidFile;
    if (output == kInvalidFile) {
        status = TreeStatus(why);
        return false;
    }
    bool ok = false;
    bool unsupported = false;
    crc = DecodeEntry(source, output, e, ok, unsupported);
    if (m_cancelled) {
        // Stopped inside the member: nothing of it stays.
        CloseFile(output);
        tree.RemoveFile(relative);
        status = kLzhCancelled;
        return false;
    }
    if (!ok || m_writeFailed) {
        CloseFile(output);
        status = !ok ? kLzhBrokenData : kLzhWriteFailed;
        return false;
    }
    SetFileTimes(output, &e.modified);
    // A new file is writable: only read-only has anything to change on the host.
    if ((e.attributes & kAttrReadOnly) && !resetReadOnly) {
        SetFileAttributes(output, kAttrReadOnly);
    }
    if (!CloseFile(output)) {
        status = kLzhWriteFailed; // the last data did not reach the device
        return false;
    }
    return true;
}

bool CLzhReader::ExtractEntry(int index)
{
    CArchiveEntry entry = m_members.Get(index);
    return ExtractEntry(&entry);
}

bool CLzhReader::ExtractEntry(const CArchiveEntry* entry)
{
    const CArchiveEntry& e = *entry;
    FileHandle source = workFile != kInvalidFile ? workFile : archiveFile;
    if (!SeekFile(source, e.dataPos, SeekOrigin::Begin)) {
        return false;
    }
    uint16_t crc = 0;
    if (testMode) {
        if (IsFolderEntry(e)) {
            return true; // folders and links hold no data
        }
        bool ok = false;
        bool unsupported = false;
        crc = DecodeEntry(source, kInvalidFile, e, ok, unsupported);
        if (unsupported || !ok || m_cancelled) {
            status = m_cancelled   ? kLzhCancelled
                     : unsupported ? kLzhUnsupportedMethod
                                   : kLzhBrokenData;
            return false;
        }
    } else {
        if ((skipHidden && (e.attributes & kAttrHidden)) ||
            (skipSystem && (e.attributes & kAttrSystem))) {
            status = kLzhSkippedAttributes;
            return false;
        }
        // A cut path names another file than the member's: refused, as is a ".." component,
        // which could place the output outside the destination, before anything is created.
        if ((e.flags & kEntryNameCut) || (keepFolders && (e.flags & kEntryFolderCut))) {
            status = kLzhPathTooLong;
            return false;
        }
        if (HasParentComponent(e.name) || (keepFolders && HasParentComponent(e.folder))) {
            status = kLzhUnsafePath;
            return false;
        }
        std::wstring relative = OutputPath(e);
        CFolderTree tree;
        if (!tree.Open(destFolder)) {
            status = kLzhCannotCreateOutput;
            return false;
        }
        if (e.flags & kEntrySymlink) {
            return ExtractLink(e, tree, relative);
        }
        if (IsFolderEntry(e)) {
            return ExtractFolder(e, tree, relative);
        }
        if (!ExtractFile(e, source, tree, relative, crc)) {
            return false;
        }
    }
    if (crc != (e.crc & 0xFFFF)) {
        status = kLzhCrcMismatch;
        return false;
    }
    return true;
}
