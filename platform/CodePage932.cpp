// Code page 932 conversion over the generated tables of Cp932Table.cpp.
#include "platform/CodePage932.h"

#include "platform/Cp932Table.h"

#include <array>
#include <memory>

namespace platform
{
namespace
{

// Bytes that iconv rejects but the device maps to characters of their own.
struct ExtraByte
{
    uint8_t byte;
    wchar_t character;
};
constexpr ExtraByte kExtraBytes[] = {
    {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, kSeparatorPrivateUse}};

int LeadIndex(uint8_t b)
{
    if (b >= 0x81 && b <= 0x9F) {
        return b - 0x81;
    }
    if (b >= 0xE0 && b <= 0xFC) {
        return b - 0xE0 + 31;
    }
    return -1;
}

wchar_t DecodeSingle(uint8_t b)
{
    if (b < 0x80) { // ASCII, the common case, straight from the table
        return b == 0 ? 0 : static_cast<wchar_t>(cp932::kSingleByte[b]);
    }
    for (const ExtraByte& e : kExtraBytes) {
        if (e.byte == b) {
            return e.character;
        }
    }
    if (b == 0) {
        return 0;
    }
    uint16_t c = cp932::kSingleByte[b];
    return c != 0 ? static_cast<wchar_t>(c) : kUndefinedCp932;
}

// BMP character -> code (0 = none; U+0000 is handled apart). Built once on first use.
struct EncodeTable
{
    std::unique_ptr<uint16_t[]> codes{new uint16_t[0x10000]()};

    EncodeTable()
    {
        for (size_t i = 0; i < cp932::kEncodePairCount; ++i) {
            codes[cp932::kEncodePairs[i][0]] = cp932::kEncodePairs[i][1];
        }
        for (const ExtraByte& e : kExtraBytes) {
            codes[e.character] = e.byte;
        }
    }
};

const EncodeTable& GetEncodeTable()
{
    static const EncodeTable table;
    return table;
}

} // namespace

int EncodeCp932Char(wchar_t c)
{
    if (c == 0) {
        return 0;
    }
    if (c < 0 || c > 0xFFFF) {
        return -1;
    }
    uint16_t code = GetEncodeTable().codes[c];
    return code != 0 ? code : -1;
}

int Cp932ToWide(const uint8_t* bytes, size_t count, wchar_t* out, size_t capacity)
{
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        wchar_t c;
        int lead = LeadIndex(bytes[i]);
        if (lead < 0) {
            c = DecodeSingle(bytes[i]);
        } else if (i + 1 < count && bytes[i + 1] >= 0x40 && bytes[i + 1] <= 0xFC) {
            uint16_t d = cp932::kDoubleByte[lead * cp932::kTrailCount + (bytes[i + 1] - 0x40)];
            c = d != 0 ? static_cast<wchar_t>(d) : kUndefinedCp932;
            ++i;
        } else {
            // A lead byte without a valid trail stands alone; the next byte is read afresh.
            c = kUndefinedCp932;
        }
        if (n + 1 >= capacity) {
            if (capacity > 0) {
                out[0] = 0;
            }
            return -1;
        }
        out[n++] = c;
    }
    if (capacity == 0) {
        return -1;
    }
    out[n] = 0;
    return static_cast<int>(n);
}

int WideToCp932(const wchar_t* text, size_t count, uint8_t* out, size_t capacity)
{
    size_t n = 0;
    for (size_t i = 0; i < count; ++i) {
        int code = EncodeCp932Char(text[i]);
        if (code < 0) {
            code = kUnencodable;
        }
        size_t width = code > 0xFF ? 2 : 1;
        if (n + width + 1 > capacity) {
            if (capacity > 0) {
                out[0] = 0;
            }
            return -1;
        }
        if (width == 2) {
            out[n++] = static_cast<uint8_t>(code >> 8);
        }
        out[n++] = static_cast<uint8_t>(code);
    }
    if (capacity == 0) {
        return -1;
    }
    out[n] = 0;
    return static_cast<int>(n);
}

std::wstring Cp932ToWide(std::string_view bytes)
{
    std::wstring text(bytes.size() + 1, L'\0');
    int n = Cp932ToWide(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), text.data(),
                        text.size());
    text.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return text;
}

std::string WideToCp932(std::wstring_view text)
{
    std::string bytes(text.size() * 2 + 1, '\0');
    int n = WideToCp932(text.data(), text.size(), reinterpret_cast<uint8_t*>(bytes.data()),
                        bytes.size());
    bytes.resize(n < 0 ? 0 : static_cast<size_t>(n));
    return bytes;
}

} // namespace platform
