// Link-safe creation below a destination: openat/mkdirat/unlinkat from the destination's
// descriptor, O_NOFOLLOW on every component, O_EXCL on every new file.
#include "platform/FolderTree.h"

#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform
{
namespace
{

// The components of a relative path; "." and empty ones are dropped. False for "..", which
// would climb out of the folder it is placed under.
bool Components(std::wstring_view path, std::vector<std::string>* parts)
{
    parts->clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        std::wstring_view part = path.substr(start, end - start);
        if (part == L"..") {
            return false;
        }
        if (!part.empty() && part != L".") {
            parts->push_back(WideToUtf8(part));
        }
        start = end + 1;
    }
    return true;
}

// Opens the folder `name` below `at` without following a link; on failure says what stands
// there instead.
int OpenFolderAt(int at, const std::string& name, TreeResult* why)
{
    int fd = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        return fd;
    }
    int error = errno;
    struct stat st;
    if (fstatat(at, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        *why = S_ISLNK(st.st_mode) ? TreeResult::LinkInTheWay : TreeResult::NotAFolder;
    } else {
        *why = TreeResult::Failed;
    }
    errno = error;
    return -1;
}

void CloseUnlessRoot(int fd, int root)
{
    if (fd >= 0 && fd != root) {
        close(fd);
    }
}

} // namespace

CFolderTree::~CFolderTree()
{
    Close();
}

void CFolderTree::Close()
{
    if (m_root >= 0) {
        close(m_root);
        m_root = -1;
    }
}

bool CFolderTree::Open(std::wstring_view destination)
{
    Close();
    std::string host = destination.empty() ? "." : DeviceToHost(destination);
    // The destination's own folders follow links: they are the user's choice.
    for (size_t at = host.find('/', 1); at != std::string::npos; at = host.find('/', at + 1)) {
        mkdir(host.substr(0, at).c_str(), 0777);
    }
    mkdir(host.c_str(), 0777);
    m_root = open(host.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return m_root >= 0;
}

int CFolderTree::OpenParent(std::wstring_view relative, std::string* last, TreeResult* why) const
{
    std::vector<std::string> parts;
    *why = TreeResult::Failed;
    if (m_root < 0 || !Components(relative, &parts) || parts.empty()) {
        errno = EINVAL;
        return -1;
    }
    int at = m_root;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        int next = OpenFolderAt(at, parts[i], why);
        CloseUnlessRoot(at, m_root);
        if (next < 0) {
            return -1;
        }
        at = next;
    }
    *last = parts.back();
    *why = TreeResult::Ok;
    return at;
}

TreeResult CFolderTree::MakeFolders(std::wstring_view relative, bool lastToo)
{
    std::vector<std::string> parts;
    if (m_root < 0 || !Components(relative, &parts)) {
        return TreeResult::Failed;
    }
    size_t count = lastToo ? parts.size() : (parts.empty() ? 0 : parts.size() - 1);
    int at = m_root;
    TreeResult why = TreeResult::Ok;
    for (size_t i = 0; i < count && why == TreeResult::Ok; ++i) {
        mkdirat(at, parts[i].c_str(), 0777); // an existing one is opened below
        int next = OpenFolderAt(at, parts[i], &why);
        CloseUnlessRoot(at, m_root);
        at = next;
    }
    CloseUnlessRoot(at, m_root);
    return why;
}

TreeEntry CFolderTree::Look(std::wstring_view relative) const
{
    TreeEntry entry;
    std::string last;
    TreeResult why;
    int parent = OpenParent(relative, &last, &why);
    if (parent < 0) {
        entry.kind = why == TreeResult::Failed ? TreeEntry::None : TreeEntry::Link;
        return entry;
    }
    struct stat st;
    if (fstatat(parent, last.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        entry.kind = S_ISREG(st.st_mode)   ? TreeEntry::File
                     : S_ISDIR(st.st_mode) ? TreeEntry::Folder
                     : S_ISLNK(st.st_mode) ? TreeEntry::Link
                                           : TreeEntry::Other;
        entry.attributes = AttributesOfMode(st.st_mode);
        entry.lastWritten = HostTimeToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    }
    CloseUnlessRoot(parent, m_root);
    return entry;
}

namespace
{

// Removes a file or a link standing at `name` (never a folder); true when nothing stands
// there afterwards.
bool ClearPlace(int parent, const std::string& name)
{
    struct stat st;
    if (fstatat(parent, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return errno == ENOENT;
    }
    if (S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        return false;
    }
    return unlinkat(parent, name.c_str(), 0) == 0;
}

} // namespace

FileHandle CFolderTree::CreateFile(std::wstring_view relative, TreeResult* why)
{
    if (!relative.empty() && IsSeparator(relative.back())) {
        *why = TreeResult::Failed; // names a folder
        errno = EISDIR;
        return kInvalidFile;
    }
    std::string last;
    int parent = OpenParent(relative, &last, why);
    if (parent < 0) {
        return kInvalidFile;
    }
    int fd = -1;
    if (ClearPlace(parent, last)) {
        fd = openat(parent, last.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                    0666);
    }
    int error = errno;
    CloseUnlessRoot(parent, m_root);
    if (fd < 0) {
        *why = TreeResult::Failed;
        errno = error;
        return kInvalidFile;
    }
    flock(fd, LOCK_EX | LOCK_NB); // as a file opened without sharing
    *why = TreeResult::Ok;
    return FileFromDescriptor(fd, kAccessWrite);
}

TreeResult CFolderTree::CreateLink(std::wstring_view relative, std::wstring_view target)
{
    std::string last;
    TreeResult why;
    int parent = OpenParent(relative, &last, &why);
    if (parent < 0) {
        return why;
    }
    bool made = ClearPlace(parent, last) &&
                symlinkat(WideToUtf8(target).c_str(), parent, last.c_str()) == 0;
    CloseUnlessRoot(parent, m_root);
    return made ? TreeResult::Ok : TreeResult::Failed;
}

bool CFolderTree::RemoveFile(std::wstring_view relative)
{
    std::string last;
    TreeResult why;
    int parent = OpenParent(relative, &last, &why);
    if (parent < 0) {
        return false;
    }
    bool removed = unlinkat(parent, last.c_str(), 0) == 0;
    CloseUnlessRoot(parent, m_root);
    return removed;
}

} // namespace platform
