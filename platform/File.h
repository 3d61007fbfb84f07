// File services on device paths: open and create with dispositions and share modes, read,
// write, 64-bit seek, size, times, and the path operations (delete, move, atomic replace,
// attributes, folders). Share modes are advisory locks, so they hold between processes.
// Reads go through a read-ahead buffer: many small header reads cost few system calls.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform
{

struct HostFile;
using FileHandle = HostFile*;
inline constexpr FileHandle kInvalidFile = nullptr;

enum FileAccess : unsigned
{
    kAccessRead = 1,
    kAccessWrite = 2,
    kAccessReadWrite = 3,
};

enum class FileShare
{
    None,     // exclusive: fails while anyone else has the file open, and keeps others out
    Read,     // others may open it too, unless they ask for exclusive use
    ReadWrite // as Read; kept apart because callers state what they allow
};

enum class FileDisposition
{
    CreateNew,       // fail if the file exists
    CreateAlways,    // create or truncate
    OpenExisting,    // fail if the file does not exist
    OpenAlways,      // open or create
    TruncateExisting // open and truncate; fail if the file does not exist
};

enum class FileHint
{
    None,
    RandomAccess,
    SequentialScan
};

enum class SeekOrigin
{
    Begin,
    Current,
    End
};

// Windows attribute bits as archives store them.
enum FileAttribute : uint32_t
{
    kAttrReadOnly = 0x01,
    kAttrHidden = 0x02,
    kAttrSystem = 0x04,
    kAttrFolder = 0x10,
    kAttrArchive = 0x20,
};
inline constexpr uint32_t kInvalidAttributes = 0xFFFFFFFF;

// Opens or creates a regular file (anything else, a folder, device or pipe, fails).
FileHandle OpenFile(std::wstring_view path, unsigned access, FileShare share,
                    FileDisposition disposition, FileHint hint = FileHint::None);
// Reads up to count bytes; *got < count only at the end of the file. False on an I/O error.
bool ReadFile(FileHandle file, void* buffer, uint32_t count, uint32_t* got);
// Writes count bytes; false (with *written short) when the device refuses any of them.
bool WriteFile(FileHandle file, const void* buffer, uint32_t count, uint32_t* written);
// Copies count bytes from `from` (at its position) to `to` (at its position) inside the
// kernel where it can; both positions advance. Returns the bytes copied: fewer than count
// at the end of `from` or on an error of either file.
int64_t CopyFileData(FileHandle to, FileHandle from, int64_t count);
bool SeekFile(FileHandle file, int64_t offset, SeekOrigin origin, int64_t* newPosition = nullptr);
// A handle of its own for reading the same file on another thread: its position is its own,
// it reads no more than asked (no read-ahead), and closing it leaves the original (and its
// share lock) as it was.
FileHandle ReadingCopy(FileHandle file);
// Reads exactly count bytes; a read error of the file system counts as a short read.
bool ReadExact(FileHandle file, void* buffer, uint32_t count);
bool GetFileSize(FileHandle file, uint64_t* size);
bool SetEndOfFile(FileHandle file);
// Forces written data to the device.
bool FlushFile(FileHandle file);
bool CloseFile(FileHandle file);
// Either pointer may be null. The creation time is the host's birth time where it keeps one,
// else the last change of the file's status.
bool GetFileTimes(FileHandle file, FileTime* created, FileTime* lastWritten);
// Sets the last-write time; hosts keep no settable creation time, so it is left alone.
bool SetFileTimes(FileHandle file, const FileTime* lastWritten);

// Which file this is and when anything of it last changed (a time no program sets at will):
// equal identities mean the same bytes, where an equal size and last-write time may not
// (a file replaced by a copy that kept its time).
struct FileIdentity
{
    uint64_t device = 0;
    uint64_t inode = 0;
    int64_t changedSeconds = 0;
    uint32_t changedNanoseconds = 0;
    bool operator==(const FileIdentity&) const = default;
};
bool GetFileIdentity(FileHandle file, FileIdentity* identity);

// Which file a path names and how it looked: two equal snapshots of one path mean no program
// replaced the file (a new inode) or rewrote it (its size or time) in between.
struct FileSnapshot
{
    bool exists = false;
    uint64_t device = 0;
    uint64_t inode = 0;
    uint64_t size = 0;
    FileTime lastWritten = 0;
    bool operator==(const FileSnapshot&) const = default;
};
bool TakeSnapshot(FileHandle file, FileSnapshot* snapshot);
// A missing file gives a snapshot that does not exist (and true).
bool TakeSnapshot(std::wstring_view path, FileSnapshot* snapshot);

bool DeleteFile(std::wstring_view path);
// Renames; fails when the target exists.
bool MoveFile(std::wstring_view from, std::wstring_view to);
// Flushes `replacement` to disk and renames it over `target` in one step, then flushes the
// folder, so at every instant one complete file exists under the target's name.
bool ReplaceFile(std::wstring_view replacement, std::wstring_view target);
uint32_t GetFileAttributes(std::wstring_view path);

// What a path names, its last component looked at without following a symbolic link.
struct PathInfo
{
    enum Kind
    {
        Missing,
        File,
        Folder,
        Link,
        Other // a pipe, a socket, a device
    } kind = Missing;
    bool targetIsFolder = false; // a link that leads to a folder
    bool targetIsFile = false;   // a link that leads to a regular file
    uint64_t device = 0;         // what it names, links followed (0 for a dangling link)
    uint64_t inode = 0;
    FileTime lastWritten = 0; // of the last component itself (a link's own time)
};
bool GetPathInfo(std::wstring_view path, PathInfo* info);
// The text a symbolic link holds.
bool ReadLinkTarget(std::wstring_view path, std::wstring* target);
// Attributes and last-write time of a file or folder in one look-up; false when missing.
bool GetFileInfo(std::wstring_view path, uint32_t* attributes, FileTime* lastWritten);
// Applies read-only to the host permission bits of a file (folders ignore it, as on the
// device); other bits are not kept by the host.
bool SetFileAttributes(std::wstring_view path, uint32_t attributes);
// Applies read-only to an open file.
bool SetFileAttributes(FileHandle file, uint32_t attributes);
// The attributes of a host file mode (st_mode), as GetFileAttributes gives them.
uint32_t AttributesOfMode(uint32_t mode);
// A host time (seconds and nanoseconds since 1970) as a file time; 0 before 1601.
FileTime HostTimeToFileTime(int64_t seconds, long nanoseconds);
// A handle for a descriptor the platform layer opened itself (it owns it from then on).
FileHandle FileFromDescriptor(int fd, unsigned access);
// The descriptor behind a handle, for the platform layer's own code.
int DescriptorOf(FileHandle file);
bool CreateFolder(std::wstring_view path);
bool RemoveFolder(std::wstring_view path);

// errno of the last failed file operation on this thread.
int LastFileError();

// A new file in `folder` that has no name until LinkUnnamedFile gives it one, so that no
// trace of it outlives the process. Invalid when the folder's file system cannot make such
// files (LastFileError() is then EOPNOTSUPP) or on any other failure.
FileHandle CreateUnnamedFile(std::wstring_view folder);
// Gives an unnamed file the name `path` (in the folder it was made in); fails when that name
// exists, and for a file whose name was given and removed again. The file is held with an
// exclusive share lock.
bool LinkUnnamedFile(FileHandle file, std::wstring_view path);
// The host permission bits (07777) of an open file.
bool GetFileMode(FileHandle file, uint32_t* mode);
// Gives `to` the permission bits of `from`, and its owner and group where the process may
// set them (a set-id bit is kept only with the owner or group it was set for).
bool CopyFilePermissions(FileHandle from, FileHandle to);
// The name a replacement must take so that the file `path` names changes: the file its
// symbolic links lead to when path is a link (the links stay), else path itself. Empty when
// the links lead where a device path cannot name.
std::wstring ReplaceTargetOf(std::wstring_view path);
// Whether this process may replace the file at path: write it, and write its folder.
bool MayReplaceFile(std::wstring_view path);
// Removes path when it is a regular file (not a link) that no process holds open with a
// share lock; false when it is held, missing or cannot be removed.
bool DeleteUnlockedFile(std::wstring_view path);

// Test hook for fault injection: when set, it is asked before every write, flush, truncation,
// rename, link, unlink and unnamed-file creation; when it answers true that call fails as a
// full or failing device would (a write stores part of its bytes first; an unnamed file is
// reported unsupported).
enum class FaultPoint
{
    Write,
    Flush,
    Truncate,
    Rename,
    Link,
    Unlink,
    UnnamedFile
};
using FaultHook = bool (*)(FaultPoint point);
void SetFaultHook(FaultHook hook);
// Asks the hook about a call of the platform layer's own at `point`; true: fail it (errno is
// then set as a failing device would set it).
bool FaultInjected(FaultPoint point);

} // namespace platform
