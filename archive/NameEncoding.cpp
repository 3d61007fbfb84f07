// The name encodings of archives.
#include "archive/NameEncoding.h"

#include "platform/CodePage932.h"
#include "platform/Text.h"

#include <cctype>

std::wstring Utf8OrCp932(std::string_view bytes)
{
    std::wstring text;
    if (platform::StrictUtf8ToWide(bytes, &text)) {
        return text;
    }
    return platform::Cp932ToWide(bytes);
}

bool ParseNameEncoding(std::string_view text, NameEncoding* encoding)
{
    std::string lower;
    for (char c : text) {
        lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
    }
    if (lower == "auto") {
        *encoding = NameEncoding::Auto;
    } else if (lower == "cp932" || lower == "sjis" || lower == "shift_jis") {
        *encoding = NameEncoding::Cp932;
    } else if (lower == "utf-8" || lower == "utf8") {
        *encoding = NameEncoding::Utf8;
    } else {
        return false;
    }
    return true;
}
