// The watcher is a process forked twice, so that it is no child of this program (nothing waits
// for it, and it goes on after this process ends), detached by setsid() from this program's
// process group and terminal, so that a signal meant for them leaves it running. Between fork and
// exit it makes only calls that are safe in the child of a threaded process (no allocation, no
// locks).
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
constexpr char kReady = 'w';

[[noreturn]] void WatchInChild(int socketRead, int folder, int hold, const char* name, dev_t device,
                               ino_t inode)
{
    setsid();
    // Only the socket, the folder and the file held stay open: no other lock, no terminal.
    int keptPipe = fcntl(socketRead, F_DUPFD, 100);
    int keptFolder = fcntl(folder, F_DUPFD, 100);
    int keptHold = hold >= 0 ? fcntl(hold, F_DUPFD, 100) : -1;
    if (keptPipe < 0 || keptFolder < 0 || dup2(keptPipe, 3) < 0 || dup2(keptFolder, 4) < 0 ||
        (keptHold >= 0 && dup2(keptHold, 5) < 0)) {
        _exit(1);
    }
    syscall(SYS_close_range, keptHold >= 0 ? 6u : 5u, ~0u, 0u);
    int null = open("/dev/null", O_RDWR);
    for (int fd = 0; fd < 3; ++fd) {
        dup2(null, fd);
    }
    signal(SIGINT, SIG_IGN);
    signal(SIGHUP, SIG_IGN);
    // Tells the program that nothing else it had open is held here any more (a file's share
    // lock lives as long as any process holds its descriptor).
    char word = kReady;
    while (write(3, &word, 1) < 0 && errno == EINTR) {
    }
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

bool CLeftoverGuard::Watch(FileHandle file, std::wstring_view path, FileHandle hold)
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
    int held = hold != kInvalidFile ? DescriptorOf(hold) : -1;
    pid_t child = fork();
    if (child == 0) {
        // The first child only forks the watcher and ends: the watcher is nobody's child here.
        close(fds[1]);
        if (fork() == 0) {
            WatchInChild(fds[0], folder, held, name.c_str(), st.st_dev, st.st_ino);
        }
        _exit(0);
    }
    close(fds[0]);
    close(folder);
    if (child < 0) {
        close(fds[1]);
        return false;
    }
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    char word = 0;
    ssize_t got;
    do {
        got = read(fds[1], &word, 1);
    } while (got < 0 && errno == EINTR);
    if (got != 1 || word != kReady) {
        close(fds[1]);
        return false;
    }
    m_watching = true;
    m_socket = fds[1];
    return true;
}

void CLeftoverGuard::Take(CLeftoverGuard& other)
{
    if (&other == this) {
        return;
    }
    Release();
    m_watching = other.m_watching;
    m_socket = other.m_socket;
    other.m_watching = false;
    other.m_socket = -1;
}

void CLeftoverGuard::Release()
{
    if (!m_watching) {
        return;
    }
    char word = kReleased;
    while (send(m_socket, &word, 1, MSG_NOSIGNAL) < 0 && errno == EINTR) {
    }
    close(m_socket);
    m_watching = false;
    m_socket = -1;
}

} // namespace platform
