// UTF-8 conversion, lower-casing through the C.UTF-8 locale, wildcard matching.
#include "platform/Text.h"

#include <clocale>
#include <cwchar>
#include <cwctype>
#include <locale.h>

namespace platform
{
namespace
{

constexpr wchar_t kEscapeBase = 0xDC00; // lone surrogates carry bytes that are not UTF-8

// Length of the UTF-8 sequence starting at s[i] and its code point; 0 if malformed.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t* cp)
{
    auto b0 = static_cast<unsigned char>(s[i]);
    size_t len;
    char32_t min;
    if (b0 < 0x80) {
        *cp = b0;
        return 1;
    } else if ((b0 & 0xE0) == 0xC0) {
        len = 2, min = 0x80, *cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3, min = 0x800, *cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4, min = 0x10000, *cp = b0 & 0x07;
    } else {
        return 0;
    }
    if (i + len > s.size()) {
        return 0;
    }
    for (size_t k = 1; k < len; ++k) {
        auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            return 0;
        }
        *cp = (*cp << 6) | (b & 0x3F);
    }
    if (*cp < min || *cp > 0x10FFFF || (*cp >= 0xD800 && *cp <= 0xDFFF)) {
        return 0;
    }
    return len;
}

locale_t Utf8Locale()
{
    static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

bool StrictUtf8ToWide(std::string_view text, std::wstring* out)
{
    out->clear();
    out->reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = DecodeUtf8(text, i, &cp);
        if (len == 0) {
            return false;
        }
        out->push_back(static_cast<wchar_t>(cp));
        i += len;
    }
    return true;
}

void AppendEscaped(std::wstring& out, std::wstring_view text, std::wstring_view keep)
{
    size_t plain = 0; // the start of the characters not yet appended, none of them escaped
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= 0x20 && c < 0x7F) {
            continue; // printable ASCII, the common case
        }
        bool escapedByte = c >= kEscapeBase + 0x80 && c <= kEscapeBase + 0xFF;
        bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F) || escapedByte;
        if (!control || keep.find(c) != std::wstring_view::npos) {
            continue;
        }
        out.append(text.substr(plain, i - plain));
        plain = i + 1;
        switch (c) {
        case L'\n':
            out += L"\\n";
            break;
        case L'\t':
            out += L"\\t";
            break;
        case L'\r':
            out += L"\\r";
            break;
        default: {
            unsigned byte = escapedByte ? static_cast<unsigned>(c - kEscapeBase) : c;
            static constexpr wchar_t kHex[] = L"0123456789abcdef";
            out += L"\\x";
            out.push_back(kHex[(byte >> 4) & 0xF]);
            out.push_back(kHex[byte & 0xF]);
        }
        }
    }
    out.append(text.substr(plain));
}

std::wstring EscapeControls(std::wstring_view text, std::wstring_view keep)
{
    std::wstring out;
    out.reserve(text.size());
    AppendEscaped(out, text, keep);
    return out;
}

std::wstring Utf8ToWide(std::string_view text)
{
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        size_t len = DecodeUtf8(text, i, &cp);
        if (len == 0) {
            out.push_back(static_cast<wchar_t>(kEscapeBase + static_cast<unsigned char>(text[i])));
            ++i;
        } else {
            out.push_back(static_cast<wchar_t>(cp));
            i += len;
        }
    }
    return out;
}

void AppendUtf8(std::string& out, std::wstring_view text)
{
    // Room for the longest form, filled through a pointer, then cut to what was written.
    size_t at = out.size();
    out.resize(at + text.size() * 4);
    char* p = out.data() + at;
    for (wchar_t wc : text) {
        auto cp = static_cast<char32_t>(wc);
        if (cp < 0x80) {
            *p++ = static_cast<char>(cp);
        } else if (cp >= kEscapeBase + 0x80 && cp <= kEscapeBase + 0xFF) {
            *p++ = static_cast<char>(cp - kEscapeBase);
        } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            *p++ = '\xEF', *p++ = '\xBF', *p++ = '\xBD'; // U+FFFD
        } else if (cp < 0x800) {
            *p++ = static_cast<char>(0xC0 | (cp >> 6));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            *p++ = static_cast<char>(0xE0 | (cp >> 12));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            *p++ = static_cast<char>(0xF0 | (cp >> 18));
            *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            *p++ = static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    out.resize(static_cast<size_t>(p - out.data()));
}

std::string WideToUtf8(std::wstring_view text)
{
    std::string out;
    AppendUtf8(out, text);
    return out;
}

wchar_t LowerChar(wchar_t c)
{
    if (c < 0x80) {
        return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
    }
    locale_t locale = Utf8Locale();
    if (locale == static_cast<locale_t>(nullptr)) {
        return c;
    }
    return static_cast<wchar_t>(towlower_l(static_cast<wint_t>(c), locale));
}

void LowerInPlace(wchar_t* text)
{
    for (; *text != 0; ++text) {
        *text = LowerChar(*text);
    }
}

std::wstring ToLower(std::wstring_view text)
{
    std::wstring out(text);
    for (wchar_t& c : out) {
        c = LowerChar(c);
    }
    return out;
}

int CompareNoCase(std::wstring_view a, std::wstring_view b)
{
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        wchar_t x = LowerChar(a[i]);
        wchar_t y = LowerChar(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

} // namespace platform
