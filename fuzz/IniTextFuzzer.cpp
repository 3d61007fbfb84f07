// Fuzz target: the settings file's text. Bytes that parse are given a change whose section,
// name and value come from the input too; the text written must parse again, give the new
// value, and keep every other entry's value and every line that was not the changed entry.
#include "framework/IniText.h"
#include "fuzz/FuzzTarget.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace
{

// Text for the change: input bytes as they are, from a small alphabet rich in what the format
// escapes or quotes.
std::wstring Piece(std::string_view bytes)
{
    static const wchar_t kSpecial[] = L" \t\n\r\\\"=[];#日";
    std::wstring out;
    for (unsigned char c : bytes) {
        out += c >= 0x80 ? kSpecial[c % (sizeof kSpecial / sizeof kSpecial[0] - 1)]
                         : static_cast<wchar_t>(c);
    }
    return out;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 3) {
        return 0;
    }
    // The first three bytes cut the rest: section, name, value, then the file.
    std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    size_t cuts[3] = {data[0] % 16u, data[1] % 16u, data[2] % 32u};
    std::wstring parts[3];
    for (int i = 0; i < 3; ++i) {
        size_t n = std::min(cuts[i], rest.size());
        parts[i] = Piece(rest.substr(0, n));
        rest.remove_prefix(n);
    }
    const std::wstring& section = parts[0];
    const std::wstring& name = parts[1];
    const std::wstring& value = parts[2];
    CIniText text;
    if (!text.Parse(rest)) {
        return 0;
    }
    // Names with a line break or a NUL cannot be written as one line; the program never uses
    // such names.
    if (section.empty() || name.empty() ||
        (section + name).find_first_of(std::wstring_view(L"\n\r\0", 3)) != std::wstring::npos ||
        value.find(L'\0') != std::wstring::npos) {
        return 0;
    }
    CIniText before = text;
    text.Set(section, name, value);
    CIniText after;
    if (!after.Parse(text.Bytes()) || after.Get(section, name) != value) {
        std::abort();
    }
    // Every other line stays: the two texts differ in at most one line of the first, made
    // at most two (a new section's header and the entry).
    std::vector<std::string> was = Lines(before.Bytes()), now = Lines(text.Bytes());
    size_t head = 0;
    while (head < was.size() && head < now.size() && was[head] == now[head]) {
        ++head;
    }
    size_t tail = 0;
    while (tail < was.size() - head && tail < now.size() - head &&
           was[was.size() - 1 - tail] == now[now.size() - 1 - tail]) {
        ++tail;
    }
    if (was.size() - head - tail > 1 || now.size() - head - tail > 2) {
        std::abort();
    }
    return 0;
}
