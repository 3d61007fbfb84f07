// Header names and method identifiers through code page 932 and the 0xFF separator.
#include "lzh/ArchiveName.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace
{

std::wstring NameOf(const std::string& bytes, bool* ok = nullptr)
{
    wchar_t out[kMaxPath];
    bool converted =
        ArchiveNameToWide(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), out);
    if (ok != nullptr) {
        *ok = converted;
    }
    return out;
}

std::string BytesOf(const std::wstring& text, int* length = nullptr)
{
    uint8_t buffer[kMaxArchiveNameBytes];
    int n = WideToArchiveName(text.c_str(), buffer);
    if (length != nullptr) {
        *length = n;
    }
    return n < 0 ? std::string() : std::string(reinterpret_cast<char*>(buffer), n);
}

} // namespace

TEST(ArchiveName, SeparatorByteAndJapaneseNames)
{
    EXPECT_EQ(NameOf("a\xFF"
                     "b\xFF"),
              L"a\\b\\");
    EXPECT_EQ(NameOf("\x83\x5C\x83\x74\x83\x67\xFFx.txt"), L"\u30BD\u30D5\u30C8\\x.txt");
    EXPECT_EQ(NameOf(std::string("metadata.txt\0comment", 20)), L"metadata.txt");
    EXPECT_EQ(BytesOf(L"\u30BD\u30D5\u30C8\\x.txt"), "\x83\x5C\x83\x74\x83\x67\xFFx.txt");
    EXPECT_EQ(BytesOf(L"\u00A5x"), "?x"); // the yen sign never becomes a separator
}

TEST(ArchiveName, LimitsOfTheRecordAreRefused)
{
    bool ok = false;
    EXPECT_EQ(NameOf(std::string(263, 'a'), &ok).size(), 0u);
    EXPECT_FALSE(ok); // 263 one-byte characters exceed 259
    NameOf(std::string(259, 'a'), &ok);
    EXPECT_TRUE(ok);
    std::string kana;
    for (int i = 0; i < 131; ++i) {
        kana += "\x82\xA0"; // 131 characters in 262 bytes fit
    }
    EXPECT_EQ(NameOf(kana, &ok).size(), 131u);
    EXPECT_TRUE(ok);
    NameOf(std::string(264, 'a'), &ok);
    EXPECT_FALSE(ok); // beyond the staging buffer

    int length = 0;
    EXPECT_EQ(BytesOf(std::wstring(259, L'\u3042'), &length).size(), 518u);
    BytesOf(std::wstring(260, L'a'), &length);
    EXPECT_EQ(length, -1);
}

TEST(ArchiveName, MethodIdentifiers)
{
    wchar_t method[6];
    MethodToWide(reinterpret_cast<const uint8_t*>("-lh5-"), method);
    EXPECT_STREQ(method, L"-lh5-");
    uint8_t bytes[6];
    MethodToBytes(L"-lhd-", bytes);
    EXPECT_EQ(std::memcmp(bytes, "-lhd-", 6), 0);
    MethodToBytes(L"-lh5-xyz", bytes);
    EXPECT_EQ(std::memcmp(bytes, "-lh5-", 6), 0);
}
