// CLzhArchive: the LZH archive object with the settings for new members, and adding.
#pragma once

#include "lzh/LzhReader.h"

#include <cstdint>
#include <string>
#include <unordered_map>

class CLzhArchive : public CLzhReader
{
public:
    // Adds the file or folder destFolder + name (no separator inserted) to the work file,
    // replacing a member of the same stored path (or, in update mode, only when the file is
    // newer). False with status 12, 13 (work file) or 101 (source); the list and the work
    // file are then as they were.
    bool AddFile(const wchar_t* name);
    // Index of the first member whose folder + name equals path exactly, or -1.
    int FindEntry(const wchar_t* path) const;
    // Writes header and data of one member at the end of the work file and completes the
    // entry's method, CRC, sizes and positions. False with status 13 or 101, the work file
    // cut back to where the member began.
    bool WriteMember(platform::FileHandle work, platform::FileHandle source, CArchiveEntry& entry);

    int headerLevel = 2;    // header level of new members
    bool storeOnly = false; // write new members with "-lh0-"
    int methodIndex = 1;    // 0 "-lh5-", 1 "-lh6-", 2 "-lh7-"

private:
    // Below this many members FindEntry walks the list; above, it keeps an index of paths.
    static constexpr int kIndexedMembers = 4096;

    bool StoreData(platform::FileHandle work, platform::FileHandle source, CArchiveEntry& entry);

    mutable std::unordered_map<std::wstring, int> m_pathIndex; // folder + name -> first index
    mutable uint64_t m_indexVersion = ~uint64_t{0};            // the list version it is of
};
