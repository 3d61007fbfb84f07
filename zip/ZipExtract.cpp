// Extraction and test of one ZIP member: the local header, the output path, the overwrite
// rules, and the stored copy or Inflate with the CRC-32 check.
#include "archive/DecodeAhead.h"
#include "archive/MemberOutput.h"
#include "archive/MemberStreams.h"
#include "platform/DevicePath.h"
#include "platform/FolderTree.h"
#include "platform/Text.h"
#include "zip/Crc32.h"
#include "zip/ZipArchive.h"
#include "zip/ZipName.h"
#include "zip/ZipReaderState.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cwchar>
#include <limits>
#include <memory>
#include <new>

using namespace platform;

namespace
{

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint8_t kLocalSignature[4] = {0x50, 0x4B, 0x03, 0x04};
constexpr uint32_t kCopyBlock = 256 * 1024;

// Passes the decoded bytes on, counting their CRC-32 (the decoders other than Inflate leave
// it to their sink).
class Crc32Sink final : public ByteSink
{
public:
    explicit Crc32Sink(ByteSink& next) : m_next(next) {}
    bool Write(const uint8_t* data, size_t count) override
    {
        crc = Crc32(crc, data, count);
        return m_next.Write(data, count);
    }
    uint32_t crc = 0;

private:
    ByteSink& m_next;
};

// What an Inflate run says, as every decoder's status.
DecodeStatus FromInflate(InflateStatus status)
{
    switch (status) {
    case kInflateOk:
        return DecodeStatus::Ok;
    case kInflateNoMemory:
        return DecodeStatus::NoMemory;
    case kInflateSinkRefused:
        return DecodeStatus::OutputRefused;
    case kInflateTruncated:
        return DecodeStatus::Truncated;
    case kInflateInvalid:
    case kInflateBadBlock:
        break;
    }
    return DecodeStatus::Invalid;
}

// Local header (30 bytes, then the name and the extra field), offsets from its signature
// 50 4B 03 04: 4 2 version needed, 6 2 flags, 8 2 method, 10 2 time, 12 2 date, 14 4 CRC-32,
// 18 4 packed size, 22 4 unpacked size, 26 2 name length, 28 2 extra length. Only the
// directory's name counts: the local one is passed over, whatever it says.
bool ReadLocalHeader(ZipReaderState& s, const CZipEntry& entry)
{
    uint8_t h[kLocalHeaderSize];
    if (!SeekFile(s.archive, static_cast<int64_t>(entry.localHeaderOffset), SeekOrigin::Begin) ||
        !ReadExact(s.archive, h, kLocalHeaderSize) || std::memcmp(h, kLocalSignature, 4) != 0) {
        return false;
    }
    ZipLocalHeader& l = s.local;
    l.neededVersion = h[4];
    l.neededHost = h[5];
    l.flags = Le16(h + 6);
    l.method = Le16(h + 8);
    l.time = Le16(h + 10);
    l.date = Le16(h + 12);
    l.crc32 = Le32(h + 14);
    l.packedSize = Le32(h + 18);
    l.unpackedSize = Le32(h + 22);
    l.nameLength = Le16(h + 26);
    l.extraLength = Le16(h + 28);
    s.extraField.resize(l.extraLength);
    if (!SeekFile(s.archive, l.nameLength, SeekOrigin::Current) ||
        (l.extraLength != 0 && !ReadExact(s.archive, s.extraField.data(), l.extraLength))) {
        return false;
    }
    ApplyZip64Extra(s.extraField, &l.unpackedSize, &l.packedSize, nullptr);
    if ((l.flags & kZipFlagDataDescriptor) || l.packedSize == 0xFFFFFFFF) {
        // The local header was written before the data (or names Zip64 sizes it does not
        // give): the directory has the real values.
        l.crc32 = s.member.crc32;
        l.packedSize = s.member.packedSize;
        l.unpackedSize = s.member.unpackedSize;
    }
    s.packedInForce = l.packedSize;
    return true;
}

} // namespace

std::wstring CZipArchive::OutputPath(const CZipEntry& entry) const
{
    std::wstring name = std::wstring(entry.path) + entry.name;
    if (!keepFolders && destFolder[0] != 0) {
        // Cut at the last '/' only: a backslash in a name still makes a folder.
        name = entry.name;
    }
    return BelowDestination(name, lowercase);
}

bool CZipArchive::StandsAlone(const CZipEntry& e)
{
    ZipReaderState& s = *m_state;
    if (!m_layoutMade) {
        // Sorted once: O(n log n) for the run, and nothing at all for a listing.
        m_layout.clear();
        m_layout.reserve(static_cast<size_t>(m_members.Count()));
        for (int i = 0; i < m_members.Count(); ++i) {
            CZipEntry member = m_members.Get(i);
            m_layout.emplace_back(member.localHeaderOffset, member.packedSize);
        }
        std::sort(m_layout.begin(), m_layout.end());
        m_layoutMade = true;
    }
    uint64_t offset = e.localHeaderOffset;
    auto at =
        std::lower_bound(m_layout.begin(), m_layout.end(), std::make_pair(offset, uint64_t{0}));
    if (at == m_layout.end() || at->first != offset) {
        return false;
    }
    // Another member whose header is this one's: both are the same bytes.
    if ((at + 1 != m_layout.end() && (at + 1)->first == offset) ||
        (at != m_layout.begin() && (at - 1)->first == offset)) {
        return false;
    }
    // The member before it holds at least 30 header bytes and its data: reaching past this
    // header, it holds this member (the overlapping members of a "zip bomb").
    if (at != m_layout.begin()) {
        uint64_t before = (at - 1)->first;
        uint64_t packed = (at - 1)->second;
        if (packed > offset || before + kLocalHeaderSize + packed > offset) {
            return false;
        }
    }
    // Its own data, now that its local header told where they start, end before the next
    // member's header and before the directory.
    int64_t dataStart = 0;
    if (!SeekFile(s.archive, 0, SeekOrigin::Current, &dataStart)) {
        return false;
    }
    uint64_t limit = at + 1 != m_layout.end() ? (at + 1)->first : UINT64_MAX;
    if (offset < centralDirOffset && centralDirOffset < limit) {
        limit = centralDirOffset;
    }
    uint64_t start = static_cast<uint64_t>(dataStart);
    return s.local.packedSize <= limit && start <= limit - s.local.packedSize;
}

namespace
{

DecodeStatus CopyStored(ZipReaderState& s, ByteSource& input, uint64_t size, ByteSink& output,
                        uint32_t& crc)
{
    if (!s.copyBlock) {
        s.copyBlock.reset(new (std::nothrow) uint8_t[kCopyBlock]);
        if (!s.copyBlock) {
            return DecodeStatus::NoMemory;
        }
    }
    uint8_t* block = s.copyBlock.get();
    crc = 0;
    uint64_t copied = 0;
    for (;;) {
        uint32_t got = input.Read(block, kCopyBlock);
        copied += got;
        if (got == 0) {
            return copied == size ? DecodeStatus::Ok : DecodeStatus::Truncated;
        }
        crc = Crc32(crc, block, got);
        if (!output.Write(block, got)) {
            return DecodeStatus::OutputRefused;
        }
    }
}

// Decodes the member's data (the member, its local header and its input as set up in s) into
// output and checks the CRC-32 (or the authentication code): the status, whichever thread
// decodes it.
int DecodeData(ZipReaderState& s, CMemberSink& output)
{
    // Under WinZip AES the decoders read the decrypted, authenticated data.
    ByteSource& input = s.member.aes ? static_cast<ByteSource&>(s.aesSource) : s.input;
    uint64_t packed = s.member.aes ? s.aesSource.DataSize() : s.input.Remaining();
    uint32_t crc = 0;
    DecodeStatus result = DecodeStatus::Ok;
    if (s.member.method == kZipStored) {
        result = CopyStored(s, input, packed, output, crc);
    } else if (s.member.method == kZipDeflated || s.member.method == kZipEnhancedDeflated) {
        result = FromInflate(
            s.inflater.Inflate(input, &output, s.member.method == kZipEnhancedDeflated));
        crc = s.inflater.crc;
    } else {
        Crc32Sink counted(output);
        result = s.DecoderFor(s.member.method)
                     ->Decode({&input, &counted, packed, s.member.unpackedSize,
                               static_cast<uint16_t>(s.member.method), s.local.flags});
        crc = counted.crc;
    }
    // The authentication code covers every encrypted byte: it is read and compared whatever
    // the decoder left.
    ZipAesStatus authenticated =
        s.member.aes && result == DecodeStatus::Ok ? s.aesSource.Finish() : ZipAesStatus::Ok;
    if (output.cancelled) {
        return kZipCancelled;
    }
    if (output.writeFailed) {
        return kZipWriteFailed;
    }
    if (output.overflow ||
        (result == DecodeStatus::Ok && output.Written() != s.member.unpackedSize)) {
        return kZipDamaged; // more or less data than the directory declares
    }
    if (result != DecodeStatus::Ok) {
        return result == DecodeStatus::Truncated     ? kZipTruncated
               : result == DecodeStatus::NoMemory    ? kZipNoMemory
               : result == DecodeStatus::Unsupported ? kZipUnsupported
                                                     : kZipDamaged;
    }
    if (authenticated != ZipAesStatus::Ok) {
        return authenticated == ZipAesStatus::Truncated  ? kZipTruncated
               : authenticated == ZipAesStatus::NoMemory ? kZipNoMemory
                                                         : kZipDamaged;
    }
    // AE-2 writes no CRC: the authentication code was the check.
    if ((!s.member.aes || s.aesField.HasCrc()) && crc != s.member.crc32) {
        return kZipCrcMismatch;
    }
    return kZipOk;
}

// Whether the member makes a folder at `relative` rather than a file. MS-DOS archivers mark
// folders by attribute alone, without a trailing '/': an empty member with the folder bit is
// a folder, or its members could not be placed in it.
bool IsFolderOutput(const CZipEntry& e, const std::wstring& relative)
{
    return relative.empty() || IsSeparator(relative.back()) ||
           ((e.attributes & kAttrFolder) && e.unpackedSize == 0);
}

// The directory's values of the member, as extraction uses them.
void LoadMember(ZipReaderState& s, const CZipEntry& e)
{
    s.member.method = e.method;
    s.member.encrypted = (e.flags & kZipFlagEncrypted) != 0;
    s.member.dataDescriptor = (e.flags & kZipFlagDataDescriptor) != 0;
    s.member.crc32 = e.crc32;
    s.member.packedSize = e.packedSize;
    s.member.unpackedSize = e.unpackedSize;
    s.member.attributes = static_cast<uint8_t>(
        (e.attributes & kAttrFolder) ? e.attributes : (e.attributes | kAttrArchive));
    s.member.aes = false;
}

} // namespace

// Decodes the member's data into `file` (none in test mode) and checks the CRC-32; the file
// gets the member's time.
bool CZipArchive::ExtractData(FileHandle file)
{
    ZipReaderState& s = *m_state;
    CMemberSink output(file, s.member.unpackedSize, prompt);
    CDecodeAhead::Result ahead;
    if (TakeAhead(m_tag, &ahead)) {
        status = !ReplayDecoded(ahead, output)
                     ? (output.cancelled ? kZipCancelled : kZipWriteFailed)
                     : ahead.status;
    } else {
        status = DecodeData(s, output);
    }
    if (file != kInvalidFile) {
        FileTime utc = 0;
        LocalFileTimeToFileTime(DosToFileTime(s.local.date, s.local.time), &utc);
        SetFileTimes(file, &utc);
    }
    return status == kZipOk;
}

uint64_t CZipArchive::PackedSize(int index) const
{
    return m_members.PackedSize(index);
}

CDecodeAhead::Task CZipArchive::AheadTask(int index, uint64_t* size, bool* keep)
{
    ZipReaderState& s = *m_state;
    CZipEntry e = m_members.Get(index);
    std::wstring listed = std::wstring(e.path) + e.name;
    int method = e.method;
    bool readable = method == kZipStored || method == kZipDeflated ||
                    method == kZipEnhancedDeflated || s.DecoderFor(method) != nullptr;
    // Encrypted members wait for their password, which only the run asks for.
    if ((e.flags & kZipFlagEncrypted) || !readable || s.archive == kInvalidFile) {
        return {};
    }
    if (!testMode) {
        // Only a file the run will write unasked, into a free place, and small enough to hold.
        std::wstring relative = OutputPath(e);
        if (IsFolderOutput(e, relative) || HasParentComponent(listed) || !InRun() ||
            e.unpackedSize > CDecodeAhead::kMaxBytes ||
            LookInRun(relative).kind != TreeEntry::None) {
            return {};
        }
    }
    *size = e.unpackedSize;
    *keep = !testMode;
    FileHandle archive = s.archive;
    return [e, archive](CMemberSink& sink) {
        // Each worker keeps decoders of its own.
        thread_local std::unique_ptr<ZipReaderState> mine;
        if (mine == nullptr) {
            mine = std::make_unique<ZipReaderState>();
        }
        ZipReaderState& w = *mine;
        w.archive = ReadingCopy(archive);
        if (w.archive == kInvalidFile) {
            return CDecodeAhead::kLeftToRun;
        }
        LoadMember(w, e);
        int decoded = CDecodeAhead::kLeftToRun;
        if (ReadLocalHeader(w, e)) {
            w.input.Prime(w.archive, w.packedInForce);
            decoded = DecodeData(w, sink);
            if (decoded == kZipNoMemory) {
                decoded = CDecodeAhead::kLeftToRun;
            }
        }
        CloseFile(w.archive);
        w.archive = kInvalidFile;
        return decoded;
    };
}

namespace
{

int TreeStatus(TreeResult why)
{
    switch (why) {
    case TreeResult::LinkInTheWay:
        return kZipLinkInTheWay;
    case TreeResult::Protected:
        return kZipOutputIsArchive;
    case TreeResult::DestinationLink:
        return kZipDestinationLink;
    case TreeResult::DestinationFailed:
        return kZipDestinationFailed;
    default:
        return kZipCannotCreateOutput;
    }
}

} // namespace

bool CZipArchive::MayWrite(const CZipEntry& e, CFolderTree& tree, const std::wstring& relative,
                           bool* replace)
{
    FileTime utc = 0;
    LocalFileTimeToFileTime(e.modified, &utc);
    OverwriteQuestion question{e.name, e.unpackedSize, utc, 0, 0};
    switch (DecidePlace(tree, relative, question, e.modified, skipIfNotOlder, replace)) {
    case PlaceVerdict::Write:
        return true;
    case PlaceVerdict::Skip:
        status = kZipSkipped;
        break;
    case PlaceVerdict::Protected:
        status = kZipOutputIsArchive;
        break;
    case PlaceVerdict::Unanswered:
        status = kZipNotAsked;
        break;
    case PlaceVerdict::Cancel:
        status = kZipCancelled;
        break;
    case PlaceVerdict::Collision:
        status = kZipOutputCollision;
        break;
    }
    return false;
}

// Writes the member below the destination: its folder, or the file (by the overwrite rules),
// put in its place only when whole and sound.
bool CZipArchive::WriteMember(const CZipEntry& e, int tag)
{
    std::wstring relative = OutputPath(e);
    bool folder = IsFolderOutput(e, relative);
    COutputScope scope(*this);
    CFolderTree& tree = scope.Tree();
    if (folder) {
        // Read-only does not apply to folders on the host. An existing folder is made again
        // without fault; a file or a link in its place is not.
        TreeResult why = tree.MakeFolders(relative, true);
        if (why != TreeResult::Ok) {
            status = TreeStatus(why);
            return false;
        }
        SetLastOutput(relative);
        return true;
    }
    bool replace = false;
    if (!MayWrite(e, tree, relative, &replace)) {
        return false;
    }
    TreeResult why = tree.MakeFolders(relative, false);
    CTreeFile file;
    if (why == TreeResult::Ok) {
        file = tree.CreateFile(relative, replace, &why);
    }
    if (!file.IsOpen()) {
        status = TreeStatus(why);
        return false;
    }
    if (!ExtractData(file.Handle())) {
        return false; // the file goes; what stood in its place stays
    }
    why = file.Commit(tag);
    if (why != TreeResult::Ok) {
        status = why == TreeResult::Failed && LastFileError() != EEXIST && LastFileError() != EISDIR
                     ? kZipWriteFailed
                     : TreeStatus(why);
        return false;
    }
    SetLastOutput(relative);
    return true;
}

bool CZipArchive::ExtractEntry(int index)
{
    CZipEntry entry = m_members.Get(index);
    m_tag = index;
    bool ok = ExtractEntry(&entry);
    m_tag = -1;
    return ok;
}

bool CZipArchive::ExtractEntry(const CZipEntry* entry)
{
    const CZipEntry& e = *entry;
    ZipReaderState& s = *m_state;
    status = kZipOk;
    ClearLastOutput();
    LoadMember(s, e);
    // Questions name the member as the list does.
    std::wstring listed = std::wstring(e.path) + e.name;
    std::wcsncpy(s.memberName, listed.c_str(), kMaxPath - 1);
    s.memberName[kMaxPath - 1] = 0;
    if (s.archive == kInvalidFile || !ReadLocalHeader(s, e)) {
        status = kZipDamaged;
        return false;
    }
    // Under WinZip AES the method is the one its extra field names.
    s.member.aes = e.method == kZipAesMethod && s.member.encrypted;
    if (s.member.aes) {
        ZipAesExtraStatus found =
            FindZipAesExtra(s.extraField.data(), s.extraField.size(), &s.aesField);
        if (found == ZipAesExtraStatus::Absent || found == ZipAesExtraStatus::Invalid) {
            status = kZipDamaged;
            return false;
        }
        s.member.method = found == ZipAesExtraStatus::Found ? s.aesField.method : -1;
    }
    // Members this reader cannot decode fail before anything is asked or created.
    int method = s.member.method;
    bool readable = method == kZipStored || method == kZipDeflated ||
                    method == kZipEnhancedDeflated || s.DecoderFor(method) != nullptr;
    if (!readable || (s.member.encrypted && (e.flags & kZipFlagStrongEncryption))) {
        status = kZipUnsupported;
        return false;
    }
    if (!StandsAlone(e)) {
        status = kZipOverlapping;
        return false;
    }
    // A ".." component could place the output outside the destination: refused before a
    // password is asked or anything is created.
    if (!testMode && HasParentComponent(listed)) {
        status = kZipUnsafePath;
        return false;
    }
    s.input.Prime(s.archive, s.packedInForce);
    if (s.member.encrypted && !CheckPassword()) {
        return false;
    }
    return testMode ? ExtractData(kInvalidFile) : WriteMember(e, m_tag);
}
