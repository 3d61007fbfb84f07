// Output files and folders of extraction, and the path checks that keep members inside the
// destination.
#include "lzh/OutputFile.h"

#include "platform/DevicePath.h"

using namespace platform;

bool MakeParentFolders(std::wstring_view path)
{
    // Either separator: names stored with '/' (Unix and Amiga archivers) need their
    // folders as much as names stored with '\'.
    size_t cut = path.find_last_of(L"\\/");
    if (cut == std::wstring_view::npos) {
        return false;
    }
    std::wstring_view parent = path.substr(0, cut);
    if (CreateFolder(parent)) {
        return true;
    }
    MakeParentFolders(parent);
    return CreateFolder(parent);
}

bool ExistingFileLocalTime(std::wstring_view path, FileTime* local, uint32_t* attributes)
{
    FileTime written = 0;
    if (!GetFileInfo(path, attributes, &written) || (*attributes & kAttrFolder)) {
        return false;
    }
    written -= written % kTicksPerSecond;
    *local = written;
    FileTimeToLocalFileTime(written, local);
    return true;
}

FileHandle CreateOutputFile(std::wstring_view path)
{
    FileHandle file = OpenFile(path, kAccessWrite, FileShare::None, FileDisposition::CreateAlways);
    if (file == kInvalidFile) {
        MakeParentFolders(path);
        file = OpenFile(path, kAccessWrite, FileShare::None, FileDisposition::CreateAlways);
    }
    return file;
}

bool HasParentComponent(std::wstring_view path)
{
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) {
            ++end;
        }
        if (path.substr(start, end - start) == L"..") {
            return true;
        }
        start = end + 1;
    }
    return false;
}

std::wstring_view StripLeadingSeparators(std::wstring_view path)
{
    size_t i = 0;
    while (i < path.size() && IsSeparator(path[i])) {
        ++i;
    }
    return path.substr(i);
}
