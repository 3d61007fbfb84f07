// MemberRow: one member's fields as the list shows and sorts them, read straight from an
// archive object's compact member list (no whole record is made, so that sorting a large
// archive stays quick). Texts are whole and live as long as the list is not changed.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <string_view>

struct MemberRow
{
    std::wstring_view name;   // empty for a folder entry
    std::wstring_view folder; // the folders before the name, each ending in '\' or '/'
    uint64_t unpacked;
    uint64_t packed;
    platform::FileTime modified; // UTC when utc is set, else local time
    bool utc;
    uint32_t attributes;
    uint32_t crc;
    char method[6];         // the LZH method identifier ("-lh5-"); empty for a ZIP member
    int zipMethod;          // the ZIP method number
    std::wstring_view link; // a symbolic link's target as stored; empty for anything else
};
