// NameEncoding: how the byte names of an archive's members are read. Auto follows each
// format's marks and guesses (UTF-8 where a header says so or a Unix maker wrote valid
// UTF-8, code page 932 otherwise); an explicit choice applies to every name of the archive.
// Names a header also gives in Unicode (LZH's 0x44/0x45, ZIP's 0x7075) keep those.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

enum class NameEncoding : uint8_t
{
    Auto = 0,  // the setting's 自動
    Cp932 = 1, // シフトJIS
    Utf8 = 2,  // UTF-8
};

// The text of name bytes as UTF-8 when they are valid UTF-8, else as code page 932 (so that
// an explicit UTF-8 never turns a name into replacement characters).
std::wstring Utf8OrCp932(std::string_view bytes);

// "auto", "cp932" (or "sjis", "shift_jis"), "utf-8" (or "utf8"), any case; false for others.
bool ParseNameEncoding(std::string_view text, NameEncoding* encoding);
