// Folder enumeration with opendir/readdir and wildcard matching.
#include "platform/FindFile.h"

#include "platform/DevicePath.h"
#include "platform/File.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"

#include <dirent.h>
#include <sys/stat.h>

namespace platform
{

CFindFile::~CFindFile()
{
    Close();
}

void CFindFile::Close()
{
    if (m_dir != nullptr) {
        closedir(static_cast<DIR*>(m_dir));
        m_dir = nullptr;
    }
}

bool CFindFile::First(std::wstring_view pathPattern, FindData* data)
{
    Close();
    std::wstring_view folder = FolderPart(pathPattern);
    m_pattern = std::wstring(LastComponent(pathPattern));
    m_hostFolder = folder.empty() ? std::string("./") : DeviceToHost(folder);
    if (!m_hostFolder.empty() && m_hostFolder.back() != '/') {
        m_hostFolder.push_back('/');
    }
    m_dir = opendir(m_hostFolder.c_str());
    return m_dir != nullptr && Next(data);
}

bool CFindFile::Next(FindData* data)
{
    if (m_dir == nullptr) {
        return false;
    }
    while (struct dirent* e = readdir(static_cast<DIR*>(m_dir))) {
        std::string_view host(e->d_name);
        if (host == "." || host == "..") {
            continue;
        }
        std::wstring name = Utf8ToWide(host);
        if (!MatchWildcard(m_pattern, name)) {
            continue;
        }
        struct stat st;
        std::string full = m_hostFolder + e->d_name;
        if (lstat(full.c_str(), &st) != 0) {
            continue; // vanished
        }
        data->isLink = S_ISLNK(st.st_mode);
        if (data->isLink && stat(full.c_str(), &st) != 0) {
            st.st_mode = S_IFLNK | 0777; // a dangling link: listed, as the link it is
        }
        data->name = std::move(name);
        data->size = S_ISDIR(st.st_mode) ? 0 : static_cast<uint64_t>(st.st_size);
        data->attributes = S_ISDIR(st.st_mode) ? kAttrFolder : kAttrArchive;
        if (!S_ISDIR(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
            data->attributes |= kAttrReadOnly;
        }
        int64_t seconds = st.st_mtim.tv_sec + 11'644'473'600LL;
        data->lastWritten = seconds < 0 ? 0
                                        : static_cast<FileTime>(seconds) * kTicksPerSecond +
                                              static_cast<FileTime>(st.st_mtim.tv_nsec / 100);
        return true;
    }
    return false;
}

} // namespace platform
