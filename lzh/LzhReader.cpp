// Opening an LZH archive: the self-extractor scan and the header scan.
#include "lzh/LzhReader.h"

#include "lzh/LzhMethods.h"

#include "archive/LittleEndian.h"
#include "lzh/LzhHeaderReader.h"
#include "platform/Text.h"

#include <cerrno>
#include <cwchar>

using namespace platform;

bool HasExeExtension(const wchar_t* path)
{
    const wchar_t* dot = std::wcsrchr(path, L'.');
    return dot != nullptr && CompareNoCase(dot, L".exe") == 0;
}

namespace
{

// Whether a member header plausibly starts at p, with the identifier at i = p + 2. Every
// byte looked at lies inside the window [0, size).
bool LooksLikeHeader(const uint8_t* w, int64_t size, int64_t i)
{
    int64_t p = i - 2;
    if (p < 0 || i + 4 >= size || !LooksLikeLzhMethod(w + i) || p + 25 >= size) {
        return false;
    }
    uint8_t level = w[p + 20];
    if (level == 2 || level == 3) {
        bool sizes = level == 2 || (w[p] == 4 && w[p + 1] == 0);
        return sizes && w[p + 19] == 0x20 && Le16(w + p + 24) != 0;
    }
    if (level == 0 || level == 1) {
        int64_t end = p + 1 + w[p]; // last byte the checksum covers
        return end < size && HeaderChecksum(w + p + 2, w[p]) == w[p + 1];
    }
    return false;
}

} // namespace

CLzhReader::CLzhReader() = default;

CLzhReader::~CLzhReader()
{
    // The heap releases the entry array. Handles still open are closed so that no
    // descriptor or share lock outlives the object; pending changes are not committed, and
    // a named work file goes with them.
    Abandon();
}

void CLzhReader::FreeEntries()
{
    m_members.Clear();
}

void CLzhReader::ForgetArchive()
{
    if (archiveFile != kInvalidFile) {
        CloseFile(archiveFile);
        archiveFile = kInvalidFile;
    }
    FreeEntries();
    m_whole = true;
    m_unreadableAt = 0;
    m_trailerStart = m_trailerEnd = 0;
    m_readOnly = false;
    m_replacePath.clear();
}

void CLzhReader::Abandon()
{
    EndPlan();
    DiscardWorkFile();
    ForgetArchive();
}

bool CLzhReader::CanChange()
{
    if (!m_whole) {
        status = kLzhArchiveIncomplete;
        return false;
    }
    if (m_readOnly) {
        status = kLzhArchiveReadOnly;
        return false;
    }
    return true;
}

bool CLzhReader::Open(const wchar_t* path, bool allowCreate)
{
    Abandon(); // nothing of an archive whose Close failed carries over
    size_t length = std::wcslen(path);
    if (length >= static_cast<size_t>(kMaxPath)) {
        status = kLzhCannotOpen;
        return false;
    }
    std::wmemcpy(archivePath, path, length + 1);
    bool isExe = HasExeExtension(archivePath);

    archiveFile = OpenFile(archivePath, kAccessRead, FileShare::None, FileDisposition::OpenExisting,
                           FileHint::RandomAccess);
    if (archiveFile == kInvalidFile) {
        // Only a file that is not there is a new archive: one held by another program, or
        // one that cannot be read, is never taken for empty and written over.
        if (!allowCreate || LastFileError() != ENOENT) {
            status = kLzhCannotOpen;
            return false;
        }
        if (isExe) {
            status = kLzhExeCannotBeCreated;
            return false;
        }
        m_archiveStart = 0;
        m_replacePath = archivePath;
        m_openedAs = FileSnapshot{}; // nothing there: another program's file must not appear
        return true;
    }
    // A rewrite replaces the file the archive's name leads to; one that its owner may not
    // write (the read-only attribute), or that we may not replace, is never changed.
    m_replacePath = ReplaceTargetOf(archivePath);
    TakeSnapshot(archiveFile, &m_openedAs);
    uint32_t mode = 0;
    m_readOnly =
        (GetFileMode(archiveFile, &mode) && (mode & 0200) == 0) || !MayReplaceFile(m_replacePath);

    // A self-extractor's archive lies within its first 256 KB; other files are read from
    // the start when a header is there, else searched the same way.
    uint64_t size = 0;
    GetFileSize(archiveFile, &size);
    uint32_t window = size < kSfxWindow ? static_cast<uint32_t>(size) : kSfxWindow;
    if (!FindArchiveStart(window, isExe)) {
        status = kLzhNoSfxHeader;
        ForgetArchive();
        return false;
    }
    m_archiveStart = 0;
    SeekFile(archiveFile, 0, SeekOrigin::Current, &m_archiveStart);
    if (!ScanHeaders()) {
        status = kLzhHeaderScanFailed;
        ForgetArchive();
        return false;
    }
    return true;
}

// Positions the file at the archive's first header. A file that starts with a known method
// identifier where a header holds it is an archive from 0, read from there whether its first
// header is sound or not (a damaged one is reported, never skipped as if it were a program),
// unless it must be a self-extractor, whose archive never starts at 0. Otherwise the first
// `window` bytes are searched. A stub may hold header-like bytes, or a whole small archive
// of its own, before the real one: of the places that look like a header, the first from
// which every member reads up to the end of the file wins, then the first that reads whole
// up to an end marker, then simply the first. False when there is none and the file had to
// be a self-extractor; a file that is not one then reads from 0.
bool CLzhReader::FindArchiveStart(uint32_t window, bool required)
{
    auto* block = static_cast<uint8_t*>(heap.Alloc(window));
    uint32_t got = 0;
    bool read = block != nullptr && SeekFile(archiveFile, 0, SeekOrigin::Begin) &&
                ReadFile(archiveFile, block, window, &got) && got == window;
    int64_t toEnd = -1, whole = -1, first = -1;
    if (read && !required && window >= 7 && LooksLikeLzhMethod(block + 2)) {
        toEnd = 0; // a plain archive
    } else if (read && !required && window >= 7 && block[2] == '-' && block[6] == '-') {
        // A method this reader does not know, or a stub's pseudo-header ("-pms-"): an archive
        // from 0 when its members read from there.
        if (SeekFile(archiveFile, 0, SeekOrigin::Begin) && ScanHeaders() && m_members.Count() > 0) {
            toEnd = 0;
        }
        FreeEntries();
    }
    for (int64_t i = 2; read && toEnd < 0 && i < window; ++i) {
        if (!LooksLikeHeader(block, window, i)) {
            continue;
        }
        int64_t p = i - 2;
        if (p == 0) {
            if (required) {
                break; // an archive at 0 under a self-extractor's name is not one
            }
            continue;
        }
        first = first < 0 ? p : first;
        if (SeekFile(archiveFile, p, SeekOrigin::Begin) && ScanHeaders() && m_whole &&
            m_members.Count() > 0) {
            bool reachesEnd = m_trailerEnd == m_trailerStart;
            toEnd = reachesEnd ? p : toEnd;
            whole = whole < 0 ? p : whole;
        }
        FreeEntries();
    }
    heap.Free(block);
    int64_t chosen = toEnd >= 0 ? toEnd : (whole >= 0 ? whole : first);
    if (chosen < 0 && !required) {
        chosen = 0;
    }
    return chosen >= 0 && SeekFile(archiveFile, chosen, SeekOrigin::Begin);
}

bool CLzhReader::ScanHeaders()
{
    uint64_t fileSize = 0;
    if (!GetFileSize(archiveFile, &fileSize)) {
        return false;
    }
    m_whole = true;
    m_unreadableAt = 0;
    m_trailerStart = m_trailerEnd = 0;
    LzhHeaderTexts texts;
    for (;;) {
        CArchiveEntry entry;
        int headerStatus = kHeaderOk;
        if (!ReadHeader(archiveFile, entry, headerStatus, &texts, nameEncoding)) {
            int64_t at = entry.headerPos;
            bool endMarker = headerStatus == kHeaderOk;
            // After the end marker a file may hold more (padding, a signature): a rewrite
            // carries it along. A file of nothing but a zero byte and more is no archive.
            if (endMarker && (m_members.Count() > 0 || static_cast<uint64_t>(at) + 1 == fileSize)) {
                m_trailerStart = at + 1;
                m_trailerEnd = static_cast<int64_t>(fileSize);
            } else if (headerStatus != kHeaderEndOfFile) {
                m_whole = false; // an unreadable header, or bytes that are no member
                m_unreadableAt = at;
            }
            return true;
        }
        if (headerStatus == kHeaderChecksum && !ignoreErrors) {
            return false;
        }
        if (!m_members.Append(entry, texts.folder, texts.name, texts.linkTarget)) {
            return false;
        }
        // A member whose data run past the end of the file is listed (Test reports it), and
        // the archive ends there.
        // (Compared without a sum that a 64-bit size from header 0x42 could wrap around.)
        if (static_cast<uint64_t>(entry.dataPos) > fileSize ||
            entry.packedSize > fileSize - static_cast<uint64_t>(entry.dataPos)) {
            m_whole = false;
            m_unreadableAt = entry.headerPos;
            return true;
        }
        if (!SeekFile(archiveFile, static_cast<int64_t>(entry.packedSize), SeekOrigin::Current)) {
            return false;
        }
    }
}
