// Method identifiers of LZH members.
#include "lzh/ArchiveEntry.h"

#include <cwchar>

int MethodFromString(const wchar_t* method)
{
    static const struct
    {
        const wchar_t* text;
        int number;
    } kMethods[] = {{L"-lh0-", kMethodStored},
                    {L"-lh5-", kMethodLh5},
                    {L"-lh6-", kMethodLh6},
                    {L"-lh7-", kMethodLh7}};
    for (const auto& m : kMethods) {
        if (std::wcscmp(method, m.text) == 0) {
            return m.number;
        }
    }
    return kMethodUnknown;
}

bool IsFolderEntry(const CArchiveEntry& entry)
{
    return std::wcsncmp(entry.method, L"-lhd-", 5) == 0;
}
