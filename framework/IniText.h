// The text of a settings file: [section] headers, name=value entries, comments and blank
// lines, in the escaped form wxFileConfig reads and writes, so files written by earlier
// versions read the same. A change touches one line; every other line stays as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

class CIniText
{
public:
    // False when the bytes are not settings: not UTF-8, a NUL byte, or a line that is none of
    // a header, an entry, a comment (';' or '#') or blank.
    bool Parse(std::string_view bytes);

    // The value of the last entry of that name in the section (the one that counts).
    std::optional<std::wstring> Get(std::wstring_view section, std::wstring_view name) const;
    // Sets the value, adding the entry (and the section) when missing; true when the text
    // changed.
    bool Set(std::wstring_view section, std::wstring_view name, std::wstring_view value);

    // UTF-8, one line per line, each ended by '\n'.
    std::string Bytes() const;

private:
    struct Line
    {
        std::wstring text;
        std::wstring section; // the section the line begins or lies in
        bool header = false;
        std::optional<std::wstring> name; // an entry's name
        std::wstring value;               // an entry's value
    };
    std::vector<Line> m_lines;
};
