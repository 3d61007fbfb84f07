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

CZipArchive::CZipArchive() : m_state(std::make_unique<ZipReaderState>())
{
    keepFolders = true;
}

std::vector<FileHandle> CZipArchive::ProtectedFiles() const
{
    return {m_state->archive};
}

CZipArchive::~CZipArchive()
{
    Close();
}

bool CZipArchive::Close()
{
    EndPlan();
    m_members.Clear();
    ZipReaderState& s = *m_state;
    if (s.archive != kInvalidFile) {
        CloseFile(s.archive);
        s.archive = kInvalidFile;
    }
    s.hasPassword = false;
    s.password.clear();
    s.extraField.clear();
    s.extraField.shrink_to_fit();
    m_layout.clear();
    m_layout.shrink_to_fit();
    m_layoutMade = false;
    return true;
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

// End record (22 bytes and the comment), offsets from its signature 50 4B 05 06:
//   4 2 this disk, 6 2 disk of the directory, 8 2 entries here, 10 2 entries in all,
//   12 4 directory size, 16 4 directory offset, 20 2 comment length.
// A field that does not fit holds all ones, and a Zip64 end record gives the real values,
// found through the Zip64 locator (20 bytes right before the end record):
//   0 4 signature 50 4B 06 07, 4 4 disk of the Zip64 record, 8 8 its offset, 16 4 disks.
// Zip64 end record: 0 4 signature 50 4B 06 06, 4 8 size of the rest, 12 2 version made by,
//   14 2 version needed, 16 4 this disk, 20 4 disk of the directory, 24 8 entries here,
//   32 8 entries in all, 40 8 directory size, 48 8 directory offset.
namespace
{

constexpr uint32_t kZip64LocatorSize = 20;
constexpr uint32_t kZip64EndSize = 56;
constexpr uint8_t kZip64LocatorSignature[4] = {0x50, 0x4B, 0x06, 0x07};

} // namespace

// Reads the end record at `at` into the fields, and the Zip64 end record behind it when one
// of its fields holds the all-ones mark and a Zip64 locator precedes it. False when that
// Zip64 end record cannot be read.
bool CZipArchive::ReadEndRecord(const uint8_t* r, uint64_t at)
{
    diskNumber = Le16(r + 4);
    centralDirDisk = Le16(r + 6);
    entriesOnDisk = Le16(r + 8);
    totalEntries = Le16(r + 10);
    centralDirSize = Le32(r + 12);
    centralDirOffset = Le32(r + 16);
    commentLength = Le16(r + 20);
    m_directoryEnd = at;
    bool marked = diskNumber == 0xFFFF || centralDirDisk == 0xFFFF || entriesOnDisk == 0xFFFF ||
                  totalEntries == 0xFFFF || centralDirSize == 0xFFFFFFFF ||
                  centralDirOffset == 0xFFFFFFFF;
    uint8_t locator[kZip64LocatorSize];
    FileHandle file = m_state->archive;
    if (!marked || at < kZip64LocatorSize ||
        !SeekFile(file, static_cast<int64_t>(at - kZip64LocatorSize), SeekOrigin::Begin) ||
        !ReadExact(file, locator, kZip64LocatorSize) ||
        std::memcmp(locator, kZip64LocatorSignature, 4) != 0) {
        return true; // all ones may also be a real value (65,535 entries)
    }
    uint64_t offset = Le64(locator + 8);
    uint8_t z[kZip64EndSize];
    if (offset > at - kZip64LocatorSize ||
        !SeekFile(file, static_cast<int64_t>(offset), SeekOrigin::Begin) ||
        !ReadExact(file, z, kZip64EndSize) || std::memcmp(z, kZip64EndSignature, 4) != 0) {
        return false;
    }
    diskNumber = Le32(z + 16);
    centralDirDisk = Le32(z + 20);
    entriesOnDisk = Le64(z + 24);
    totalEntries = Le64(z + 32);
    centralDirSize = Le64(z + 40);
    centralDirOffset = Le64(z + 48);
    m_directoryEnd = offset;
    return true;
}

// Whether the record just read describes a directory that is there: inside the file before
// the record, starting with a central header (or empty). The records of a split set are
// taken as they are: their directory lies on another disk.
bool CZipArchive::DirectoryIsThere()
{
    if (diskNumber != 0) {
        return true;
    }
    if (centralDirOffset > m_directoryEnd || centralDirSize > m_directoryEnd - centralDirOffset) {
        return false;
    }
    if (totalEntries == 0) {
        return centralDirSize == 0;
    }
    uint8_t signature[4];
    return SeekFile(m_state->archive, static_cast<int64_t>(centralDirOffset), SeekOrigin::Begin) &&
           ReadExact(m_state->archive, signature, 4) &&
           std::memcmp(signature, kCentralSignature, 4) == 0;
}

// The end record lies in the file's final 65557 bytes (the record and the longest comment).
// Its signature may also occur earlier in the window, in a member's data (a ZIP stored in
// this one) or in the comment: signatures are tried earliest first, and the first whose
// directory is there is the one. When none is, the earliest is taken, and the directory
// read fails on it.
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
    int64_t earliest = -1;
    const uint8_t* const last = window.data() + (n - kEndRecordSize); // the last start to try
    for (const uint8_t* r = window.data(); r <= last; ++r) {
        // The signature's first byte, found by memchr: the window is mostly member data.
        r = static_cast<const uint8_t*>(
            std::memchr(r, kEndSignature[0], static_cast<size_t>(last - r) + 1));
        if (r == nullptr) {
            break;
        }
        if (std::memcmp(r, kEndSignature, 4) != 0) {
            continue;
        }
        const auto i = static_cast<uint32_t>(r - window.data());
        uint64_t at = size - n + i;
        earliest = earliest < 0 ? i : earliest;
        if (ReadEndRecord(r, at) && DirectoryIsThere()) {
            return true;
        }
    }
    if (earliest < 0) {
        return false;
    }
    return ReadEndRecord(window.data() + earliest, size - n + static_cast<uint64_t>(earliest));
}

void ApplyZip64Extra(const std::vector<uint8_t>& extra, uint64_t* unpacked, uint64_t* packed,
                     uint64_t* offset)
{
    // Zip64 extended information (0x0001): the 8-byte values of the fields that hold all
    // ones, in the order uncompressed size, compressed size, local header offset.
    for (size_t at = 0; at + 4 <= extra.size();) {
        uint16_t id = Le16(extra.data() + at);
        size_t size = Le16(extra.data() + at + 2);
        if (at + 4 + size > extra.size()) {
            return;
        }
        if (id == 0x0001) {
            const uint8_t* p = extra.data() + at + 4;
            const uint8_t* end = p + size;
            for (uint64_t* field : {unpacked, packed, offset}) {
                if (field != nullptr && *field == 0xFFFFFFFF && end - p >= 8) {
                    *field = Le64(p);
                    p += 8;
                }
            }
            return;
        }
        at += 4 + size;
    }
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
        uint32_t external = Le32(h + 38);
        bool volumeLabel = IsZipVolumeLabel(h[5], external);
        std::string name;
        if (!ReadNameBytes(Le16(h + 28), &name) || !ReadExtraField(Le16(h + 30))) {
            return false;
        }
        const std::vector<uint8_t>& extra = m_state->extraField;
        wchar_t whole[kMaxPath];
        warning |= ZipNameToWide(
            name, Le16(h + 8),
            std::string_view(reinterpret_cast<const char*>(extra.data()), extra.size()), h[5],
            whole, nameEncoding);
        if (volumeLabel) {
            DropVolumeLabelDot(whole);
        }
        CZipEntry e{};
        e.madeByVersion = h[4];
        e.madeByHost = h[5];
        e.neededVersion = h[6];
        e.neededHost = h[7];
        e.flags = Le16(h + 8);
        e.method = Le16(h + 10);
        e.modified = DosToFileTime(Le16(h + 14), Le16(h + 12));
        e.crc32 = Le32(h + 16);
        e.packedSize = Le32(h + 20);
        e.unpackedSize = Le32(h + 24);
        e.attributes = external;
        e.localHeaderOffset = Le32(h + 42);
        ApplyZip64Extra(m_state->extraField, &e.unpackedSize, &e.packedSize, &e.localHeaderOffset);
        SplitName(whole, e);
        if (!m_members.Append(e) || !SeekFile(file, Le16(h + 32), SeekOrigin::Current) ||
            !ReadExact(file, signature, 4)) {
            return false;
        }
    }
    // Writers that cannot know the sizes in advance (streamed input) put a Zip64 end record
    // between the directory and the end record; it is not read, but it ends the directory.
    bool ended = std::memcmp(signature, kEndSignature, 4) == 0 ||
                 std::memcmp(signature, kZip64EndSignature, 4) == 0 ||
                 std::memcmp(signature, kZip64LocatorSignature, 4) == 0;
    uint64_t count = static_cast<uint64_t>(m_members.Count());
    return count == totalEntries && count != 0 && ended && warning == 0;
}
