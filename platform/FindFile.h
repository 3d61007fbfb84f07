// Wildcard search over one folder, in the manner of FindFirstFile/FindNextFile: the pattern's
// last component may hold '*' and '?' (matched ignoring case); "." and ".." are never listed.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace platform
{

struct FindData
{
    std::wstring name;   // name within the folder
    uint32_t attributes; // as GetFileAttributes (of a link's target)
    bool isLink;         // a symbolic link (a dangling one has no attributes but archive)
    uint64_t size;
    FileTime lastWritten;
};

class CFindFile
{
public:
    CFindFile() = default;
    ~CFindFile();
    CFindFile(const CFindFile&) = delete;
    CFindFile& operator=(const CFindFile&) = delete;

    // Starts a search for folder\pattern; false when nothing matches.
    bool First(std::wstring_view pathPattern, FindData* data);
    bool Next(FindData* data);
    void Close();

private:
    void* m_dir = nullptr; // DIR*
    std::string m_hostFolder;
    std::wstring m_pattern;
};

} // namespace platform
