// Fuzz target: the typed command line without the disk. The input is a command text (printable
// ASCII as it is, other bytes from a small alphabet rich in quotes, switches and wildcards); it is
// tokenized and interpreted against an archive object that is not open (the file search invents a
// few names), its patterns are matched against member paths, and the wildcard match runs on pieces
// of the input. The limits must hold: no token, item or pattern list grows past them.
#include "app/CommandLine.h"
#include "fuzz/FuzzTarget.h"

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
            for (; i < s.size(); ++i) {
                if (Backtrack(s, i, p, j, dot)) {
                    return true;
                }
            }
            if (p.size() - j >= 2) {
                return false;
            }
            ++j;
            continue;
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
    bool fast = WildcardMatch(s, p);
    // Backtracking costs about |s| to the power of the stars: only where that stays small.
    if (std::count(p.begin(), p.end(), L'*') <= 3 && s.size() <= 64) {
        bool dot = false;
        if (Backtrack(s, 0, p, 0, dot) != fast) {
            std::abort();
        }
    }
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
    int command = fits ? processor.Interpret(tokens, archive) : kCommandInvalid;
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
    for (const wchar_t* member : {L"doc\\a.txt", L"readme", L"", L"x.y.z", L"\\abs\\漢.txt"}) {
        processor.MatchesMember(member);
    }
    size_t half = text.size() / 2;
    CheckMatch(std::wstring_view(text).substr(0, half), std::wstring_view(text).substr(half));
    CheckMatch(std::wstring_view(text).substr(half), std::wstring_view(text).substr(0, half));
    return 0;
}
