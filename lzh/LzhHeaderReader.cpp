// LZH member headers. All numbers are little-endian.
//
// Common part (21 bytes):
//   0  1  level 0/1: header size H (bytes after the first two); level 2: total size, low byte
//   1  1  level 0/1: checksum of bytes 2..H+1;                   level 2: total size, high byte
//   2  5  method identifier "-lh5-"
//   7  4  packed size (level 1: extended headers included)
//  11  4  uncompressed size
//  15  4  level 0/1: MS-DOS time, date (local); level 2: Unix time (signed)
//  19  1  level 0/1: MS-DOS attributes; level 2: 0x20
//  20  1  level
// Level 0/1: 21 name length n, 22 name, 22+n CRC-16 of the data; level 1 adds 24+n OS byte
//   and the first extended size in the base header's last two bytes (offset H). H+2 bytes.
// Level 2: 21 CRC-16 of the data, 23 OS byte, 24 first extended size, 26 extended headers,
//   then padding up to the total size.
// Extended header of size S: 0 type, 1 data (S-3 bytes), S-2 size of the next one (0 = last).
#include "lzh/LzhHeaderReader.h"

#include "lzh/ArchiveName.h"
#include "lzh/Crc16.h"

#include <cstring>
#include <cwchar>

using platform::FileHandle;

namespace
{

constexpr uint32_t kCommonSize = 21;
constexpr uint32_t kLevel2BaseSize = 26;
constexpr size_t kMaxBaseHeader = 255 + 2; // level 0/1: H + 2 with H one byte

enum ExtendedType : uint8_t
{
    kExtHeaderCrc = 0x00,
    kExtFileName = 0x01,
    kExtFolder = 0x02,
    kExtAttributes = 0x40,
};

uint16_t Le16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Le32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// A read error of the file system counts as a short read.
bool ReadExact(FileHandle file, void* buffer, uint32_t count)
{
    uint32_t got = 0;
    return platform::ReadFile(file, buffer, count, &got) && got == count;
}

bool Malformed(int& headerStatus)
{
    headerStatus = kHeaderMalformed;
    return false;
}

platform::FileTime DosStampToUtc(uint16_t date, uint16_t time)
{
    platform::FileTime local = platform::DosToFileTime(date, time);
    platform::FileTime utc = 0;
    if (local != 0 && !platform::LocalFileTimeToFileTime(local, &utc)) {
        utc = 0;
    }
    return utc;
}

// Splits folder + name at the last backslash; false when the path exceeds the record.
bool SplitPath(const wchar_t* folder, const wchar_t* name, CArchiveEntry& entry)
{
    size_t folderLength = std::wcslen(folder);
    size_t nameLength = std::wcslen(name);
    if (folderLength + nameLength >= static_cast<size_t>(kMaxPath)) {
        return false;
    }
    wchar_t path[kMaxPath];
    std::wmemcpy(path, folder, folderLength);
    std::wmemcpy(path + folderLength, name, nameLength + 1);
    const wchar_t* cut = std::wcsrchr(path, L'\\');
    if (cut == nullptr) {
        std::wmemcpy(entry.name, path, folderLength + nameLength + 1);
        return true;
    }
    size_t split = static_cast<size_t>(cut - path) + 1;
    std::wmemcpy(entry.folder, path, split);
    entry.folder[split] = 0;
    std::wcscpy(entry.name, path + split);
    return true;
}

} // namespace

uint8_t HeaderChecksum(const uint8_t* bytes, size_t count)
{
    unsigned sum = 0;
    for (size_t i = 0; i < count; ++i) {
        sum += bytes[i];
    }
    return static_cast<uint8_t>(sum);
}

bool ReadHeader(FileHandle file, CArchiveEntry& entry, int& headerStatus)
{
    std::memset(&entry, 0, sizeof entry);
    wchar_t name[kMaxPath] = {};
    wchar_t folder[kMaxPath] = {};
    headerStatus = kHeaderOk;
    if (!platform::SeekFile(file, 0, platform::SeekOrigin::Current, &entry.headerPos)) {
        return Malformed(headerStatus);
    }

    uint8_t base[kMaxBaseHeader];
    uint32_t got = 0;
    if (!platform::ReadFile(file, base, kCommonSize, &got)) {
        return Malformed(headerStatus);
    }
    if (got == 0) {
        headerStatus = kHeaderEndOfFile;
        return false;
    }
    if (got == 1 && base[0] == 0) {
        return false; // the end marker
    }
    if (got < kCommonSize) {
        return Malformed(headerStatus);
    }
    int level = base[20];
    if (level > 2) {
        headerStatus = kHeaderBadLevel;
        return false;
    }

    uint16_t runningCrc;
    uint32_t consumed;
    uint16_t nextSize = 0;
    if (level == 2) {
        entry.headerSize = Le16(base);
        entry.modified = platform::UnixToFileTime(static_cast<int32_t>(Le32(base + 15)));
        if (!ReadExact(file, base + kCommonSize, kLevel2BaseSize - kCommonSize)) {
            return Malformed(headerStatus);
        }
        entry.crc = Le16(base + 21);
        entry.osId = static_cast<int8_t>(base[23]);
        nextSize = Le16(base + 24);
        consumed = kLevel2BaseSize;
    } else {
        uint32_t h = base[0];
        entry.headerSize = h;
        entry.modified = DosStampToUtc(Le16(base + 17), Le16(base + 15));
        if (!ReadExact(file, base + kCommonSize, 1)) {
            return Malformed(headerStatus);
        }
        uint32_t n = base[21];
        // Level 1 needs the OS byte and the first extended size after the CRC.
        uint32_t minimum = n + 22 + (level == 1 ? 3 : 0);
        if (h < minimum || !ReadExact(file, base + 22, h - 20)) {
            return Malformed(headerStatus);
        }
        ArchiveNameToWide(base + 22, n, name); // n < 256 bytes always fits the record
        entry.crc = Le16(base + 22 + n);
        if (level == 1) {
            entry.osId = static_cast<int8_t>(base[24 + n]);
            nextSize = Le16(base + h);
        }
        if (HeaderChecksum(base + 2, h) != base[1]) {
            headerStatus = kHeaderChecksum;
        }
        consumed = h + 2;
    }
    runningCrc = Crc16Update(0, base, consumed);
    entry.level = level;
    MethodToWide(base + 2, entry.method);
    entry.packedSize = Le32(base + 7);
    entry.unpackedSize = Le32(base + 11);
    entry.attributes = base[19];

    uint8_t ext[65536];
    uint16_t storedHeaderCrc = 0;
    while (nextSize > 0) {
        uint32_t size = nextSize;
        if (size < 3 || !ReadExact(file, ext, size)) {
            return Malformed(headerStatus);
        }
        const uint8_t* data = ext + 1;
        size_t dataLength = size - 3;
        switch (ext[0]) {
        case kExtHeaderCrc:
            if (dataLength >= 2) {
                storedHeaderCrc = Le16(data);
                ext[1] = ext[2] = 0;
            }
            break;
        case kExtFileName:
            if (!ArchiveNameToWide(data, dataLength, name)) {
                return Malformed(headerStatus); // longer than the record holds
            }
            break;
        case kExtFolder:
            if (!ArchiveNameToWide(data, dataLength, folder)) {
                return Malformed(headerStatus);
            }
            break;
        case kExtAttributes:
            if (dataLength >= 2) {
                entry.attributes = Le16(data);
            }
            break;
        default:
            break; // kept in the sizes and the CRC, otherwise skipped
        }
        runningCrc = Crc16Update(runningCrc, ext, size);
        consumed += size;
        if (level < 2) {
            // Level 1 counts its extended headers in the packed size; more than it is corrupt.
            if (size > entry.packedSize) {
                return Malformed(headerStatus);
            }
            entry.packedSize -= size;
            entry.headerSize += size;
        }
        nextSize = Le16(ext + size - 2);
    }

    if (level == 2 && consumed < entry.headerSize) {
        uint32_t padding = entry.headerSize - consumed;
        if (!ReadExact(file, ext, padding)) {
            return Malformed(headerStatus);
        }
        runningCrc = Crc16Update(runningCrc, ext, padding);
    }
    if (storedHeaderCrc != 0 && storedHeaderCrc != runningCrc) {
        headerStatus = kHeaderChecksum;
    }

    size_t folderLength = std::wcslen(folder);
    if (folderLength > 0 && folder[folderLength - 1] != L'\\') {
        return Malformed(headerStatus);
    }
    if (!SplitPath(folder, name, entry)) {
        return Malformed(headerStatus);
    }
    if (!platform::SeekFile(file, 0, platform::SeekOrigin::Current, &entry.dataPos)) {
        return Malformed(headerStatus);
    }
    return true;
}
