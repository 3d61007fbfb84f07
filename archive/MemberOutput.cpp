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

namespace
{

PlaceVerdict Ask(const ReplaceRules& rules, const OverwriteQuestion& question, bool collision)
{
    OverwriteAnswer answer =
        rules.prompt != nullptr ? rules.prompt->AskOverwrite(question) : OverwriteAnswer::No;
    switch (answer) {
    case OverwriteAnswer::Yes:
        return PlaceVerdict::Write;
    case OverwriteAnswer::Cancel:
        return PlaceVerdict::Cancel;
    case OverwriteAnswer::Unanswerable:
        return collision ? PlaceVerdict::Collision : PlaceVerdict::Unanswered;
    case OverwriteAnswer::No:
        break;
    }
    return PlaceVerdict::Skip;
}

} // namespace

PlaceVerdict DecideReplace(CFolderTree& tree, std::wstring_view relative,
                           const OverwriteQuestion& member, FileTime memberLocal,
                           const ReplaceRules& rules, bool* replace, int* writtenBy)
{
    *replace = false;
    *writtenBy = -1;
    // Nothing there, or a folder (the creation fails later), or a link on the way that cannot
    // be looked past (likewise): nothing to ask. A file, a link or anything else standing in
    // the member's place is the user's, and goes only by the rules.
    TreeEntry existing = tree.Look(relative);
    if (existing.isProtected) {
        return PlaceVerdict::Protected;
    }
    if (existing.kind == TreeEntry::None || existing.kind == TreeEntry::Folder ||
        (existing.kind == TreeEntry::Link && existing.lastWritten == 0)) {
        return PlaceVerdict::Write;
    }
    OverwriteQuestion question = member;
    question.existingSize = existing.size;
    question.existingTime = existing.lastWritten;
    PlaceVerdict verdict = PlaceVerdict::Write;
    if (existing.writtenThisRun) {
        // Another member of this run wrote it: never replaced unasked, whatever the times.
        *writtenBy = existing.writtenBy;
        question.writtenThisRun = true;
        verdict = Ask(rules, question, true);
    } else {
        // Compared in whole seconds of local time, as the stamps of archives are.
        FileTime written = existing.lastWritten - existing.lastWritten % kTicksPerSecond;
        FileTime existingLocal = written;
        FileTimeToLocalFileTime(written, &existingLocal);
        if (rules.skipIfNotOlder && existingLocal >= memberLocal) {
            return PlaceVerdict::Skip;
        }
        // Replaced unasked by the settings, unless the user said No to everything beforehand.
        bool silently =
            rules.overwriteSilently || (rules.askOnlyIfNewer && existingLocal <= memberLocal);
        if (!silently || (rules.prompt != nullptr && !rules.prompt->MayReplaceUnasked())) {
            verdict = Ask(rules, question, false);
        }
    }
    *replace = verdict == PlaceVerdict::Write;
    return verdict;
}
