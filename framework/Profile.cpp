#include "framework/Profile.h"

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/wfstream.h>

#include <cstdlib>
#include <filesystem>

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
    wxLogNull quiet; // a missing or unreadable file means defaults, not a message
    if (std::filesystem::exists(m_path)) {
        wxFileInputStream in(wxString::FromUTF8(m_path));
        if (in.IsOk()) {
            m_config = std::make_unique<Config>(in);
            return true;
        }
    }
    m_config = std::make_unique<Config>();
    return true;
}

bool CProfileStore::Save()
{
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ignored);
    wxLogNull quiet;
    wxTempFileOutputStream out(wxString::FromUTF8(m_path));
    return out.IsOk() && m_config->file.Save(out) && out.Commit();
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
    Load();
    return m_config->file.Write(Key(section, entry), static_cast<long>(value)) && Save();
}

bool CProfileStore::WriteString(const wchar_t* section, const wchar_t* entry,
                                const std::wstring& value)
{
    Load();
    return m_config->file.Write(Key(section, entry), wxString(value)) && Save();
}
