// Folder entries of LZH archives.
#include "lzh/ArchiveEntry.h"

#include <cwchar>

bool IsFolderEntry(const CArchiveEntry& entry)
{
    return std::wcsncmp(entry.method, L"-lhd-", 5) == 0;
}
