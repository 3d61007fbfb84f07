// CLzhArchive: the LZH archive object with the settings for new members, and adding.
#pragma once

#include "lzh/LzhMethods.h"
#include "lzh/LzhPrecompressor.h"
#include "lzh/LzhReader.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CLzhArchive : public CLzhReader
{
public:
    // Adds the file or folder destFolder + name (no separator inserted) to the work file,
    // replacing a member of the same stored path (or, in update mode, only when the file is
    // newer). False with status 12, 13 (work file) or 101 (source); the list and the work
    // file are then as they were.
    bool AddFile(const wchar_t* name);
    // AddFile storing the member under storedPath (its folders kept as keepFolders says)
    // instead of the source path.
    bool AddFile(const wchar_t* name, const wchar_t* storedPath);
    // Index of the first member whose folder + name equals path exactly, or -1.
    int FindEntry(const wchar_t* path) const;

    // One add of many files (a drop, a typed command): a second file that would be stored
    // under a path the same add stored already is refused (status 32, CollidedSource() names
    // the first), never put over it.
    void BeginAddRun();
    void EndAddRun();
    const std::wstring& CollidedSource() const { return m_collidedSource; }
    // Writes header and data of one member at the end of the work file and completes the
    // entry's method, CRC, sizes and positions; with `ready`, the data compressed ahead is
    // written instead of compressing the source. False with status 13 or 101, the work file
    // cut back to where the member began.
    bool WriteMember(platform::FileHandle work, platform::FileHandle source, CArchiveEntry& entry,
                     const CLzhPrecompressor::Result* ready = nullptr);

    // Compresses these files (device paths, in the order the adds will come to them) ahead
    // of the adds, on every core; AddFile then writes the bytes made ahead, which are those it
    // would make itself. A file that changed since is compressed again. Until StopAhead.
    // threads 0: one per core (none on a single core).
    void CompressAhead(std::vector<std::wstring> sources, unsigned threads = 0);
    void StopAhead();
    // Waits until the files listed to CompressAhead have been compressed (as far as the
    // memory bound lets it run ahead).
    void FinishAhead();
    // How many members the adds of this object wrote from bytes made ahead.
    int MembersMadeAhead() const { return m_membersMadeAhead; }
    // The method new members are compressed with: the writable compressed rows of the
    // method table in order ("-lh5-", "-lh6-", "-lh7-") by methodIndex.
    const LzhMethodInfo& Method() const;

    int headerLevel = 2;    // header level of new members
    bool storeOnly = false; // write new members with "-lh0-"
    int methodIndex = 1;    // 0 "-lh5-", 1 "-lh6-", 2 "-lh7-"

private:
    // Below this many members FindEntry walks the list; above, it keeps an index of paths.
    static constexpr int kIndexedMembers = 4096;

    bool StoreData(platform::FileHandle work, platform::FileHandle source, CArchiveEntry& entry);

    std::unique_ptr<CLzhPrecompressor> m_precompressor; // compression ahead of the adds, or none
    int m_membersMadeAhead = 0;

    // Whether the file is the open archive or its work file.
    bool IsOwnFile(uint64_t device, uint64_t inode) const;
    // The members after `first` whose path is also `path` (an archive may hold a name twice).
    std::vector<int> OtherCopies(int first, std::wstring_view path) const;

    mutable std::unordered_map<std::wstring, int> m_pathIndex; // folder + name -> first index
    mutable uint64_t m_indexVersion = ~uint64_t{0};            // the list version it is of
    mutable bool m_duplicatePaths = false; // the index met a path held by two members

    bool m_inAddRun = false;
    std::unordered_map<std::wstring, std::wstring> m_addRun; // stored path -> source, this run
    std::wstring m_collidedSource;
};
