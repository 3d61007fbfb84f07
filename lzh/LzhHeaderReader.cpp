// LZH member headers. All numbers are little-endian.
//
// Common part (21 bytes):
//   0  1  level 0/1: header size H (bytes after the first two); level 2: total size, low byte;
//         level 3: 4, the width of the size fields (2 bytes)
//   1  1  level 0/1: checksum of bytes 2..H+1;                   level 2: total size, high byte
//   2  5  method identifier "-lh5-"
//   7  4  packed size (level 1: extended headers included)
//  11  4  uncompressed size
//  15  4  level 0/1: MS-DOS time, date (local); level 2/3: Unix time (unsigned, UTC)
//  19  1  level 0/1: MS-DOS attributes; level 2/3: 0x20
//  20  1  level
// Level 0/1: 21 name length n, 22 name, 22+n CRC-16 of the data; level 1 adds 24+n OS byte
//   and the first extended size in the base header's last two bytes (offset H). H+2 bytes.
// Level 2: 21 CRC-16 of the data, 23 OS byte, 24 first extended size, 26 extended headers,
//   then padding up to the total size.
// Level 3 (OS/2): 21 CRC-16, 23 OS byte, 24 total size (4 bytes), 28 first extended size
//   (4 bytes), 32 extended headers.
// Extended header of size S: 0 type, 1 data, then the size of the next one (0 = last) in the
// last two bytes (four at level 3).
#include "lzh/LzhHeaderReader.h"
#include "archive/LittleEndian.h"

#include "lzh/ArchiveName.h"
#include "lzh/Crc16.h"
#include "platform/Text.h"

#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using platform::FileHandle;

namespace
{

constexpr uint32_t kCommonSize = 21;
constexpr uint32_t kLevel2BaseSize = 26;
constexpr uint32_t kLevel3BaseSize = 32;
constexpr size_t kMaxBaseHeader = 255 + 2; // level 0/1: H + 2 with H one byte
// Level 3 sizes are 32-bit; real extended headers are small, and a larger one is taken as
// damage rather than read into memory.
constexpr uint32_t kMaxLevel3Extended = 1u << 20;

enum ExtendedType : uint8_t
{
    kExtHeaderCrc = 0x00,
    kExtFileName = 0x01,
    kExtFolder = 0x02,
    kExtAttributes = 0x40,
    kExtSizes64 = 0x42,       // the packed and unpacked sizes in 8 bytes each (4 GiB and more)
    kExtUnicodeName = 0x44,   // the file name in UTF-16LE (Windows archivers)
    kExtUnicodeFolder = 0x45, // the folder in UTF-16LE, its components ended by 0xFFFF
    kExtUnixTime = 0x54,      // 4 bytes: the modification time in Unix seconds (UTC)
};

constexpr int16_t kOsIdUnix = 0x55; // 'U': LHa for UNIX and the archivers built on it

// UTF-16LE text of an extended header; 0xFFFF and either slash separate folders ('\').
std::wstring Utf16Text(const uint8_t* data, size_t length)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < length; i += 2) {
        char16_t u = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
        if (u == 0) {
            break;
        }
        units.push_back(u == 0xFFFF || u == u'/' ? u'\\' : u);
    }
    std::wstring text;
    for (size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD; // a lone surrogate
        }
        text.push_back(static_cast<wchar_t>(c));
    }
    return text;
}

// A name read as UTF-8 where it is valid UTF-8 (for a guess, only with a multi-byte sequence,
// which code page 932 text seldom forms), else as code page 932 as usual.
std::wstring Utf8NameText(const std::string& bytes, bool guessing)
{
    std::string staged = bytes.substr(0, bytes.find('\0'));
    bool multiByte = false;
    for (char& c : staged) {
        multiByte = multiByte || (static_cast<uint8_t>(c) & 0x80) != 0;
        if (static_cast<uint8_t>(c) == 0xFF) {
            c = '\\';
        }
    }
    std::wstring text;
    if ((multiByte || !guessing) && platform::StrictUtf8ToWide(staged, &text)) {
        return text;
    }
    return ArchiveNameToText(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
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

// Copies text into a record field, keeping its start when it is longer than the field
// holds; a cut folder still ends in '\'. True when it was cut.
bool CopyField(std::wstring_view text, wchar_t (&field)[kMaxPath], bool folder)
{
    size_t keep = text.size();
    bool cut = keep >= static_cast<size_t>(kMaxPath);
    if (cut) {
        keep = static_cast<size_t>(kMaxPath) - (folder ? 2 : 1);
    }
    std::wmemcpy(field, text.data(), keep);
    if (cut && folder) {
        field[keep++] = L'\\';
    }
    field[keep] = 0;
    return cut;
}

// Splits folder + name at the last backslash (only the backslash separates; a slash stays
// part of the name). Unix archivers store a symbolic link as a folder entry named
// "path|target".
void SplitPath(const std::wstring& folder, const std::wstring& name, bool folderEntry,
               LzhHeaderTexts& texts)
{
    std::wstring path = folder + name;
    size_t bar = path.find(L'|');
    texts.linkTarget.clear();
    if (folderEntry && bar != std::wstring::npos && bar > 0) {
        texts.linkTarget = path.substr(bar + 1);
        path.resize(bar);
    }
    size_t cut = path.rfind(L'\\');
    size_t split = cut == std::wstring::npos ? 0 : cut + 1;
    texts.name = path.substr(split);
    texts.folder = path.substr(0, split);
}

// The fields the extended headers carry, collected while they are read.
struct Extended
{
    std::wstring name;
    std::wstring folder;
    std::string nameBytes; // as stored, for a second reading of a Unix-made name
    std::string folderBytes;
    std::wstring unicodeName; // from 0x44/0x45, which win over the code page 932 texts
    std::wstring unicodeFolder;
    bool hasUnicodeName = false;
    bool hasUnicodeFolder = false;
    bool hasSizes64 = false;
    uint64_t packed64 = 0;
    uint64_t unpacked64 = 0;
    uint16_t storedCrc = 0;
    bool hasUnixTime = false;
    uint32_t unixTime = 0;
};

// Acts on one extended header (`size` bytes with the type first, the next size last, which
// is `sizeWidth` bytes wide).
void TakeExtended(uint8_t* ext, uint32_t size, uint32_t sizeWidth, CArchiveEntry& entry,
                  Extended& fields)
{
    const uint8_t* data = ext + 1;
    size_t dataLength = size - 1 - sizeWidth;
    switch (ext[0]) {
    case kExtHeaderCrc:
        if (dataLength >= 2) {
            fields.storedCrc = Le16(data);
            ext[1] = ext[2] = 0; // the CRC is computed with its own field taken as 0
        }
        break;
    case kExtFileName:
        fields.name = ArchiveNameToText(data, dataLength);
        fields.nameBytes.assign(reinterpret_cast<const char*>(data), dataLength);
        break;
    case kExtFolder:
        fields.folder = ArchiveNameToText(data, dataLength);
        fields.folderBytes.assign(reinterpret_cast<const char*>(data), dataLength);
        break;
    case kExtUnicodeName:
        fields.unicodeName = Utf16Text(data, dataLength);
        fields.hasUnicodeName = true;
        break;
    case kExtUnicodeFolder:
        fields.unicodeFolder = Utf16Text(data, dataLength);
        if (!fields.unicodeFolder.empty() && fields.unicodeFolder.back() != L'\\') {
            fields.unicodeFolder.push_back(L'\\');
        }
        fields.hasUnicodeFolder = true;
        break;
    case kExtAttributes:
        if (dataLength >= 2) {
            entry.attributes = Le16(data);
        }
        break;
    case kExtSizes64:
        if (dataLength >= 16) {
            fields.hasSizes64 = true;
            fields.packed64 = Le64(data);
            fields.unpacked64 = Le64(data + 8);
        }
        break;
    case kExtUnixTime:
        if (dataLength >= 4) {
            fields.hasUnixTime = true;
            fields.unixTime = Le32(data);
        }
        break;
    default:
        break; // kept in the sizes and the CRC, otherwise skipped
    }
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

void FillEntryTexts(std::wstring_view folder, std::wstring_view name, std::wstring_view target,
                    CArchiveEntry& entry)
{
    entry.flags &= ~static_cast<uint32_t>(kEntryNameCut | kEntryFolderCut | kEntrySymlink);
    if (CopyField(name, entry.name, false)) {
        entry.flags |= kEntryNameCut;
    }
    if (CopyField(folder, entry.folder, true)) {
        entry.flags |= kEntryFolderCut;
    }
    entry.linkTarget[0] = 0;
    if (!target.empty()) {
        entry.flags |= kEntrySymlink;
        if (CopyField(target, entry.linkTarget, false)) {
            entry.flags |= kEntryNameCut; // a cut target would point elsewhere
        }
    }
}

namespace
{

// ReadHeader's work; *fromZero tells whether a header was taken from a leading 0 byte.
bool ReadOneHeader(FileHandle file, CArchiveEntry& entry, int& headerStatus, LzhHeaderTexts* texts,
                   NameEncoding encoding, bool* fromZero)
{
    std::memset(&entry, 0, sizeof entry);
    Extended fields;
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
    // The end marker is a 0 byte. A level 0 or 1 header cannot start with 0 (H = 0 holds
    // none), and level 2 writers pad a total size whose low byte would be 0; where one did
    // not, the method identifier and the level show the header for what it is.
    bool level2 = got == kCommonSize && base[20] == 2 && base[1] != 0 && base[2] == '-' &&
                  (base[3] == 'l' || base[3] == 'p') && base[6] == '-';
    if (base[0] == 0 && !level2) {
        return false;
    }
    *fromZero = base[0] == 0;
    if (got < kCommonSize) {
        return Malformed(headerStatus);
    }
    int level = base[20];
    if (level > 3) {
        headerStatus = kHeaderBadLevel;
        return false;
    }

    uint16_t runningCrc;
    uint32_t consumed;
    uint32_t nextSize = 0;
    uint32_t sizeWidth = level == 3 ? 4 : 2; // width of the extended headers' size fields
    if (level >= 2) {
        uint32_t baseSize = level == 3 ? kLevel3BaseSize : kLevel2BaseSize;
        entry.modified = platform::UnsignedUnixToFileTime(Le32(base + 15));
        if (!ReadExact(file, base + kCommonSize, baseSize - kCommonSize)) {
            return Malformed(headerStatus);
        }
        if (level == 3 && Le16(base) != 4) {
            return Malformed(headerStatus);
        }
        entry.headerSize = level == 3 ? Le32(base + 24) : Le16(base);
        entry.crc = Le16(base + 21);
        entry.osId = static_cast<int8_t>(base[23]);
        nextSize = level == 3 ? Le32(base + 28) : Le16(base + 24);
        consumed = baseSize;
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
        fields.name = ArchiveNameToText(base + 22, n);
        fields.nameBytes.assign(reinterpret_cast<const char*>(base + 22), n);
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

    // Reused from header to header: a listing reads a million of them.
    thread_local std::vector<uint8_t> ext(65536);
    while (nextSize > 0) {
        uint32_t size = nextSize;
        if (size < 1 + sizeWidth || size > kMaxLevel3Extended) {
            return Malformed(headerStatus);
        }
        if (size > ext.size()) {
            ext.resize(size);
        }
        if (!ReadExact(file, ext.data(), size)) {
            return Malformed(headerStatus);
        }
        TakeExtended(ext.data(), size, sizeWidth, entry, fields);
        runningCrc = Crc16Update(runningCrc, ext.data(), size);
        consumed += size;
        if (level == 1) {
            // Level 1 counts its extended headers in the packed size; more than it is corrupt.
            if (size > entry.packedSize) {
                return Malformed(headerStatus);
            }
            entry.packedSize -= size;
            entry.headerSize += size;
        }
        const uint8_t* next = ext.data() + size - sizeWidth;
        nextSize = sizeWidth == 4 ? Le32(next) : Le16(next);
    }

    if (level >= 2 && consumed < entry.headerSize) {
        uint32_t padding = entry.headerSize - consumed;
        if (padding > kMaxLevel3Extended) {
            return Malformed(headerStatus);
        }
        if (padding > ext.size()) {
            ext.resize(padding);
        }
        if (!ReadExact(file, ext.data(), padding)) {
            return Malformed(headerStatus);
        }
        runningCrc = Crc16Update(runningCrc, ext.data(), padding);
    }
    if (fields.storedCrc != 0 && fields.storedCrc != runningCrc) {
        headerStatus = kHeaderChecksum;
    }
    if (fields.hasSizes64 && level >= 2) {
        // Level 2 counts no extended header in its sizes, so these are the member's own.
        entry.packedSize = fields.packed64;
        entry.unpackedSize = fields.unpacked64;
    }
    if (fields.hasUnixTime && level > 0) {
        // Exact and in UTC, where the MS-DOS stamp is local to an unknown zone.
        entry.modified = platform::UnsignedUnixToFileTime(fields.unixTime);
    }

    if (!fields.folder.empty() && fields.folder.back() != L'\\') {
        return Malformed(headerStatus);
    }
    // Unix archivers write the file system's names as they are: UTF-8 nowadays.
    bool utf8 = encoding == NameEncoding::Utf8;
    if (utf8 || (encoding == NameEncoding::Auto && entry.osId == kOsIdUnix)) {
        fields.name = Utf8NameText(fields.nameBytes, !utf8);
        fields.folder = Utf8NameText(fields.folderBytes, !utf8);
    }
    if (fields.hasUnicodeName) {
        fields.name = std::move(fields.unicodeName);
    }
    if (fields.hasUnicodeFolder) {
        fields.folder = std::move(fields.unicodeFolder);
    }
    LzhHeaderTexts whole;
    SplitPath(fields.folder, fields.name, IsFolderEntry(entry), whole);
    FillEntryTexts(whole.folder, whole.name, whole.linkTarget, entry);
    if (texts != nullptr) {
        *texts = std::move(whole);
    }
    if (!platform::SeekFile(file, 0, platform::SeekOrigin::Current, &entry.dataPos)) {
        return Malformed(headerStatus);
    }
    return true;
}

} // namespace

bool ReadHeader(FileHandle file, CArchiveEntry& entry, int& headerStatus, LzhHeaderTexts* texts,
                NameEncoding encoding)
{
    bool fromZero = false;
    bool read = ReadOneHeader(file, entry, headerStatus, texts, encoding, &fromZero);
    // A header taken from a leading 0 byte that does not read whole, or fails its check, was
    // the end marker after all: what follows it is the archive's trailer.
    if (fromZero && headerStatus != kHeaderOk && headerStatus != kHeaderEndOfFile) {
        headerStatus = kHeaderOk;
        return false;
    }
    return read;
}
