// CArchiveEntry, one LZH member as read from its header, and the method identifiers.
#pragma once

#include "archive/PathLimit.h"
#include "platform/FileTime.h"

#include <cstdint>
#include <type_traits>

// Method numbers, one per row of the method table (LzhMethods.h), which says all else.
enum LzhMethod
{
    kMethodUnknown = -1,
    kMethodStored = 0, // -lh0-
    kMethodLh5 = 5,    // 8 KB dictionary
    kMethodLh6 = 6,    // 32 KB dictionary
    kMethodLh7 = 7,    // 64 KB dictionary
    kMethodLh1 = 1,    // -lh1-: adaptive Huffman over a 4 KB window (LHarc 1.x)
    kMethodLh4 = 4,    // -lh4-: the -lh5- format with a 4 KB dictionary
    kMethodLhx = 20,   // -lhx-: the -lh5- format with a larger dictionary
    kMethodLzs = 21,   // -lzs-: LArc's LZSS over a 2 KB window
    kMethodLz5 = 22,   // -lz5-: LArc's LZSS over a 4 KB window
    kMethodLz4 = 23,   // -lz4-: LArc, stored
    kMethodPm0 = 24,   // -pm0-: PMarc, stored
    kMethodPm1 = 25,   // -pm1-: PMarc
    kMethodPm2 = 26,   // -pm2-: PMarc2
    kMethodLk7 = 27,   // -lh7- of LHARK, a method of its own under the standard label
};

// Marks of a record whose stored path is longer than its fields hold: the field keeps the
// start of the text, and extraction refuses the member rather than write it elsewhere.
enum ArchiveEntryFlag : uint32_t
{
    kEntryNameCut = 0x1,   // `name` holds the start of a longer stored name
    kEntryFolderCut = 0x2, // `folder` holds the start of a longer stored folder, then '\'
    kEntrySymlink = 0x4,   // a Unix symbolic link ("name|target"); the target is in linkTarget
    kEntryInWork = 0x8,    // header and data lie in the work file of the pending changes
};

// Records are cleared to zero, filled field by field and copied whole: no pointers here.
struct CArchiveEntry
{
    wchar_t method[6];            // "-lh5-" and the like
    int16_t osId;                 // OS byte of level 1 and 2 headers, sign-extended; 0 for level 0
    uint64_t packedSize;          // compressed bytes after the header (extended headers excluded)
    uint64_t unpackedSize;        // bytes of uncompressed data (above 4 GiB from header 0x42)
    platform::FileTime modified;  // UTC
    uint32_t attributes;          // Windows layout: 0x01 read-only ... 0x10 folder, 0x20 archive
    wchar_t name[kMaxPath];       // last path component; empty for a folder entry
    wchar_t folder[kMaxPath];     // folder part ending in '\', or empty
    uint32_t crc;                 // CRC-16 of the data in the low 16 bits
    uint32_t headerSize;          // level 0: H; level 1: H + extended headers; level 2: total
    int64_t headerPos;            // offset of the header's first byte
    int64_t dataPos;              // offset of the first byte of compressed data
    uint16_t headerCrcSeed;       // header-CRC field value while the CRC is computed; always 0
    int32_t level;                // header level 0, 1, 2 (or 3, read only)
    uint32_t flags;               // ArchiveEntryFlag bits
    wchar_t linkTarget[kMaxPath]; // a link member's target, as stored; empty otherwise
};
static_assert(std::is_trivially_copyable_v<CArchiveEntry>);

// True for "-lhd-" folder entries, and for the empty "-lh0-" members Amiga LhA writes for
// folders (their path ends in a separator).
bool IsFolderEntry(const CArchiveEntry& entry);

// True when the record's name or folder holds only part of what the header stores.
inline bool IsPathCut(const CArchiveEntry& entry)
{
    return (entry.flags & (kEntryNameCut | kEntryFolderCut)) != 0;
}
