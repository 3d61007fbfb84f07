// Member names by the rules of the archive: the UTF-8 flag, the Unicode path extra field
// (version 1 and the CRC of the name field), valid UTF-8 from Unix hosts, and code page 932
// otherwise, also when bytes flagged as UTF-8 are not.
#include "zip/ZipName.h"
#include "platform/CodePage932.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace
{

// A Unicode path extra field naming `utf8`, for a name field of `nameField`.
std::string UnicodePath(const std::string& nameField, const std::string& utf8, uint8_t version = 1,
                        int crcDelta = 0)
{
    uint32_t crc = Crc32Of(nameField) + static_cast<uint32_t>(crcDelta);
    std::string field = {'\x75', '\x70'};
    uint32_t size = static_cast<uint32_t>(5 + utf8.size());
    field += static_cast<char>(size & 0xFF);
    field += static_cast<char>(size >> 8);
    field += static_cast<char>(version);
    for (int i = 0; i < 4; ++i) {
        field += static_cast<char>(crc >> (8 * i));
    }
    return field + utf8;
}

} // namespace

TEST(ZipName, TheArchiveSaysHowItsNamesAreWritten)
{
    const std::string sjis = "\x83\x65\x83\x58\x83\x67.txt"; // テスト.txt in code page 932
    const std::string utf8 = "\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt"; // and in UTF-8
    const std::wstring text = L"\u30C6\u30B9\u30C8.txt";
    struct Case
    {
        const char* what;
        std::string name;
        uint16_t flags;
        std::string extra;
        std::wstring expected;
        uint8_t host = 0;
    } cases[] = {
        {"UTF-8 flag", utf8, kZipFlagUtf8, "", text},
        {"flag on bytes that are not UTF-8", sjis, kZipFlagUtf8, "", text},
        {"no flag: code page 932", sjis, 0, "", text},
        {"Unicode path", "te-suto.txt", 0, UnicodePath("te-suto.txt", utf8), text},
        {"Unicode path with a Windows separator", "d/x", 0, UnicodePath("d/x", "d\\x"), L"d/x"},
        {"Unicode path of another name", "other.txt", 0, UnicodePath("changed.txt", utf8),
         L"other.txt"},
        {"Unicode path of an unknown version", sjis, 0, UnicodePath(sjis, "x.txt", 2), text},
        {"Unicode path that is not UTF-8", sjis, 0, UnicodePath(sjis, sjis), text},
        {"after an unknown field", "a.txt", 0,
         std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9) + UnicodePath("a.txt", utf8), text},
        // Unix archivers (Info-ZIP among them) write the file system's UTF-8 names unflagged.
        {"UTF-8 from a Unix host", utf8, 0, "", text, kZipHostUnix},
        {"code page 932 from a Unix host", sjis, 0, "", text, kZipHostUnix},
        {"UTF-8 bytes from an MS-DOS host", utf8, 0, "", platform::Cp932ToWide(utf8)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        wchar_t out[kMaxPath];
        EXPECT_EQ(ZipNameToWide(c.name, c.flags, c.extra, c.host, out), 0);
        EXPECT_EQ(std::wstring(out), c.expected);
    }
    // The length rule holds for the text: 259 characters fit, however many bytes they take.
    std::string long259;
    for (int i = 0; i < 259; ++i) {
        long259 += "\xE3\x81\x82"; // あ
    }
    wchar_t out[kMaxPath];
    EXPECT_EQ(ZipNameToWide(long259, kZipFlagUtf8, "", 0, out), 0);
    EXPECT_EQ(ZipNameToWide(long259 + "x", kZipFlagUtf8, "", 0, out), 1);
}

TEST(ZipName, ExtractionUsesTheLocalHeadersName)
{
    TempFolder tmp;
    const std::string utf8 = "\xE6\x97\xA5/\xE3\x81\x82.txt"; // 日/あ.txt
    ZipMember m = StoredMember(utf8, "data");
    m.flags = kZipFlagUtf8;
    // Flagged, but the bytes are code page 932 (テスト.txt): read as code page 932.
    ZipMember sjis = StoredMember("\x83\x65\x83\x58\x83\x67.txt", "sjis");
    sjis.flags = kZipFlagUtf8;
    tmp.WriteHostFile("u.zip", BuildZip({m, sjis}));
    CZipArchive z;
    ASSERT_TRUE(z.Open(L"\\u.zip"));
    EXPECT_STREQ(z.GetEntry(0).path, L"\u65E5/");
    EXPECT_STREQ(z.GetEntry(0).name, L"\u3042.txt");
    EXPECT_STREQ(z.GetEntry(1).name, L"\u30C6\u30B9\u30C8.txt");
    std::wcscpy(z.destFolder, L"\\out");
    ASSERT_TRUE(z.ExtractEntry(0));
    ASSERT_TRUE(z.ExtractEntry(1));
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/\xE6\x97\xA5/\xE3\x81\x82.txt")), "data");
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/\xE3\x83\x86\xE3\x82\xB9\xE3\x83\x88.txt")), "sjis");
}
