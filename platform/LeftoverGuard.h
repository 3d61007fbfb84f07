// CLeftoverGuard: a named file that must not outlive this process (a full copy of an archive
// on its way to replacing it). A small process of its own watches the name while it is
// held; should this process end before Release (killed, however), the watcher removes the
// file, provided the name still holds the same file. The watcher may also hold a file open
// for this process: the archive the copy replaces, whose blocks are then given back by the
// watcher after Release, not by this process while the user waits.
#pragma once

#include "platform/File.h"

#include <string_view>
#include <sys/types.h>

namespace platform
{

class CLeftoverGuard
{
public:
    CLeftoverGuard() = default;
    ~CLeftoverGuard() { Release(); }
    CLeftoverGuard(const CLeftoverGuard&) = delete;
    CLeftoverGuard& operator=(const CLeftoverGuard&) = delete;
    // Takes over other's watch (ending its own first).
    void Take(CLeftoverGuard& other);

    // Starts watching `path`, the name `file` has or is about to get (in the folder it was
    // made in); the watcher holds `hold` open (when valid) until it ends. False when no
    // watcher could be started.
    bool Watch(FileHandle file, std::wstring_view path, FileHandle hold = kInvalidFile);
    // The file is gone or has taken its final name: the watch ends, nothing is removed. The
    // watcher ends on its own (it is no child of this process by then).
    void Release();
    bool IsWatching() const { return m_watching; }

private:
    bool m_watching = false; // a watcher runs
    int m_socket = -1;       // its end: closing it without a word tells the watcher to remove
};

} // namespace platform
