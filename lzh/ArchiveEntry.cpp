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

int ReadableMethodFromString(const wchar_t* method)
{
    static const struct
    {
        const wchar_t* text;
        int number;
    } kReadOnly[] = {{L"-lh1-", kMethodLh1}, {L"-lh4-", kMethodLh4}, {L"-lhx-", kMethodLhx},
                     {L"-lzs-", kMethodLzs}, {L"-lz5-", kMethodLz5}, {L"-lz4-", kMethodLz4},
                     {L"-pm0-", kMethodPm0}};
    int number = MethodFromString(method);
    for (const auto& m : kReadOnly) {
        if (number == kMethodUnknown && std::wcscmp(method, m.text) == 0) {
            number = m.number;
        }
    }
    return number;
}

bool IsStoredMethod(int method)
{
    return method == kMethodStored || method == kMethodLz4 || method == kMethodPm0;
}

bool IsFolderEntry(const CArchiveEntry& entry)
{
    return std::wcsncmp(entry.method, L"-lhd-", 5) == 0;
}
