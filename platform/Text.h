// Wide text services: UTF-8 host names to and from wide text, lower-casing and comparison.
// Host names that are not valid UTF-8 survive a round trip: each stray byte b decodes to
// the lone surrogate U+DC00 + b and encodes back to b.
#pragma once

#include <string>
#include <string_view>

namespace platform
{

std::wstring Utf8ToWide(std::string_view text);
// UTF-8 to wide text only when every byte is part of a valid sequence; false otherwise.
bool StrictUtf8ToWide(std::string_view text, std::wstring* out);
std::string WideToUtf8(std::wstring_view text);
// WideToUtf8 appended to out.
void AppendUtf8(std::string& out, std::wstring_view text);

// Text safe to show on a terminal: control characters (C0, DEL, C1) and the bytes of host
// names that are not UTF-8 are written as \n, \t, \r or \xNN; `keep` lists control characters
// left as they are (a message's own line breaks).
std::wstring EscapeControls(std::wstring_view text, std::wstring_view keep = L"");
// EscapeControls appended to out.
void AppendEscaped(std::wstring& out, std::wstring_view text, std::wstring_view keep = L"");

// Lower case of one character by the Unicode tables of the C library (non-ASCII included).
wchar_t LowerChar(wchar_t c);
void LowerInPlace(wchar_t* text);
std::wstring ToLower(std::wstring_view text);

// Compares two texts ignoring case: < 0, 0 or > 0.
int CompareNoCase(std::wstring_view a, std::wstring_view b);

} // namespace platform
