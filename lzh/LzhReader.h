// CLzhReader: an open LZH archive (plain or self-extracting) and its member list, with the
// settings that extraction, test, delete and rewrite share. CLzhArchive adds the settings
// for writing new members.
#pragma once

#include "archive/ArchiveObject.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/LzhMembers.h"
#include "lzh/LzhStatus.h"
#include "platform/File.h"
#include "platform/FolderTree.h"
#include "platform/LeftoverGuard.h"
#include "platform/PrivateHeap.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A self-extractor's archive lies within its first 256 KB.
constexpr uint32_t kSfxWindow = 262144;
// Whether a path names a self-extractor (".exe", in any case).
bool HasExeExtension(const wchar_t* path);

class CLzhReader : public CArchiveObject
{
public:
    CLzhReader();
    virtual ~CLzhReader();
    CLzhReader(const CLzhReader&) = delete;
    CLzhReader& operator=(const CLzhReader&) = delete;

    // Opens path and lists its members. A missing file with allowCreate is a new, empty
    // archive (nothing is created on disk yet). False with status 1-4 leaves it closed.
    // Whatever a failed Close left pending is discarded first.
    bool Open(const wchar_t* path, bool allowCreate) override;
    // Commits pending changes and forgets the archive. The new archive is written beside
    // the old one and renamed over it in one step; on false (status 15, or 31 when another
    // program replaced or rewrote the archive since it was opened) the archive on disk is as
    // it was and the pending changes are kept for another Close (or Abandon). A new archive
    // that ends up with no member is not written at all.
    bool Close() override;
    // Forgets the archive and every pending change; the archive on disk stays as it is.
    void Abandon() override;

    // True when the header scan accounted for every byte of the file: it ended at the end
    // marker (bytes after it are carried along by a rewrite) or at the end of the file after
    // a whole member. Otherwise the members read are listed but the archive is not changed.
    bool IsWhole() const override { return m_whole; }
    // Where the unreadable part of an archive that is not whole begins.
    int64_t UnreadableOffset() const override { return m_unreadableAt; }
    // Whether the open archive may be changed; false with status 19 (not whole) or 20 (the
    // file is read-only) otherwise.
    bool CanChange() override;

    // The members, in archive order: their number, member i's record (filled from the
    // member list; texts longer than a field are kept in part and marked cut), and its whole
    // name and folder.
    int GetEntryCount() const override { return m_members.Count(); }
    CArchiveEntry GetEntry(int index) const { return m_members.Get(index); }
    std::wstring_view GetEntryName(int index) const override { return m_members.Name(index); }
    MemberRow GetRow(int index) const override { return m_members.Row(index); }

    // Writes one member (a record filled by GetEntry) below destFolder, or only checks it in
    // testMode. False with status 6-12 or 16-36. Large members tell the prompt of their
    // progress, and stop (status 23) when it asks. Nothing is written, nor a link followed,
    // outside destFolder.
    bool ExtractEntry(const CArchiveEntry* entry);
    bool ExtractEntry(int index) override;
    // Decodes the member's data from input (at its data) to output (or nowhere when invalid)
    // with the decoder of its method, and checks the CRC-16. kLzhOk, or the status saying
    // how it failed (kLzhUnsupportedMethod, kLzhBrokenData, kLzhTruncatedData,
    // kLzhWriteFailed, kLzhCancelled, kLzhNoMemory, kLzhReadFailed, kLzhCrcMismatch).
    int DecodeEntry(platform::FileHandle input, platform::FileHandle output,
                    const CArchiveEntry& entry);
    // Removes member `index` from the list; its bytes leave the archive at Close. False with
    // status 14 when there is no such member, 19 or 20 when the archive cannot be changed.
    bool DeleteEntry(int index);
    // Removes the members at the given indices (any order) in one pass, or none.
    bool DeleteEntries(std::vector<int> indices) override;
    bool IsWritableFormat() const override { return true; }
    bool HasPendingChanges() const override { return m_changed; }
    StatusCause Cause(int statusValue) const override;
    // Makes the work file that new members are written to, empty, beside the archive, unless
    // there is one. It has no name where the file system allows; elsewhere it is
    // "lhawkNNN.dat" (stale work files of that name, held by no process, go first).
    bool EnsureWorkFile();
    // The first free "lhawk000.dat" ... "lhawk998.dat" in the archive's folder.
    bool MakeWorkFileName(wchar_t (&buffer)[kMaxPath]);
    // Copies count bytes from input (at its position) to output (or nowhere when invalid).
    // Returns the count, or -1 when a read or write came up short.
    int64_t CopyRange(platform::FileHandle output, platform::FileHandle input, int64_t count);

    wchar_t workPath[kMaxPath] = {};                           // a named work file, or empty
    platform::FileHandle archiveFile = platform::kInvalidFile; // invalid for a new archive
    bool skipSystem = false; // extraction skips members with attribute 0x04
    bool skipHidden = false; // extraction skips members with attribute 0x02
    platform::FileHandle workFile = platform::kInvalidFile; // new members, since the last Close
    platform::CPrivateHeap heap{512 * 1024};                // the member list and transfer buffers
    bool ignoreErrors = false; // list members whose header checksum or CRC is wrong
    bool addMode = false;      // true: add (replace regardless of times); false: update

protected:
    std::vector<platform::FileHandle> ProtectedFiles() const override
    {
        return {archiveFile, workFile};
    }
    uint64_t PackedSize(int index) const override;
    CDecodeAhead::Task AheadTask(int index, uint64_t* size, bool* keep) override;
    void FreeEntries();

    CLzhMembers m_members{heap}; // the members in archive order
    bool m_changed = false;      // members were added or deleted since the Open

private:
    bool FindArchiveStart(uint32_t window, bool required);
    // Why extraction refuses the member before anything is asked or made (skipped
    // attributes, a cut path, a ".." component), or kLzhOk.
    int RefusalBeforeWriting(const CArchiveEntry& entry) const;
    bool WriteEntry(const CArchiveEntry& entry, platform::FileHandle source);
    bool ExtractFolder(const CArchiveEntry& entry, platform::CFolderTree& tree,
                       const std::wstring& relative);
    bool ExtractLink(const CArchiveEntry& entry, platform::CFolderTree& tree,
                     const std::wstring& relative);
    // Whether the member may be written at `relative` (the overwrite settings, the user's
    // answers); false with the status set when it is not.
    bool MayWrite(const CArchiveEntry& entry, platform::CFolderTree& tree,
                  const std::wstring& relative, bool* replace);
    bool ExtractFile(const CArchiveEntry& entry, platform::FileHandle source,
                     platform::CFolderTree& tree, const std::wstring& relative);
    bool WriteMembers(platform::FileHandle to);
    platform::FileHandle CreateWorkFile(wchar_t (&path)[kMaxPath], platform::CLeftoverGuard& guard);
    void RemoveStaleWorkFiles();
    bool CommitNewArchive(platform::FileHandle file, wchar_t (&path)[kMaxPath],
                          platform::CLeftoverGuard& guard);
    bool ReadsBackAsListed(platform::FileHandle file);
    void DiscardFile(platform::FileHandle& file, wchar_t (&path)[kMaxPath],
                     platform::CLeftoverGuard& guard);
    void DiscardWorkFile();
    std::wstring OutputPath(const CArchiveEntry& entry) const;
    bool ScanHeaders();
    void ForgetArchive();

    int64_t m_archiveStart = 0;        // bytes before the first member (a self-extractor's program)
    bool m_whole = true;               // the scan accounted for every byte (see IsWhole)
    int64_t m_unreadableAt = 0;        // where reading stopped when the archive is not whole
    int64_t m_trailerStart = 0;        // bytes after the end marker, carried by a rewrite:
    int64_t m_trailerEnd = 0;          //   [m_trailerStart, m_trailerEnd) of the archive
    bool m_readOnly = false;           // the archive file is not writable by its owner, or by us
    std::wstring m_replacePath;        // the file a rewrite replaces (behind the archive's links)
    platform::FileSnapshot m_openedAs; // that file as it was opened (none for a new archive)
    platform::CLeftoverGuard m_workGuard; // removes a named work file should the process die
    bool m_archiveChanged = false;        // the last commit found another program's save
    int m_collisionTag = -1;              // the index of the member being extracted, when known
};
