// Settings text, line by line, in wxFileConfig's escaped form.
#include "framework/IniText.h"

#include "platform/Text.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace
{

bool IsBlank(wchar_t c)
{
    return c == L' ' || c == L'\t' || c == L'\v' || c == L'\f';
}

// A section or entry name: a backslash takes the next character as it is.
std::wstring EscapedName(std::wstring_view name)
{
    std::wstring out;
    for (wchar_t c : name) {
        bool plain = c >= 0x80 || (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
                     (c >= L'A' && c <= L'Z') ||
                     std::wstring_view(L"@_/-!.*%()").find(c) != std::wstring_view::npos;
        if (!plain) {
            out += L'\\';
        }
        out += c;
    }
    return out;
}

// The characters a value escapes, each as a backslash and a letter.
constexpr std::pair<wchar_t, wchar_t> kEscapes[] = {
    {L'\n', L'n'}, {L'\r', L'r'}, {L'\t', L't'}, {L'\\', L'\\'}, {L'"', L'"'}};

// A value: line breaks, tabs and backslashes escaped; quoted when it begins with a blank or a
// quote, so that neither is lost when it is read (only then are its quotes escaped).
std::wstring EscapedValue(std::wstring_view value)
{
    bool quoted = !value.empty() && (IsBlank(value[0]) || value[0] == L'"');
    std::wstring out = quoted ? L"\"" : L"";
    for (wchar_t c : value) {
        auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                   [c](const auto& e) { return e.first == c; });
        if (escape != std::end(kEscapes) && (c != L'"' || quoted)) {
            out += L'\\';
            out += escape->second;
        } else {
            out += c;
        }
    }
    if (quoted) {
        out += L'"';
    }
    return out;
}

std::wstring ValueOf(std::wstring_view text)
{
    bool quoted = !text.empty() && text[0] == L'"';
    std::wstring out;
    for (size_t i = quoted ? 1 : 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\\' && i + 1 < text.size()) {
            wchar_t letter = text[++i];
            auto escape = std::find_if(std::begin(kEscapes), std::end(kEscapes),
                                       [letter](const auto& e) { return e.second == letter; });
            if (escape != std::end(kEscapes)) {
                out += escape->first; // an unknown escape stands for nothing
            }
        } else if (c != L'"' || !quoted) {
            out += c; // a quote inside an unquoted value is a character; the closing one is not
        }
    }
    return out;
}

// Reads a name from `at` up to an unescaped character in `ends`.
std::wstring NameAt(std::wstring_view text, size_t& at, std::wstring_view ends)
{
    std::wstring name;
    for (; at < text.size() && ends.find(text[at]) == std::wstring_view::npos; ++at) {
        if (text[at] == L'\\' && at + 1 < text.size()) {
            ++at;
        }
        name += text[at];
    }
    return name;
}

} // namespace

bool CIniText::Parse(std::string_view bytes)
{
    m_lines.clear();
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") {
        bytes.remove_prefix(3);
    }
    std::wstring text;
    if (bytes.find('\0') != std::string_view::npos || !platform::StrictUtf8ToWide(bytes, &text)) {
        return false;
    }
    std::wstring section;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        end = end == std::wstring::npos ? text.size() : end;
        Line line{text.substr(start, end - start), section, false, std::nullopt, {}};
        start = end + 1;
        if (!line.text.empty() && line.text.back() == L'\r') {
            line.text.pop_back();
        }
        std::wstring_view t = line.text;
        size_t at = 0;
        while (at < t.size() && IsBlank(t[at])) {
            ++at;
        }
        if (at == t.size() || t[at] == L';' || t[at] == L'#') {
            // blank or a comment
        } else if (t[at] == L'[') {
            ++at;
            section = NameAt(t, at, L"]");
            if (at == t.size()) {
                return false;
            }
            line.section = section;
            line.header = true;
        } else {
            std::wstring name = NameAt(t, at, L"= \t\v\f");
            while (at < t.size() && IsBlank(t[at])) {
                ++at;
            }
            if (at == t.size() || t[at] != L'=') {
                return false;
            }
            ++at;
            while (at < t.size() && IsBlank(t[at])) {
                ++at;
            }
            line.name = std::move(name);
            line.value = ValueOf(t.substr(at));
        }
        m_lines.push_back(std::move(line));
    }
    return true;
}

std::optional<std::wstring> CIniText::Get(std::wstring_view section, std::wstring_view name) const
{
    for (auto line = m_lines.rbegin(); line != m_lines.rend(); ++line) {
        if (line->name && line->section == section && *line->name == name) {
            return line->value;
        }
    }
    return std::nullopt;
}

bool CIniText::Set(std::wstring_view section, std::wstring_view name, std::wstring_view value)
{
    Line entry{EscapedName(name) + L"=" + EscapedValue(value), std::wstring(section), false,
               std::wstring(name), std::wstring(value)};
    size_t after = m_lines.size(); // the last header or entry of the section
    for (size_t i = m_lines.size(); i-- > 0;) {
        const Line& line = m_lines[i];
        if (line.name && line.section == section && *line.name == name) {
            if (line.value == value) {
                return false;
            }
            m_lines[i] = std::move(entry);
            return true;
        }
        if (after == m_lines.size() && line.section == section && (line.name || line.header)) {
            after = i;
        }
    }
    if (after == m_lines.size()) {
        m_lines.push_back(
            {L"[" + EscapedName(section) + L"]", std::wstring(section), true, {}, {}});
        m_lines.push_back(std::move(entry));
    } else {
        m_lines.insert(m_lines.begin() + static_cast<ptrdiff_t>(after) + 1, std::move(entry));
    }
    return true;
}

std::string CIniText::Bytes() const
{
    std::string out;
    for (const Line& line : m_lines) {
        platform::AppendUtf8(out, line.text);
        out += '\n';
    }
    return out;
}
