// Files on the host: POSIX descriptors with flock() share modes and a read-ahead buffer.
#include "platform/File.h"

#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace platform
{

struct HostFile
{
    int fd = -1;
    unsigned access = 0;
    int64_t position = 0; // logical position; the descriptor's own offset is not used
    // Read-ahead: bytes [bufferStart, bufferStart + bufferLength) of the file.
    std::unique_ptr<uint8_t[]> buffer;
    int64_t bufferStart = 0;
    uint32_t bufferLength = 0;
    bool copy = false; // a reading copy: the share lock belongs to the handle it was made from
};

namespace
{

constexpr uint32_t kReadAhead = 64 * 1024;
thread_local int t_lastError = 0;
FaultHook g_faultHook = nullptr;

bool Injected(FaultPoint point)
{
    return g_faultHook != nullptr && g_faultHook(point);
}

bool Fail(int error = errno)
{
    t_lastError = error;
    return false;
}

FileTime FromTimespec(const struct timespec& ts)
{
    return HostTimeToFileTime(ts.tv_sec, ts.tv_nsec);
}

struct timespec ToTimespec(FileTime ft)
{
    struct timespec ts;
    ts.tv_sec = static_cast<time_t>(static_cast<int64_t>(ft / kTicksPerSecond) - 11'644'473'600LL);
    ts.tv_nsec = static_cast<long>(ft % kTicksPerSecond * 100);
    return ts;
}

int OpenFlags(unsigned access, FileDisposition disposition)
{
    int flags = O_CLOEXEC;
    flags |= (access & kAccessWrite) ? ((access & kAccessRead) ? O_RDWR : O_WRONLY) : O_RDONLY;
    switch (disposition) {
    case FileDisposition::CreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case FileDisposition::CreateAlways:
    case FileDisposition::OpenAlways:
        flags |= O_CREAT;
        break;
    case FileDisposition::OpenExisting:
    case FileDisposition::TruncateExisting:
        break;
    }
    return flags;
}

void DropBuffer(HostFile* f)
{
    f->bufferLength = 0;
}

} // namespace

int LastFileError()
{
    return t_lastError;
}

void SetFaultHook(FaultHook hook)
{
    g_faultHook = hook;
}

bool FaultInjected(FaultPoint point)
{
    if (!Injected(point)) {
        return false;
    }
    errno =
        point == FaultPoint::UnnamedFile ? EOPNOTSUPP : (point == FaultPoint::Write ? ENOSPC : EIO);
    t_lastError = errno;
    return true;
}

int DescriptorOf(FileHandle file)
{
    return file == kInvalidFile ? -1 : file->fd;
}

FileHandle OpenFile(std::wstring_view path, unsigned access, FileShare share,
                    FileDisposition disposition, FileHint hint)
{
    std::string host = DeviceToHost(path);
    if (host.empty()) {
        Fail(ENOENT);
        return kInvalidFile;
    }
    bool truncate = disposition == FileDisposition::CreateAlways ||
                    disposition == FileDisposition::TruncateExisting;
    if (truncate && !(access & kAccessWrite)) {
        Fail(EINVAL);
        return kInvalidFile;
    }
    // Only regular files: a device or a pipe is no archive (and a pipe would block the open).
    struct stat st;
    if (stat(host.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        return kInvalidFile;
    }
    int fd = open(host.c_str(), OpenFlags(access, disposition), 0666);
    if (fd < 0) {
        Fail();
        return kInvalidFile;
    }
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        Fail(S_ISDIR(st.st_mode) ? EISDIR : EINVAL);
        close(fd);
        return kInvalidFile;
    }
    // The lock comes before truncation, so a file in exclusive use elsewhere is never cut.
    int lock = (share == FileShare::None ? LOCK_EX : LOCK_SH) | LOCK_NB;
    if (flock(fd, lock) != 0 || (truncate && st.st_size != 0 && ftruncate(fd, 0) != 0)) {
        Fail(errno == EWOULDBLOCK ? EBUSY : errno);
        close(fd);
        return kInvalidFile;
    }
    if (hint != FileHint::None) {
        posix_fadvise(fd, 0, 0,
                      hint == FileHint::RandomAccess ? POSIX_FADV_RANDOM : POSIX_FADV_SEQUENTIAL);
    }
    return FileFromDescriptor(fd, access);
}

bool ReadFile(FileHandle f, void* buffer, uint32_t count, uint32_t* got)
{
    *got = 0;
    if (f == kInvalidFile || !(f->access & kAccessRead)) {
        return Fail(EBADF);
    }
    auto* out = static_cast<uint8_t*>(buffer);
    while (*got < count) {
        uint32_t want = count - *got;
        int64_t offset = f->position - f->bufferStart;
        if (f->bufferLength > 0 && offset >= 0 && offset < f->bufferLength) {
            uint32_t n = f->bufferLength - static_cast<uint32_t>(offset);
            n = n < want ? n : want;
            std::memcpy(out + *got, f->buffer.get() + offset, n);
            *got += n;
            f->position += n;
            continue;
        }
        ssize_t n;
        if (want >= kReadAhead || !f->buffer) {
            n = pread(f->fd, out + *got, want, f->position);
            if (n > 0) {
                *got += static_cast<uint32_t>(n);
                f->position += n;
            }
        } else {
            n = pread(f->fd, f->buffer.get(), kReadAhead, f->position);
            f->bufferStart = f->position;
            f->bufferLength = n > 0 ? static_cast<uint32_t>(n) : 0;
        }
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return Fail();
        }
        if (n == 0) {
            break; // end of file
        }
    }
    return true;
}

bool WriteFile(FileHandle f, const void* buffer, uint32_t count, uint32_t* written)
{
    *written = 0;
    if (f == kInvalidFile || !(f->access & kAccessWrite)) {
        return Fail(EBADF);
    }
    DropBuffer(f);
    const auto* in = static_cast<const uint8_t*>(buffer);
    if (Injected(FaultPoint::Write)) {
        count /= 2; // a device that fills up part-way
        while (*written < count) {
            ssize_t n = pwrite(f->fd, in + *written, count - *written, f->position);
            if (n <= 0) {
                break;
            }
            *written += static_cast<uint32_t>(n);
            f->position += n;
        }
        return Fail(ENOSPC);
    }
    while (*written < count) {
        ssize_t n = pwrite(f->fd, in + *written, count - *written, f->position);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return Fail(n == 0 ? ENOSPC : errno);
        }
        *written += static_cast<uint32_t>(n);
        f->position += n;
    }
    return true;
}

int64_t CopyFileData(FileHandle to, FileHandle from, int64_t count)
{
    if (to == kInvalidFile || from == kInvalidFile || !(to->access & kAccessWrite) ||
        !(from->access & kAccessRead)) {
        Fail(EBADF);
        return 0;
    }
    DropBuffer(to);
    int64_t copied = 0;
    while (copied < count) {
        if (Injected(FaultPoint::Write)) {
            Fail(ENOSPC);
            break;
        }
        loff_t in = from->position;
        loff_t out = to->position;
        size_t chunk = static_cast<size_t>(count - copied < (1 << 30) ? count - copied : (1 << 30));
        ssize_t n = copy_file_range(from->fd, &in, to->fd, &out, chunk, 0);
        if (n < 0 &&
            (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
            // No in-kernel copy between these files: through memory instead.
            static thread_local std::unique_ptr<uint8_t[]> buffer(new uint8_t[1 << 20]);
            uint32_t want = static_cast<uint32_t>(chunk < (1u << 20) ? chunk : (1u << 20));
            uint32_t got = 0, written = 0;
            if (!ReadFile(from, buffer.get(), want, &got) || got == 0 ||
                !WriteFile(to, buffer.get(), got, &written)) {
                copied += written;
                break;
            }
            copied += written;
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            Fail(n == 0 ? 0 : errno);
            break;
        }
        from->position += n;
        to->position += n;
        copied += n;
    }
    return copied;
}

bool SeekFile(FileHandle f, int64_t offset, SeekOrigin origin, int64_t* newPosition)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    int64_t base = 0;
    if (origin == SeekOrigin::Current) {
        base = f->position;
    } else if (origin == SeekOrigin::End) {
        struct stat st;
        if (fstat(f->fd, &st) != 0) {
            return Fail();
        }
        base = st.st_size;
    }
    // Checked before adding: a hostile member size must not overflow the position.
    if ((offset > 0 && base > INT64_MAX - offset) || base + offset < 0) {
        return Fail(EINVAL);
    }
    f->position = base + offset;
    if (newPosition != nullptr) {
        *newPosition = f->position;
    }
    return true;
}

bool GetFileSize(FileHandle f, uint64_t* size)
{
    struct stat st;
    if (f == kInvalidFile || fstat(f->fd, &st) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    *size = static_cast<uint64_t>(st.st_size);
    return true;
}

bool SetEndOfFile(FileHandle f)
{
    if (Injected(FaultPoint::Truncate)) {
        return Fail(EIO);
    }
    if (f == kInvalidFile || ftruncate(f->fd, f->position) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    DropBuffer(f);
    return true;
}

bool FlushFile(FileHandle f)
{
    if (Injected(FaultPoint::Flush)) {
        return Fail(EIO);
    }
    if (f == kInvalidFile || fsync(f->fd) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    return true;
}

bool CloseFile(FileHandle f)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    // The share lock is released first: a copy of the descriptor that lives on elsewhere (a
    // process forked meanwhile) must not keep the file locked. A reading copy shares the lock
    // with its original, which keeps it.
    if (!f->copy) {
        flock(f->fd, LOCK_UN);
    }
    int rc = close(f->fd);
    delete f;
    return rc == 0 || Fail();
}

bool ReadExact(FileHandle file, void* buffer, uint32_t count)
{
    uint32_t got = 0;
    return ReadFile(file, buffer, count, &got) && got == count;
}

bool GetFileIdentity(FileHandle f, FileIdentity* identity)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    struct statx sx;
    if (statx(f->fd, "", AT_EMPTY_PATH, STATX_INO | STATX_CTIME, &sx) != 0) {
        return Fail();
    }
    identity->device = (static_cast<uint64_t>(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    identity->inode = sx.stx_ino;
    identity->changedSeconds = sx.stx_ctime.tv_sec;
    identity->changedNanoseconds = sx.stx_ctime.tv_nsec;
    return true;
}

bool GetFileTimes(FileHandle f, FileTime* created, FileTime* lastWritten)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    struct statx sx;
    if (statx(f->fd, "", AT_EMPTY_PATH, STATX_MTIME | STATX_BTIME | STATX_CTIME, &sx) != 0) {
        return Fail();
    }
    auto toFt = [](const struct statx_timestamp& t) {
        struct timespec ts = {static_cast<time_t>(t.tv_sec), static_cast<long>(t.tv_nsec)};
        return FromTimespec(ts);
    };
    if (created != nullptr) {
        *created = (sx.stx_mask & STATX_BTIME) ? toFt(sx.stx_btime) : toFt(sx.stx_ctime);
    }
    if (lastWritten != nullptr) {
        *lastWritten = toFt(sx.stx_mtime);
    }
    return true;
}

bool SetFileTimes(FileHandle f, const FileTime* lastWritten)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    if (lastWritten == nullptr) {
        return true;
    }
    struct timespec times[2];
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = ToTimespec(*lastWritten);
    return futimens(f->fd, times) == 0 || Fail();
}

bool DeleteFile(std::wstring_view path)
{
    if (Injected(FaultPoint::Unlink)) {
        return Fail(EIO);
    }
    return unlink(DeviceToHost(path).c_str()) == 0 || Fail();
}

FileHandle CreateUnnamedFile(std::wstring_view folder)
{
    if (Injected(FaultPoint::UnnamedFile)) {
        Fail(EOPNOTSUPP);
        return kInvalidFile;
    }
    std::string host = DeviceToHost(folder);
    int fd = open(host.empty() ? "." : host.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
    if (fd < 0) {
        // Kernels and file systems without unnamed files answer with one of these.
        bool unsupported = errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL;
        Fail(unsupported ? EOPNOTSUPP : errno);
        return kInvalidFile;
    }
    // Held exclusively, as files opened without sharing are, should it get a name.
    flock(fd, LOCK_EX | LOCK_NB);
    auto* f = new HostFile;
    f->fd = fd;
    f->access = kAccessReadWrite;
    f->buffer.reset(new uint8_t[kReadAhead]);
    return f;
}

bool LinkUnnamedFile(FileHandle f, std::wstring_view path)
{
    if (f == kInvalidFile) {
        return Fail(EBADF);
    }
    if (Injected(FaultPoint::Link)) {
        return Fail(EIO);
    }
    std::string host = DeviceToHost(path);
    // Through /proc any process may link the file it holds; AT_EMPTY_PATH needs a capability.
    std::string self = "/proc/self/fd/" + std::to_string(f->fd);
    if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, host.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
        (errno != EEXIST && linkat(f->fd, "", AT_FDCWD, host.c_str(), AT_EMPTY_PATH) == 0)) {
        return true;
    }
    return Fail();
}

bool GetFileMode(FileHandle f, uint32_t* mode)
{
    struct stat st;
    if (f == kInvalidFile || fstat(f->fd, &st) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    *mode = st.st_mode & 07777;
    return true;
}

bool CopyFilePermissions(FileHandle from, FileHandle to)
{
    struct stat st;
    if (from == kInvalidFile || to == kInvalidFile || fstat(from->fd, &st) != 0) {
        return Fail(from == kInvalidFile || to == kInvalidFile ? EBADF : errno);
    }
    mode_t mode = st.st_mode & 07777;
    // A process may give a file away only with privilege; the group it may set when it is a
    // member. Either call may fail: a set-id bit then survives only where the owner or group
    // it was set for could be kept.
    if (fchown(to->fd, st.st_uid, st.st_gid) != 0 && fchown(to->fd, -1, st.st_gid) != 0) {
        errno = 0; // the file keeps the process's group, and maybe its owner
    }
    struct stat now;
    if (fstat(to->fd, &now) != 0) {
        return Fail();
    }
    if (now.st_uid != st.st_uid) {
        mode &= ~static_cast<mode_t>(S_ISUID);
    }
    if (now.st_gid != st.st_gid) {
        mode &= ~static_cast<mode_t>(S_ISGID);
    }
    return fchmod(to->fd, mode) == 0 || Fail();
}

std::wstring ReplaceTargetOf(std::wstring_view path)
{
    std::string host = DeviceToHost(path);
    struct stat st;
    if (lstat(host.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) {
        return std::wstring(path);
    }
    char* resolved = realpath(host.c_str(), nullptr);
    if (resolved == nullptr) {
        return std::wstring(path); // a dangling link is replaced as a name
    }
    // Only a path whose device form names it again: another would lead the replacement
    // elsewhere.
    std::wstring device = ExactDevicePath(resolved);
    std::free(resolved);
    return device;
}

bool MayReplaceFile(std::wstring_view path)
{
    if (path.empty()) {
        return false; // a link that leads where the device's paths cannot name
    }
    std::string host = DeviceToHost(path);
    size_t cut = host.rfind('/');
    std::string folder = cut == std::string::npos ? "." : cut == 0 ? "/" : host.substr(0, cut);
    return (faccessat(AT_FDCWD, host.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT) &&
           faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

bool DeleteUnlockedFile(std::wstring_view path)
{
    std::string host = DeviceToHost(path);
    int fd = open(host.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return Fail();
    }
    struct stat st;
    bool removable =
        fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && flock(fd, LOCK_EX | LOCK_NB) == 0;
    int error = removable ? 0 : (errno == EWOULDBLOCK ? EBUSY : errno);
    // Removed while the lock is held, so no other process can take the file up meanwhile.
    bool removed = removable && !Injected(FaultPoint::Unlink) && unlink(host.c_str()) == 0;
    if (removable && !removed) {
        error = errno;
    }
    close(fd);
    return removed || Fail(error);
}

bool MoveFile(std::wstring_view from, std::wstring_view to)
{
    if (Injected(FaultPoint::Rename)) {
        return Fail(EIO);
    }
    std::string src = DeviceToHost(from);
    std::string dst = DeviceToHost(to);
    return renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0 || Fail();
}

bool ReplaceFile(std::wstring_view replacement, std::wstring_view target)
{
    std::string src = DeviceToHost(replacement);
    std::string dst = DeviceToHost(target);
    int fd = open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return Fail();
    }
    bool injected = Injected(FaultPoint::Flush);
    bool synced = !injected && fsync(fd) == 0;
    int error = injected ? EIO : errno;
    close(fd);
    if (!synced) {
        return Fail(error);
    }
    if (Injected(FaultPoint::Rename)) {
        return Fail(EIO);
    }
    if (rename(src.c_str(), dst.c_str()) != 0) {
        return Fail();
    }
    std::string folder = dst.substr(0, dst.rfind('/') + 1);
    int dirFd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        fsync(dirFd);
        close(dirFd);
    }
    return true;
}

FileTime HostTimeToFileTime(int64_t seconds, long nanoseconds)
{
    int64_t since1601 = seconds + 11'644'473'600LL;
    if (since1601 < 0) {
        return 0;
    }
    return static_cast<FileTime>(since1601) * kTicksPerSecond +
           static_cast<FileTime>(nanoseconds / 100);
}

uint32_t AttributesOfMode(uint32_t mode)
{
    if (S_ISDIR(mode)) {
        return kAttrFolder;
    }
    uint32_t attributes = kAttrArchive;
    if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        attributes |= kAttrReadOnly;
    }
    return attributes;
}

namespace
{

uint32_t AttributesOf(const struct stat& st)
{
    return AttributesOfMode(st.st_mode);
}

} // namespace

FileHandle FileFromDescriptor(int fd, unsigned access)
{
    auto* f = new HostFile;
    f->fd = fd;
    f->access = access;
    if (access & kAccessRead) {
        f->buffer.reset(new uint8_t[kReadAhead]);
    }
    return f;
}

FileHandle ReadingCopy(FileHandle file)
{
    if (file == kInvalidFile) {
        Fail(EBADF);
        return kInvalidFile;
    }
    int fd = fcntl(file->fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) {
        Fail();
        return kInvalidFile;
    }
    FileHandle f = FileFromDescriptor(fd, kAccessRead);
    f->copy = true;
    f->buffer.reset(); // a copy reads one member's bytes: no read-ahead past them
    return f;
}

bool SetFileAttributes(FileHandle f, uint32_t attributes)
{
    struct stat st;
    if (f == kInvalidFile || fstat(f->fd, &st) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    }
    return mode == (st.st_mode & 07777) || fchmod(f->fd, mode) == 0 || Fail();
}

uint32_t GetFileAttributes(std::wstring_view path)
{
    struct stat st;
    if (stat(DeviceToHost(path).c_str(), &st) != 0) {
        Fail();
        return kInvalidAttributes;
    }
    return AttributesOf(st);
}

namespace
{

void FillSnapshot(const struct stat& st, FileSnapshot* snapshot)
{
    snapshot->exists = true;
    snapshot->device = (static_cast<uint64_t>(major(st.st_dev)) << 32) | minor(st.st_dev);
    snapshot->inode = st.st_ino;
    snapshot->size = static_cast<uint64_t>(st.st_size);
    snapshot->lastWritten = FromTimespec(st.st_mtim);
}

} // namespace

bool TakeSnapshot(FileHandle f, FileSnapshot* snapshot)
{
    *snapshot = FileSnapshot{};
    struct stat st;
    if (f == kInvalidFile || fstat(f->fd, &st) != 0) {
        return Fail(f == kInvalidFile ? EBADF : errno);
    }
    FillSnapshot(st, snapshot);
    return true;
}

bool TakeSnapshot(std::wstring_view path, FileSnapshot* snapshot)
{
    *snapshot = FileSnapshot{};
    struct stat st;
    std::string host = DeviceToHost(path);
    if (host.empty() || stat(host.c_str(), &st) != 0) {
        return errno == ENOENT || Fail();
    }
    FillSnapshot(st, snapshot);
    return true;
}

bool GetPathInfo(std::wstring_view path, PathInfo* info)
{
    *info = PathInfo{};
    std::string host = DeviceToHost(path);
    struct stat st;
    if (host.empty() || lstat(host.c_str(), &st) != 0) {
        return errno == ENOENT || errno == ENOTDIR || Fail();
    }
    info->lastWritten = FromTimespec(st.st_mtim);
    info->kind = S_ISREG(st.st_mode)   ? PathInfo::File
                 : S_ISDIR(st.st_mode) ? PathInfo::Folder
                 : S_ISLNK(st.st_mode) ? PathInfo::Link
                                       : PathInfo::Other;
    if (S_ISLNK(st.st_mode) && stat(host.c_str(), &st) != 0) {
        return true; // a dangling link
    }
    info->targetIsFolder = info->kind == PathInfo::Link && S_ISDIR(st.st_mode);
    info->targetIsFile = info->kind == PathInfo::Link && S_ISREG(st.st_mode);
    info->device = (static_cast<uint64_t>(major(st.st_dev)) << 32) | minor(st.st_dev);
    info->inode = st.st_ino;
    return true;
}

bool ReadLinkTarget(std::wstring_view path, std::wstring* target)
{
    std::string host = DeviceToHost(path);
    std::string text(4096, '\0');
    ssize_t n = host.empty() ? -1 : readlink(host.c_str(), text.data(), text.size());
    if (n < 0 || static_cast<size_t>(n) >= text.size()) {
        return Fail(n < 0 ? errno : ENAMETOOLONG);
    }
    text.resize(static_cast<size_t>(n));
    *target = Utf8ToWide(text);
    return true;
}

bool GetFileInfo(std::wstring_view path, uint32_t* attributes, FileTime* lastWritten)
{
    struct stat st;
    if (stat(DeviceToHost(path).c_str(), &st) != 0) {
        return Fail();
    }
    *attributes = AttributesOf(st);
    *lastWritten = FromTimespec(st.st_mtim);
    return true;
}

bool SetFileAttributes(std::wstring_view path, uint32_t attributes)
{
    std::string host = DeviceToHost(path);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        return Fail();
    }
    if (S_ISDIR(st.st_mode)) {
        return true; // as on the device, read-only does not apply to folders
    }
    mode_t mode = st.st_mode & 07777;
    if (attributes & kAttrReadOnly) {
        mode &= ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH);
    } else if ((mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        // Writable again as a new file would be: the owner always, others by the umask.
        mode_t mask = umask(0);
        umask(mask);
        mode |= (S_IWUSR | S_IWGRP | S_IWOTH) & ~mask;
        mode |= S_IWUSR;
    }
    if (mode == (st.st_mode & 07777)) {
        return true;
    }
    return chmod(host.c_str(), mode) == 0 || Fail();
}

bool CreateFolder(std::wstring_view path)
{
    return mkdir(DeviceToHost(path).c_str(), 0777) == 0 || Fail();
}

bool RemoveFolder(std::wstring_view path)
{
    return rmdir(DeviceToHost(path).c_str()) == 0 || Fail();
}

} // namespace platform
