// The watcher is a forked process in a session of its own, so that a signal meant for this
// program's process group leaves it running. Between fork and exit it makes only calls that
// are safe in the child of a threaded process (no allocation, no locks).
#include "platform/LeftoverGuard.h"

#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform
{
namespace
{

constexpr char kReleased = 'r';

[[noreturn]] void WatchInChild(int socketRead, int folder, const char* name, dev_t device,
                               ino_t inode)
{
    setsid();
    // Only the socket and the folder stay open: the watcher holds no lock and no terminal.
    int keptPipe = fcntl(socketRead, F_DUPFD, 100);
    int keptFolder = fcntl(folder, F_DUPFD, 100);
    if (keptPipe < 0 || keptFolder < 0 || dup2(keptPipe, 3) < 0 || dup2(keptFolder, 4) < 0) {
        _exit(1);
    }
    syscall(SYS_close_range, 5u, ~0u, 0u);
    int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) {
        dup2(null, fd);
    }
    signal(SIGINT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    char word = 0;
    ssize_t got;
    do {
        got = read(3, &word, 1);
    } while (got < 0 && errno == EINTR);
    if (got != 1 || word != kReleased) {
        struct stat st;
        if (fstatat(4, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && st.st_dev == device &&
            st.st_ino == inode) {
            unlinkat(4, name, 0);
        }
    }
    _exit(0);
}

} // namespace

bool CLeftoverGuard::Watch(FileHandle file, std::wstring_view path)
{
    Release();
    struct stat st;
    if (file == kInvalidFile || fstat(DescriptorOf(file), &st) != 0) {
        return false;
    }
    std::string host = DeviceToHost(path);
    size_t slash = host.rfind('/');
    std::string folderPath = slash == std::string::npos ? "." : host.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? host : host.substr(slash + 1);
    int folder = open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // A socket rather than a pipe: a word sent to a watcher that is gone is no signal.
    int fds[2];
    if (folder < 0 || name.empty() ||
        socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        if (folder >= 0) {
            close(folder);
        }
        return false;
    }
    pid_t child = fork();
    if (child == 0) {
        close(fds[1]);
        WatchInChild(fds[0], folder, name.c_str(), st.st_dev, st.st_ino);
    }
    close(fds[0]);
    close(folder);
    if (child < 0) {
        close(fds[1]);
        return false;
    }
    m_watcher = child;
    m_socket = fds[1];
    return true;
}

void CLeftoverGuard::Take(CLeftoverGuard& other)
{
    if (&other == this) {
        return;
    }
    Release();
    m_watcher = other.m_watcher;
    m_socket = other.m_socket;
    other.m_watcher = -1;
    other.m_socket = -1;
}

void CLeftoverGuard::Release()
{
    if (m_watcher <= 0) {
        return;
    }
    char word = kReleased;
    while (send(m_socket, &word, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
    close(m_socket);
    while (waitpid(m_watcher, nullptr, 0) < 0 && errno == EINTR) {
    }
    m_watcher = -1;
    m_socket = -1;
}

} // namespace platform
