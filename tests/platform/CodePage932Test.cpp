// Code page 932: every code round-trips, the table agrees with Python's cp932 codec, and
// nothing but the backslash and U+F8F3 can become the separator bytes 0x5C and 0xFF.
#include "platform/CodePage932.h"
#include "platform/Cp932Table.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <unistd.h>

using namespace platform;

namespace
{

// Every code the table defines: code -> character (single bytes and lead << 8 | trail).
std::map<int, wchar_t> DefinedCodes()
{
    std::map<int, wchar_t> codes;
    for (int b = 0; b < 256; ++b) {
        wchar_t c[2];
        uint8_t byte = static_cast<uint8_t>(b);
        bool isLead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        // No single byte stands for U+30FB itself, so it marks undefined bytes here.
        if (!isLead && Cp932ToWide(&byte, 1, c, 2) == 1 && c[0] != kUndefinedCp932) {
            codes[b] = c[0];
        }
    }
    int leads[] = {0x81, 0xE0};
    for (int l = 0; l < cp932::kLeadCount; ++l) {
        int lead = l < 31 ? leads[0] + l : leads[1] + l - 31;
        for (int t = 0; t < cp932::kTrailCount; ++t) {
            uint16_t c = cp932::kDoubleByte[l * cp932::kTrailCount + t];
            if (c != 0) {
                codes[(lead << 8) | (t + 0x40)] = static_cast<wchar_t>(c);
            }
        }
    }
    return codes;
}

std::string CodeBytes(int code)
{
    std::string s;
    if (code > 0xFF) {
        s.push_back(static_cast<char>(code >> 8));
    }
    s.push_back(static_cast<char>(code & 0xFF));
    return s;
}

} // namespace

TEST(CodePage932, EveryCodeRoundTripsToTheCodeWindowsPicks)
{
    auto codes = DefinedCodes();
    ASSERT_GT(codes.size(), 9000u);
    int duplicates = 0;
    for (auto [code, c] : codes) {
        EXPECT_EQ(Cp932ToWide(CodeBytes(code)), std::wstring(1, c)) << std::hex << code;
        int back = EncodeCp932Char(c);
        ASSERT_GE(back, 0) << std::hex << code;
        EXPECT_EQ(codes.at(back), c) << std::hex << code;
        if (back != code) {
            ++duplicates;
            // Duplicates only arise in the NEC and IBM extension rows.
            EXPECT_TRUE((code >= 0x8700 && code < 0x8800) || (code >= 0xED00 && code < 0xEF00) ||
                        (code >= 0xFA00 && code < 0xFD00))
                << std::hex << code;
        }
    }
    EXPECT_GT(duplicates, 300);
    EXPECT_EQ(EncodeCp932Char(0x7E8A), 0xFA5C); // IBM extension, not NEC-selected ED40
    EXPECT_EQ(EncodeCp932Char(0x2252), 0x81E0); // JIS row 2, not NEC row 13
}

TEST(CodePage932, DeviceSingleBytesMapBothWays)
{
    const std::pair<uint8_t, wchar_t> bytes[] = {
        {0x80, 0x0080}, {0xA0, 0xF8F0}, {0xFD, 0xF8F1}, {0xFE, 0xF8F2}, {0xFF, 0xF8F3}};
    for (auto [b, c] : bytes) {
        EXPECT_EQ(Cp932ToWide(std::string(1, static_cast<char>(b))), std::wstring(1, c));
        EXPECT_EQ(EncodeCp932Char(c), b);
    }
}

TEST(CodePage932, OnlyBackslashAndSeparatorBecomeSeparatorBytes)
{
    for (wchar_t c = 1; c <= 0xFFFF; ++c) {
        int code = EncodeCp932Char(c);
        if (code == 0x5C) {
            EXPECT_EQ(c, L'\\');
        }
        if (code == 0xFF) {
            EXPECT_EQ(c, kSeparatorPrivateUse);
        }
    }
    EXPECT_EQ(WideToCp932(L"\u00A5\u203E\u4E00"), "??\x88\xEA");
    EXPECT_EQ(WideToCp932(L"\U0001F600"), "?");
}

TEST(CodePage932, UndefinedAndCutOffCodesDecodeToMiddleDot)
{
    EXPECT_EQ(Cp932ToWide(std::string("\x85\x40", 2)), L"\u30FB");    // unassigned row
    EXPECT_EQ(Cp932ToWide(std::string("a\x88", 2)), L"a\u30FB");      // lead byte at the end
    EXPECT_EQ(Cp932ToWide(std::string("\x88\x20x", 3)), L"\u30FB x"); // bad trail stays
    EXPECT_EQ(Cp932ToWide(std::string("\x83\x5C", 2)), L"\u30BD");    // trail 0x5C is no '\'
}

TEST(CodePage932, BoundedBuffersReportOverflow)
{
    wchar_t out[3];
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(Cp932ToWide(abc, 2, out, 3), 2);
    EXPECT_EQ(Cp932ToWide(abc, 3, out, 3), -1);
    EXPECT_EQ(out[0], 0);
    uint8_t bytes[5];
    EXPECT_EQ(WideToCp932(L"\u3042\u3044", 2, bytes, 5), 4);
    EXPECT_EQ(WideToCp932(L"\u3042\u3044", 2, bytes, 4), -1);
}

TEST(CodePage932, DecodeTableMatchesPythonCodec)
{
    const char* python = "/usr/bin/python3";
    if (access(python, X_OK) != 0) {
        GTEST_SKIP() << "no " << python;
    }
    // One line per code that Python's cp932 decodes to a single character: "code char".
    std::string command = std::string(python) +
                          " -c \""
                          "import sys\n"
                          "for c in list(range(256)) + [l << 8 | t for l in list(range(0x81, 0xA0))"
                          " + list(range(0xE0, 0xFD)) for t in range(0x40, 0xFD)]:\n"
                          "    b = bytes([c]) if c < 256 else bytes([c >> 8, c & 255])\n"
                          "    try: s = b.decode('cp932')\n"
                          "    except UnicodeDecodeError: continue\n"
                          "    if len(s) == 1: print(c, ord(s))\n\"";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::map<int, wchar_t> theirs;
    int code, ch;
    while (fscanf(pipe, "%d %d", &code, &ch) == 2) {
        theirs[code] = static_cast<wchar_t>(ch);
    }
    ASSERT_EQ(pclose(pipe), 0);
    auto ours = DefinedCodes();
    ASSERT_GT(theirs.size(), 9000u);
    for (auto [c, w] : theirs) {
        bool isLead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
        if (isLead) {
            continue; // Python decodes a lone lead byte only at the end of its input
        }
        ASSERT_TRUE(ours.count(c)) << std::hex << c;
        EXPECT_EQ(ours[c], w) << std::hex << c;
    }
    for (auto [c, w] : ours) {
        EXPECT_TRUE(theirs.count(c)) << std::hex << c;
    }
}
