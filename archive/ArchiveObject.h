// CArchiveObject: the archive object the document and the view talk to, whatever the format:
// open and close, the members and their list rows, extraction and test of one member, whether
// the archive may change and whether changes wait, and the cause of a status in words both
// formats share. It carries the behaviour fields the commands set before they extract or
// test, the prompt, the status of the last failure, and the extraction run that holds the
// destination open while members are written below it.
#pragma once

#include "archive/ArchivePrompt.h"
#include "archive/DecodeAhead.h"
#include "archive/MemberOutput.h"
#include "archive/MemberRow.h"
#include "archive/NameEncoding.h"
#include "archive/PathLimit.h"
#include "archive/StatusCause.h"
#include "platform/File.h"
#include "platform/FolderTree.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CArchiveObject
{
public:
    CArchiveObject() = default;
    virtual ~CArchiveObject() = default;
    CArchiveObject(const CArchiveObject&) = delete;
    CArchiveObject& operator=(const CArchiveObject&) = delete;

    void SetPrompt(CArchivePrompt* newPrompt) { prompt = newPrompt; }

    // Opens path and lists its members; with allowCreate a missing file is a new, empty
    // archive where the format is written. False with the status set leaves it closed.
    virtual bool Open(const wchar_t* path, bool allowCreate) = 0;
    // Writes what waits (changes to an archive of a written format) and forgets the archive;
    // false when the changes could not be written: they stay, and the file is as it was.
    virtual bool Close() = 0;
    // Forgets the archive and whatever waits; the file stays as it is.
    virtual void Abandon() = 0;

    // The members, in archive order, and the fields the list shows of each.
    virtual int GetEntryCount() const = 0;
    virtual MemberRow GetRow(int index) const = 0;
    // A member's name (empty for a folder entry), without making its whole row.
    virtual std::wstring_view GetEntryName(int index) const = 0;
    // Writes member `index` below destFolder (or only checks it in testMode); false with the
    // format's status set.
    virtual bool ExtractEntry(int index) = 0;

    // Whether this program writes the format at all (LZH), so that changes may be offered.
    virtual bool IsWritableFormat() const = 0;
    // Whether the open archive may be changed now; false with the status set.
    virtual bool CanChange() = 0;
    // Removes the members at the given indices (any order) in one pass, or none.
    virtual bool DeleteEntries(std::vector<int> indices) = 0;
    // Whether changes wait for Close.
    virtual bool HasPendingChanges() const = 0;
    // Whether every byte of the file was accounted for when it was read; where reading
    // stopped otherwise.
    virtual bool IsWhole() const { return true; }
    virtual int64_t UnreadableOffset() const { return 0; }

    // The cause of a status of this format, and of the last one.
    virtual StatusCause Cause(int statusValue) const = 0;
    StatusCause LastCause() const { return Cause(status); }

    // An extraction run: destFolder is opened once, when the first member is looked at or
    // written, and every member of the run is made below that folder, whatever happens to its
    // path meanwhile. With ownLastFolder, the last folder of destFolder is the program's own
    // (the one named after the archive): it is made only when something is written there, and
    // never followed when a link stands in its place. Without a run, every extraction of a
    // member is a run of its own.
    void BeginExtraction(bool ownLastFolder = false);
    void EndExtraction();
    // The file, folder or link the last successful extraction of a member wrote (a device
    // path below destFolder); empty after any other outcome.
    const std::wstring& LastOutput() const { return m_lastOutput; }
    // The tag (the member index its format gave) of the member of this run whose output a
    // member collided with; valid after a failure for that reason.
    int CollidedWith() const { return m_collidedWith; }

    // The members the run about to begin takes (extraction or test), in its order: with more
    // than one worker they are decoded ahead (set the behaviour fields and, to extract, begin
    // the extraction first). EndPlan, EndExtraction, Close and Abandon end it; members
    // extracted otherwise meanwhile are decoded as always.
    void PlanRun(std::vector<int> order);
    void EndPlan();

    CArchivePrompt* prompt = nullptr;   // where questions go; not owned
    int status = 0;                     // reason of the last failure (the format's statuses)
    wchar_t archivePath[kMaxPath] = {}; // the open archive
    wchar_t destFolder[kMaxPath] = {};  // the extraction destination
    bool keepFolders = false;           // recreate the members' folders below destFolder
    bool testMode = false;              // members are only checked, nothing is written
    bool lowercase = false;             // output paths in lower case (the member's part)
    bool resetReadOnly = false;         // clear read-only on extracted files
    bool overwriteSilently = false;     // replace existing files without asking
    bool askOnlyIfNewer = false;        // ask only when the existing file is newer
    NameEncoding nameEncoding = NameEncoding::Auto; // how member names are read; before Open

protected:
    // Scope of one member's extraction: the run's destination, or a run of its own.
    class COutputScope
    {
    public:
        explicit COutputScope(CArchiveObject& owner);
        ~COutputScope();
        COutputScope(const COutputScope&) = delete;
        COutputScope& operator=(const COutputScope&) = delete;
        platform::CFolderTree& Tree() { return m_owner.m_tree; }

    private:
        CArchiveObject& m_owner;
        bool m_own;
    };

    // Where a member of local time `memberLocal`, size `size` and list name `name` may be
    // written at `relative` of the run's tree (the rules, the user's answers, collisions with
    // this run's own outputs); on Collision, CollidedWith() names the other member.
    PlaceVerdict DecidePlace(platform::CFolderTree& tree, const std::wstring& relative,
                             const OverwriteQuestion& member, platform::FileTime memberLocal,
                             bool skipIfNotOlder, bool* replace);
    // Records `relative` as the last output.
    void SetLastOutput(const std::wstring& relative);
    void ClearLastOutput() { m_lastOutput.clear(); }

    // The files no output may replace: the open archive, and a work file of its own.
    virtual std::vector<platform::FileHandle> ProtectedFiles() const = 0;

    // The result of member `index` when a worker decoded it ahead of the run.
    bool TakeAhead(int index, CDecodeAhead::Result* result);
    // A worker's decode of member `index` (its size in *size, whether its bytes are kept in
    // *keep), or none when the run is to decode it itself: a member that is not a file, that
    // the run will refuse before decoding, that may have to wait for a question (something
    // stands in its place), or that is too large to hold. Called on the run's thread.
    virtual CDecodeAhead::Task AheadTask(int index, uint64_t* size, bool* keep);
    // Member `index`'s compressed size, by which small members stay with the run; unknown:
    // as large as can be.
    virtual uint64_t PackedSize(int /*index*/) const { return UINT64_MAX; }
    // What stands at `relative` in the run's destination (for AheadTask).
    platform::TreeEntry LookInRun(const std::wstring& relative);
    bool InRun() const { return m_inRun; }

private:
    void OpenTree(bool ownLastFolder);
    // Queues the planned members up to the workers' reach.
    void QueueAhead();

    platform::CFolderTree m_tree;
    bool m_inRun = false;
    std::wstring m_lastOutput;
    int m_collidedWith = -1;
    std::unique_ptr<CDecodeAhead> m_ahead;
    std::vector<int> m_plan;
    size_t m_planned = 0; // the members of m_plan looked at for queueing
    unsigned m_aheadThreads = 0;
};
