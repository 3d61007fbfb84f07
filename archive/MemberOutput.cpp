// The output rules of extraction, shared by the LZH and ZIP readers.
#include "archive/MemberOutput.h"

#include "platform/DevicePath.h"
#include "platform/Text.h"

using namespace platform;

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

std::wstring BelowDestination(std::wstring_view stored, bool lowercase)
{
    size_t i = 0;
    while (i < stored.size() && IsSeparator(stored[i])) {
        ++i;
    }
    std::wstring_view relative = stored.substr(i);
    return lowercase ? ToLower(relative) : std::wstring(relative);
}

std::wstring_view LastComponent(std::wstring_view path)
{
    size_t cut = path.find_last_of(L"\\/");
    return cut == std::wstring_view::npos ? path : path.substr(cut + 1);
}

bool MayReplace(const CFolderTree& tree, std::wstring_view relative, FileTime memberLocal,
                const wchar_t* name, const ReplaceRules& rules)
{
    // Nothing there, or a folder (the creation fails later), or a link on the way that cannot
    // be looked past (likewise): nothing to ask. A file, a link or anything else standing in
    // the member's place is the user's, and goes only by the rules.
    TreeEntry existing = tree.Look(relative);
    if (existing.kind == TreeEntry::None || existing.kind == TreeEntry::Folder ||
        (existing.kind == TreeEntry::Link && existing.lastWritten == 0)) {
        return true;
    }
    // Compared in whole seconds of local time, as the stamps of archives are.
    FileTime written = existing.lastWritten - existing.lastWritten % kTicksPerSecond;
    FileTime existingLocal = written;
    FileTimeToLocalFileTime(written, &existingLocal);
    if (rules.skipIfNotOlder && existingLocal >= memberLocal) {
        return false;
    }
    if (!rules.overwriteSilently && (!rules.askOnlyIfNewer || existingLocal > memberLocal)) {
        bool answer = false;
        if (rules.prompt != nullptr) {
            rules.prompt->AskOverwrite(name, &answer);
        }
        return answer;
    }
    return true;
}
