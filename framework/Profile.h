// The settings store that stands in for the registry: sections of named integer and string
// values in a per-user file, kept with wxFileConfig (saved through a temporary file).
#pragma once

class wxFileConfig;

#include <functional>
#include <memory>
#include <string>

class CProfileStore
{
public:
    CProfileStore();
    ~CProfileStore();
    CProfileStore(const CProfileStore&) = delete;
    CProfileStore& operator=(const CProfileStore&) = delete;

    // The file to keep; empty: $XDG_CONFIG_HOME/tavrel/Tavrel.ini (or ~/.config/...).
    // The file and its folder are made at the first write.
    void SetFile(const std::string& hostPath);
    const std::string& File() const { return m_path; }

    int GetInt(const wchar_t* section, const wchar_t* entry, int defaultValue);
    std::wstring GetString(const wchar_t* section, const wchar_t* entry,
                           const wchar_t* defaultValue);
    // Written to the file at once, into what the file holds then (another program's values
    // are kept); false when it cannot be saved.
    bool WriteInt(const wchar_t* section, const wchar_t* entry, int value);
    bool WriteString(const wchar_t* section, const wchar_t* entry, const std::wstring& value);

    // The default file for the current user.
    static std::string DefaultFile();

private:
    struct Config;
    bool Load();
    static std::unique_ptr<Config> ReadFile(const std::string& path);
    bool Write(const std::function<bool(wxFileConfig&)>& apply);
    std::string m_path;
    std::unique_ptr<Config> m_config;
};
