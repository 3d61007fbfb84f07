// The settings file through wxFileConfig: read once, and every write merged into the file as
// it is on disk at that moment.
#include "framework/Profile.h"

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/wfstream.h>

#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
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

bool CProfileStore::Load()
{
    if (m_config) {
        return true;
    }
    if (m_path.empty()) {
        m_path = DefaultFile();
    }
    m_config = ReadFile(m_path);
    return true;
}

std::unique_ptr<CProfileStore::Config> CProfileStore::ReadFile(const std::string& path)
{
    wxLogNull quiet; // a missing or unreadable file means defaults, not a message
    if (std::filesystem::exists(path)) {
        wxFileInputStream in(wxString::FromUTF8(path));
        if (in.IsOk()) {
            return std::make_unique<Config>(in);
        }
    }
    return std::make_unique<Config>();
}

// Another program may have written the file since it was read: under a lock, the file is
// read anew, the one value applied and the result put in its place in one step, so that
// nothing another program wrote is reverted.
bool CProfileStore::Write(const std::function<bool(wxFileConfig&)>& apply)
{
    Load();
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ignored);
    int lock = open((m_path + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (lock >= 0) {
        flock(lock, LOCK_EX);
    }
    m_config = ReadFile(m_path);
    bool saved = false;
    if (apply(m_config->file)) {
        wxLogNull quiet;
        wxTempFileOutputStream out(wxString::FromUTF8(m_path));
        saved = out.IsOk() && m_config->file.Save(out) && out.Commit();
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
        return file.Write(Key(section, entry), static_cast<long>(value));
    });
}

bool CProfileStore::WriteString(const wchar_t* section, const wchar_t* entry,
                                const std::wstring& value)
{
    return Write(
        [&](wxFileConfig& file) { return file.Write(Key(section, entry), wxString(value)); });
}
