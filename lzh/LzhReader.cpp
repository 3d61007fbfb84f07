// Opening an LZH archive: the self-extractor scan and the header scan.
#include "lzh/LzhReader.h"

#include "lzh/LzhHeaderReader.h"
#include "platform/Text.h"

#include <cwchar>

using namespace platform;

namespace
{

// A self-extractor's archive lies within its first 256 KB.
constexpr uint32_t kSfxWindow = 262144;

bool HasExeExtension(const wchar_t* path)
{
    const wchar_t* dot = std::wcsrchr(path, L'.');
    return dot != nullptr && CompareNoCase(dot, L".exe") == 0;
}

bool IsDigit(uint8_t b)
{
    return b >= '0' && b <= '9';
}

// Whether a member header plausibly starts at p, with the identifier at i = p + 2. Every
// byte looked at lies inside the window [0, size).
bool LooksLikeHeader(const uint8_t* w, int64_t size, int64_t i)
{
    int64_t p = i - 2;
    if (i + 4 >= size || w[i] != '-' || w[i + 1] != 'l' || w[i + 2] != 'h' ||
        !(IsDigit(w[i + 3]) || w[i + 3] == 'd') || w[i + 4] != '-') {
        return false;
    }
    if (p + 20 < 0 || p + 20 >= size) {
        return false;
    }
    uint8_t level = w[p + 20];
    if (level == 2) {
        return p + 25 < size && p + 19 >= 0 && w[p + 19] == 0x20 &&
               (w[p + 24] | (w[p + 25] << 8)) != 0;
    }
    if (level == 0 || level == 1) {
        if (p < 0) {
            return false;
        }
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
    // descriptor or share lock outlives the object; pending changes are not committed.
    if (archiveFile != kInvalidFile) {
        CloseFile(archiveFile);
    }
    if (workFile != kInvalidFile) {
        CloseFile(workFile);
    }
}

bool CLzhReader::AppendEntry(const CArchiveEntry& entry)
{
    if (entryCount == m_entryCapacity) {
        int capacity = m_entryCapacity < 16 ? 16 : m_entryCapacity * 2;
        void* grown = heap.ReAlloc(entries, static_cast<size_t>(capacity) * sizeof(CArchiveEntry));
        if (grown == nullptr) {
            return false;
        }
        entries = static_cast<CArchiveEntry*>(grown);
        m_entryCapacity = capacity;
    }
    entries[entryCount++] = entry;
    return true;
}

void CLzhReader::FreeEntries()
{
    heap.Free(entries);
    entries = nullptr;
    entryCount = 0;
    m_entryCapacity = 0;
}

bool CLzhReader::Open(const wchar_t* path, bool allowCreate)
{
    FreeEntries();
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
        if (!allowCreate) {
            status = kLzhCannotOpen;
            return false;
        }
        if (isExe) {
            status = kLzhExeCannotBeCreated;
            return false;
        }
        m_archiveStart = 0;
        entries = static_cast<CArchiveEntry*>(heap.Alloc(0));
        return true;
    }

    if (isExe) {
        uint64_t size = 0;
        GetFileSize(archiveFile, &size);
        uint32_t window = size < kSfxWindow ? static_cast<uint32_t>(size) : kSfxWindow;
        if (!FindSfxArchive(window)) {
            status = kLzhNoSfxHeader;
            CloseFile(archiveFile);
            archiveFile = kInvalidFile;
            return false;
        }
    }

    m_archiveStart = 0;
    SeekFile(archiveFile, 0, SeekOrigin::Current, &m_archiveStart);
    entries = static_cast<CArchiveEntry*>(heap.Alloc(0));
    if (entries == nullptr || !ScanHeaders()) {
        status = kLzhHeaderScanFailed;
        CloseFile(archiveFile);
        archiveFile = kInvalidFile;
        FreeEntries();
        return false;
    }
    return true;
}

// Finds the first header of the archive inside a self-extractor's first `window` bytes and
// positions the file there.
bool CLzhReader::FindSfxArchive(uint32_t window)
{
    auto* block = static_cast<uint8_t*>(heap.Alloc(window));
    uint32_t got = 0;
    bool found = false;
    if (block != nullptr && ReadFile(archiveFile, block, window, &got) && got == window) {
        for (int64_t i = 0; i < window; ++i) {
            if (LooksLikeHeader(block, window, i)) {
                int64_t p = i - 2;
                found = p > 0 && SeekFile(archiveFile, p, SeekOrigin::Begin);
                break;
            }
        }
    }
    heap.Free(block);
    return found;
}

bool CLzhReader::ScanHeaders()
{
    for (;;) {
        CArchiveEntry entry;
        int headerStatus = kHeaderOk;
        if (!ReadHeader(archiveFile, entry, headerStatus)) {
            return true; // end marker, end of file, or a header that cannot be read
        }
        if (headerStatus == kHeaderChecksum && !ignoreErrors) {
            return false;
        }
        if (!AppendEntry(entry) || !SeekFile(archiveFile, entry.packedSize, SeekOrigin::Current)) {
            return false;
        }
    }
}
