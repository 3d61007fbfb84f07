// Link-safe creation below a held destination: openat/mkdirat/renameat from the destination's
// descriptor, O_NOFOLLOW on every component, new files unnamed (O_TMPFILE) until they are
// linked or renamed into place whole.
#include "platform/FolderTree.h"

#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <random>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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

// The device number as FileIdentity gives it.
uint64_t DeviceOf(const struct stat& st)
{
    return (static_cast<uint64_t>(major(st.st_dev)) << 32) | minor(st.st_dev);
}

// A name for a file on its way into place, unlikely to be anyone's: ".tavrel-" and 16 hex
// digits. Made anew for every try.
std::string TemporaryName()
{
    static std::atomic<uint64_t> counter{0};
    static const uint64_t seed = std::random_device{}() ^ (uint64_t{std::random_device{}()} << 32);
    uint64_t n = seed + 0x9E3779B97F4A7C15ull * ++counter;
    char name[32];
    std::snprintf(name, sizeof name, ".tavrel-%016llx", static_cast<unsigned long long>(n));
    return name;
}

// Gives the unnamed file behind fd the name `name` in folder `parent`; fails with EEXIST
// when that name is taken.
bool LinkUnnamed(int fd, int parent, const std::string& name)
{
    if (FaultInjected(FaultPoint::Link)) {
        return false;
    }
    std::string self = "/proc/self/fd/" + std::to_string(fd);
    return linkat(AT_FDCWD, self.c_str(), parent, name.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
           (errno != EEXIST && linkat(fd, "", parent, name.c_str(), AT_EMPTY_PATH) == 0);
}

bool RenameAt(int parent, const std::string& from, const std::string& to, bool replace)
{
    if (FaultInjected(FaultPoint::Rename)) {
        return false;
    }
    if (replace) {
        return renameat(parent, from.c_str(), parent, to.c_str()) == 0;
    }
    if (renameat2(parent, from.c_str(), parent, to.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return false;
    }
    // A file system without the flag: a new link fails on a taken name just the same.
    if (linkat(parent, from.c_str(), parent, to.c_str(), 0) != 0) {
        return false;
    }
    unlinkat(parent, from.c_str(), 0);
    return true;
}

} // namespace

// ---- CTreeFile ----

CTreeFile::CTreeFile(CTreeFile&& other) noexcept
{
    *this = std::move(other);
}

CTreeFile& CTreeFile::operator=(CTreeFile&& other) noexcept
{
    if (this != &other) {
        Discard();
        m_tree = other.m_tree;
        m_file = other.m_file;
        m_parent = other.m_parent;
        m_name = std::move(other.m_name);
        m_tempName = std::move(other.m_tempName);
        m_replace = other.m_replace;
        other.m_file = kInvalidFile;
        other.m_parent = -1;
    }
    return *this;
}

void CTreeFile::Discard()
{
    if (m_file != kInvalidFile) {
        CloseFile(m_file);
        m_file = kInvalidFile;
    }
    if (m_parent >= 0) {
        if (!m_tempName.empty()) {
            unlinkat(m_parent, m_tempName.c_str(), 0);
        }
        close(m_parent);
        m_parent = -1;
    }
    m_tempName.clear();
}

TreeResult CTreeFile::Commit(int tag)
{
    if (m_file == kInvalidFile || m_parent < 0) {
        return TreeResult::Failed;
    }
    // The data must have reached the file system before the file takes its name: a close
    // that reports a failed write leaves the place as it was.
    int keep = m_tempName.empty() ? dup(DescriptorOf(m_file)) : -1;
    bool closed = CloseFile(m_file);
    m_file = kInvalidFile;
    if (!closed || (m_tempName.empty() && keep < 0)) {
        int error = closed ? errno : LastFileError();
        if (keep >= 0) {
            close(keep);
        }
        Discard();
        errno = error;
        return TreeResult::Failed;
    }
    struct stat st;
    bool exists = fstatat(m_parent, m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    TreeResult result = TreeResult::Ok;
    if (exists && m_tree->IsProtected(DeviceOf(st), st.st_ino)) {
        result = TreeResult::Protected;
    } else if (exists && (S_ISDIR(st.st_mode) || !m_replace)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EEXIST;
        result = TreeResult::Failed;
    } else if (m_tempName.empty() && !exists) {
        result = LinkUnnamed(keep, m_parent, m_name) ? TreeResult::Ok : TreeResult::Failed;
    } else {
        if (m_tempName.empty()) {
            // An unnamed file replaces by a rename too: it takes a temporary name first.
            m_tempName = TemporaryName();
            if (!LinkUnnamed(keep, m_parent, m_tempName)) {
                m_tempName.clear();
                result = TreeResult::Failed;
            }
        }
        if (result == TreeResult::Ok && !RenameAt(m_parent, m_tempName, m_name, exists)) {
            result = TreeResult::Failed;
        }
        if (result == TreeResult::Ok) {
            m_tempName.clear();
        }
    }
    int error = errno;
    if (result == TreeResult::Ok &&
        fstatat(m_parent, m_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        m_tree->Remember(DeviceOf(st), st.st_ino, tag);
    }
    if (keep >= 0) {
        close(keep);
    }
    Discard();
    errno = error;
    return result;
}

// ---- CFolderTree ----

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
    m_destination.clear();
    m_ownFolder.clear();
    m_reached = TreeResult::DestinationFailed;
    m_tried = false;
    m_protected.clear();
    m_written.clear();
}

void CFolderTree::Open(std::wstring_view destination, std::wstring_view ownFolder)
{
    Close();
    // A device path with no host form leaves the destination empty: nothing is reached.
    m_destination = destination.empty() ? "." : DeviceToHost(destination);
    m_ownFolder = WideToUtf8(ownFolder);
    m_reached = TreeResult::DestinationFailed;
}

void CFolderTree::Protect(const FileIdentity& identity)
{
    m_protected.emplace_back(identity.device, identity.inode);
}

bool CFolderTree::IsProtected(uint64_t device, uint64_t inode) const
{
    for (const auto& [d, i] : m_protected) {
        if (d == device && i == inode) {
            return true;
        }
    }
    return false;
}

void CFolderTree::Remember(uint64_t device, uint64_t inode, int tag)
{
    m_written[inode] = {device, tag};
}

TreeResult CFolderTree::Reach(bool make)
{
    if (m_root >= 0) {
        return TreeResult::Ok;
    }
    if (m_tried || m_destination.empty()) {
        return m_reached; // a destination that could not be made is not tried again
    }
    m_tried = make;
    if (make) {
        // The destination's own folders follow links: they are the user's choice.
        for (size_t at = m_destination.find('/', 1); at != std::string::npos;
             at = m_destination.find('/', at + 1)) {
            mkdir(m_destination.substr(0, at).c_str(), 0777);
        }
        mkdir(m_destination.c_str(), 0777);
    }
    int destination = open(m_destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (destination < 0) {
        m_reached = TreeResult::DestinationFailed;
        return m_reached;
    }
    if (m_ownFolder.empty()) {
        m_root = destination;
        return TreeResult::Ok;
    }
    if (make) {
        mkdirat(destination, m_ownFolder.c_str(), 0777); // an existing one is opened below
    }
    TreeResult why = TreeResult::Ok;
    int own = OpenFolderAt(destination, m_ownFolder, &why);
    int error = errno;
    close(destination);
    if (own < 0) {
        m_reached = why == TreeResult::LinkInTheWay ? TreeResult::DestinationLink
                                                    : TreeResult::DestinationFailed;
        errno = error; // not there yet (without make): made when first needed
        return m_reached;
    }
    m_root = own;
    return TreeResult::Ok;
}

int CFolderTree::OpenParent(std::wstring_view relative, std::string* last, TreeResult* why,
                            bool make)
{
    std::vector<std::string> parts;
    *why = TreeResult::Failed;
    if (!Components(relative, &parts) || parts.empty()) {
        errno = EINVAL;
        return -1;
    }
    TreeResult reached = Reach(make);
    if (reached != TreeResult::Ok) {
        *why = reached;
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
    if (!Components(relative, &parts)) {
        return TreeResult::Failed;
    }
    size_t count = lastToo ? parts.size() : (parts.empty() ? 0 : parts.size() - 1);
    TreeResult reached = Reach(true);
    if (reached != TreeResult::Ok) {
        return reached;
    }
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

TreeEntry CFolderTree::Look(std::wstring_view relative)
{
    TreeEntry entry;
    std::string last;
    TreeResult why;
    int parent = OpenParent(relative, &last, &why, false);
    if (parent < 0) {
        entry.kind = why == TreeResult::LinkInTheWay ? TreeEntry::Link : TreeEntry::None;
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
        entry.size = static_cast<uint64_t>(st.st_size);
        entry.isProtected = IsProtected(DeviceOf(st), st.st_ino);
        auto written = m_written.find(st.st_ino);
        if (written != m_written.end() && written->second.first == DeviceOf(st) &&
            !S_ISDIR(st.st_mode)) {
            entry.writtenThisRun = true;
            entry.writtenBy = written->second.second;
        }
    }
    CloseUnlessRoot(parent, m_root);
    return entry;
}

CTreeFile CFolderTree::CreateFile(std::wstring_view relative, bool mayReplace, TreeResult* why)
{
    CTreeFile file;
    if (!relative.empty() && IsSeparator(relative.back())) {
        *why = TreeResult::Failed; // names a folder
        errno = EISDIR;
        return file;
    }
    std::string last;
    int parent = OpenParent(relative, &last, why, true);
    if (parent < 0) {
        return file;
    }
    // The parent is held by the file itself: the folder it goes into stays the one walked
    // to here, whatever happens to the path meanwhile.
    int held = parent == m_root ? dup(parent) : parent;
    if (held < 0) {
        *why = TreeResult::Failed;
        return file;
    }
    int fd = -1;
    std::string tempName;
    if (!FaultInjected(FaultPoint::UnnamedFile)) {
        fd = openat(held, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    }
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // A file system without unnamed files: a temporary name no one else uses.
        for (int tries = 0; fd < 0 && tries < 16; ++tries) {
            tempName = TemporaryName();
            fd = openat(held, tempName.c_str(),
                        O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd < 0 && errno != EEXIST) {
                break;
            }
        }
    }
    if (fd < 0) {
        int error = errno;
        close(held);
        *why = TreeResult::Failed;
        errno = error;
        return file;
    }
    flock(fd, LOCK_EX | LOCK_NB); // as a file opened without sharing
    file.m_tree = this;
    file.m_file = FileFromDescriptor(fd, kAccessWrite);
    file.m_parent = held;
    file.m_name = last;
    file.m_tempName = fd >= 0 ? tempName : "";
    file.m_replace = mayReplace;
    *why = TreeResult::Ok;
    return file;
}

TreeResult CFolderTree::CreateLink(std::wstring_view relative, std::wstring_view target)
{
    std::string last;
    TreeResult why;
    int parent = OpenParent(relative, &last, &why, true);
    if (parent < 0) {
        return why;
    }
    struct stat st;
    bool exists = fstatat(parent, last.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
    TreeResult result = TreeResult::Ok;
    if (exists && IsProtected(DeviceOf(st), st.st_ino)) {
        result = TreeResult::Protected;
    } else if (exists && S_ISDIR(st.st_mode)) {
        errno = EISDIR;
        result = TreeResult::Failed;
    } else {
        // Made under a temporary name and renamed into place: what stood there stays until
        // the link is whole.
        std::string temp = TemporaryName();
        std::string text = WideToUtf8(target);
        if (symlinkat(text.c_str(), parent, temp.c_str()) != 0) {
            result = TreeResult::Failed;
        } else if (!RenameAt(parent, temp, last, exists)) {
            int error = errno;
            unlinkat(parent, temp.c_str(), 0);
            errno = error;
            result = TreeResult::Failed;
        }
    }
    CloseUnlessRoot(parent, m_root);
    return result;
}

} // namespace platform
