// Folder entries of LZH archives.
#include "lzh/ArchiveEntry.h"

#include <cwchar>

bool IsFolderEntry(const CArchiveEntry& entry)
{
    if (std::wcsncmp(entry.method, L"-lhd-", 5) == 0) {
        return true;
    }
    // Amiga LhA stores some folders as empty "-lh0-" members whose path ends in a separator:
    // no name after the folder, and no data.
    return std::wcscmp(entry.method, L"-lh0-") == 0 && entry.name[0] == 0 && entry.folder[0] != 0 &&
           entry.unpackedSize == 0 && entry.packedSize == 0;
}
