// CLzhReader: an open LZH archive (plain or self-extracting) and its member list, with the
// settings that extraction, test, delete and rewrite share. CLzhArchive adds the settings
// for writing new members.
#pragma once

#include "lzh/ArchiveEntry.h"
#include "lzh/ArchivePrompt.h"
#include "lzh/LzhStatus.h"
#include "platform/File.h"
#include "platform/PrivateHeap.h"

#include <cstdint>
#include <string>

class CLzhReader
{
public:
    CLzhReader();
    virtual ~CLzhReader();
    CLzhReader(const CLzhReader&) = delete;
    CLzhReader& operator=(const CLzhReader&) = delete;

    // Opens path and lists its members. A missing file with allowCreate is a new, empty
    // archive (nothing is created on disk yet). False with status 1-4 leaves it closed.
    bool Open(const wchar_t* path, bool allowCreate);
    // Commits pending changes and forgets the archive. The new archive is written beside
    // the old one and renamed over it in one step; on false (status 15) the archive on disk
    // is as it was and the pending changes are kept.
    bool Close();
    void SetPrompt(CArchivePrompt* newPrompt) { prompt = newPrompt; }

    // Writes one member (a record of `entries`) below destFolder, or only checks it in
    // testMode. False with status 6-12, 16 or 17; a failed seek leaves status unchanged.
    bool ExtractEntry(const CArchiveEntry* entry);
    // Copies or decodes the member's data from input (at its data) to output (or nowhere
    // when invalid) and returns the CRC-16 of the bytes produced.
    uint16_t DecodeEntry(platform::FileHandle input, platform::FileHandle output,
                         const CArchiveEntry& entry, bool& ok, bool& unsupported);
    // Removes a record of `entries` from the list; its bytes leave the archive at Close.
    // False with status 14 when the record is not one of the list.
    bool DeleteEntry(const CArchiveEntry* entry);
    // Makes the work file beside the archive and copies the archive's members (and the
    // program part of a self-extractor) into it.
    bool PrepareWorkFile();
    // The first free "lhawk000.dat" ... "lhawk998.dat" in the archive's folder.
    bool MakeWorkFileName(wchar_t (&buffer)[kMaxPath]);
    // Copies count bytes from input (at its position) to output (or nowhere when invalid).
    // Returns the count, or -1 when a read or write came up short.
    int64_t CopyRange(platform::FileHandle output, platform::FileHandle input, int64_t count);
    // Copies count bytes from input to output (or nowhere when invalid) with their CRC-16.
    // Returns the count, or -1 when a read or a write came up short.
    int64_t CopyWithCrc(platform::FileHandle output, platform::FileHandle input, uint32_t count,
                        uint16_t& crc);

    CArchivePrompt* prompt = nullptr; // where questions go; not owned
    int status = kLzhOk;              // reason of the last failure (LzhStatus)
    wchar_t workPath[kMaxPath] = {};  // work file of a pending rewrite
    wchar_t archivePath[kMaxPath] = {};
    platform::FileHandle archiveFile = platform::kInvalidFile; // invalid for a new archive
    bool compactPending = false; // members were deleted or replaced since the work file
    bool askOnlyIfNewer = false; // overwrite question only if the existing file is newer
    bool skipSystem = false;     // extraction skips members with attribute 0x04
    bool skipHidden = false;     // extraction skips members with attribute 0x02
    platform::FileHandle workFile = platform::kInvalidFile;
    platform::CPrivateHeap heap{512 * 1024}; // entry array and transfer buffers
    bool overwriteSilently = false;          // overwrite existing files without asking
    wchar_t destFolder[kMaxPath] = {};       // extraction destination, base folder of added names
    CArchiveEntry* entries = nullptr;        // members in archive order
    int entryCount = 0;
    bool testMode = false;      // extraction only checks the data
    bool ignoreErrors = false;  // list members whose header checksum or CRC is wrong
    bool lowercase = false;     // output paths in lower case
    bool addMode = false;       // true: add (replace regardless of times); false: update
    bool keepFolders = false;   // use stored folders when extracting and adding
    bool resetReadOnly = false; // clear read-only on extracted files

protected:
    // Grows the array by one record and appends a copy of entry, growing the array geometrically;
    // false when memory runs out.
    bool AppendEntry(const CArchiveEntry& entry);
    void FreeEntries();

    bool m_writeFailed = false; // the last copy or decode could not write all of its output

private:
    bool FindSfxArchive(uint32_t window);
    bool ExtractFolder(const CArchiveEntry& entry, const std::wstring& outputPath);
    bool CopyMembers(platform::FileHandle to, platform::FileHandle from, int64_t prefix);
    bool WriteNewArchive(platform::FileHandle file);
    void DiscardWorkFile();
    bool MayReplaceExisting(const CArchiveEntry& entry, const std::wstring& outputPath);
    std::wstring OutputPath(const CArchiveEntry& entry) const;
    bool ScanHeaders();

    int m_entryCapacity = 0;    // records allocated in entries
    int64_t m_archiveStart = 0; // bytes before the first member (a self-extractor's program)
    int64_t m_workPrefix = 0;   // the same bytes at the start of the work file
};
