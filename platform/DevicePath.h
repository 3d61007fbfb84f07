// Device paths (wide text, '\' or '/' separators, no drive letters) to host paths and back.
// By default the device root is the host root and the well-known folders map to the user's
// folders: \My Documents to the XDG documents folder, \Windows\デスクトップ to the desktop
// folder and \Temp to a per-user temporary folder. An explicit root maps every device path
// plainly under one host folder (tests, --device-root).
#pragma once

#include <string>
#include <string_view>

namespace platform
{

inline constexpr wchar_t kMyDocuments[] = L"\\My Documents";
inline constexpr wchar_t kDesktop[] = L"\\Windows\\\u30C7\u30B9\u30AF\u30C8\u30C3\u30D7";
inline constexpr wchar_t kTemp[] = L"\\Temp";

// Maps everything under hostRoot; an empty root restores the default mapping.
void SetDeviceRoot(const std::string& hostRoot);

// Host path (UTF-8) of a device path. A path without a leading separator stays relative to
// the current folder.
std::string DeviceToHost(std::wstring_view devicePath);

// Device path of a host path; relative host paths stay relative. Empty when an absolute path
// lies outside an explicit root.
std::wstring HostToDevice(std::string_view hostPath);

// A device path as a person reads it: the host path, as wide text ('/' between folders).
std::wstring DisplayPath(std::wstring_view devicePath);
// What a person typed or chose (a host path) as a device path; a trailing separator stays.
// Empty for an absolute path outside an explicit root.
std::wstring DevicePathOf(std::wstring_view hostPath);
// The device path of an absolute host path when it names that host path again; empty when
// no device path does ('\\' in a host name, a host folder that reads as one of the device's
// own such as /temp, or a path outside an explicit root).
std::wstring ExactDevicePath(std::string_view absoluteHostPath);
// A host path given on a command line made absolute: "." and empty components dropped, ".."
// kept (the file system resolves it, through links as the shell would), no trailing '/'.
std::string AbsoluteHostPath(std::string_view hostPath);

// Whether the default mapping is in force (no explicit root).
bool HasDefaultMapping();

inline bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

// The folder part of a path: up to and including its last separator of either kind; empty
// when it has none.
inline std::wstring_view FolderPart(std::wstring_view path)
{
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring_view::npos ? std::wstring_view() : path.substr(0, cut + 1);
}

// The text after the last separator of either kind (all of it when there is none).
inline std::wstring_view LastComponent(std::wstring_view path)
{
    return path.substr(FolderPart(path).size());
}

} // namespace platform
