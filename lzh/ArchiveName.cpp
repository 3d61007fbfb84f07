// Name conversion of LZH headers through code page 932.
#include "lzh/ArchiveName.h"

#include "platform/CodePage932.h"

#include <cstring>
#include <cwchar>

std::wstring ArchiveNameToText(const uint8_t* bytes, size_t count)
{
    // The text ends at the first NUL: some archivers keep a comment after it.
    const void* nul = std::memchr(bytes, 0, count);
    size_t length =
        nul != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - bytes) : count;
    std::string staged(reinterpret_cast<const char*>(bytes), length);
    for (char& c : staged) {
        if (static_cast<uint8_t>(c) == 0xFF) {
            c = '\\';
        }
    }
    return platform::Cp932ToWide(staged);
}

bool ArchiveNameToWide(const uint8_t* bytes, size_t count, wchar_t (&out)[kMaxPath])
{
    std::wstring text = ArchiveNameToText(bytes, count);
    if (text.size() >= static_cast<size_t>(kMaxPath)) {
        out[0] = 0;
        return false;
    }
    std::wmemcpy(out, text.c_str(), text.size() + 1);
    return true;
}

int WideToArchiveName(const wchar_t* text, uint8_t (&buffer)[kMaxArchiveNameBytes])
{
    size_t length = std::wcslen(text);
    if (length >= static_cast<size_t>(kMaxPath)) {
        buffer[0] = 0;
        return -1;
    }
    wchar_t converted[kMaxPath];
    for (size_t i = 0; i <= length; ++i) {
        converted[i] = text[i] == L'\\' ? platform::kSeparatorPrivateUse : text[i];
    }
    return platform::WideToCp932(converted, length, buffer, kMaxArchiveNameBytes);
}

bool HasArchiveCodes(const wchar_t* text)
{
    for (const wchar_t* c = text; *c != 0; ++c) {
        if (*c != L'\\' &&
            (*c == platform::kSeparatorPrivateUse || platform::EncodeCp932Char(*c) < 0)) {
            return false;
        }
    }
    return true;
}

void MethodToWide(const uint8_t* bytes, wchar_t (&out)[6])
{
    uint8_t staging[6];
    std::memcpy(staging, bytes, 5);
    staging[5] = 0;
    platform::Cp932ToWide(staging, std::strlen(reinterpret_cast<const char*>(staging)), out, 6);
}

void MethodToBytes(const wchar_t* text, uint8_t (&buffer)[6])
{
    // Any text longer than an identifier is cut to the five bytes the header holds.
    uint8_t wide[kMaxArchiveNameBytes];
    size_t length = std::wcslen(text);
    int n = platform::WideToCp932(text, length < 5 ? length : 5, wide, sizeof wide);
    std::memset(buffer, 0, sizeof buffer);
    std::memcpy(buffer, wide, n < 5 ? static_cast<size_t>(n < 0 ? 0 : n) : 5);
}
