// WriteHeader: sizes of known headers, and write-then-read round trips for every level.
#include "lzh/LzhHeaderReader.h"
#include "lzh/LzhHeaderWriter.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <cwchar>

using namespace testsupport;

namespace
{

CArchiveEntry Entry(int level, const wchar_t* folder, const wchar_t* name, uint32_t attributes)
{
    CArchiveEntry e{};
    std::wcscpy(e.method, name[0] == 0 ? L"-lhd-" : L"-lh5-");
    std::wcscpy(e.folder, folder);
    std::wcscpy(e.name, name);
    e.level = level;
    e.attributes = attributes;
    e.osId = 'M';
    e.packedSize = 1234;
    e.unpackedSize = 56789;
    e.crc = 0xBEEF;
    e.modified = 129067776000000000 + 37 * platform::kTicksPerSecond + 1234567; // 2010-01-01
    return e;
}

// Writes the header (after `padding` bytes) and reads it back.
CArchiveEntry RoundTrip(const CArchiveEntry& e, int* status, uint32_t* size = nullptr)
{
    TempFolder tmp;
    using namespace platform;
    FileHandle f =
        OpenFile(L"\\h.lzh", kAccessReadWrite, FileShare::None, FileDisposition::CreateAlways);
    EXPECT_NE(f, kInvalidFile);
    uint32_t measured = WriteHeader(f, e, true);
    uint32_t written = WriteHeader(f, e, false);
    EXPECT_EQ(measured, written);
    int64_t at = 0;
    SeekFile(f, 0, SeekOrigin::Current, &at);
    EXPECT_EQ(at, static_cast<int64_t>(written));
    SeekFile(f, 0, SeekOrigin::Begin);
    CArchiveEntry back{};
    EXPECT_TRUE(ReadHeader(f, back, *status));
    EXPECT_EQ(back.dataPos, static_cast<int64_t>(written));
    CloseFile(f);
    if (size != nullptr) {
        *size = written;
    }
    return back;
}

class HeaderWriter : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "Asia/Tokyo", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }
};

} // namespace

TEST_F(HeaderWriter, SizesOfKnownHeaders)
{
    CArchiveEntry file = Entry(2, L"", L"a.txt", 0x20);
    EXPECT_EQ(WriteHeader(platform::kInvalidFile, file, true), 39u);
    uint8_t bytes[kMaxHeaderBytes];
    ASSERT_EQ(BuildHeader(file, bytes), 39u);
    EXPECT_EQ(bytes[24] | (bytes[25] << 8), 8); // the name's extended header
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), 39);

    CArchiveEntry folder = Entry(2, L"docs\\", L"", 0x10);
    EXPECT_EQ(WriteHeader(platform::kInvalidFile, folder, true), 47u);

    // 26 + (n + 3) + 5 = 256 for a 222-byte name: one padding byte makes 257.
    CArchiveEntry padded = Entry(2, L"", std::wstring(222, L'p').c_str(), 0x20);
    ASSERT_EQ(BuildHeader(padded, bytes), 257u);
    EXPECT_EQ(bytes[0] | (bytes[1] << 8), 257);
    int status = -1;
    CArchiveEntry back = RoundTrip(padded, &status);
    EXPECT_EQ(status, kHeaderOk);
    EXPECT_EQ(back.headerSize, 257u);

    CArchiveEntry bad = Entry(3, L"", L"x", 0x20);
    EXPECT_EQ(WriteHeader(platform::kInvalidFile, bad, true), 0u);
}

TEST_F(HeaderWriter, EveryLevelReadsBackAsWritten)
{
    const wchar_t* japanese =
        L"\u65E5\u672C\u8A9E\u306E\u540D\u524D\u30BD.txt"; // a trail byte 0x5C
    for (int level : {0, 1, 2}) {
        SCOPED_TRACE(level);
        CArchiveEntry e = Entry(level, L"\u30C7\u30FC\u30BF\\sub\\", japanese, 0x21);
        int status = -1;
        CArchiveEntry back = RoundTrip(e, &status);
        EXPECT_EQ(status, kHeaderOk); // checksum and header CRC both verify
        EXPECT_STREQ(back.folder, e.folder);
        EXPECT_STREQ(back.name, e.name);
        EXPECT_STREQ(back.method, L"-lh5-");
        EXPECT_EQ(back.packedSize, e.packedSize);
        EXPECT_EQ(back.unpackedSize, e.unpackedSize);
        EXPECT_EQ(back.crc, e.crc);
        EXPECT_EQ(back.attributes, 0x21u);
        EXPECT_EQ(back.level, level);
        EXPECT_EQ(back.osId, level == 0 ? 0 : 'M');
        // Level 2 keeps whole seconds; levels 0 and 1 even seconds, odd ones rounded up.
        uint64_t seconds = e.modified / platform::kTicksPerSecond;
        EXPECT_EQ(back.modified / platform::kTicksPerSecond, level == 2 ? seconds : seconds + 1);
        EXPECT_EQ(back.modified % platform::kTicksPerSecond, 0u);
    }
}

TEST_F(HeaderWriter, LongNamesAndFolderEntries)
{
    std::wstring longName(240, L'n');
    CArchiveEntry e = Entry(1, L"", longName.c_str(), 0x20);
    uint8_t bytes[kMaxHeaderBytes];
    ASSERT_GT(BuildHeader(e, bytes), 0u);
    EXPECT_EQ(bytes[21], 0); // the name moved to an extended header
    int status = -1;
    CArchiveEntry back = RoundTrip(e, &status);
    EXPECT_EQ(status, kHeaderOk);
    EXPECT_EQ(back.name, longName);
    EXPECT_EQ(back.packedSize, e.packedSize); // the extended headers are counted out again

    CArchiveEntry folder = Entry(2, L"a\\b\\", L"", 0x10);
    back = RoundTrip(folder, &status);
    EXPECT_TRUE(IsFolderEntry(back));
    EXPECT_STREQ(back.folder, L"a\\b\\");
    EXPECT_STREQ(back.name, L"");
    EXPECT_EQ(back.attributes, 0x10u);

    // Level 0 holds 233 bytes of path; more would come back as another name, and is refused.
    CArchiveEntry level0 = Entry(0, L"dir\\", std::wstring(229, L'x').c_str(), 0x20);
    ASSERT_EQ(BuildHeader(level0, bytes), 233u + 24u);
    back = RoundTrip(level0, &status);
    EXPECT_STREQ(back.folder, L"dir\\");
    EXPECT_EQ(std::wcslen(back.name), 229u);
    level0 = Entry(0, L"dir\\", std::wstring(230, L'x').c_str(), 0x20);
    EXPECT_EQ(BuildHeader(level0, bytes), 0u);

    CArchiveEntry tooLong = Entry(2, L"", std::wstring(300, L'x').c_str(), 0x20);
    EXPECT_EQ(BuildHeader(tooLong, bytes), 0u);
}

TEST_F(HeaderWriter, TimesOutsideTheUnixRangeAreClamped)
{
    CArchiveEntry early = Entry(2, L"", L"t", 0x20);
    early.modified = platform::kUnixEpochFileTime - 1;
    uint8_t bytes[kMaxHeaderBytes];
    ASSERT_GT(BuildHeader(early, bytes), 0u);
    EXPECT_EQ(bytes[15] | bytes[16] | bytes[17] | bytes[18], 0);
    CArchiveEntry late = early;
    late.modified = platform::kMaxUnixFileTime + 1;
    ASSERT_GT(BuildHeader(late, bytes), 0u);
    EXPECT_EQ(bytes[15] & bytes[16] & bytes[17] & bytes[18], 0xFF);
}

// Sizes of 4 GiB and more: a level 2 header keeps them whole in extended header 0x42; levels
// 0 and 1 have no room for them and write nothing.
TEST_F(HeaderWriter, SizesAboveFourGigabytes)
{
    for (auto [packed, unpacked] : {std::pair<uint64_t, uint64_t>{4'831'838'208, 4'831'838'208},
                                    {23'891, 4'718'592'000},
                                    {100, 4'294'967'295}}) {
        SCOPED_TRACE(unpacked);
        CArchiveEntry e = Entry(2, L"", L"big.bin", 0x20);
        e.packedSize = packed;
        e.unpackedSize = unpacked;
        int status = -1;
        CArchiveEntry back = RoundTrip(e, &status);
        EXPECT_EQ(status, kHeaderOk);
        EXPECT_EQ(back.packedSize, packed);
        EXPECT_EQ(back.unpackedSize, unpacked);
        for (int level : {0, 1}) {
            e.level = level;
            uint8_t header[kMaxHeaderBytes];
            EXPECT_EQ(BuildHeader(e, header) == 0, unpacked > UINT32_MAX) << level;
        }
    }
}
