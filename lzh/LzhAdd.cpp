// Adding files and folders: the stored path, the update rule, and the member's header and
// data written at the end of the work file (compressed, or stored when that does not pay).
#include "archive/MemberStreams.h"
#include "lzh/ArchiveName.h"
#include "lzh/LzhArchive.h"
#include "lzh/LzhCodec.h"
#include "lzh/LzhHeaderWriter.h"
#include "platform/DevicePath.h"
#include "platform/Workers.h"

#include <cwchar>
#include <string>

using namespace platform;

namespace
{

constexpr int16_t kOsIdThisSystem = 0x4D; // 'M'
constexpr int16_t kOsIdUnix = 0x55;       // 'U': links are Unix's, as their readers expect

// The stored folder and name of a source path ('/' read as '\').
void StoredPath(std::wstring source, bool keepFolders, CArchiveEntry& entry)
{
    for (wchar_t& c : source) {
        c = c == L'/' ? L'\\' : c;
    }
    if (keepFolders && source.size() >= 2 && source[1] == L':' &&
        ((source[0] >= L'A' && source[0] <= L'Z') || (source[0] >= L'a' && source[0] <= L'z'))) {
        source.erase(0, 2);
    }
    size_t cut = source.rfind(L'\\');
    std::wstring folder = cut == std::wstring::npos ? L"" : source.substr(0, cut + 1);
    std::wstring name = cut == std::wstring::npos ? source : source.substr(cut + 1);
    if (keepFolders) {
        std::wmemcpy(entry.folder, folder.c_str(), folder.size() + 1);
    }
    std::wmemcpy(entry.name, name.c_str(), name.size() + 1);
}

} // namespace

int CLzhArchive::FindEntry(const wchar_t* path) const
{
    std::wstring_view wanted(path);
    int count = m_members.Count();
    if (count < kIndexedMembers) {
        for (int i = 0; i < count; ++i) {
            std::wstring_view folder = m_members.Folder(i);
            if (wanted.size() == folder.size() + m_members.Name(i).size() &&
                wanted.substr(0, folder.size()) == folder &&
                wanted.substr(folder.size()) == m_members.Name(i)) {
                return i;
            }
        }
        return -1;
    }
    // Many members: their paths are looked up in an index, made when first needed and made
    // anew whenever the list changed otherwise than by an add.
    if (m_indexVersion != m_members.Version()) {
        m_pathIndex.clear();
        m_duplicatePaths = false;
        for (int i = count - 1; i >= 0; --i) {
            auto [at, added] = m_pathIndex.try_emplace(
                std::wstring(m_members.Folder(i)) + std::wstring(m_members.Name(i)), i);
            if (!added) {
                at->second = i;
                m_duplicatePaths = true;
            }
        }
        m_indexVersion = m_members.Version();
    }
    auto found = m_pathIndex.find(std::wstring(wanted));
    return found == m_pathIndex.end() ? -1 : found->second;
}

std::vector<int> CLzhArchive::OtherCopies(int first, std::wstring_view path) const
{
    std::vector<int> copies;
    // A large list is walked only when its index met a path twice.
    if (m_members.Count() >= kIndexedMembers && !m_duplicatePaths) {
        return copies;
    }
    for (int i = first + 1; i < m_members.Count(); ++i) {
        std::wstring_view folder = m_members.Folder(i);
        if (path.size() == folder.size() + m_members.Name(i).size() &&
            path.substr(0, folder.size()) == folder &&
            path.substr(folder.size()) == m_members.Name(i)) {
            copies.push_back(i);
        }
    }
    return copies;
}

bool CLzhArchive::IsOwnFile(uint64_t device, uint64_t inode) const
{
    for (FileHandle own : {archiveFile, workFile}) {
        FileIdentity identity;
        if (own != kInvalidFile && GetFileIdentity(own, &identity) && identity.device == device &&
            identity.inode == inode) {
            return true;
        }
    }
    return false;
}

void CLzhArchive::BeginAddRun()
{
    m_addRun.clear();
    m_inAddRun = true;
}

void CLzhArchive::EndAddRun()
{
    m_addRun.clear();
    m_inAddRun = false;
}

const LzhMethodInfo& CLzhArchive::Method() const
{
    const LzhMethod kWritten[] = {kMethodLh5, kMethodLh6, kMethodLh7};
    return *LzhMethodByNumber(kWritten[methodIndex >= 0 && methodIndex <= 2 ? methodIndex : 1]);
}

bool CLzhArchive::StoreData(FileHandle work, FileHandle source, CArchiveEntry& entry)
{
    const LzhMethodInfo& stored = *LzhMethodByNumber(kMethodStored);
    CLzhMethodDecoder* copy = LzhThreadDecoder(stored);
    CFileSource from(source, entry.unpackedSize);
    CMemberSink to(work, entry.unpackedSize, nullptr);
    LzhDecodeResult copied =
        copy != nullptr ? copy->Decode({&from, &to, entry.unpackedSize, entry.unpackedSize})
                        : LzhDecodeResult{DecodeStatus::NoMemory};
    if (copied.status != DecodeStatus::Ok) {
        status = to.writeFailed ? kLzhWorkFileFailed : kLzhSourceUnreadable;
        return false;
    }
    std::wcscpy(entry.method, stored.id);
    entry.crc = copied.crc;
    entry.packedSize = entry.unpackedSize;
    return true;
}

void CLzhArchive::CompressAhead(std::vector<std::wstring> sources, unsigned threads)
{
    unsigned cores = threads != 0 ? threads : platform::WorkerCount();
    StopAhead();
    if ((threads == 0 && cores < 2) || sources.empty()) {
        return; // nothing to gain
    }
    std::vector<CLzhPrecompressor::Job> jobs;
    jobs.reserve(sources.size());
    for (std::wstring& source : sources) {
        jobs.push_back({std::move(source), Method().number});
    }
    m_precompressor = std::make_unique<CLzhPrecompressor>();
    m_precompressor->Start(std::move(jobs), cores);
}

void CLzhArchive::FinishAhead()
{
    if (m_precompressor != nullptr) {
        m_precompressor->Finish();
    }
}

void CLzhArchive::StopAhead()
{
    m_precompressor.reset();
}

bool CLzhArchive::WriteMember(FileHandle work, FileHandle source, CArchiveEntry& entry,
                              const CLzhPrecompressor::Result* ready)
{
    if (!SeekFile(work, 0, SeekOrigin::End, &entry.headerPos)) {
        status = kLzhWorkFileFailed;
        return false;
    }
    uint32_t headerLength = WriteHeader(work, entry, true);
    entry.dataPos = entry.headerPos + headerLength;
    bool ok = headerLength > 0 && SeekFile(work, entry.dataPos, SeekOrigin::Begin);
    if (!ok) {
        status = kLzhWorkFileFailed;
    } else if (entry.name[0] == 0 || (entry.flags & kEntrySymlink)) {
        std::wcscpy(entry.method, L"-lhd-");
        entry.crc = 0;
        entry.packedSize = entry.unpackedSize;
    } else if (storeOnly || entry.unpackedSize == 0 || entry.unpackedSize > UINT32_MAX ||
               (ready != nullptr && !ready->shrank)) {
        // The encoder counts in 32 bits: a file of 4 GiB or more is stored.
        ok = StoreData(work, source, entry);
    } else if (ready != nullptr) {
        uint32_t written = 0;
        uint32_t count = static_cast<uint32_t>(ready->packed.size());
        ok = WriteFile(work, ready->packed.data(), count, &written) && written == count;
        if (!ok) {
            status = kLzhWorkFileFailed;
        }
        std::wcscpy(entry.method, Method().id);
        entry.crc = ready->crc;
        entry.packedSize = count;
    } else {
        const LzhMethodInfo& method = Method();
        LzhCodecParams params{source, work, static_cast<uint32_t>(entry.unpackedSize), 0,
                              method.number};
        bool readFailed = false;
        bool writeFailed = false;
        // A file the workers did not take (a single one, or the last, reached before a
        // worker began it) gets every thread when none of them compresses another.
        unsigned threads =
            m_precompressor == nullptr || !m_precompressor->Busy() ? platform::WorkerCount() : 0;
        uint16_t crc = LzhEncodeChecked(params, &readFailed, &writeFailed, threads);
        if (readFailed || writeFailed) {
            status = readFailed ? kLzhSourceUnreadable : kLzhWorkFileFailed;
            ok = false;
        } else if (params.packedSize < entry.unpackedSize) {
            std::wcscpy(entry.method, method.id);
            entry.crc = crc;
            entry.packedSize = params.packedSize;
        } else {
            // Stored instead, over the compressed bytes (never more than the file's size).
            ok = SeekFile(work, entry.dataPos, SeekOrigin::Begin) &&
                 SeekFile(source, 0, SeekOrigin::Begin);
            ok = ok ? StoreData(work, source, entry) : (status = kLzhWorkFileFailed, false);
        }
    }
    if (ok && (!SeekFile(work, entry.headerPos, SeekOrigin::Begin) ||
               WriteHeader(work, entry, false) != headerLength)) {
        status = kLzhWorkFileFailed;
        ok = false;
    }
    if (!ok) {
        // Nothing of the member stays behind: the work file ends where it began (should even
        // that fail, Close copies only what the list names).
        if (SeekFile(work, entry.headerPos, SeekOrigin::Begin)) {
            SetEndOfFile(work);
        }
        return false;
    }
    SeekFile(work, 0, SeekOrigin::End);
    return true;
}

bool CLzhArchive::AddFile(const wchar_t* name)
{
    return AddFile(name, nullptr);
}

bool CLzhArchive::AddFile(const wchar_t* name, const wchar_t* storedPath)
{
    if (!CanChange()) {
        return false;
    }
    std::wstring sourcePath = std::wstring(destFolder) + name;
    while (sourcePath.size() > 1 && IsSeparator(sourcePath.back())) {
        sourcePath.pop_back(); // what a path names is looked at, not what a folder holds
    }
    // A pipe, a socket or a device holds no file's bytes; a symbolic link is stored as the
    // link it is unless it leads to a file (a link to a folder, followed, could lead back
    // up the tree for ever).
    PathInfo info;
    if (!GetPathInfo(sourcePath, &info) || info.kind == PathInfo::Missing) {
        status = kLzhSourceUnreadable;
        return false;
    }
    if (info.kind == PathInfo::Other) {
        status = kLzhNotAFile;
        return false;
    }
    // The archive (or its work file) found in a folder being added is not added to itself.
    if (IsOwnFile(info.device, info.inode)) {
        status = kLzhSkippedOwnFile;
        return false;
    }
    bool isLink = info.kind == PathInfo::Link && !info.targetIsFile;
    std::wstring linkTarget;
    if (isLink && !ReadLinkTarget(sourcePath, &linkTarget)) {
        status = kLzhSourceUnreadable;
        return false;
    }
    uint32_t attributes = 0;
    FileTime written = info.lastWritten;
    if (isLink) {
        attributes = kAttrArchive;
    } else if (!GetFileInfo(sourcePath, &attributes, &written)) {
        status = kLzhSourceUnreadable;
        return false;
    }
    bool isFolder = !isLink && (attributes & kAttrFolder) != 0;
    if (isFolder) {
        sourcePath.push_back(L'\\');
    }
    if (sourcePath.size() >= static_cast<size_t>(kMaxPath) ||
        linkTarget.size() >= static_cast<size_t>(kMaxPath)) {
        status = kLzhPathTooLong;
        return false;
    }
    CArchiveEntry entry{};
    std::wstring stored = storedPath != nullptr ? std::wstring(storedPath) : sourcePath;
    if (storedPath != nullptr && isFolder) {
        while (!stored.empty() && IsSeparator(stored.back())) {
            stored.pop_back();
        }
        stored.push_back(L'\\');
    }
    StoredPath(stored, keepFolders, entry);
    entry.level = headerLevel;
    if (isLink) {
        entry.flags = kEntrySymlink;
        std::wmemcpy(entry.linkTarget, linkTarget.c_str(), linkTarget.size() + 1);
        std::wcscpy(entry.method, L"-lhd-");
    }
    // Nothing is stored that would not read back whole: a folder entry or a link named with
    // '|' would come back as another link, and a character without a code in code page 932
    // has only a level 0 header's name (levels 1 and 2 keep it in UTF-16 as well; a link
    // keeps it nowhere), and a level 0 header cuts long paths.
    bool beyondCp932 = !HasArchiveCodes(entry.folder) || !HasArchiveCodes(entry.name);
    if (((isFolder || isLink) &&
         (std::wcschr(entry.folder, L'|') != nullptr || std::wcschr(entry.name, L'|'))) ||
        (beyondCp932 && (headerLevel == 0 || isLink)) || !HasArchiveCodes(entry.linkTarget)) {
        status = kLzhNameNotStorable;
        return false;
    }
    if (WriteHeader(kInvalidFile, entry, true) == 0) {
        status = headerLevel >= 0 && headerLevel <= 2 ? kLzhPathTooLong : kLzhWorkFileFailed;
        return false;
    }
    FileHandle source = kInvalidFile;
    uint64_t size = 0;
    if (!isFolder && !isLink) {
        source = OpenFile(sourcePath, kAccessRead, FileShare::Read, FileDisposition::OpenExisting,
                          FileHint::SequentialScan);
        if (source == kInvalidFile || !GetFileSize(source, &size) ||
            !GetFileTimes(source, nullptr, &written)) {
            if (source != kInvalidFile) {
                CloseFile(source);
            }
            status = kLzhSourceUnreadable;
            return false;
        }
        // Only a level 2 header holds sizes of 4 GiB and more (extended header 0x42).
        if (size > UINT32_MAX && headerLevel < 2) {
            CloseFile(source);
            status = kLzhTooLargeForLevel;
            return false;
        }
    }
    std::wstring storedAs = std::wstring(entry.folder) + entry.name;
    if (m_inAddRun) {
        auto earlier = m_addRun.find(storedAs);
        if (earlier != m_addRun.end()) {
            if (source != kInvalidFile) {
                CloseFile(source);
            }
            m_collidedSource = earlier->second;
            status = kLzhAddCollision;
            return false;
        }
    }
    FileTime sourceTime = isFolder ? GetCurrentFileTime() : written - written % kTicksPerSecond;
    int existing = FindEntry(storedAs.c_str());
    if (existing >= 0 && !addMode && m_members.Get(existing).modified >= sourceTime) {
        if (source != kInvalidFile) {
            CloseFile(source);
        }
        status = kLzhSkippedNotOlder;
        return false;
    }
    if (!EnsureWorkFile()) {
        if (source != kInvalidFile) {
            CloseFile(source);
        }
        status = kLzhWorkFileFailed;
        return false;
    }
    if (existing >= 0) {
        CArchiveEntry kept = m_members.Get(existing);
        std::wcscpy(kept.name, entry.name);
        std::wcscpy(kept.folder, entry.folder);
        std::wcscpy(kept.linkTarget, entry.linkTarget);
        std::wcscpy(kept.method, entry.method);
        entry = kept;
    }
    entry.osId = isLink ? kOsIdUnix : kOsIdThisSystem;
    entry.unpackedSize = size;
    entry.level = headerLevel;
    entry.modified = isFolder ? GetCurrentFileTime() : written;
    entry.attributes = attributes;
    entry.flags = (isLink ? static_cast<uint32_t>(kEntrySymlink) : 0u) | kEntryInWork;
    // The bytes made ahead serve only for the file as it was when they were made: the same
    // file, unchanged since (a copy over it that kept its size and time is another file).
    CLzhPrecompressor::Result ahead;
    FileIdentity identity;
    bool madeAhead = m_precompressor != nullptr && !isFolder && !storeOnly && size > 0 &&
                     m_precompressor->Take(sourcePath, Method().number, &ahead) &&
                     ahead.size == size && ahead.written == written &&
                     GetFileIdentity(source, &identity) && ahead.identity == identity;
    bool ok = WriteMember(workFile, source, entry, madeAhead ? &ahead : nullptr);
    if (source != kInvalidFile) {
        CloseFile(source);
    }
    if (!ok) {
        return false;
    }
    m_membersMadeAhead += madeAhead ? 1 : 0;
    std::vector<int> copies = existing >= 0 ? OtherCopies(existing, storedAs) : std::vector<int>();
    bool listed = existing >= 0 ? m_members.Set(existing, entry) : m_members.Append(entry);
    if (listed && existing >= 0) {
        // Every copy of the name goes: a stale second one would win on extraction.
        if (!copies.empty()) {
            m_members.Remove(copies);
        }
    } else if (listed && m_indexVersion == m_members.Version() - 1) {
        // An add keeps the index: the new path goes in (after any equal one listed before).
        m_pathIndex.emplace(std::wstring(entry.folder) + entry.name, m_members.Count() - 1);
        m_indexVersion = m_members.Version();
    }
    if (!listed) {
        if (SeekFile(workFile, entry.headerPos, SeekOrigin::Begin)) {
            SetEndOfFile(workFile);
        }
        status = kLzhWorkFileFailed;
        return false;
    }
    m_changed = true;
    if (m_inAddRun) {
        m_addRun.emplace(storedAs, sourcePath);
    }
    return true;
}
