// Device path mapping: the device root, the well-known folders and the XDG user folders.
#include "platform/DevicePath.h"

#include "platform/Text.h"

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <unistd.h>

namespace platform
{
namespace
{

struct Mapping
{
    std::string root;      // explicit root, empty for the default mapping
    std::string documents; // host folders of the well-known device folders
    std::string desktop;
    std::string temp;
};

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != 0 ? home : "/";
}

// An absolute host folder in one spelling: no doubled, "." or trailing separators, so that
// paths below it are recognised however the folder was written ("$HOME/", "/home//me").
std::string CleanFolder(const std::string& folder)
{
    std::string out;
    size_t at = 0;
    while (at <= folder.size()) {
        size_t end = folder.find('/', at);
        end = end == std::string::npos ? folder.size() : end;
        std::string part = folder.substr(at, end - at);
        if (!part.empty() && part != ".") {
            out += "/" + part;
        }
        at = end + 1;
    }
    return out.empty() ? "/" : out;
}

// The folder NAME names: the environment variable where it is set to an absolute path, else
// NAME="value" from ~/.config/user-dirs.dirs (or $XDG_CONFIG_HOME), as xdg-user-dirs writes
// it; $HOME at the start of the value stands for the home folder.
std::string XdgUserDir(const char* name, const char* fallback)
{
    const char* set = std::getenv(name);
    if (set != nullptr && *set == '/') {
        return CleanFolder(set);
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    std::string file =
        (config != nullptr && *config != 0 ? std::string(config) : HomeFolder() + "/.config") +
        "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    std::string prefix = std::string(name) + "=\"";
    while (std::getline(in, line)) {
        if (line.compare(0, prefix.size(), prefix) != 0 || line.back() != '"') {
            continue;
        }
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0) {
            value = HomeFolder() + value.substr(5);
        }
        if (!value.empty() && value[0] == '/') {
            return CleanFolder(value);
        }
    }
    return CleanFolder(HomeFolder() + "/" + fallback);
}

// The per-user folder that holds each running program's "\Temp": in the user's runtime
// folder where there is one (private to the user by definition), else below the temporary
// folder; each program's own folder below it is named by its process number.
std::string TempBase()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime == '/') {
        return std::string(runtime) + "/tavrel";
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp != nullptr && *tmp == '/' ? tmp : "/tmp";
    return base + "/tavrel-" + std::to_string(getuid());
}

std::string TempFolder()
{
    return TempBase() + "/" + std::to_string(getpid());
}

Mapping& CurrentMapping()
{
    static Mapping mapping = [] {
        Mapping m;
        m.documents = XdgUserDir("XDG_DOCUMENTS_DIR", "Documents");
        m.desktop = XdgUserDir("XDG_DESKTOP_DIR", "Desktop");
        m.temp = TempFolder();
        return m;
    }();
    return mapping;
}

std::mutex& MappingLock()
{
    static std::mutex lock;
    return lock;
}

// Converts separators to '/', folding runs of them into one.
std::string HostSeparators(std::wstring_view path)
{
    std::wstring text;
    text.reserve(path.size());
    for (wchar_t c : path) {
        wchar_t out = IsSeparator(c) ? L'/' : c;
        if (out == L'/' && !text.empty() && text.back() == L'/') {
            continue;
        }
        text.push_back(out);
    }
    return WideToUtf8(text);
}

// True when path equals folder or continues it after a separator; *rest gets the remainder.
bool HasFolderPrefix(std::wstring_view path, std::wstring_view folder, std::wstring_view* rest)
{
    if (path.size() < folder.size()) {
        return false;
    }
    for (size_t i = 0; i < folder.size(); ++i) {
        bool bothSep = IsSeparator(path[i]) && IsSeparator(folder[i]);
        if (!bothSep && LowerChar(path[i]) != LowerChar(folder[i])) {
            return false;
        }
    }
    if (path.size() > folder.size() && !IsSeparator(path[folder.size()])) {
        return false;
    }
    *rest = path.substr(folder.size());
    return true;
}

bool HasHostPrefix(std::string_view path, const std::string& folder, std::string_view* rest)
{
    if (folder.empty() || path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    if (path.size() > folder.size() && path[folder.size()] != '/' && folder.back() != '/') {
        return false;
    }
    // The rest starts at a separator (the root's own, for a folder that is the root).
    *rest = path.substr(folder.back() == '/' ? folder.size() - 1 : folder.size());
    return true;
}

std::wstring DeviceSeparators(std::string_view path)
{
    std::wstring text = Utf8ToWide(path);
    for (wchar_t& c : text) {
        if (c == L'/') {
            c = L'\\';
        }
    }
    return text;
}

} // namespace

void SetDeviceRoot(const std::string& hostRoot)
{
    std::lock_guard<std::mutex> guard(MappingLock());
    std::string root = hostRoot;
    while (root.size() > 1 && root.back() == '/') {
        root.pop_back();
    }
    CurrentMapping().root = root;
}

std::wstring DisplayPath(std::wstring_view devicePath)
{
    return Utf8ToWide(DeviceToHost(devicePath));
}

std::wstring DevicePathOf(std::wstring_view hostPath)
{
    return HostToDevice(WideToUtf8(hostPath));
}

std::wstring ExactDevicePath(std::string_view absoluteHostPath)
{
    std::wstring device = HostToDevice(absoluteHostPath);
    return !device.empty() && DeviceToHost(device) == absoluteHostPath ? device : std::wstring();
}

std::string AbsoluteHostPath(std::string_view hostPath)
{
    std::string whole;
    if (hostPath.empty() || hostPath[0] != '/') {
        char* cwd = getcwd(nullptr, 0);
        whole = cwd != nullptr ? cwd : "";
        std::free(cwd);
        whole.push_back('/');
    }
    whole += hostPath;
    std::string out;
    size_t at = 0;
    while (at <= whole.size()) {
        size_t end = whole.find('/', at);
        end = end == std::string::npos ? whole.size() : end;
        std::string_view part(whole.data() + at, end - at);
        if (!part.empty() && part != ".") {
            out.push_back('/');
            out += part;
        }
        at = end + 1;
    }
    return out.empty() ? "/" : out;
}

bool HasDefaultMapping()
{
    std::lock_guard<std::mutex> guard(MappingLock());
    return CurrentMapping().root.empty();
}

std::string DeviceToHost(std::wstring_view devicePath)
{
    if (devicePath.empty() || !IsSeparator(devicePath[0])) {
        return HostSeparators(devicePath);
    }
    std::lock_guard<std::mutex> guard(MappingLock());
    const Mapping& m = CurrentMapping();
    if (!m.root.empty()) {
        return (m.root == "/" ? "" : m.root) + HostSeparators(devicePath);
    }
    std::wstring_view rest;
    // A well-known folder that is the host's root ("/") gives the rest as it is.
    auto below = [&rest](const std::string& folder) {
        return (folder == "/" && !rest.empty() ? "" : folder) + HostSeparators(rest);
    };
    if (HasFolderPrefix(devicePath, kMyDocuments, &rest)) {
        return below(m.documents);
    }
    if (HasFolderPrefix(devicePath, kDesktop, &rest)) {
        return below(m.desktop);
    }
    if (HasFolderPrefix(devicePath, kTemp, &rest)) {
        return below(m.temp);
    }
    return HostSeparators(devicePath);
}

std::wstring HostToDevice(std::string_view hostPath)
{
    if (hostPath.empty() || hostPath[0] != '/') {
        return DeviceSeparators(hostPath);
    }
    std::lock_guard<std::mutex> guard(MappingLock());
    const Mapping& m = CurrentMapping();
    std::string_view rest;
    if (!m.root.empty()) {
        if (m.root == "/") {
            return DeviceSeparators(hostPath);
        }
        if (!HasHostPrefix(hostPath, m.root, &rest)) {
            return std::wstring();
        }
        return rest.empty() ? std::wstring(L"\\") : DeviceSeparators(rest);
    }
    if (HasHostPrefix(hostPath, m.documents, &rest)) {
        return kMyDocuments + DeviceSeparators(rest);
    }
    if (HasHostPrefix(hostPath, m.desktop, &rest)) {
        return kDesktop + DeviceSeparators(rest);
    }
    if (HasHostPrefix(hostPath, m.temp, &rest)) {
        return kTemp + DeviceSeparators(rest);
    }
    return DeviceSeparators(hostPath);
}

} // namespace platform
