// Opening a ZIP archive: the end record, the central directory and the member names.
#include "platform/CodePage932.h"
#include "zip/ZipArchive.h"
#include "zip/ZipName.h"
#include "zip/ZipReaderState.h"

#include <cstring>
#include <cwchar>
#include <string>

using namespace platform;

namespace
{

constexpr uint32_t kEndRecordSize = 22;
constexpr uint32_t kEndSearchWindow = kEndRecordSize + 65535; // the record and the longest comment
constexpr uint32_t kCentralHeaderSize = 46;

constexpr uint8_t kCentralSignature[4] = {0x50, 0x4B, 0x01, 0x02};
constexpr uint8_t kEndSignature[4] = {0x50, 0x4B, 0x05, 0x06};
constexpr uint8_t kZip64EndSignature[4] = {0x50, 0x4B, 0x06, 0x06};

bool ReadExact(FileHandle file, void* buffer, uint32_t count)
{
    uint32_t got = 0;
    return ReadFile(file, buffer, count, &got) && got == count;
}

// Splits a name at its last '/': a folder member ("docs/") keeps everything in path.
void SplitName(const wchar_t* whole, CZipEntry& entry)
{
    const wchar_t* slash = std::wcsrchr(whole, L'/');
    if (slash == nullptr) {
        std::wcscpy(entry.name, whole);
        return;
    }
    size_t folderLength = static_cast<size_t>(slash - whole) + 1;
    std::wmemcpy(entry.path, whole, folderLength);
    entry.path[folderLength] = 0;
    std::wcscpy(entry.name, slash + 1);
}

} // namespace

void DropVolumeLabelDot(wchar_t (&name)[kMaxPath])
{
    // A volume label has up to eleven characters; archivers on MS-DOS store it in 8.3 form,
    // and the dot after the eighth character is not part of the label.
    if (std::wcslen(name) > 8 && name[8] == L'.') {
        std::wmemmove(name + 8, name + 9, std::wcslen(name + 9) + 1);
    }
}

CZipArchive::CZipArchive() : m_state(std::make_unique<ZipReaderState>()) {}

CZipArchive::~CZipArchive()
{
    Close();
}

void CZipArchive::Close()
{
    heap.Free(entries);
    entries = nullptr;
    entryCount = 0;
    m_entryCapacity = 0;
    ZipReaderState& s = *m_state;
    if (s.archive != kInvalidFile) {
        CloseFile(s.archive);
        s.archive = kInvalidFile;
    }
    s.hasPassword = false;
    std::memset(s.password, 0, sizeof s.password);
    s.extraField.clear();
    s.extraField.shrink_to_fit();
}

bool CZipArchive::Open(const wchar_t* path, bool /*allowCreate*/)
{
    Close();
    ZipReaderState& s = *m_state;
    status = kZipOk;
    std::wcsncpy(archivePath, path, kMaxPath - 1);
    archivePath[kMaxPath - 1] = 0;
    s.askAnew = true;

    uint32_t attributes = GetFileAttributes(archivePath);
    if (attributes == kInvalidAttributes || (attributes & kAttrFolder)) {
        status = kZipCannotOpen;
        return false;
    }
    // The archive is only ever read: other readers may share it, writers are kept out.
    s.archive = OpenFile(archivePath, kAccessRead, FileShare::Read, FileDisposition::OpenExisting,
                         FileHint::RandomAccess);
    if (s.archive == kInvalidFile) {
        status = kZipCannotOpen;
        return false;
    }
    bool ok = false;
    if (!FindEndRecord()) {
        status = kZipNoEndRecord;
    } else if (diskNumber != 0) {
        status = kZipMultiVolume;
    } else {
        // The offsets must be absolute: nothing is corrected for bytes in front of the archive.
        ok = SeekFile(s.archive, static_cast<int64_t>(centralDirOffset), SeekOrigin::Begin) &&
             ReadCentralDirectory();
    }
    if (!ok) {
        int reason = status;
        Close();
        status = reason;
    }
    return ok;
}

// The end record is the last signature in the file's final 65557 bytes whose 22 bytes lie
// inside the file: a signature earlier in the window may belong to data, for example a ZIP
// stored near the end of this one.
bool CZipArchive::FindEndRecord()
{
    FileHandle file = m_state->archive;
    uint64_t size = 0;
    if (!GetFileSize(file, &size) || size < kEndRecordSize) {
        return false;
    }
    uint32_t n = size < kEndSearchWindow ? static_cast<uint32_t>(size) : kEndSearchWindow;
    std::vector<uint8_t> window(n);
    if (!SeekFile(file, -static_cast<int64_t>(n), SeekOrigin::End) ||
        !ReadExact(file, window.data(), n)) {
        return false;
    }
    for (uint32_t i = n - kEndRecordSize + 1; i-- > 0;) {
        const uint8_t* r = window.data() + i;
        if (r[0] != 0x50 || std::memcmp(r, kEndSignature, 4) != 0) {
            continue;
        }
        diskNumber = ZipLe16(r + 4);
        centralDirDisk = ZipLe16(r + 6);
        entriesOnDisk = ZipLe16(r + 8);
        totalEntries = ZipLe16(r + 10);
        centralDirSize = ZipLe32(r + 12);
        centralDirOffset = ZipLe32(r + 16);
        commentLength = ZipLe16(r + 20);
        return true;
    }
    return false;
}

bool CZipArchive::AppendEntry()
{
    if (entryCount == m_entryCapacity) {
        int capacity = m_entryCapacity < 16 ? 16 : m_entryCapacity * 2;
        void* grown = heap.ReAlloc(entries, static_cast<size_t>(capacity) * sizeof(CZipEntry));
        if (grown == nullptr) {
            return false;
        }
        entries = static_cast<CZipEntry*>(grown);
        m_entryCapacity = capacity;
    }
    std::memset(&entries[entryCount], 0, sizeof(CZipEntry));
    ++entryCount;
    return true;
}

bool CZipArchive::ReadNameBytes(uint32_t length, std::string* bytes)
{
    bytes->resize(length);
    return length == 0 || ReadExact(m_state->archive, bytes->data(), length);
}

bool CZipArchive::ReadExtraField(uint32_t length)
{
    ZipReaderState& s = *m_state;
    s.extraField.resize(length);
    return length == 0 || ReadExact(s.archive, s.extraField.data(), length);
}

bool CZipArchive::ReadCentralDirectory()
{
    FileHandle file = m_state->archive;
    int warning = 0;
    uint8_t signature[4];
    if (!ReadExact(file, signature, 4)) {
        return false;
    }
    while (std::memcmp(signature, kCentralSignature, 4) == 0) {
        uint8_t h[kCentralHeaderSize];
        if (!ReadExact(file, h + 4, kCentralHeaderSize - 4)) {
            return false;
        }
        uint32_t external = ZipLe32(h + 38);
        bool volumeLabel = IsZipVolumeLabel(h[5], external);
        std::string name;
        if (!ReadNameBytes(ZipLe16(h + 28), &name) || !ReadExtraField(ZipLe16(h + 30))) {
            return false;
        }
        const std::vector<uint8_t>& extra = m_state->extraField;
        wchar_t whole[kMaxPath];
        warning |= ZipNameToWide(
            name, ZipLe16(h + 8),
            std::string_view(reinterpret_cast<const char*>(extra.data()), extra.size()), h[5],
            whole);
        if (volumeLabel) {
            DropVolumeLabelDot(whole);
        }
        if (!AppendEntry()) {
            return false;
        }
        CZipEntry& e = entries[entryCount - 1];
        e.madeByVersion = h[4];
        e.madeByHost = h[5];
        e.neededVersion = h[6];
        e.neededHost = h[7];
        e.flags = ZipLe16(h + 8);
        e.method = ZipLe16(h + 10);
        e.modified = DosToFileTime(ZipLe16(h + 14), ZipLe16(h + 12));
        e.crc32 = ZipLe32(h + 16);
        e.packedSize = ZipLe32(h + 20);
        e.unpackedSize = ZipLe32(h + 24);
        e.attributes = external;
        e.localHeaderOffset = ZipLe32(h + 42);
        SplitName(whole, e);
        if (!SeekFile(file, ZipLe16(h + 32), SeekOrigin::Current) ||
            !ReadExact(file, signature, 4)) {
            return false;
        }
    }
    // Writers that cannot know the sizes in advance (streamed input) put a Zip64 end record
    // between the directory and the end record; it is not read, but it ends the directory.
    bool ended = std::memcmp(signature, kEndSignature, 4) == 0 ||
                 std::memcmp(signature, kZip64EndSignature, 4) == 0;
    return static_cast<uint32_t>(entryCount) == totalEntries && entryCount != 0 && ended &&
           warning == 0;
}
