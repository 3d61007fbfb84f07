// Fuzz target: the typed command line without the disk. The input is a command text (printable
// ASCII as it is, other bytes from a small alphabet rich in quotes, switches and wildcards); it is
// tokenized and interpreted against an archive object that is not open (the file search invents a
// few names), its patterns are matched against member paths, and the wildcard match runs on pieces
// of the input. The limits must hold: no token, item or pattern list grows past them.
#include "app/CommandLine.h"
#include "fuzz/FuzzTarget.h"
#include "platform/Wildcard.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

wchar_t Lower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// The match as the rules state it, by plain backtracking: the oracle for the program's
// version, on patterns with few stars.
bool Backtrack(std::wstring_view s, size_t i, std::wstring_view p, size_t j, bool& dot)
{
    while (j < p.size()) {
        if (i < s.size() && s[i] == L'.') {
            dot = true;
        }
        if (p[j] == L'*') {
            if (j + 1 == p.size()) {
                return true;
            }
            ++j;
            for (; i <= s.size(); ++i) {
                if (Backtrack(s, i, p, j, dot)) {
                    return true;
                }
            }
            return false;
        }
        if (i >= s.size()) {
            return p[j] == L'.' && j + 1 == p.size() && !dot;
        }
        if (p[j] == L'?' || Lower(s[i]) == Lower(p[j])) {
            ++i;
            ++j;
            continue;
        }
        return p[j] == L'.' && j + 1 == p.size() && s.size() - i <= 1 && !dot;
    }
    return i >= s.size();
}

void CheckMatch(std::wstring_view s, std::wstring_view p)
{
    bool fast = platform::MatchWildcard(p, s);
    // Backtracking costs about |s| to the power of the stars: only where that stays small.
    if (std::count(p.begin(), p.end(), L'*') <= 3 && s.size() <= 64) {
        bool dot = false;
        if ((p == L"*.*" || Backtrack(s, 0, p, 0, dot)) != fast) { // "*.*" is every name
            std::abort();
        }
    }
}

bool Matches(std::wstring_view s, std::wstring_view p)
{
    bool dot = false;
    return p == L"*.*" || Backtrack(s, 0, p, 0, dot);
}

bool Names(std::wstring_view path, std::wstring_view item, bool fullPath)
{
    auto separator = [](wchar_t c) { return c == L'\\' || c == L'/'; };
    if (!item.empty() && separator(item.back())) {
        while (!item.empty() && separator(item.back())) {
            item.remove_suffix(1);
        }
        for (size_t k = 1; !item.empty() && k <= path.size(); ++k) {
            if ((k == path.size() || path[k] == L'\\') && Matches(path.substr(0, k), item)) {
                return true;
            }
        }
        return false;
    }
    if (fullPath || std::any_of(item.begin(), item.end(), separator)) {
        return Matches(path, item);
    }
    size_t cut = path.find_last_of(L"\\/");
    return Matches(cut == std::wstring_view::npos ? path : path.substr(cut + 1), item);
}

constexpr wchar_t kAlphabet[] = L"ae dxu-/\\\"*?.z0123456789opchimrytAb漢";

std::wstring Text(const uint8_t* data, size_t size)
{
    std::wstring text;
    for (size_t i = 0; i < size; ++i) {
        uint8_t b = data[i];
        text.push_back(b >= 0x20 && b < 0x7F
                           ? static_cast<wchar_t>(b)
                           : kAlphabet[b % (sizeof kAlphabet / sizeof kAlphabet[0] - 1)]);
    }
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring text = Text(data, size);
    std::vector<std::wstring> tokens;
    bool fits = TokenizeCommand(text, tokens);
    if (tokens.size() > kMaxTokens + 1 || (fits && tokens.size() > kMaxTokens)) {
        std::abort();
    }
    for (const std::wstring& t : tokens) {
        if (t.empty()) {
            std::abort();
        }
    }
    static CLzhArchive archive;
    CCommandLineProcessor processor;
    processor.search = [](const std::wstring& pattern,
                          const std::function<void(const std::wstring&, bool)>& found) {
        if (pattern.size() % 3 == 0) {
            return false;
        }
        found(L"a.txt", false);
        found(L"sub", true);
        found(L".", true);
        return true;
    };
    int command = fits ? processor.Interpret(tokens) : kCommandInvalid;
    // The command is the first command letter typed; every later word is a name.
    if (command != kCommandInvalid) {
        int first = kCommandNone;
        for (const std::wstring& t : tokens) {
            if (t.size() == 1 && first == kCommandNone && t[0] != L'-') {
                std::wstring_view letters = L"xeaud";
                size_t at = letters.find(t[0]);
                first = at == std::wstring_view::npos ? kCommandNone
                        : at < 2                      ? kCommandExtract
                        : at < 4                      ? kCommandAdd
                                                      : kCommandDelete;
            }
        }
        if (first != command) {
            std::abort();
        }
    }
    // Each token finds at most two entries per level of folders, and levels end with the
    // length of a path.
    if (processor.fileList.size() > kMaxTokens * 2 * kMaxPath ||
        processor.storePatterns.size() > kMaxStorePatterns || command < kCommandInvalid ||
        command > kCommandDelete) {
        std::abort();
    }
    // A delete takes exactly the members its patterns name by the documented rules: a
    // folder word names the folder and what is in it, a pattern with a separator (or any,
    // under -p1) the whole path, any other the last component. (Backtracking is checked
    // where its cost stays small: few stars per pattern.)
    bool fewStars = std::all_of(
        processor.fileList.begin(), processor.fileList.end(),
        [](const std::wstring& item) { return std::count(item.begin(), item.end(), L'*') <= 3; });
    for (const wchar_t* member :
         {L"doc\\a.txt", L"readme", L"", L"x.y.z", L"\\abs\\漢.txt", L"doc\\sub\\b~", L"a.txt"}) {
        if (command != kCommandDelete || !fewStars) {
            processor.MatchesMember(member);
            continue;
        }
        std::wstring_view path(member);
        bool named = processor.fileList.empty();
        for (const std::wstring& item : processor.fileList) {
            named = named || Names(path, item, processor.fullPathMatch);
        }
        if (processor.MatchesMember(member) != named) {
            std::abort();
        }
    }
    size_t half = text.size() / 2;
    CheckMatch(std::wstring_view(text).substr(0, half), std::wstring_view(text).substr(half));
    CheckMatch(std::wstring_view(text).substr(half), std::wstring_view(text).substr(0, half));
    return 0;
}
