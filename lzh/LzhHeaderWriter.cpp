// LZH header writing. Level 2: a 26-byte base header, then extended headers (name always,
// folder, attributes unless exactly 0x20, header CRC), padded by one byte when the total's
// low byte would be 0. Level 1: a base header with the name (moved to an extended header
// when longer than 230 bytes), extended headers counted in the packed size, checksum and
// header CRC. Level 0: folder and name in the base header, cut to 233 bytes, checksum only.
// A name that code page 932 cannot hold (levels 1 and 2) goes in as its closest form there
// and exactly in UTF-16 in the extended headers 0x44 (name) and 0x45 (folder, components
// ended by 0xFFFF), which readers that know them prefer, as Windows archivers write them.
#include "lzh/LzhHeaderWriter.h"

#include "lzh/ArchiveName.h"
#include "lzh/Crc16.h"
#include "lzh/LzhHeaderReader.h"
#include "platform/CodePage932.h"

#include <cstring>
#include <cwchar>
#include <string>

namespace
{

constexpr size_t kLevel1NameLimit = 230;
constexpr size_t kLevel0NameLimit = 233;

void Put16(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v)
{
    Put16(p, v & 0xFFFF);
    Put16(p + 2, v >> 16);
}

void Put64(uint8_t* p, uint64_t v)
{
    Put32(p, static_cast<uint32_t>(v));
    Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The fields at offsets 2-20 that every level shares. Sizes of 4 GiB and more (level 2 only)
// keep their low 32 bits here and the whole in extended header 0x42.
void PutCommon(uint8_t* h, const CArchiveEntry& e, uint64_t packed, uint32_t time)
{
    uint8_t method[6];
    MethodToBytes(e.method, method);
    std::memcpy(h + 2, method, 5);
    Put32(h + 7, static_cast<uint32_t>(packed));
    Put32(h + 11, static_cast<uint32_t>(e.unpackedSize));
    Put32(h + 15, time);
    h[20] = static_cast<uint8_t>(e.level);
}

uint32_t DosStamp(platform::FileTime utc)
{
    platform::FileTime local = utc;
    platform::FileTimeToLocalFileTime(utc, &local);
    uint16_t date = 0, time = 0;
    platform::FileTimeToDos(local, &date, &time);
    return time | (static_cast<uint32_t>(date) << 16);
}

// Extended headers are appended at `at`; each one's size goes into the size field before
// it (`sizeField`), which then moves to its own trailing field.
struct ExtendedWriter
{
    uint8_t* header;
    uint32_t at;
    uint32_t sizeField;
    uint32_t total = 0;
    uint32_t crcOffset = 0;

    bool overflow = false; // the headers would not fit kMaxHeaderBytes

    void Add(uint8_t type, const uint8_t* data, uint32_t length)
    {
        uint32_t size = length + 3;
        if (overflow || at + size + 1 > kMaxHeaderBytes) {
            overflow = true;
            return;
        }
        Put16(header + sizeField, size);
        header[at] = type;
        if (length > 0) {
            std::memcpy(header + at + 1, data, length);
        }
        sizeField = at + 1 + length;
        Put16(header + sizeField, 0);
        at += size;
        total += size;
    }
};

// The text with '_' for every character that code page 932 has no code for.
std::wstring Cp932Form(std::wstring_view text)
{
    std::wstring form(text);
    for (wchar_t& c : form) {
        if (c != L'\\' &&
            (c == platform::kSeparatorPrivateUse || platform::EncodeCp932Char(c) < 0)) {
            c = L'_';
        }
    }
    return form;
}

// UTF-16LE bytes of a text; '\\' becomes 0xFFFF, the folder separator of these headers.
std::string Utf16Bytes(std::wstring_view text)
{
    std::string bytes;
    auto put = [&bytes](uint32_t unit) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    };
    for (wchar_t c : text) {
        auto v = static_cast<uint32_t>(c);
        if (c == L'\\') {
            put(0xFFFF);
        } else if (v >= 0x10000) {
            put(0xD800 + ((v - 0x10000) >> 10));
            put(0xDC00 + ((v - 0x10000) & 0x3FF));
        } else {
            put(v);
        }
    }
    return bytes;
}

} // namespace

uint32_t BuildHeader(const CArchiveEntry& e, uint8_t* h)
{
    if (e.level < 0 || e.level > 2) {
        return 0;
    }
    // Levels 0 and 1 have 32-bit sizes only (level 1 counts its extended headers in them).
    const bool sizes64 = e.packedSize > UINT32_MAX - kMaxHeaderBytes || e.unpackedSize > UINT32_MAX;
    if (sizes64 && e.level < 2) {
        return 0;
    }
    // A symbolic link is a folder entry named "name|target", as Unix archivers store it; any
    // other folder entry whose path holds '|' would read back as a link.
    bool link = (e.flags & kEntrySymlink) != 0;
    if (IsFolderEntry(e) && (std::wcschr(e.folder, L'|') != nullptr || std::wcschr(e.name, L'|'))) {
        return 0;
    }
    std::wstring written = link ? std::wstring(e.name) + L"|" + e.linkTarget : e.name;
    if (written.size() >= static_cast<size_t>(kMaxPath)) {
        return 0;
    }
    bool unicode = !HasArchiveCodes(written.c_str()) || !HasArchiveCodes(e.folder);
    if (unicode && (e.level == 0 || link)) {
        return 0; // no extended headers, or a target that would read back as another
    }
    uint8_t name[kMaxArchiveNameBytes];
    uint8_t folder[kMaxArchiveNameBytes];
    int nameLength =
        WideToArchiveName(unicode ? Cp932Form(written).c_str() : written.c_str(), name);
    int folderLength = WideToArchiveName(unicode ? Cp932Form(e.folder).c_str() : e.folder, folder);
    if (nameLength < 0 || folderLength < 0) {
        return 0;
    }
    std::memset(h, 0, kMaxHeaderBytes);

    if (e.level == 0) {
        // Cut to fit, the path would come back as another name: such a header is refused.
        size_t n = static_cast<size_t>(folderLength) + static_cast<size_t>(nameLength);
        if (n > kLevel0NameLimit) {
            return 0;
        }
        uint8_t path[2 * kMaxArchiveNameBytes];
        std::memcpy(path, folder, static_cast<size_t>(folderLength));
        std::memcpy(path + folderLength, name, static_cast<size_t>(nameLength));
        PutCommon(h, e, e.packedSize, DosStamp(e.modified));
        h[0] = static_cast<uint8_t>(n + 22);
        h[19] = static_cast<uint8_t>(e.attributes);
        h[21] = static_cast<uint8_t>(n);
        std::memcpy(h + 22, path, n);
        Put16(h + 22 + n, e.crc);
        h[1] = HeaderChecksum(h + 2, n + 22);
        return static_cast<uint32_t>(n + 24);
    }

    ExtendedWriter ext{h, 0, 0};
    if (e.level == 1) {
        size_t n = static_cast<size_t>(nameLength) > kLevel1NameLimit
                       ? 0
                       : static_cast<size_t>(nameLength);
        h[0] = static_cast<uint8_t>(n + 25);
        h[19] = static_cast<uint8_t>(e.attributes);
        h[21] = static_cast<uint8_t>(n);
        std::memcpy(h + 22, name, n);
        Put16(h + 22 + n, e.crc);
        h[24 + n] = static_cast<uint8_t>(e.osId);
        ext.at = static_cast<uint32_t>(n + 27);
        ext.sizeField = static_cast<uint32_t>(n + 25);
        if (n == 0 && nameLength > 0) {
            ext.Add(0x01, name, static_cast<uint32_t>(nameLength));
        }
    } else {
        h[19] = 0x20;
        Put16(h + 21, e.crc);
        h[23] = static_cast<uint8_t>(e.osId);
        ext.at = 26;
        ext.sizeField = 24;
        ext.Add(0x01, name, static_cast<uint32_t>(nameLength));
    }
    if (folderLength > 0) {
        ext.Add(0x02, folder, static_cast<uint32_t>(folderLength));
    }
    if (unicode) {
        std::string exact = Utf16Bytes(written);
        ext.Add(0x44, reinterpret_cast<const uint8_t*>(exact.data()),
                static_cast<uint32_t>(exact.size()));
        if (e.folder[0] != 0) {
            exact = Utf16Bytes(e.folder);
            ext.Add(0x45, reinterpret_cast<const uint8_t*>(exact.data()),
                    static_cast<uint32_t>(exact.size()));
        }
    }
    if (sizes64) {
        uint8_t sizes[16];
        Put64(sizes, e.packedSize);
        Put64(sizes + 8, e.unpackedSize);
        ext.Add(0x42, sizes, 16);
    }
    if (e.attributes != 0x20) {
        uint8_t attributes[2];
        Put16(attributes, e.attributes & 0xFFFF);
        ext.Add(0x40, attributes, 2);
    }
    uint8_t seed[2];
    Put16(seed, e.headerCrcSeed);
    ext.crcOffset = ext.at + 1;
    ext.Add(0x00, seed, 2);

    if (ext.overflow) {
        return 0;
    }
    uint32_t total = ext.at;
    if (e.level == 1) {
        PutCommon(h, e, e.packedSize + ext.total, DosStamp(e.modified));
        h[19] = static_cast<uint8_t>(e.attributes);
        h[1] = HeaderChecksum(h + 2, h[0]);
    } else {
        uint32_t unix = 0;
        platform::FileTimeToUnix(e.modified, &unix); // clamped values are written as they come
        PutCommon(h, e, e.packedSize, unix);
        h[19] = 0x20;
        if ((total & 0xFF) == 0) {
            h[total++] = 0; // a total whose low byte is 0 gets one padding byte
        }
        Put16(h, total);
    }
    Put16(h + ext.crcOffset, Crc16Update(0, h, static_cast<long>(total)));
    return total;
}

uint32_t WriteHeader(platform::FileHandle file, const CArchiveEntry& entry, bool sizeOnly)
{
    uint8_t header[kMaxHeaderBytes];
    uint32_t size = BuildHeader(entry, header);
    if (size == 0 || sizeOnly) {
        return size;
    }
    uint32_t written = 0;
    if (!platform::WriteFile(file, header, size, &written) || written != size) {
        return 0;
    }
    return size;
}
