// The settings file: read once, and every change merged into the file as it is on disk at
// that moment.
#include "framework/Profile.h"

#include "framework/IniText.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cwchar>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

CProfileStore::CProfileStore() = default;
CProfileStore::~CProfileStore() = default;

std::string CProfileStore::DefaultFile()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home != nullptr ? home : "/tmp") + "/.config";
    }
    return base + "/tavrel/Tavrel.ini";
}

void CProfileStore::SetFile(const std::string& hostPath)
{
    m_path = hostPath;
    m_text.reset();
}

namespace
{

// The file a name leads to through its symbolic links (the name itself when it is none).
std::string TargetOf(const std::string& path)
{
    std::string current = path;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(current, error)) {
            return current;
        }
        std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) {
            return current;
        }
        current = next.is_absolute()
                      ? next.string()
                      : (std::filesystem::path(current).parent_path() / next).string();
    }
    return current;
}

} // namespace

CProfileStore::State CProfileStore::GetState()
{
    Load();
    return m_state;
}

bool CProfileStore::Load()
{
    if (m_text) {
        return true;
    }
    if (m_path.empty()) {
        m_path = DefaultFile();
    }
    m_text = ReadFile(m_path);
    if (!m_text) {
        m_state = State::Unusable; // the program runs on defaults and leaves the file alone
        m_text = std::make_unique<CIniText>();
        return true;
    }
    // Read-only is the owner's word, which holds for every user (root included), as it does
    // for archives.
    std::string target = TargetOf(m_path);
    struct stat st;
    bool readOnly = stat(target.c_str(), &st) == 0 &&
                    ((st.st_mode & S_IWUSR) == 0 || access(target.c_str(), W_OK) != 0);
    m_state = readOnly ? State::ReadOnly : State::Usable;
    return true;
}

std::unique_ptr<CIniText> CProfileStore::ReadFile(const std::string& path)
{
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::make_unique<CIniText>(); // defaults, made at the first write
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.is_open() || (!in.good() && !in.eof())) {
        return nullptr;
    }
    auto text = std::make_unique<CIniText>();
    return text->Parse(bytes) ? std::move(text) : nullptr;
}

namespace
{

// Puts `bytes` in place of `target` in one step: a new file beside it, flushed, then renamed
// over it. An existing file's permissions carry over; a new one gets the usual ones (umask).
bool ReplaceWith(const std::string& target, const std::string& bytes)
{
    struct stat before;
    bool existed = stat(target.c_str(), &before) == 0;
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temporary = target + ".new" + std::to_string(getpid()) + "-" + std::to_string(attempt);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return false;
        }
    }
    if (fd < 0) {
        return false;
    }
    bool written = !existed || fchmod(fd, before.st_mode & 07777) == 0;
    for (size_t done = 0; written && done < bytes.size();) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        written = n > 0;
        done += n > 0 ? static_cast<size_t>(n) : 0;
    }
    written = written && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), target.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

} // namespace

// Another program may have written the file since it was read: under a lock on its folder,
// the file is read anew, the one value applied and the result put in its place in one step,
// so that nothing another program wrote is reverted. Nothing is written when the value is
// already there.
bool CProfileStore::Write(const std::function<bool(CIniText&)>& apply)
{
    Load();
    if (m_state != State::Usable) {
        // Kept in memory for this run; false only when the file would have changed.
        return !apply(*m_text);
    }
    std::string target = TargetOf(m_path);
    std::filesystem::path folder = std::filesystem::path(target).parent_path();
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    int lock = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock >= 0) {
        flock(lock, LOCK_EX);
    }
    bool saved = false;
    std::unique_ptr<CIniText> fresh = ReadFile(target);
    if (!fresh) {
        m_state = State::Unusable; // it became something else meanwhile: left alone
    } else {
        m_text = std::move(fresh);
        saved = !apply(*m_text) || ReplaceWith(target, m_text->Bytes());
    }
    if (lock >= 0) {
        close(lock);
    }
    return saved;
}

int CProfileStore::GetInt(const wchar_t* section, const wchar_t* entry, int defaultValue)
{
    Load();
    std::optional<std::wstring> text = m_text->Get(section, entry);
    if (!text || text->empty()) {
        return defaultValue;
    }
    // A whole decimal number in the range of int, blanks around it allowed.
    wchar_t* end = nullptr;
    errno = 0;
    long long value = std::wcstoll(text->c_str(), &end, 10);
    while (*end == L' ' || *end == L'\t') {
        ++end;
    }
    if (errno != 0 || *end != L'\0' || end == text->c_str() || value < INT_MIN || value > INT_MAX) {
        return defaultValue;
    }
    return static_cast<int>(value);
}

std::wstring CProfileStore::GetString(const wchar_t* section, const wchar_t* entry,
                                      const wchar_t* defaultValue)
{
    Load();
    return m_text->Get(section, entry).value_or(defaultValue);
}

bool CProfileStore::WriteInt(const wchar_t* section, const wchar_t* entry, int value)
{
    return Write([&](CIniText& text) { return text.Set(section, entry, std::to_wstring(value)); });
}

bool CProfileStore::WriteString(const wchar_t* section, const wchar_t* entry,
                                const std::wstring& value)
{
    return Write([&](CIniText& text) {
        // An empty value that was never there changes nothing.
        if (value.empty() && !text.Get(section, entry)) {
            return false;
        }
        return text.Set(section, entry, value);
    });
}
