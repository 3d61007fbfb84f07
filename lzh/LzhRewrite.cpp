// The work-file rewrite behind adding and deleting: the first change copies the archive's
// members into a work file beside it; Close compacts the work file when members were
// deleted or replaced, appends the end marker (and whatever followed the old one), gives it
// the archive's permissions, flushes it and renames it over the archive in one step. The
// archive on disk changes only at that rename. The work file has no name until then where
// the file system allows it, so a process that dies leaves nothing behind.
#include "lzh/LzhReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>

using namespace platform;

namespace
{

constexpr int kWorkFileNames = 999;

std::wstring FolderOf(const wchar_t* path)
{
    std::wstring text(path);
    size_t cut = text.find_last_of(L"\\/");
    return cut == std::wstring::npos ? std::wstring() : text.substr(0, cut + 1);
}

std::wstring WorkFileName(const std::wstring& folder, int number)
{
    wchar_t name[16];
    std::swprintf(name, 16, L"lhawk%03d.dat", number);
    return folder + name;
}

} // namespace

bool CLzhReader::MakeWorkFileName(wchar_t (&buffer)[kMaxPath])
{
    std::wstring folder = FolderOf(m_replacePath.c_str());
    for (int i = 0; i < kWorkFileNames; ++i) {
        std::wstring candidate = WorkFileName(folder, i);
        if (candidate.size() >= static_cast<size_t>(kMaxPath)) {
            return false;
        }
        // Free only when no file of that name exists; our own open work file is never free.
        if (GetFileAttributes(candidate) == kInvalidAttributes && LastFileError() == ENOENT) {
            std::wmemcpy(buffer, candidate.c_str(), candidate.size() + 1);
            return true;
        }
    }
    return false;
}

int64_t CLzhReader::CopyRange(FileHandle output, FileHandle input, int64_t count)
{
    if (output != kInvalidFile) {
        return CopyFileData(output, input, count) == count ? count : -1;
    }
    // Only reading: the bytes must be there; the position moves past them.
    int64_t at = 0;
    uint64_t size = 0;
    if (!SeekFile(input, 0, SeekOrigin::Current, &at) || !GetFileSize(input, &size) ||
        count > static_cast<int64_t>(size) - at || !SeekFile(input, count, SeekOrigin::Current)) {
        return -1;
    }
    return count;
}

// Copies `prefix` bytes from the start of `from` (a self-extractor's program), then every
// member in list order, into `to`; members that follow each other in `from` go in one copy.
// The records move to their new places only when all of it succeeded.
bool CLzhReader::CopyMembers(FileHandle to, FileHandle from, int64_t prefix)
{
    if (!SeekFile(from, 0, SeekOrigin::Begin) || CopyRange(to, from, prefix) != prefix) {
        return false;
    }
    int count = m_members.Count();
    for (int i = 0; i < count;) {
        int64_t start = m_members.HeaderPos(i);
        int64_t end = m_members.DataPos(i) + m_members.PackedSize(i);
        int next = i + 1;
        while (next < count && m_members.HeaderPos(next) == end) {
            end = m_members.DataPos(next) + m_members.PackedSize(next);
            ++next;
        }
        if (!SeekFile(from, start, SeekOrigin::Begin) ||
            CopyRange(to, from, end - start) != end - start) {
            return false;
        }
        i = next;
    }
    int64_t at = prefix;
    for (int i = 0; i < count; ++i) {
        int64_t length = m_members.DataPos(i) + m_members.PackedSize(i) - m_members.HeaderPos(i);
        m_members.Move(i, at - m_members.HeaderPos(i));
        at += length;
    }
    return true;
}

// Named work files are held with an exclusive share lock while in use: one that no process
// holds was left by a process that died, and goes.
void CLzhReader::RemoveStaleWorkFiles()
{
    std::wstring folder = FolderOf(m_replacePath.c_str());
    for (int i = 0; i < kWorkFileNames; ++i) {
        DeleteUnlockedFile(WorkFileName(folder, i));
    }
}

// An empty work file in the archive's folder: unnamed (path left empty) where the file
// system makes such files, else under the first free "lhawkNNN.dat". Stale named ones go
// first; where work files have no name, a file of such a name is not ours to remove.
FileHandle CLzhReader::CreateWorkFile(wchar_t (&path)[kMaxPath], CLeftoverGuard& guard)
{
    path[0] = 0;
    FileHandle file = CreateUnnamedFile(FolderOf(m_replacePath.c_str()));
    if (file != kInvalidFile || LastFileError() != EOPNOTSUPP) {
        return file;
    }
    RemoveStaleWorkFiles();
    if (!MakeWorkFileName(path)) {
        path[0] = 0;
        return kInvalidFile;
    }
    file = OpenFile(path, kAccessReadWrite, FileShare::None, FileDisposition::CreateNew);
    if (file == kInvalidFile) {
        path[0] = 0;
    } else if (!guard.Watch(file, path)) {
        // Without a watcher, a named copy of the archive could outlive a killed process.
        CloseFile(file);
        DeleteFile(path);
        path[0] = 0;
        file = kInvalidFile;
    }
    return file;
}

void CLzhReader::DiscardWorkFile()
{
    if (workFile != kInvalidFile) {
        CloseFile(workFile);
        workFile = kInvalidFile;
    }
    if (workPath[0] != 0) {
        DeleteFile(workPath);
        workPath[0] = 0;
    }
    m_workGuard.Release();
}

bool CLzhReader::PrepareWorkFile()
{
    workFile = CreateWorkFile(workPath, m_workGuard);
    if (workFile == kInvalidFile) {
        return false;
    }
    m_workPrefix = 0;
    if (archiveFile != kInvalidFile) {
        // The program part of a self-extractor is carried over, so that the rewritten
        // archive still runs and still opens here.
        if (!CopyMembers(workFile, archiveFile, m_archiveStart)) {
            DiscardWorkFile();
            return false;
        }
        m_workPrefix = m_archiveStart;
    }
    compactPending = false; // the work file holds exactly the listed members
    return true;
}

bool CLzhReader::DeleteEntry(int index)
{
    return DeleteEntries({index});
}

bool CLzhReader::DeleteEntries(std::vector<int> indices)
{
    std::sort(indices.begin(), indices.end());
    indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
    if (!indices.empty() && (indices.front() < 0 || indices.back() >= m_members.Count())) {
        status = kLzhEntryNotFound;
        return false;
    }
    if (!CanChange()) {
        return false;
    }
    // Without a work file the records only leave the list: Close then copies the remaining
    // members straight from the archive, once, instead of copying all and compacting.
    m_members.Remove(indices);
    compactPending = compactPending || !indices.empty();
    return true;
}

// Whether the completed work file opens as the list says: from the same place (a
// self-extractor's program may hold header-like bytes that a new end of the archive could
// make readable), with as many members, every byte accounted for.
bool CLzhReader::ReadsBackAsListed()
{
    uint64_t size = 0;
    if (!GetFileSize(workFile, &size)) {
        return false;
    }
    CLzhReader check;
    check.archiveFile = workFile; // borrowed
    check.ignoreErrors = ignoreErrors;
    uint32_t window = size < kSfxWindow ? static_cast<uint32_t>(size) : kSfxWindow;
    int64_t start = -1;
    bool listed = check.FindArchiveStart(window, HasExeExtension(archivePath)) &&
                  SeekFile(workFile, 0, SeekOrigin::Current, &start) && check.ScanHeaders();
    bool same = listed && start == m_workPrefix && check.IsWhole() &&
                check.GetEntryCount() == GetEntryCount();
    check.archiveFile = kInvalidFile;
    return same;
}

// Completes the work file (end marker, the bytes that followed the old end marker, the
// archive's permissions), flushes it and puts it in the archive's place. On failure the
// work file is as it was before, ready for another try.
bool CLzhReader::CommitWorkFile()
{
    int64_t end = 0;
    if (!SeekFile(workFile, 0, SeekOrigin::End, &end)) {
        return false;
    }
    static const uint8_t kEndMarker = 0;
    uint32_t written = 0;
    int64_t trailer = m_trailerEnd - m_trailerStart;
    bool ok = WriteFile(workFile, &kEndMarker, 1, &written) && written == 1;
    if (ok && trailer > 0 && archiveFile != kInvalidFile) {
        ok = SeekFile(archiveFile, m_trailerStart, SeekOrigin::Begin) &&
             CopyRange(workFile, archiveFile, trailer) == trailer;
    }
    ok = ok && ReadsBackAsListed();
    if (ok && archiveFile != kInvalidFile) {
        ok = CopyFilePermissions(archiveFile, workFile);
    }
    ok = ok && FlushFile(workFile);
    // The file to be replaced must still be the one that was opened, as it was: a program
    // that saved it meanwhile keeps its version, and these changes stay pending.
    FileSnapshot now;
    if (ok && (!TakeSnapshot(m_replacePath, &now) || !(now == m_openedAs))) {
        m_archiveChanged = true;
        ok = false;
    }
    if (ok && workPath[0] == 0) {
        // The unnamed work file gets a name just before it replaces the archive; from then
        // until the rename a watcher removes it should this process be killed. A file can be
        // linked in only once: should the replace fail, it keeps that name (and its watcher)
        // for the next try.
        ok = MakeWorkFileName(workPath) && m_workGuard.Watch(workFile, workPath) &&
             LinkUnnamedFile(workFile, workPath);
        if (!ok) {
            workPath[0] = 0;
            m_workGuard.Release();
        }
    }
    if (ok) {
        ok = ReplaceFile(workPath, m_replacePath);
        if (ok) {
            workPath[0] = 0;
            m_workGuard.Release();
        }
    }
    if (ok) {
        return true;
    }
    // Take the marker back, so that a later Close starts from the same work file; should
    // that fail, a compaction will leave it out.
    if (!SeekFile(workFile, end, SeekOrigin::Begin) || !SetEndOfFile(workFile)) {
        compactPending = true;
    }
    return false;
}

bool CLzhReader::Close()
{
    if (archiveFile == kInvalidFile && m_members.Count() == 0) {
        // A new archive that got no member (every add failed, or was taken back) is not made.
        Abandon();
        return true;
    }
    if (workFile == kInvalidFile && compactPending && archiveFile != kInvalidFile) {
        // Members were only deleted: the new archive is the archive's remaining members.
        if (!PrepareWorkFile()) {
            status = kLzhRewriteFailed;
            return false;
        }
    }
    if (workFile == kInvalidFile) {
        ForgetArchive();
        return true;
    }
    if (compactPending) {
        wchar_t second[kMaxPath];
        CLeftoverGuard secondGuard;
        FileHandle compacted = CreateWorkFile(second, secondGuard);
        if (compacted == kInvalidFile) {
            status = kLzhRewriteFailed;
            return false;
        }
        if (!CopyMembers(compacted, workFile, m_workPrefix)) {
            CloseFile(compacted);
            if (second[0] != 0) {
                DeleteFile(second);
            }
            status = kLzhRewriteFailed;
            return false;
        }
        DiscardWorkFile();
        m_workGuard.Take(secondGuard);
        workFile = compacted;
        std::wmemcpy(workPath, second, kMaxPath);
        compactPending = false;
    }
    // The archive stays open (and locked) until the new one has replaced it.
    m_archiveChanged = false;
    if (!CommitWorkFile()) {
        status = m_archiveChanged ? kLzhArchiveChanged : kLzhRewriteFailed;
        return false;
    }
    CloseFile(workFile);
    workFile = kInvalidFile;
    ForgetArchive();
    return true;
}
