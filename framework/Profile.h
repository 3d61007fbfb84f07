// The settings store that stands in for the registry: sections of named integer and string
// values in a per-user file, in the form wxFileConfig writes. The file is read once; a value is
// written only when it changes, into the file as it is on disk then, through a temporary file
// renamed over the file its name leads to (a symbolic link stays a link). A file that cannot be
// read as settings, or that this user may not replace, is never written.
#pragma once

class CIniText;

#include <functional>
#include <memory>
#include <string>

class CProfileStore
{
public:
    enum class State
    {
        Usable,   // read (or missing: defaults, made at the first write)
        Unusable, // there, but not readable as settings (binary, a folder, no permission)
        ReadOnly, // read, but this user may not replace it
    };

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
    // Written to the file at once when it differs from what the file holds (another program's
    // values are kept); false when it cannot be saved.
    bool WriteInt(const wchar_t* section, const wchar_t* entry, int value);
    bool WriteString(const wchar_t* section, const wchar_t* entry, const std::wstring& value);

    // The default file for the current user.
    static std::string DefaultFile();
    // What the file was found to be when it was read.
    State GetState();

private:
    bool Load();
    static std::unique_ptr<CIniText> ReadFile(const std::string& path);
    bool Write(const std::function<bool(CIniText&)>& apply);
    std::string m_path;
    std::unique_ptr<CIniText> m_text;
    State m_state = State::Usable;
};
