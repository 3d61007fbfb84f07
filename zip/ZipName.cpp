// Name decoding of ZIP headers.
//
// Unicode path extra field (Info-ZIP), in the central and local headers alike:
//   0  2  header id 0x7075      2  2  data size n
//   4  1  version (1)          5  4  CRC-32 of the header's name field as stored
//   9  n-5  the name in UTF-8
// A name field changed after the extra field was written no longer matches its CRC, and the
// extra field is then ignored.
#include "zip/ZipName.h"

#include "archive/LittleEndian.h"
#include "platform/CodePage932.h"
#include "platform/Text.h"
#include "zip/Crc32.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <string>

namespace
{

constexpr uint16_t kUnicodePathId = 0x7075;

// The extra field is held as text: its fields read through the byte readers.
uint16_t Le16(const char* p)
{
    return ::Le16(reinterpret_cast<const uint8_t*>(p));
}

uint32_t Le32(const char* p)
{
    return ::Le32(reinterpret_cast<const uint8_t*>(p));
}

std::string_view UntilNul(std::string_view text)
{
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}

// The UTF-8 name of a valid Unicode path extra field for this name field, if any.
bool UnicodePath(std::string_view name, std::string_view extra, std::wstring* out)
{
    for (size_t at = 0; at + 4 <= extra.size();) {
        uint16_t id = Le16(extra.data() + at);
        size_t size = Le16(extra.data() + at + 2);
        if (at + 4 + size > extra.size()) {
            return false;
        }
        const char* data = extra.data() + at + 4;
        if (id == kUnicodePathId && size >= 5 && data[0] == 1 &&
            Le32(data + 1) == Crc32(0, name.data(), name.size())) {
            if (!platform::StrictUtf8ToWide(UntilNul(std::string_view(data + 5, size - 5)), out)) {
                return false;
            }
            // Some writers put the Windows separator here where the name field has '/'.
            for (wchar_t& c : *out) {
                c = c == L'\\' ? L'/' : c;
            }
            return true;
        }
        at += 4 + size;
    }
    return false;
}

} // namespace

int ZipNameToWide(std::string_view bytes, uint16_t flags, std::string_view extra,
                  uint8_t madeByHost, wchar_t (&out)[kMaxPath], NameEncoding encoding)
{
    std::wstring text;
    std::string_view name = UntilNul(bytes);
    bool nonAscii = std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; });
    if (UnicodePath(bytes, extra, &text)) {
        // The Unicode path field names the member exactly, whatever the name field holds.
    } else if (encoding == NameEncoding::Utf8) {
        text = Utf8OrCp932(name);
    } else if (encoding == NameEncoding::Cp932 ||
               !(((flags & kZipFlagUtf8) != 0 || (madeByHost == kZipHostUnix && nonAscii)) &&
                 platform::StrictUtf8ToWide(name, &text))) {
        text = platform::Cp932ToWide(name);
    }
    int warning = 0;
    if (text.size() >= static_cast<size_t>(kMaxPath)) {
        text.resize(kMaxPath - 1);
        warning = 1;
    }
    std::wmemcpy(out, text.c_str(), text.size() + 1);
    return warning;
}
