// The pending changes of an LZH archive and the rewrite that puts them in place. A change only
// records what the new archive is made of: the archive's members that stay (ranges of the
// archive file) and new members, written once at the end of a work file beside the archive.
// Close writes the new archive once, into another file beside the archive: the program part
// of a self-extractor, every member in list order (ranges that follow each other in one file
// go in one copy), the end marker and whatever followed the old one. It checks that the
// result reads back as listed, gives it the archive's permissions, flushes it and renames it
// over the archive in one step: the archive on disk changes only at that rename. Work files
// have no name where the file system allows; a named one is watched, so that it never
// outlives a process that is killed.
#include "lzh/LzhReader.h"
#include "platform/DevicePath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

using namespace platform;

namespace
{

constexpr int kWorkFileNames = 999;

std::wstring WorkFileName(const std::wstring& folder, int number)
{
    wchar_t name[16];
    std::swprintf(name, 16, L"lhawk%03d.dat", number);
    return folder + name;
}

} // namespace

bool CLzhReader::MakeWorkFileName(wchar_t (&buffer)[kMaxPath])
{
    std::wstring folder(FolderPart(m_replacePath));
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

// Named work files are held with an exclusive share lock while in use: one that no process
// holds was left by a process that died, and goes.
void CLzhReader::RemoveStaleWorkFiles()
{
    std::wstring folder(FolderPart(m_replacePath));
    for (int i = 0; i < kWorkFileNames; ++i) {
        DeleteUnlockedFile(WorkFileName(folder, i));
    }
}

// An empty work file in the archive's folder: unnamed (path left empty) where the file
// system makes such files, else under the first free "lhawkNNN.dat", watched by `guard`.
// Stale named ones go first; where work files have no name, a file of such a name is not
// ours to remove.
FileHandle CLzhReader::CreateWorkFile(wchar_t (&path)[kMaxPath], CLeftoverGuard& guard)
{
    path[0] = 0;
    FileHandle file = CreateUnnamedFile(std::wstring(FolderPart(m_replacePath)));
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

void CLzhReader::DiscardFile(FileHandle& file, wchar_t (&path)[kMaxPath], CLeftoverGuard& guard)
{
    if (file != kInvalidFile) {
        CloseFile(file);
        file = kInvalidFile;
    }
    if (path[0] != 0) {
        DeleteFile(path);
        path[0] = 0;
    }
    guard.Release();
}

void CLzhReader::DiscardWorkFile()
{
    DiscardFile(workFile, workPath, m_workGuard);
    m_changed = false;
}

bool CLzhReader::EnsureWorkFile()
{
    if (workFile == kInvalidFile) {
        workFile = CreateWorkFile(workPath, m_workGuard);
    }
    return workFile != kInvalidFile;
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
    // The records only leave the list: Close copies the members that stay, once.
    m_members.Remove(indices);
    m_changed = m_changed || !indices.empty();
    return true;
}

// Copies the program part of a self-extractor, then every member in list order, from the
// archive or the work file into `to`; members that follow each other in one file go in one
// copy.
bool CLzhReader::WriteMembers(FileHandle to)
{
    if (archiveFile != kInvalidFile &&
        (!SeekFile(archiveFile, 0, SeekOrigin::Begin) ||
         CopyRange(to, archiveFile, m_archiveStart) != m_archiveStart)) {
        return false;
    }
    int count = m_members.Count();
    for (int i = 0; i < count;) {
        bool inWork = m_members.InWork(i);
        FileHandle from = inWork ? workFile : archiveFile;
        int64_t start = m_members.HeaderPos(i);
        int64_t end = m_members.DataPos(i) + m_members.PackedSize(i);
        int next = i + 1;
        while (next < count && m_members.InWork(next) == inWork &&
               m_members.HeaderPos(next) == end) {
            end = m_members.DataPos(next) + m_members.PackedSize(next);
            ++next;
        }
        if (from == kInvalidFile || !SeekFile(from, start, SeekOrigin::Begin) ||
            CopyRange(to, from, end - start) != end - start) {
            return false;
        }
        i = next;
    }
    return true;
}

// Whether the written file opens as the list says: from the same place (a self-extractor's
// program may hold header-like bytes that a new end of the archive could make readable), with
// as many members, every byte accounted for.
bool CLzhReader::ReadsBackAsListed(FileHandle file)
{
    uint64_t size = 0;
    if (!GetFileSize(file, &size)) {
        return false;
    }
    CLzhReader check;
    check.archiveFile = file; // borrowed
    check.ignoreErrors = ignoreErrors;
    check.nameEncoding = nameEncoding;
    uint32_t window = size < kSfxWindow ? static_cast<uint32_t>(size) : kSfxWindow;
    int64_t start = -1;
    bool listed = check.FindArchiveStart(window, HasExeExtension(archivePath)) &&
                  SeekFile(file, 0, SeekOrigin::Current, &start) && check.ScanHeaders();
    bool same = listed && start == (archiveFile != kInvalidFile ? m_archiveStart : 0) &&
                check.IsWhole() && check.GetEntryCount() == GetEntryCount();
    check.archiveFile = kInvalidFile;
    return same;
}

// Completes the new archive written into `file` (end marker, the bytes that followed the old
// end marker, the archive's permissions), flushes it and puts it in the archive's place.
bool CLzhReader::CommitNewArchive(FileHandle file, wchar_t (&path)[kMaxPath], CLeftoverGuard& guard)
{
    static const uint8_t kEndMarker = 0;
    uint32_t written = 0;
    int64_t trailer = m_trailerEnd - m_trailerStart;
    bool ok = WriteFile(file, &kEndMarker, 1, &written) && written == 1;
    if (ok && trailer > 0 && archiveFile != kInvalidFile) {
        ok = SeekFile(archiveFile, m_trailerStart, SeekOrigin::Begin) &&
             CopyRange(file, archiveFile, trailer) == trailer;
    }
    ok = ok && ReadsBackAsListed(file);
    if (ok && archiveFile != kInvalidFile) {
        ok = CopyFilePermissions(archiveFile, file);
    }
    ok = ok && FlushFile(file);
    // The file to be replaced must still be the one that was opened, as it was: a program
    // that saved it meanwhile keeps its version, and these changes stay pending.
    FileSnapshot now;
    if (ok && (!TakeSnapshot(m_replacePath, &now) || !(now == m_openedAs))) {
        m_archiveChanged = true;
        ok = false;
    }
    if (ok && path[0] == 0) {
        // The unnamed file gets a name just before it replaces the archive; from then until
        // the rename a watcher removes it should this process be killed.
        // The watcher also holds the archive it replaces, so that the old archive's blocks
        // are given back there, after this process is done.
        ok = MakeWorkFileName(path) && guard.Watch(file, path, archiveFile) &&
             LinkUnnamedFile(file, path);
        if (!ok && path[0] != 0 && GetFileAttributes(path) == kInvalidAttributes) {
            path[0] = 0; // never linked: nothing of it has a name
        }
    }
    return ok && ReplaceFile(path, m_replacePath);
}

bool CLzhReader::Close()
{
    EndPlan();
    if (archiveFile == kInvalidFile && m_members.Count() == 0) {
        // A new archive that got no member (every add failed, or was taken back) is not made.
        Abandon();
        return true;
    }
    if (!m_changed) {
        Abandon();
        return true;
    }
    // The archive stays open (and locked) until the new one has replaced it.
    m_archiveChanged = false;
    wchar_t outputPath[kMaxPath];
    CLeftoverGuard outputGuard;
    FileHandle output = CreateWorkFile(outputPath, outputGuard);
    bool ok = output != kInvalidFile && WriteMembers(output) &&
              CommitNewArchive(output, outputPath, outputGuard);
    if (!ok) {
        // Whatever was written goes; the changes stay for another Close (or Abandon).
        DiscardFile(output, outputPath, outputGuard);
        status = m_archiveChanged ? kLzhArchiveChanged : kLzhRewriteFailed;
        return false;
    }
    outputPath[0] = 0; // renamed into the archive's place: that name is the archive's now
    outputGuard.Release();
    CloseFile(output);
    Abandon();
    return true;
}
