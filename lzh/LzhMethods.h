// The method table: everything this program knows about an LZH method, in one row each (its
// identifier, number, dictionary, whether it is stored or written here, and its decoder);
// every other place asks the table. A new method is a row and a decoder.
#pragma once

#include "lzh/ArchiveEntry.h"
#include "lzh/LzhMethodDecoder.h"

#include <cstdint>
#include <memory>
#include <string_view>

struct LzhMethodInfo
{
    const wchar_t* id; // as the header holds it: "-lh5-"
    LzhMethod number;  // this program's number of the method
    int dictBits;      // history the method reaches, in bits; 0 for stored data
    bool stored;       // the data are the member's bytes as they are
    bool writable;     // new members may be written with it
    const char* maker; // who wrote it, for the reader of this table and of failures
    // A decoder of the method's data; null when this program has none (it lists the member
    // and reports it unsupported).
    std::unique_ptr<CLzhMethodDecoder> (*makeDecoder)(const LzhMethodInfo& method);

    bool Readable() const { return makeDecoder != nullptr; }
};

// The row of an identifier (exact and case-sensitive), or null. "-lh7-" is always the
// standard row here; the member's header decides between it and LHARK's (LzhMethodOf).
const LzhMethodInfo* FindLzhMethod(std::wstring_view id);
// The row of a member: its identifier's, except that an "-lh7-" member of a level 1 header
// whose OS id is 0x20 (a space) is LHARK's method of that label. Null for an identifier the
// table does not hold.
const LzhMethodInfo* LzhMethodOf(const CArchiveEntry& entry);
const LzhMethodInfo* LzhMethodOf(std::wstring_view id, int headerLevel, int osId);
// The row of a method number; null for a number of no row.
const LzhMethodInfo* LzhMethodByNumber(int number);

// Whether five header bytes name an LZH method, for the scan that finds the first header:
// the table's identifiers, and any "-lh" with a digit (methods of the family not read here).
bool LooksLikeLzhMethod(const uint8_t* id);

// The decoder of a readable row, one per row and thread, made on first use (windows and
// tables are reused from member to member); null for a row without one, or when it could
// not be made.
CLzhMethodDecoder* LzhThreadDecoder(const LzhMethodInfo& method);
