// ReadHeader: one LZH member header of level 0, 1, 2 or 3 with its extended headers.
#pragma once

#include "archive/NameEncoding.h"
#include "lzh/ArchiveEntry.h"
#include "platform/File.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Why ReadHeader stopped (or 4: it read a complete header whose checksum or CRC is wrong).
enum HeaderStatus
{
    kHeaderOk = 0,        // a header, or the zero byte that ends an archive
    kHeaderMalformed = 2, // cut short or malformed
    kHeaderBadLevel = 3,  // level above 3
    kHeaderChecksum = 4,  // checksum (levels 0, 1) or header CRC mismatch; entry complete
    kHeaderEndOfFile = 6, // no byte left before the header
};

// Level 0 and 1 checksum: the sum of the bytes modulo 256.
uint8_t HeaderChecksum(const uint8_t* bytes, size_t count);

// The texts of a header whole, where the record's fields may hold only their start.
struct LzhHeaderTexts
{
    std::wstring folder; // ending in '\', or empty
    std::wstring name;
    std::wstring linkTarget; // a link member's target
};

// Reads the header at the file's position into entry (and its whole texts into texts when
// given), its byte names read as `encoding` says. True with headerStatus 0 or 4 and the file
// at the member's data; false with headerStatus saying why.
bool ReadHeader(platform::FileHandle file, CArchiveEntry& entry, int& headerStatus,
                LzhHeaderTexts* texts = nullptr, NameEncoding encoding = NameEncoding::Auto);

// Fills the record's name, folder and link target from whole texts, keeping the start of a
// text longer than its field and marking it cut (kEntryNameCut, kEntryFolderCut).
void FillEntryTexts(std::wstring_view folder, std::wstring_view name, std::wstring_view target,
                    CArchiveEntry& entry);
