#include "app/CommandLine.h"

#include "app/Outcome.h"
#include "framework/Framework.h"

#include "platform/DevicePath.h"
#include "platform/File.h"
#include "platform/FindFile.h"
#include "platform/Text.h"
#include "platform/Wildcard.h"
#include "res/Strings.h"

#include <algorithm>
#include <cwchar>
#include <initializer_list>
#include <optional>
#include <vector>

namespace
{

// A switch letter, the values it accepts (bit v for value v) and what it sets.
struct SwitchRule
{
    wchar_t letter;
    unsigned allowed;
    void (*apply)(CCommandLineProcessor& p, TypedSettings& t, int value);
};

constexpr unsigned Values(std::initializer_list<int> values)
{
    unsigned bits = 0;
    for (int v : values) {
        bits |= 1u << v;
    }
    return bits;
}

const SwitchRule kSwitchRules[] = {
    {L'a', Values({0, 1, 2}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) {
         t.resetReadOnly = t.skipHidden = t.skipSystem = v == 0;
     }},
    {L'c', Values({0, 1}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.addMode = v == 1; }},
    {L'd', Values({0, 1}),
     [](CCommandLineProcessor& p, TypedSettings& t, int v) {
         p.includeFolders = p.recurse = v == 1;
         t.keepFolders = v == 1;
     }},
    {L'h', Values({0, 1, 2}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.headerLevel = v; }},
    {L'i', Values({0, 1}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.lowercase = v == 1; }},
    {L'm', Values({0, 1}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.overwriteSilently = v == 1; }},
    {L'o', Values({0, 2, 3, 4}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) {
         if (v != 0) {
             t.methodIndex = v - 2; // 2 "-lh5-", 3 "-lh6-", 4 "-lh7-"
         }
     }},
    {L'p', Values({0, 1}),
     [](CCommandLineProcessor& p, TypedSettings&, int v) { p.fullPathMatch = v == 1; }},
    {L'r', Values({0, 2}),
     [](CCommandLineProcessor& p, TypedSettings&, int v) { p.recurse = v == 2; }},
    {L'x', Values({0, 1}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.keepFolders = v == 1; }},
    {L'y', Values({0, 1}),
     [](CCommandLineProcessor&, TypedSettings& t, int v) { t.ignoreErrors = v == 1; }},
};

// The command a letter names, with what the letter sets; kCommandNone for any other. "u"
// updates: only files newer than their members replace them, whatever was set before.
int CommandOfLetter(wchar_t letter, TypedSettings& t)
{
    switch (letter) {
    case L'a':
        t.addMode = true;
        return kCommandAdd;
    case L'u':
        t.addMode = false;
        return kCommandAdd;
    case L'd':
        return kCommandDelete;
    case L'x':
        t.keepFolders = true;
        return kCommandExtract;
    case L'e':
        return kCommandExtract;
    default:
        return kCommandNone;
    }
}

template <typename T> void Put(const std::optional<T>& value, T& field)
{
    if (value) {
        field = *value;
    }
}

} // namespace

ArchiveFields CaptureFields(const CLzhArchive& a)
{
    return {a.destFolder,        a.keepFolders, a.lowercase,    a.resetReadOnly,
            a.skipHidden,        a.skipSystem,  a.ignoreErrors, a.addMode,
            a.overwriteSilently, a.storeOnly,   a.headerLevel,  a.methodIndex};
}

void RestoreFields(const ArchiveFields& f, CLzhArchive& a)
{
    std::wcscpy(a.destFolder, f.destFolder.c_str());
    a.keepFolders = f.keepFolders;
    a.lowercase = f.lowercase;
    a.resetReadOnly = f.resetReadOnly;
    a.skipHidden = f.skipHidden;
    a.skipSystem = f.skipSystem;
    a.ignoreErrors = f.ignoreErrors;
    a.addMode = f.addMode;
    a.overwriteSilently = f.overwriteSilently;
    a.storeOnly = f.storeOnly;
    a.headerLevel = f.headerLevel;
    a.methodIndex = f.methodIndex;
}

void TypedSettings::ApplyTo(CLzhArchive& a) const
{
    if (destFolder) {
        std::wcscpy(a.destFolder, destFolder->c_str());
    }
    Put(keepFolders, a.keepFolders);
    Put(lowercase, a.lowercase);
    Put(resetReadOnly, a.resetReadOnly);
    Put(skipHidden, a.skipHidden);
    Put(skipSystem, a.skipSystem);
    Put(ignoreErrors, a.ignoreErrors);
    Put(addMode, a.addMode);
    Put(overwriteSilently, a.overwriteSilently);
    Put(storeOnly, a.storeOnly);
    Put(headerLevel, a.headerLevel);
    Put(methodIndex, a.methodIndex);
}

bool TokenizeCommand(std::wstring_view text, std::vector<std::wstring>& tokens)
{
    // A token is the text from its first character up to the one that ended it, so a quote
    // met inside a running token stays in it.
    tokens.clear();
    bool quoted = false;
    size_t start = std::wstring_view::npos;
    auto end = [&](size_t at) {
        if (start != std::wstring_view::npos) {
            tokens.emplace_back(text.substr(start, at - start));
            start = std::wstring_view::npos;
        }
    };
    for (size_t i = 0; i < text.size() && tokens.size() <= kMaxTokens; ++i) {
        wchar_t c = text[i];
        if (c == L'"') {
            if (quoted) {
                end(i);
            }
            quoted = !quoted;
        } else if (c == L' ' && !quoted) {
            end(i);
        } else if (start == std::wstring_view::npos) {
            start = i;
        }
    }
    end(text.size());
    return tokens.size() <= kMaxTokens;
}

std::wstring MemberPath(const CArchiveEntry& entry)
{
    std::wstring path = std::wstring(entry.folder) + entry.name;
    if (!path.empty() && path.back() == L'\\') {
        path.pop_back();
    }
    return path;
}

void UpdateCommandHistory(std::wstring (&history)[3], const std::wstring& text)
{
    if (text == history[0] || text == history[1] || text == history[2]) {
        return;
    }
    history[2] = history[1];
    history[1] = history[0];
    history[0] = text;
}

bool SearchDeviceFiles(const std::wstring& pattern,
                       const std::function<void(const std::wstring&, bool)>& found)
{
    platform::CFindFile finder;
    platform::FindData data;
    if (!finder.First(pattern, &data)) {
        return false;
    }
    do {
        // A link to a folder is not walked into: it is added as the link it is.
        found(data.name, (data.attributes & platform::kAttrFolder) != 0 && !data.isLink);
    } while (finder.Next(&data));
    return true;
}

CCommandLineProcessor::CCommandLineProcessor() : search(SearchDeviceFiles) {}

bool CCommandLineProcessor::Switch(const std::wstring& token)
{
    wchar_t letter = token.size() >= 2 ? token[1] : 0;
    int value = -1; // no value
    if (token.size() == 2) {
        value = 1;
    } else if (token.size() == 3) {
        value = (token[2] >= L'0' && token[2] <= L'9') ? token[2] - L'0' : 0;
    }
    if (letter == L'z') {
        if (token.size() == 2 || (token.size() == 3 && token[2] == L'1')) {
            typed.storeOnly = true;
        } else if (token.size() == 3 && token[2] == L'0') {
            typed.storeOnly = false;
        } else {
            std::wstring t = token.substr(2);
            if (storePatterns.size() >= kMaxStorePatterns) {
                return false;
            }
            storePatterns.push_back(!t.empty() && t[0] == L'.' ? L"*" + t : L"*." + t);
        }
        return true;
    }
    for (const SwitchRule& rule : kSwitchRules) {
        if (rule.letter == letter) {
            if (value < 0 || value > 9 || !(rule.allowed & (1u << value))) {
                return false;
            }
            rule.apply(*this, typed, value);
            return true;
        }
    }
    return false; // any other letter, upper case included
}

void CCommandLineProcessor::SearchFiles(const std::wstring& pattern)
{
    size_t cut = pattern.rfind(L'\\');
    std::wstring prefix = cut == std::wstring::npos ? L"" : pattern.substr(0, cut + 1);
    size_t before = fileList.size();
    bool any = search(pattern, [&](const std::wstring& name, bool folder) {
        if (name == L"." || name == L"..") {
            return;
        }
        if (!folder) {
            fileList.push_back(prefix + name);
            return;
        }
        if (includeFolders) {
            fileList.push_back(prefix + name);
        }
        // Each folder is searched in turn, where it is found, once (a bind mount may show one
        // again below itself). Paths that cannot be stored are not descended into. An empty
        // folder finds nothing; that is not reported.
        platform::PathInfo info;
        bool firstVisit = !platform::GetPathInfo(prefix + name, &info) ||
                          info.kind != platform::PathInfo::Folder ||
                          m_seenFolders.emplace(info.device, info.inode).second;
        if (recurse && firstVisit &&
            prefix.size() + name.size() + 2 < static_cast<size_t>(kMaxPath)) {
            std::function<void(const std::wstring&)> saved = report;
            report = nullptr;
            SearchFiles(prefix + name + L"\\*");
            report = saved;
        }
    });
    if (!any && report) {
        Fail(res::kPathNotFound); // a name that finds nothing is a file not added
    } else if (fileList.size() == before && report) {
        // Only folders, without the switches that add them or their files.
        Fail(FormatNamed(res::kNothingToAdd, platform::DisplayPath(pattern)));
    }
}

int CCommandLineProcessor::Interpret(const std::vector<std::wstring>& tokens)
{
    int command = kCommandNone;
    m_namesTyped = 0;
    m_seenFolders.clear();
    for (const std::wstring& word : tokens) {
        if (word[0] == L'-' || (!hostPaths && word[0] == L'/')) {
            if (!Switch(word)) {
                return kCommandInvalid;
            }
            continue;
        }
        // A person types host paths ('/' between folders, absolute ones from the host's root);
        // the archive object takes device paths.
        bool absolute = hostPaths && word[0] == L'/';
        std::wstring token = hostPaths ? platform::DevicePathOf(word) : word;
        if (token.empty()) {
            return kCommandInvalid; // a host path outside the device root
        }
        // The first word that is a command letter is the command; every word after it is a
        // name, whatever its length ("e d" extracts the member d).
        if (token.size() == 1 && !absolute && command == kCommandNone) {
            int letter = CommandOfLetter(token[0], typed);
            if (letter != kCommandNone) {
                command = letter;
                continue;
            }
        }
        // A folder word is the destination and the base of names to add; after a delete,
        // which has no use for one, it names the folder to delete (a shell's completion
        // puts the separator after it).
        if (token.back() == L'\\' && command != kCommandDelete) {
            if (token.size() >= static_cast<size_t>(kMaxPath)) {
                return kCommandInvalid; // the folder does not fit
            }
            typed.destFolder = token;
            continue;
        }
        ++m_namesTyped;
        if (command == kCommandAdd) {
            SearchFiles(token);
        } else {
            fileList.push_back(token);
        }
    }
    return command;
}

namespace
{

bool HasSeparator(std::wstring_view text)
{
    return text.find_first_of(L"\\/") != std::wstring_view::npos;
}

// Whether one item of the list names a member: a folder word (ending in a separator: only a
// delete takes one) names that folder and everything in it; an item with a separator, or any
// item under full-path matching, is matched against the whole member path; any other against
// the member's last component.
bool ItemNames(std::wstring_view path, std::wstring_view item, bool fullPath)
{
    if (!item.empty() && platform::IsSeparator(item.back())) {
        while (!item.empty() && platform::IsSeparator(item.back())) {
            item.remove_suffix(1);
        }
        if (item.empty()) {
            return false; // the root names no folder of the archive's
        }
        for (size_t cut = path.find(L'\\'); cut != std::wstring_view::npos;
             cut = path.find(L'\\', cut + 1)) {
            if (cut > 0 && platform::MatchWildcard(item, path.substr(0, cut))) {
                return true;
            }
        }
        return !path.empty() && platform::MatchWildcard(item, path);
    }
    if (fullPath || HasSeparator(item)) {
        return platform::MatchWildcard(item, path);
    }
    return platform::MatchWildcard(item, platform::LastComponent(path));
}

} // namespace

bool CCommandLineProcessor::MatchesMember(const std::wstring& memberPath,
                                          std::vector<bool>* named) const
{
    if (fileList.empty()) {
        return true;
    }
    bool any = false;
    for (size_t i = 0; i < fileList.size(); ++i) {
        if (named != nullptr && any && (*named)[i]) {
            continue; // known to name a member already
        }
        if (ItemNames(memberPath, fileList[i], fullPathMatch)) {
            if (named == nullptr) {
                return true;
            }
            (*named)[i] = true;
            any = true;
        }
    }
    return any;
}

void CCommandLineProcessor::ReportUnnamed(const std::vector<bool>& named)
{
    for (size_t i = 0; i < named.size(); ++i) {
        if (!named[i]) {
            Fail(FormatNamed(res::kSourceNotFound, platform::DisplayPath(fileList[i])));
        }
    }
}

void CCommandLineProcessor::Fail(const std::wstring& message)
{
    ++failures;
    if (report) {
        report(message);
    }
}

void CCommandLineProcessor::Extract(CLzhArchive& a)
{
    std::vector<bool> named(fileList.size());
    std::vector<int> matching;
    for (int i = 0; i < a.GetEntryCount(); ++i) {
        if (MatchesMember(MemberPath(a.GetEntry(i)), &named)) {
            matching.push_back(i);
        }
    }
    // One run: the destination is held from the first member to the last; the members are
    // decoded ahead on the other cores.
    a.BeginExtraction();
    a.PlanRun(matching);
    for (int i : matching) {
        const CArchiveEntry& e = a.GetEntry(i);
        std::wstring path = MemberPath(e);
        std::wstring base = !path.empty() && path[0] == L'\\' ? L"" : a.destFolder;
        std::wstring target = base + (a.keepFolders ? std::wstring(e.folder) + e.name : e.name);
        bool folderTarget = !target.empty() && target.back() == L'\\';
        if (a.ExtractEntry(i)) {
            continue;
        }
        StatusCause cause = a.LastCause();
        MemberOutcome outcome = OutcomeOf(cause);
        if (!a.testMode && !folderTarget && outcome == MemberOutcome::Skipped) {
            continue;
        }
        if (outcome == MemberOutcome::Cancelled) {
            ++failures; // stopped by the user: the run ends
            a.EndExtraction();
            return;
        }
        // Every member that was not done is told of; broken and unsupported ones let the run
        // go on, any other failure ends it.
        std::wstring shown = MemberLabel(e.name, e.folder);
        int other = a.CollidedWith();
        std::wstring otherShown =
            other >= 0 && other < a.GetEntryCount()
                ? MemberLabel(a.GetEntry(other).name, a.GetEntry(other).folder)
                : L"";
        Fail(outcome == MemberOutcome::Unsupported
                 ? FormatNamed(res::kUnsupportedMember, shown)
                 : ExtractFailureText(cause, shown, otherShown,
                                      platform::DisplayPath(a.destFolder)));
        if (cause != StatusCause::Damaged && cause != StatusCause::Truncated &&
            cause != StatusCause::CrcMismatch && cause != StatusCause::Unsupported) {
            a.EndExtraction();
            return;
        }
    }
    a.EndExtraction();
    ReportUnnamed(named);
}

void CCommandLineProcessor::Delete(CLzhArchive& a)
{
    // Deleting the first match and scanning again from the first member deletes every member
    // that matches; they go in one pass, so that "d *" on a large archive stays linear.
    std::vector<int> matching;
    std::vector<bool> named(fileList.size());
    for (int i = 0; i < a.GetEntryCount(); ++i) {
        if (MatchesMember(MemberPath(a.GetEntry(i)), &named)) {
            matching.push_back(i);
        }
    }
    if (!matching.empty() && !a.DeleteEntries(matching)) {
        Fail(FormatNamed(res::kDeleteFailed, a.GetEntryName(matching[0])));
        return;
    }
    ReportUnnamed(named);
}

bool CCommandLineProcessor::StoredByPattern(const std::wstring& source) const
{
    std::wstring_view name = platform::LastComponent(source);
    for (const std::wstring& pattern : storePatterns) {
        if (platform::MatchWildcard(platform::LastComponent(pattern), name)) {
            return true;
        }
    }
    return false;
}

void CCommandLineProcessor::Add(CLzhArchive& a)
{
    // The files to compress are compressed ahead, on every core, in the order they are added.
    std::vector<std::wstring> ahead;
    if (!a.storeOnly) {
        for (const std::wstring& item : fileList) {
            std::wstring source = std::wstring(a.destFolder) + item;
            uint32_t attributes = platform::GetFileAttributes(source);
            if (item != L"\\" && attributes != platform::kInvalidAttributes &&
                !(attributes & platform::kAttrFolder) && !StoredByPattern(source)) {
                ahead.push_back(std::move(source));
            }
        }
    }
    a.CompressAhead(std::move(ahead));
    a.BeginAddRun();
    for (const std::wstring& item : fileList) {
        std::wstring source = item == L"\\" ? item : std::wstring(a.destFolder) + item;
        uint32_t attributes = platform::GetFileAttributes(source);
        if (attributes == platform::kInvalidAttributes) {
            // Found by the search but not in the folder names are added from: not added, and
            // said so (the command goes on with the next name).
            Fail(FormatNamed(res::kSourceNotFound, platform::DisplayPath(source)));
            continue;
        }
        bool stored = a.storeOnly;
        bool folder = includeFolders && (attributes & platform::kAttrFolder);
        if (!folder && StoredByPattern(source)) {
            a.storeOnly = true;
        }
        if (!a.AddFile(item.c_str())) {
            // Skips (an existing member that is not older) are quiet; what holds no file's
            // bytes is told of and passed over; anything else ends the command (a folder goes
            // on past hidden-or-system skips only as files do).
            bool skipped = a.status == kLzhSkippedNotOlder || a.status == kLzhSkippedOwnFile ||
                           (!folder && a.status == kLzhSkippedAttributes);
            if (AddGoesOn(a.LastCause())) {
                Fail(ChangeFailureText(a.LastCause(), platform::DisplayPath(source),
                                       platform::DisplayPath(a.CollidedSource())));
            } else if (!skipped) {
                Fail(ChangeFailureText(a.LastCause(), platform::DisplayPath(source)));
                a.storeOnly = stored;
                break;
            }
        }
        a.storeOnly = stored;
    }
    a.EndAddRun();
    a.StopAhead();
}

void CCommandLineProcessor::Execute(int command, CLzhArchive& archive)
{
    // An archive that cannot be changed is refused before any work, and so is a change that
    // names nothing to change: a delete without a pattern would take every member.
    if ((command == kCommandAdd || command == kCommandDelete) && !archive.CanChange()) {
        Fail(ChangeFailureText(archive.LastCause(), L""));
        command = kCommandNone;
    } else if (command == kCommandAdd && m_namesTyped == 0) {
        Fail(res::kNothingNamedToAdd);
        command = kCommandNone;
    } else if (command == kCommandDelete && fileList.empty()) {
        Fail(res::kNothingNamedToDelete);
        command = kCommandNone;
    }
    // What was typed holds for this command only; the archive's fields are as the program's
    // settings left them afterwards.
    ArchiveFields saved = CaptureFields(archive);
    typed.ApplyTo(archive);
    switch (command) {
    case kCommandExtract:
        Extract(archive);
        break;
    case kCommandAdd:
        Add(archive);
        break;
    case kCommandDelete:
        Delete(archive);
        break;
    default:
        break;
    }
    RestoreFields(saved, archive);
    fileList.clear();
    storePatterns.clear();
}

bool CCommandLineProcessor::Run(const std::wstring& text, CLzhArchive& archive)
{
    std::vector<std::wstring> tokens;
    if (!TokenizeCommand(text, tokens)) {
        tokens.clear(); // beyond the limit: refused whole
    }
    return RunTokens(tokens, archive);
}

bool CCommandLineProcessor::RunTokens(const std::vector<std::wstring>& tokens, CLzhArchive& archive)
{
    // An empty word (an unset shell variable) names nothing: the command is refused.
    bool valid =
        tokens.size() >= 2 &&
        std::none_of(tokens.begin(), tokens.end(), [](const std::wstring& t) { return t.empty(); });
    int command = valid ? Interpret(tokens) : kCommandInvalid;
    valid = command >= kCommandExtract && command <= kCommandDelete;
    if (!valid) {
        if (report) {
            report(res::kInvalidCommand);
        }
        fileList.clear();
        storePatterns.clear();
        return false;
    }
    Execute(command, archive);
    return true;
}
