// Extraction and test of one ZIP member: the local header, the output path, the overwrite
// rules, and the stored copy or Inflate with the CRC-32 check.
#include "archive/MemberOutput.h"
#include "platform/DevicePath.h"
#include "platform/FolderTree.h"
#include "platform/Text.h"
#include "zip/Crc32.h"
#include "zip/ZipArchive.h"
#include "zip/ZipName.h"
#include "zip/ZipReaderState.h"

#include <cstring>
#include <cwchar>
#include <limits>
#include <memory>

using namespace platform;

namespace
{

constexpr uint32_t kLocalHeaderSize = 30;
constexpr uint8_t kLocalSignature[4] = {0x50, 0x4B, 0x03, 0x04};
constexpr uint32_t kCopyBlock = 256 * 1024;

// Where decoded bytes go: the output file (none in test mode), never more than the member's
// declared size, so a member cannot grow past what its directory promises. The prompt hears
// how far the member is and may stop it.
class ZipOutput final : public ByteSink
{
public:
    ZipOutput(FileHandle file, uint64_t limit, CArchivePrompt* prompt)
        : m_file(file), m_limit(limit), m_prompt(prompt)
    {}

    bool Write(const uint8_t* data, size_t count) override
    {
        if (count > m_limit - m_written) {
            overflow = true;
            return false;
        }
        m_written += count;
        if (m_prompt != nullptr && count != 0 && !m_prompt->ReportProgress(m_written, m_limit)) {
            cancelled = true;
            return false;
        }
        uint32_t written = 0;
        if (m_file != kInvalidFile && count != 0 &&
            (!WriteFile(m_file, data, static_cast<uint32_t>(count), &written) ||
             written != count)) {
            writeFailed = true;
            return false;
        }
        return true;
    }

    uint64_t Written() const { return m_written; }

    bool overflow = false;
    bool writeFailed = false;
    bool cancelled = false;

private:
    FileHandle m_file;
    uint64_t m_limit;
    CArchivePrompt* m_prompt;
    uint64_t m_written = 0;
};

} // namespace

bool CZipArchive::ReadLocalHeader(const CZipEntry& entry)
{
    ZipReaderState& s = *m_state;
    uint8_t h[kLocalHeaderSize];
    if (!SeekFile(s.archive, static_cast<int64_t>(entry.localHeaderOffset), SeekOrigin::Begin) ||
        !ReadExact(s.archive, h, 4) || std::memcmp(h, kLocalSignature, 4) != 0 ||
        !ReadExact(s.archive, h + 4, kLocalHeaderSize - 4)) {
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
    std::string name;
    if (!ReadNameBytes(l.nameLength, &name) || !ReadExtraField(l.extraLength)) {
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
    std::string_view extra(reinterpret_cast<const char*>(s.extraField.data()), s.extraField.size());
    if (ZipNameToWide(name, l.flags, extra, entry.madeByHost, s.memberName) != 0) {
        return false;
    }
    if (IsZipVolumeLabel(entry.madeByHost, entry.attributes)) {
        DropVolumeLabelDot(s.memberName);
    }
    return true;
}

std::wstring CZipArchive::OutputPath() const
{
    std::wstring_view name = m_state->memberName;
    if (!keepFolders && destFolder[0] != 0) {
        // Cut at the last '/' only: a backslash in a name still makes a folder.
        size_t slash = name.rfind(L'/');
        name = slash == std::wstring_view::npos ? name : name.substr(slash + 1);
    }
    return BelowDestination(name, lowercase);
}

int CZipArchive::CopyStored(ByteSink& output, uint32_t& crc)
{
    ZipReaderState& s = *m_state;
    if (!s.copyBlock) {
        s.copyBlock = std::make_unique<uint8_t[]>(kCopyBlock);
    }
    uint8_t* block = s.copyBlock.get();
    crc = 0;
    for (;;) {
        uint32_t got = s.input.Read(block, kCopyBlock);
        if (got == 0) {
            return 0;
        }
        crc = Crc32(crc, block, got);
        if (!output.Write(block, got)) {
            return 2;
        }
    }
}

// Decodes the member's data into `file` (none when it is a folder or in test mode) and checks
// the CRC-32.
bool CZipArchive::ExtractData(const CZipEntry& entry, FileHandle file)
{
    ZipReaderState& s = *m_state;
    ZipOutput output(file, s.member.unpackedSize, prompt);
    uint32_t crc = 0;
    int result = 0;
    if (entry.method == kZipStored) {
        result = CopyStored(output, crc);
    } else {
        InflateStatus inflated =
            s.inflater.Inflate(s.input, &output, s.local.method == kZipEnhancedDeflated);
        crc = s.inflater.crc;
        result = inflated == kInflateOk ? 0 : (inflated == kInflateNoMemory ? 6 : 2);
    }
    bool closed = true;
    if (file != kInvalidFile) {
        FileTime utc = 0;
        LocalFileTimeToFileTime(DosToFileTime(s.local.date, s.local.time), &utc);
        SetFileTimes(file, &utc);
        closed = CloseFile(file);
    }
    if (output.cancelled) {
        status = kZipCancelled;
        return false;
    }
    if (output.writeFailed || !closed) {
        status = kZipWriteFailed;
        return false;
    }
    if (output.overflow || (result == 0 && output.Written() != s.member.unpackedSize)) {
        status = kZipDamaged; // more or less data than the directory declares
        return false;
    }
    if (crc != s.member.crc32) {
        status = kZipCrcMismatch;
        return false;
    }
    return result == 0;
}

// Makes the member's place below the destination: its folder, or the file to write (*file),
// after the overwrite rules. False with the status set when the member is not to be written.
bool CZipArchive::CreateOutput(const CZipEntry& e, CFolderTree& tree, const std::wstring& relative,
                               FileHandle* file)
{
    // MS-DOS archivers mark folders by attribute alone, without a trailing '/': an empty member
    // with the folder bit is a folder, or its members could not be placed in it.
    bool folder = relative.empty() || IsSeparator(relative.back()) ||
                  ((e.attributes & kAttrFolder) && e.unpackedSize == 0);
    if (!tree.Open(destFolder)) {
        status = kZipCannotCreateOutput;
        return false;
    }
    TreeResult why = tree.MakeFolders(relative, folder);
    if (folder) {
        // Read-only does not apply to folders on the host. An existing folder is made again
        // without fault; a file or a link in its place is not.
        if (why != TreeResult::Ok) {
            status = why == TreeResult::LinkInTheWay ? kZipLinkInTheWay : kZipCannotCreateOutput;
            return false;
        }
        return true;
    }
    ReplaceRules rules{skipIfNotOlder, overwriteSilently, askOnlyIfNewer, prompt};
    if (why == TreeResult::Ok && !MayReplace(tree, relative, e.modified, e.name, rules)) {
        status = kZipSkipped;
        return false;
    }
    if (why == TreeResult::Ok) {
        *file = tree.CreateFile(relative, &why);
    }
    if (*file == kInvalidFile) {
        status = why == TreeResult::LinkInTheWay ? kZipLinkInTheWay : kZipCannotCreateOutput;
        return false;
    }
    return true;
}

bool CZipArchive::ExtractEntry(int index)
{
    CZipEntry entry = m_members.Get(index);
    return ExtractEntry(&entry);
}

bool CZipArchive::ExtractEntry(const CZipEntry* entry)
{
    const CZipEntry& e = *entry;
    ZipReaderState& s = *m_state;
    status = kZipOk;
    s.member.encrypted = (e.flags & kZipFlagEncrypted) != 0;
    s.member.dataDescriptor = (e.flags & kZipFlagDataDescriptor) != 0;
    s.member.crc32 = e.crc32;
    s.member.packedSize = e.packedSize;
    s.member.unpackedSize = e.unpackedSize;
    s.member.attributes = static_cast<uint8_t>(
        (e.attributes & kAttrFolder) ? e.attributes : (e.attributes | kAttrArchive));
    if (s.archive == kInvalidFile || !ReadLocalHeader(e)) {
        status = kZipDamaged;
        return false;
    }
    // Members this reader cannot decode fail before anything is asked or created.
    if ((e.method != kZipStored && e.method != kZipDeflated && e.method != kZipEnhancedDeflated) ||
        (s.member.encrypted && (e.flags & kZipFlagStrongEncryption))) {
        status = kZipUnsupported;
        return false;
    }
    // A ".." component could place the output outside the destination: refused before a
    // password is asked or anything is created.
    if (!testMode && HasParentComponent(s.memberName)) {
        status = kZipUnsafePath;
        return false;
    }
    s.input.Prime(s.archive, s.packedInForce);
    if (s.member.encrypted && !CheckPassword()) {
        return false;
    }
    FileHandle file = kInvalidFile;
    CFolderTree tree;
    std::wstring relative = testMode ? std::wstring() : OutputPath();
    if (!testMode && !CreateOutput(e, tree, relative, &file)) {
        return false;
    }
    bool written = file != kInvalidFile;
    if (!ExtractData(e, file)) {
        if (status == kZipCancelled && written) {
            tree.RemoveFile(relative); // stopped inside the member: nothing of it stays
        }
        if (status == kZipOk) {
            status = kZipDamaged;
        }
        return false;
    }
    return true;
}
