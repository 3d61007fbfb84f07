// Fuzz target: the typed command line without the disk. The input is a command text (printable
// ASCII as it is, other bytes from a small alphabet rich in quotes, switches and wildcards); it is
// tokenized and interpreted against an archive object that is not open (the file search invents a
// few names), its patterns are matched against member paths, and the wildcard match runs on pieces
// of the input. The limits must hold: no token, item or pattern list grows past them.
#include "app/CommandLine.h"
#include "fuzz/FuzzTarget.h"

#include <cstdlib>
#include <string>
#include <vector>

namespace
{

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
    if (processor.fileList.size() > kMaxFileItems + 1 ||
        processor.storePatterns.size() > kMaxStorePatterns || command < kCommandInvalid ||
        command > kCommandDelete) {
        std::abort();
    }
    for (const wchar_t* member : {L"doc\\a.txt", L"readme", L"", L"x.y.z", L"\\abs\\漢.txt"}) {
        processor.MatchesMember(member);
    }
    size_t half = text.size() / 2;
    WildcardMatch(text.substr(0, half), text.substr(half));
    WildcardMatch(text.substr(half), text.substr(0, half));
    return 0;
}
