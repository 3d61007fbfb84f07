// The private temporary folder: <base>/<process number>, each held by a lock file while its
// program runs, so that a stale one can be told from one in use.
#include "platform/PrivateTemp.h"

#include "platform/DevicePath.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{
namespace
{

constexpr char kLockName[] = "/.lock";

int g_lock = -1; // this program's lock file, held while "\Temp" is in use

// Makes a folder only the user may enter, or checks that an existing one is such a folder.
bool MakePrivateFolder(const std::string& path)
{
    mkdir(path.c_str(), 0700);
    struct stat st;
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        return false;
    }
    return (st.st_mode & 077) == 0 || chmod(path.c_str(), 0700) == 0;
}

std::string OwnFolder()
{
    return DeviceToHost(kTemp);
}

std::string BaseFolder()
{
    std::string own = OwnFolder();
    return own.substr(0, own.rfind('/'));
}

} // namespace

bool PreparePrivateTemp()
{
    if (g_lock >= 0) {
        return true;
    }
    if (!MakePrivateFolder(BaseFolder()) || !MakePrivateFolder(OwnFolder())) {
        return false;
    }
    std::string lock = OwnFolder() + kLockName;
    g_lock = open(lock.c_str(), O_CREAT | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (g_lock < 0 || flock(g_lock, LOCK_EX | LOCK_NB) != 0) {
        if (g_lock >= 0) {
            close(g_lock);
            g_lock = -1;
        }
        return false;
    }
    return true;
}

void RemovePrivateTemp()
{
    if (g_lock < 0) {
        return;
    }
    std::error_code ignored;
    std::filesystem::remove_all(OwnFolder(), ignored); // links inside are removed, not followed
    close(g_lock);
    g_lock = -1;
}

void RemoveStaleTemps()
{
    if (!HasDefaultMapping()) {
        return;
    }
    std::error_code error;
    std::string own = OwnFolder();
    for (const auto& entry : std::filesystem::directory_iterator(BaseFolder(), error)) {
        std::string folder = entry.path().string();
        if (folder == own || !entry.is_directory(error) || entry.is_symlink(error)) {
            continue;
        }
        int fd = open((folder + kLockName).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        bool stale = fd < 0 || flock(fd, LOCK_EX | LOCK_NB) == 0;
        if (stale) {
            std::filesystem::remove_all(folder, error);
        }
        if (fd >= 0) {
            close(fd);
        }
    }
}

} // namespace platform
