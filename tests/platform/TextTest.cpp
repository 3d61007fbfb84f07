// UTF-8 host names, lower-casing and wildcard matching.
#include "platform/Text.h"

#include <gtest/gtest.h>

using namespace platform;

TEST(Text, Utf8RoundTripKeepsInvalidBytes)
{
    EXPECT_EQ(Utf8ToWide("d\xC3\xA9j\xC3\xA0 \xE3\x81\x82\xF0\x9F\x98\x80"),
              L"d\u00E9j\u00E0 \u3042\U0001F600");
    std::string raw = "bad\xFF\xC3(\xE3\x81";
    std::wstring wide = Utf8ToWide(raw);
    EXPECT_EQ(wide[3], 0xDCFF);
    EXPECT_EQ(WideToUtf8(wide), raw);
    EXPECT_EQ(WideToUtf8(Utf8ToWide("\xED\xA0\x80")), "\xED\xA0\x80"); // encoded surrogate
    EXPECT_EQ(WideToUtf8(L"\u30C7\u30B9\u30AF"), "\xE3\x83\x87\xE3\x82\xB9\xE3\x82\xAF");
}

TEST(Text, LowerCaseCoversNonAsciiLetters)
{
    EXPECT_EQ(ToLower(L"ABC.Txt"), L"abc.txt");
    EXPECT_EQ(ToLower(L"\u00C9\u0391\uFF21\u0416"), L"\u00E9\u03B1\uFF41\u0436");
    EXPECT_EQ(ToLower(L"\u3042\u30A2"), L"\u3042\u30A2");
    EXPECT_EQ(CompareNoCase(L"\uFF21bc", L"\uFF41BC"), 0);
    EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
    EXPECT_GT(CompareNoCase(L"abcd", L"ABC"), 0);
}
