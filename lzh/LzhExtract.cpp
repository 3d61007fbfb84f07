// Extraction and test of LZH members: output paths, the update and overwrite rules, and
// the decode of the data through the method table, with its CRC check.
#include "archive/DecodeAhead.h"
#include "archive/MemberOutput.h"
#include "archive/MemberStreams.h"
#include "lzh/LzhMethods.h"
#include "lzh/LzhReader.h"
#include "platform/DevicePath.h"
#include "platform/FolderTree.h"
#include "platform/Text.h"

#include <cwchar>

using namespace platform;

namespace
{

// Decodes the member's data from source into sink (none: only checked) with the decoder of
// its method and checks the CRC-16: the status, whichever thread decodes it.
int DecodeData(ByteSource& source, CMemberSink* sink, const CArchiveEntry& entry,
               const bool* readFailed)
{
    const LzhMethodInfo* method = LzhMethodOf(entry);
    if (method == nullptr || !method->Readable()) {
        return kLzhUnsupportedMethod;
    }
    CLzhMethodDecoder* decoder = LzhThreadDecoder(*method);
    if (decoder == nullptr) {
        return kLzhNoMemory;
    }
    LzhDecodeResult r = decoder->Decode({&source, sink, entry.packedSize, entry.unpackedSize});
    if (sink != nullptr && sink->cancelled) {
        return kLzhCancelled;
    }
    if (*readFailed) {
        return kLzhReadFailed;
    }
    switch (r.status) {
    case DecodeStatus::Ok:
        break;
    case DecodeStatus::Invalid:
        return kLzhBrokenData;
    case DecodeStatus::Truncated:
        return kLzhTruncatedData;
    case DecodeStatus::OutputRefused:
        // Refused by a full disk, or more than the member's size.
        return sink != nullptr && sink->writeFailed ? kLzhWriteFailed : kLzhBrokenData;
    case DecodeStatus::Cancelled:
        return kLzhCancelled;
    case DecodeStatus::NoMemory:
        return kLzhNoMemory;
    case DecodeStatus::Unsupported:
        return kLzhUnsupportedMethod;
    }
    if (r.produced != entry.unpackedSize) {
        return kLzhTruncatedData;
    }
    return r.crc == (entry.crc & 0xFFFF) ? kLzhOk : kLzhCrcMismatch;
}

} // namespace

int CLzhReader::DecodeEntry(FileHandle input, FileHandle output, const CArchiveEntry& entry)
{
    CMemberSink sink(output, entry.unpackedSize, prompt);
    CDecodeAhead::Result ahead;
    if (TakeAhead(m_collisionTag, &ahead)) {
        if (ReplayDecoded(ahead, sink)) {
            return ahead.status;
        }
        return sink.cancelled ? kLzhCancelled : kLzhWriteFailed;
    }
    CFileSource source(input, entry.packedSize);
    bool sinking = output != kInvalidFile || prompt != nullptr;
    return DecodeData(source, sinking ? &sink : nullptr, entry, &source.readFailed);
}

uint64_t CLzhReader::PackedSize(int index) const
{
    return m_members.PackedSize(index);
}

CDecodeAhead::Task CLzhReader::AheadTask(int index, uint64_t* size, bool* keep)
{
    CArchiveEntry e = m_members.Get(index);
    const LzhMethodInfo* method = LzhMethodOf(e);
    if (IsFolderEntry(e) || (e.flags & kEntrySymlink) || method == nullptr || !method->Readable()) {
        return {};
    }
    if (!testMode) {
        // Only a member the run will write unasked, into a free place, and small enough to
        // hold.
        if (RefusalBeforeWriting(e) != kLzhOk || !InRun() ||
            e.unpackedSize > CDecodeAhead::kMaxBytes ||
            LookInRun(OutputPath(e)).kind != TreeEntry::None) {
            return {};
        }
    }
    *size = e.unpackedSize;
    *keep = !testMode;
    FileHandle file = (e.flags & kEntryInWork) ? workFile : archiveFile;
    bool sinking = !testMode || prompt != nullptr;
    return [e, file, sinking](CMemberSink& sink) {
        FileHandle own = ReadingCopy(file);
        if (own == kInvalidFile) {
            return CDecodeAhead::kLeftToRun;
        }
        int decoded = CDecodeAhead::kLeftToRun;
        if (SeekFile(own, e.dataPos, SeekOrigin::Begin)) {
            CFileSource source(own, e.packedSize);
            decoded = DecodeData(source, sinking ? &sink : nullptr, e, &source.readFailed);
            // What only the run's own reading can tell apart is left to it.
            if (decoded == kLzhReadFailed || decoded == kLzhNoMemory) {
                decoded = CDecodeAhead::kLeftToRun;
            }
        }
        CloseFile(own);
        return decoded;
    };
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
    switch (why) {
    case TreeResult::LinkInTheWay:
        return kLzhLinkInTheWay;
    case TreeResult::Protected:
        return kLzhOutputIsArchive;
    case TreeResult::DestinationLink:
        return kLzhDestinationLink;
    case TreeResult::DestinationFailed:
        return kLzhDestinationFailed;
    default:
        return kLzhCannotCreateOutput;
    }
}

} // namespace

bool CLzhReader::MayWrite(const CArchiveEntry& e, CFolderTree& tree, const std::wstring& relative,
                          bool* replace)
{
    FileTime memberLocal = e.modified;
    FileTimeToLocalFileTime(e.modified, &memberLocal);
    OverwriteQuestion question{e.name[0] != 0 ? e.name : e.folder, e.unpackedSize, e.modified, 0,
                               0};
    switch (DecidePlace(tree, relative, question, memberLocal, !addMode, replace)) {
    case PlaceVerdict::Write:
        return true;
    case PlaceVerdict::Skip:
        status = kLzhSkippedNotOlder;
        break;
    case PlaceVerdict::Protected:
        status = kLzhOutputIsArchive;
        break;
    case PlaceVerdict::Unanswered:
        status = kLzhNotAsked;
        break;
    case PlaceVerdict::Cancel:
        status = kLzhCancelled;
        break;
    case PlaceVerdict::Collision:
        status = kLzhOutputCollision;
        break;
    }
    return false;
}

bool CLzhReader::ExtractLink(const CArchiveEntry& entry, CFolderTree& tree,
                             const std::wstring& relative)
{
    if (!StaysInside(relative, entry.linkTarget)) {
        status = kLzhLinkRefused;
        return false;
    }
    // A link replaces a file standing in its place only as the member's data would.
    bool replace = false;
    if (!MayWrite(entry, tree, relative, &replace)) {
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
                             const std::wstring& relative)
{
    // An unsupported member fails before an existing file of its name is touched.
    const LzhMethodInfo* method = LzhMethodOf(e);
    if (!IsFolderEntry(e) && (method == nullptr || !method->Readable())) {
        status = kLzhUnsupportedMethod;
        return false;
    }
    bool replace = false;
    if (!MayWrite(e, tree, relative, &replace)) {
        return false;
    }
    TreeResult why = tree.MakeFolders(relative, false);
    CTreeFile output;
    if (why == TreeResult::Ok) {
        output = tree.CreateFile(relative, replace, &why);
    }
    if (!output.IsOpen()) {
        status = TreeStatus(why);
        return false;
    }
    // The file takes its place only whole and sound: a member that fails leaves what stood
    // there as it was, and nothing of itself.
    int decoded = DecodeEntry(source, output.Handle(), e);
    if (decoded != kLzhOk) {
        status = decoded;
        return false;
    }
    SetFileTimes(output.Handle(), &e.modified);
    // A new file is writable: only read-only has anything to change on the host.
    if ((e.attributes & kAttrReadOnly) && !resetReadOnly) {
        SetFileAttributes(output.Handle(), kAttrReadOnly);
    }
    why = output.Commit(m_collisionTag);
    if (why != TreeResult::Ok) {
        // A close that failed is data that did not reach the device.
        status = why == TreeResult::Failed && LastFileError() != EEXIST && LastFileError() != EISDIR
                     ? kLzhWriteFailed
                     : TreeStatus(why);
        return false;
    }
    return true;
}

bool CLzhReader::ExtractEntry(int index)
{
    CArchiveEntry entry = m_members.Get(index);
    m_collisionTag = index;
    bool ok = ExtractEntry(&entry);
    m_collisionTag = -1;
    return ok;
}

bool CLzhReader::ExtractEntry(const CArchiveEntry* entry)
{
    const CArchiveEntry& e = *entry;
    FileHandle source = (e.flags & kEntryInWork) ? workFile : archiveFile;
    ClearLastOutput();
    if (!SeekFile(source, e.dataPos, SeekOrigin::Begin)) {
        status = kLzhReadFailed;
        return false;
    }
    if (!testMode) {
        return WriteEntry(e, source);
    }
    if (IsFolderEntry(e)) {
        return true; // folders and links hold no data
    }
    int decoded = DecodeEntry(source, kInvalidFile, e);
    status = decoded != kLzhOk ? decoded : status;
    return decoded == kLzhOk;
}

int CLzhReader::RefusalBeforeWriting(const CArchiveEntry& e) const
{
    if ((skipHidden && (e.attributes & kAttrHidden)) ||
        (skipSystem && (e.attributes & kAttrSystem))) {
        return kLzhSkippedAttributes;
    }
    // A cut path names another file than the member's: refused, as is a ".." component,
    // which could place the output outside the destination, before anything is created.
    if ((e.flags & kEntryNameCut) || (keepFolders && (e.flags & kEntryFolderCut))) {
        return kLzhPathTooLong;
    }
    if (HasParentComponent(e.name) || (keepFolders && HasParentComponent(e.folder))) {
        return kLzhUnsafePath;
    }
    return kLzhOk;
}

bool CLzhReader::WriteEntry(const CArchiveEntry& e, FileHandle source)
{
    int refused = RefusalBeforeWriting(e);
    if (refused != kLzhOk) {
        status = refused;
        return false;
    }
    std::wstring relative = OutputPath(e);
    COutputScope scope(*this);
    CFolderTree& tree = scope.Tree();
    bool written = (e.flags & kEntrySymlink) ? ExtractLink(e, tree, relative)
                   : IsFolderEntry(e)        ? ExtractFolder(e, tree, relative)
                                             : ExtractFile(e, source, tree, relative);
    if (written) {
        SetLastOutput(relative);
    }
    return written;
}
