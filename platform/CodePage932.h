// Code page 932 (Shift_JIS as Windows and the device use it) to and from wide text.
// The single bytes 0x80, 0xA0, 0xFD, 0xFE and 0xFF map to U+0080, U+F8F0, U+F8F1, U+F8F2
// and U+F8F3 both ways; 0xFF (U+F8F3) is the LZH path separator. Only U+005C encodes to
// 0x5C, so neither the yen sign nor any other look-alike can become a path separator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace platform
{

constexpr wchar_t kSeparatorPrivateUse = 0xF8F3; // the character of the byte 0xFF
constexpr wchar_t kUndefinedCp932 = 0x30FB;      // what an undefined or cut-off code decodes to
constexpr uint8_t kUnencodable = '?';            // what a character without a code encodes to

// Decodes count bytes (NUL bytes included) into out, which holds capacity units including
// the terminator. Returns the number of units written without the terminator, or -1 when
// the text does not fit (out then holds an empty string when capacity > 0).
int Cp932ToWide(const uint8_t* bytes, size_t count, wchar_t* out, size_t capacity);

// Encodes count units into out (capacity bytes including the terminator). Returns the
// byte length without the terminator, or -1 when the bytes do not fit.
int WideToCp932(const wchar_t* text, size_t count, uint8_t* out, size_t capacity);

std::wstring Cp932ToWide(std::string_view bytes);
std::string WideToCp932(std::wstring_view text);

// The code of one character: a single byte (< 0x100), lead << 8 | trail, or -1 if none.
int EncodeCp932Char(wchar_t c);

} // namespace platform
