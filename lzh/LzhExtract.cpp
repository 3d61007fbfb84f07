// Extraction and test of LZH members: output paths, the update and overwrite rules, and
// the copy or decode of the data with its CRC check.
#include "lzh/Crc16.h"
#include "lzh/LzhCodec.h"
#include "lzh/LzhReader.h"
#include "lzh/OutputFile.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <cwchar>

using namespace platform;

namespace
{

constexpr uint32_t kCopyBlock = 128 * 1024;

bool EndsWithSeparator(const wchar_t* text)
{
    size_t n = std::wcslen(text);
    return n > 0 && IsSeparator(text[n - 1]);
}

} // namespace

int64_t CLzhReader::CopyWithCrc(FileHandle output, FileHandle input, uint32_t count, uint16_t& crc)
{
    crc = 0;
    m_writeFailed = false;
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
    int method = ReadableMethodFromString(entry.method);
    if (IsStoredMethod(method)) {
        uint16_t crc = 0;
        CopyWithCrc(output, input, entry.unpackedSize, crc);
        ok = true; // a short copy shows as a CRC mismatch
        return crc;
    }
    if (method == kMethodUnknown) {
        unsupported = true;
        return 0;
    }
    LzhCodecParams params{
        input, output, entry.unpackedSize, entry.packedSize, DictBitsForMethod(method), method};
    bool writeFailed = false;
    uint16_t crc = LzhDecodeChecked(params, ok, &writeFailed);
    m_writeFailed = writeFailed;
    if (entry.unpackedSize == 0) {
        ok = true; // an empty member is whole; its CRC (0) is checked as usual
    }
    return crc;
}

std::wstring CLzhReader::OutputPath(const CArchiveEntry& entry) const
{
    std::wstring relative = keepFolders && entry.folder[0] != 0
                                ? std::wstring(entry.folder) + entry.name
                                : std::wstring(entry.name);
    // A stored absolute path lands below the destination like a relative one, so
    // extracting to "\" restores it to its original place.
    relative = std::wstring(StripLeadingSeparators(relative));
    if (lowercase) {
        // Only the member's part: host folders are case-sensitive, so lower-casing the
        // destination would name another folder.
        relative = ToLower(relative);
    }
    if (destFolder[0] == 0) {
        return relative;
    }
    return std::wstring(destFolder) + (EndsWithSeparator(destFolder) ? L"" : L"\\") + relative;
}

bool CLzhReader::ExtractFolder(const CArchiveEntry& entry, const std::wstring& outputPath)
{
    if ((entry.packedSize != 0 || entry.unpackedSize != 0) && !ignoreErrors) {
        status = kLzhFolderHasData;
        return false;
    }
    std::wstring path = outputPath;
    if (path.empty() || !IsSeparator(path.back())) {
        path.push_back(L'\\');
    }
    MakeParentFolders(path);
    path.pop_back();
    uint32_t attributes = entry.attributes;
    if (resetReadOnly) {
        attributes &= ~kAttrReadOnly;
    }
    SetFileAttributes(path, attributes);
    return true;
}

// The update and overwrite rules for an existing file; false (status 12) keeps it.
bool CLzhReader::MayReplaceExisting(const CArchiveEntry& entry, const std::wstring& outputPath)
{
    uint32_t existingAttributes = 0;
    FileTime existingLocal = 0, memberLocal = entry.modified;
    if (!ExistingFileLocalTime(outputPath, &existingLocal, &existingAttributes)) {
        return true; // nothing to replace (a folder of that name fails at creation)
    }
    FileTimeToLocalFileTime(entry.modified, &memberLocal);
    if (!addMode && existingLocal >= memberLocal) {
        status = kLzhSkippedNotOlder;
        return false;
    }
    if (!overwriteSilently && (!askOnlyIfNewer || existingLocal > memberLocal)) {
        bool answer = false;
        if (prompt != nullptr) {
            prompt->AskOverwrite(entry.name, &answer);
        }
        if (!answer) {
            status = kLzhSkippedNotOlder;
            return false;
        }
    }
    if (existingAttributes & kAttrReadOnly) {
        SetFileAttributes(outputPath, kAttrNormal); // so that it can be replaced
    }
    return true;
}

bool CLzhReader::ExtractEntry(const CArchiveEntry* entry)
{
    const CArchiveEntry& e = *entry;
    FileHandle source = workFile != kInvalidFile ? workFile : archiveFile;
    if (!SeekFile(source, e.dataPos, SeekOrigin::Begin)) {
        return false;
    }
    bool ok = false;
    bool unsupported = false;
    uint16_t crc;
    if (testMode) {
        if (std::wcscmp(e.method, L"-lhd-") == 0) {
            return true;
        }
        crc = DecodeEntry(source, kInvalidFile, e, ok, unsupported);
        if (unsupported || !ok) {
            status = unsupported ? kLzhUnsupportedMethod : kLzhBrokenData;
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
        std::wstring outputPath = OutputPath(e);
        if (IsFolderEntry(e)) {
            return ExtractFolder(e, outputPath);
        }
        // An unsupported member fails before an existing file of its name is touched.
        if (ReadableMethodFromString(e.method) == kMethodUnknown) {
            status = kLzhUnsupportedMethod;
            return false;
        }
        if (!MayReplaceExisting(e, outputPath)) {
            return false;
        }
        FileHandle output = CreateOutputFile(outputPath);
        if (output == kInvalidFile) {
            status = kLzhCannotCreateOutput;
            return false;
        }
        crc = DecodeEntry(source, output, e, ok, unsupported);
        if (unsupported || !ok || m_writeFailed) {
            CloseFile(output);
            status = unsupported ? kLzhUnsupportedMethod : (!ok ? kLzhBrokenData : kLzhWriteFailed);
            return false;
        }
        SetFileTimes(output, &e.modified);
        bool closed = CloseFile(output);
        // A new file is writable: only read-only has anything to change on the host.
        if ((e.attributes & kAttrReadOnly) && !resetReadOnly) {
            SetFileAttributes(outputPath, e.attributes & ~kAttrFolder);
        }
        if (!closed) {
            status = kLzhWriteFailed; // the last data did not reach the device
            return false;
        }
    }
    if (crc != (e.crc & 0xFFFF)) {
        status = kLzhCrcMismatch;
        return false;
    }
    return true;
}
