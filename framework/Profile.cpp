// The settings file through wxFileConfig: read once, and every change merged into the file as
// it is on disk at that moment.
#include "framework/Profile.h"

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/wfstream.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

struct CProfileStore::Config
{
    wxFileConfig file;
    Config() : file(wxEmptyString, wxEmptyString, wxEmptyString, wxEmptyString, 0)
    {
        file.SetExpandEnvVars(false); // "$" in a folder name is a character
    }
    explicit Config(wxInputStream& in) : file(in) { file.SetExpandEnvVars(false); }
};

namespace
{

wxString Key(const wchar_t* section, const wchar_t* entry)
{
    return wxString(L"/") + section + L"/" + entry;
}

} // namespace

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
    m_config.reset();
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

// Whether bytes read as a settings file: text without NUL bytes, valid UTF-8, every line a
// [section], a name=value pair, a comment or empty.
bool LooksLikeSettings(const std::string& bytes)
{
    // wxString gives nothing for bytes that are not UTF-8.
    if (bytes.find('\0') != std::string::npos ||
        (!bytes.empty() && wxString::FromUTF8(bytes.data(), bytes.size()).empty())) {
        return false;
    }
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        end = end == std::string::npos ? bytes.size() : end;
        std::string line = bytes.substr(start, end - start);
        size_t first = line.find_first_not_of(" \t\r");
        if (first != std::string::npos) {
            char c = line[first];
            if (c != '[' && c != ';' && c != '#' && line.find('=') == std::string::npos) {
                return false;
            }
        }
        start = end + 1;
    }
    return true;
}

} // namespace

CProfileStore::State CProfileStore::GetState()
{
    Load();
    return m_state;
}

bool CProfileStore::Load()
{
    if (m_config) {
        return true;
    }
    if (m_path.empty()) {
        m_path = DefaultFile();
    }
    m_config = ReadFile(m_path);
    if (!m_config) {
        m_state = State::Unusable; // the program runs on defaults and leaves the file alone
        m_config = std::make_unique<Config>();
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

std::unique_ptr<CProfileStore::Config> CProfileStore::ReadFile(const std::string& path)
{
    wxLogNull quiet; // a missing file means defaults, not a message
    std::error_code error;
    std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return std::make_unique<Config>();
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return nullptr;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        return nullptr;
    }
    if (!in.is_open() || !LooksLikeSettings(bytes)) {
        return nullptr;
    }
    wxMemoryInputStream stream(bytes.data(), bytes.size());
    return std::make_unique<Config>(stream);
}

// Another program may have written the file since it was read: under a lock on its folder,
// the file is read anew, the one value applied and the result put in its place in one step,
// so that nothing another program wrote is reverted. Nothing is written when the value is
// already there.
bool CProfileStore::Write(const std::function<bool(wxFileConfig&)>& apply)
{
    Load();
    if (m_state != State::Usable) {
        // Kept in memory for this run; false only when the file would have changed.
        return !apply(m_config->file);
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
    std::unique_ptr<Config> fresh = ReadFile(target);
    if (!fresh) {
        m_state = State::Unusable; // it became something else meanwhile: left alone
    } else {
        m_config = std::move(fresh);
        bool changed = apply(m_config->file);
        saved = true;
        if (changed) {
            wxLogNull quiet;
            struct stat before;
            bool existed = stat(target.c_str(), &before) == 0;
            wxTempFileOutputStream out(wxString::FromUTF8(target));
            saved = out.IsOk() && m_config->file.Save(out) && out.Commit();
            if (saved && existed) {
                chmod(target.c_str(), before.st_mode & 07777); // as private as it was
            }
        }
    }
    if (lock >= 0) {
        close(lock);
    }
    return saved;
}

int CProfileStore::GetInt(const wchar_t* section, const wchar_t* entry, int defaultValue)
{
    Load();
    long value = defaultValue;
    m_config->file.Read(Key(section, entry), &value, defaultValue);
    return static_cast<int>(value);
}

std::wstring CProfileStore::GetString(const wchar_t* section, const wchar_t* entry,
                                      const wchar_t* defaultValue)
{
    Load();
    wxString value;
    if (!m_config->file.Read(Key(section, entry), &value)) {
        return defaultValue;
    }
    return value.ToStdWstring();
}

bool CProfileStore::WriteInt(const wchar_t* section, const wchar_t* entry, int value)
{
    return Write([&](wxFileConfig& file) {
        long old = 0;
        if (file.Read(Key(section, entry), &old) && old == value) {
            return false;
        }
        return file.Write(Key(section, entry), static_cast<long>(value));
    });
}

bool CProfileStore::WriteString(const wchar_t* section, const wchar_t* entry,
                                const std::wstring& value)
{
    return Write([&](wxFileConfig& file) {
        wxString old;
        if (file.Read(Key(section, entry), &old) && old.ToStdWstring() == value) {
            return false;
        }
        // An empty value that was never there changes nothing either.
        if (value.empty() && !file.HasEntry(Key(section, entry))) {
            return false;
        }
        return file.Write(Key(section, entry), wxString(value));
    });
}
