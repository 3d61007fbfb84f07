// ReadHeader over crafted headers of each level, sound and broken.
#include "lzh/LzhHeaderReader.h"
#include "lzh/LzhMethods.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

using namespace testsupport;

namespace
{

struct HeaderResult
{
    bool ok;
    int status;
    CArchiveEntry entry;
};

HeaderResult Read(const std::string& bytes, size_t at = 0)
{
    TempFolder tmp;
    tmp.WriteHostFile("h.lzh", bytes);
    platform::FileHandle f =
        platform::OpenFile(L"\\h.lzh", platform::kAccessRead, platform::FileShare::Read,
                           platform::FileDisposition::OpenExisting);
    EXPECT_NE(f, platform::kInvalidFile);
    platform::SeekFile(f, static_cast<int64_t>(at), platform::SeekOrigin::Begin);
    HeaderResult r{};
    r.ok = ReadHeader(f, r.entry, r.status);
    platform::CloseFile(f);
    return r;
}

LzhMemberFields Fields(int level, std::string name = "a.txt")
{
    LzhMemberFields s;
    s.level = level;
    s.name = name;
    if (level >= 2) {
        s.ext.push_back({0x01, name});
    }
    return s;
}

class HeaderReader : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        unsetenv("TZ");
        tzset();
    }
};

} // namespace

TEST_F(HeaderReader, Level0FieldsAndBackslashSplit)
{
    LzhMemberFields s = Fields(0, "dir\\x.txt");
    s.method = "-lh5-";
    s.data = "12345";
    s.unpacked = 99;
    s.crc = 0xA33A;
    s.attribute = 0x21;
    s.timeField = (((30u << 9) | (1 << 5) | 1) << 16) | (1 << 11); // 2010-01-01 01:00:00
    HeaderResult r = Read(BuildMember(s));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, kHeaderOk);
    EXPECT_STREQ(r.entry.method, L"-lh5-");
    EXPECT_STREQ(r.entry.folder, L"dir\\");
    EXPECT_STREQ(r.entry.name, L"x.txt");
    EXPECT_EQ(r.entry.packedSize, 5u);
    EXPECT_EQ(r.entry.unpackedSize, 99u);
    EXPECT_EQ(r.entry.crc, 0xA33Au);
    EXPECT_EQ(r.entry.attributes, 0x21u);
    EXPECT_EQ(r.entry.osId, 0);
    EXPECT_EQ(r.entry.level, 0);
    EXPECT_EQ(r.entry.headerSize, 22u + 9u);
    EXPECT_EQ(r.entry.dataPos, 33);
    EXPECT_EQ(r.entry.modified, 129067812000000000u); // 2010-01-01 01:00:00 UTC

    r = Read(BuildMember(Fields(0, "dir/x.txt")));
    ASSERT_TRUE(r.ok);
    EXPECT_STREQ(r.entry.folder, L"");
    EXPECT_STREQ(r.entry.name, L"dir/x.txt"); // only the backslash separates
}

TEST_F(HeaderReader, Level1ExtendedHeadersComeOffThePackedSize)
{
    LzhMemberFields s = Fields(1, "");
    s.ext = {{0x01, "x.txt"},
             {0x02, "a\xFF"
                    "b\xFF"},
             {0x40, std::string("\x02\x00", 2)},
             {0x7F, std::string(21, 'z')}};
    s.packed = 1040; // the four extended headers take 8 + 7 + 5 + 24 = 44 bytes
    s.osId = 'M';
    std::string bytes = BuildMember(s);
    HeaderResult r = Read(bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, kHeaderOk);
    EXPECT_STREQ(r.entry.folder, L"a\\b\\");
    EXPECT_STREQ(r.entry.name, L"x.txt");
    EXPECT_EQ(r.entry.attributes, 2u);
    EXPECT_EQ(r.entry.osId, 'M');
    EXPECT_EQ(r.entry.packedSize, 1040u - 44u);
    EXPECT_EQ(r.entry.headerSize, 25u + 44u);
    EXPECT_EQ(r.entry.dataPos, static_cast<int64_t>(bytes.size()));

    s.packed = 43; // less than the extended headers themselves
    EXPECT_EQ(Read(BuildMember(s)).status, kHeaderMalformed);
}

TEST_F(HeaderReader, Level2PaddingCrcAndTime)
{
    LzhMemberFields s = Fields(2, "x.txt");
    s.ext.push_back({0x02, "d\xFF"});
    s.headerCrc = true;
    s.padding = 1;
    s.timeField = 0x80000000; // 2038: the field is unsigned
    s.osId = 0xFF;            // sign-extended
    std::string bytes = BuildMember(s);
    HeaderResult r = Read(bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, kHeaderOk);
    EXPECT_EQ(r.entry.headerSize, bytes.size());
    EXPECT_EQ(r.entry.dataPos, static_cast<int64_t>(bytes.size()));
    EXPECT_STREQ(r.entry.folder, L"d\\");
    EXPECT_EQ(r.entry.osId, -1);
    EXPECT_EQ(r.entry.modified, platform::UnsignedUnixToFileTime(0x80000000u));
    EXPECT_GT(r.entry.modified, platform::kUnixEpochFileTime);

    bytes[bytes.size() - 1] = 'X'; // padding is covered by the header CRC
    r = Read(bytes);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.status, kHeaderChecksum);

    s.headerCrc = false; // no CRC header: no check
    bytes = BuildMember(s);
    bytes[bytes.size() - 1] = 'X';
    EXPECT_EQ(Read(bytes).status, kHeaderOk);

    LzhMemberFields zeroCrc = Fields(2);
    zeroCrc.ext.insert(zeroCrc.ext.begin(), ExtHeader{0x00, std::string(2, '\0')});
    EXPECT_EQ(Read(BuildMember(zeroCrc)).status, kHeaderOk); // stored 0 means unchecked
}

TEST_F(HeaderReader, Level2TotalSizeShortOfTheExtendedHeaders)
{
    // Some OS-9/68k archivers store a total size 2 below the real one: no padding is read.
    LzhMemberFields s = Fields(2);
    s.data = "DATA";
    std::string member = BuildMember(s);
    size_t headerLength = member.size() - 4;
    s.totalSize = static_cast<uint16_t>(headerLength - 2);
    HeaderResult r = Read(BuildMember(s));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.entry.dataPos, static_cast<int64_t>(headerLength));
    EXPECT_EQ(r.entry.headerSize, headerLength - 2);
}

TEST_F(HeaderReader, EndsAndFailures)
{
    EXPECT_EQ(Read("").status, kHeaderEndOfFile);
    HeaderResult marker = Read(std::string(1, '\0'));
    EXPECT_FALSE(marker.ok);
    EXPECT_EQ(marker.status, kHeaderOk);
    EXPECT_EQ(Read("\x01").status, kHeaderMalformed);
    std::string whole = BuildMember(Fields(1));
    for (size_t cut : {size_t{10}, size_t{21}, size_t{24}, whole.size() - 1}) {
        EXPECT_EQ(Read(whole.substr(0, cut)).status, kHeaderMalformed) << cut;
    }
    std::string bytes = BuildMember(Fields(2));
    bytes[20] = 4;
    EXPECT_EQ(Read(bytes).status, kHeaderBadLevel);
    bytes[20] = 3; // level 3 takes 4 as the first two bytes
    EXPECT_EQ(Read(bytes).status, kHeaderMalformed);
    // A zero byte where a header would start ends the archive, whatever follows it.
    HeaderResult padded = Read(std::string(1, '\0') + "\x1A\x1A\x1A");
    EXPECT_FALSE(padded.ok);
    EXPECT_EQ(padded.status, kHeaderOk);

    LzhMemberFields bad = Fields(1);
    bad.checksum = 0x42;
    HeaderResult r = Read(BuildMember(bad));
    EXPECT_TRUE(r.ok); // complete, but flagged
    EXPECT_EQ(r.status, kHeaderChecksum);

    LzhMemberFields tiny = Fields(2);
    tiny.ext.push_back({0x55, ""});
    bytes = BuildMember(tiny);
    bytes[bytes.size() - 2] = 2; // next extended size 2 is below the minimum of 3
    EXPECT_EQ(Read(bytes + std::string(8, '\0')).status, kHeaderMalformed);

    LzhMemberFields noSlash = Fields(2);
    noSlash.ext.push_back({0x02, "folder"});
    EXPECT_EQ(Read(BuildMember(noSlash)).status, kHeaderMalformed);

    LzhMemberFields shortBase = Fields(1);
    std::string level1 = BuildMember(shortBase);
    level1[0] = static_cast<char>(22 + 5 + 2); // too short for OS byte and extended size
    EXPECT_EQ(Read(level1).status, kHeaderMalformed);
}

TEST_F(HeaderReader, PathsBeyondTheRecordAreCutAndMarked)
{
    struct Case
    {
        size_t folderBytes, nameBytes;
        uint32_t flags;
    } cases[] = {
        {159, 100, 0},             // 260 characters in all: each field holds its part
        {305, 5, kEntryFolderCut}, // a folder longer than the record
        {0, 4000, kEntryNameCut},  // a name longer than the record
        {300, 300, kEntryFolderCut | kEntryNameCut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folderBytes);
        LzhMemberFields s = Fields(2, std::string(c.nameBytes, 'n'));
        if (c.folderBytes > 0) {
            s.ext.push_back({0x02, std::string(c.folderBytes, 'f') + "\xFF"});
        }
        s.data = "DATA";
        std::string bytes = BuildMember(s);
        HeaderResult r = Read(bytes);
        ASSERT_TRUE(r.ok);
        EXPECT_EQ(r.status, kHeaderOk);
        EXPECT_EQ(r.entry.flags, c.flags);
        EXPECT_EQ(IsPathCut(r.entry), c.flags != 0);
        EXPECT_EQ(r.entry.dataPos, static_cast<int64_t>(bytes.size() - 4)); // header read whole
        size_t folderLength = std::wcslen(r.entry.folder);
        EXPECT_EQ(std::wcslen(r.entry.name), std::min<size_t>(c.nameBytes, 259));
        EXPECT_EQ(folderLength, c.folderBytes == 0 ? 0 : std::min<size_t>(c.folderBytes + 1, 259));
        if (folderLength > 0) {
            EXPECT_EQ(r.entry.folder[folderLength - 1], L'\\');
        }
    }
}

TEST_F(HeaderReader, UnixTimesReachTo2106)
{
    // 2040-01-01 00:00:00 UTC is past the signed range of 32 bits.
    constexpr uint32_t k2040 = 2208988800u;
    LzhMemberFields base = Fields(2);
    base.timeField = k2040;
    EXPECT_EQ(Read(BuildMember(base)).entry.modified, platform::UnsignedUnixToFileTime(k2040));
    base.timeField = 0xFFFFFFFF;
    EXPECT_EQ(Read(BuildMember(base)).entry.modified, platform::kMaxUnixFileTime);

    // A level 1 header's Unix time extended header is exact and in UTC: it wins over the
    // MS-DOS stamp (local, two-second steps).
    LzhMemberFields level1 = Fields(1);
    level1.timeField = 0x00210000 | (12 << 11); // 1980-01-01 12:00:00 local
    std::string time(4, '\0');
    for (int i = 0; i < 4; ++i) {
        time[static_cast<size_t>(i)] = static_cast<char>((k2040 + 1) >> (8 * i));
    }
    level1.ext.push_back({0x54, time});
    EXPECT_EQ(Read(BuildMember(level1)).entry.modified,
              platform::UnsignedUnixToFileTime(k2040 + 1));
    level1.ext.clear();
    EXPECT_LT(Read(BuildMember(level1)).entry.modified, platform::kUnixEpochFileTime * 2);
}

TEST_F(HeaderReader, Level3HasFourByteSizes)
{
    LzhMemberFields s = Fields(3, "x.txt");
    s.ext.push_back({0x02, "dir\xFF"});
    s.headerCrc = true;
    s.timeField = 1322948876;
    s.data = "0123456789";
    s.unpacked = 10;
    std::string bytes = BuildMember(s);
    HeaderResult r = Read(bytes);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.status, kHeaderOk);
    EXPECT_EQ(r.entry.level, 3);
    EXPECT_STREQ(r.entry.folder, L"dir\\");
    EXPECT_STREQ(r.entry.name, L"x.txt");
    EXPECT_EQ(r.entry.packedSize, 10u);
    EXPECT_EQ(r.entry.headerSize, bytes.size() - 10);
    EXPECT_EQ(r.entry.dataPos, static_cast<int64_t>(bytes.size() - 10));
    EXPECT_EQ(r.entry.modified, platform::UnsignedUnixToFileTime(1322948876));

    bytes[bytes.find("dir")] = 'D'; // the header CRC covers every extended header
    EXPECT_EQ(Read(bytes).status, kHeaderChecksum);
}

TEST_F(HeaderReader, OtherMethodsAreReadAsListed)
{
    LzhMemberFields s = Fields(1);
    s.method = "-lh1-";
    HeaderResult r = Read(BuildMember(s));
    ASSERT_TRUE(r.ok);
    EXPECT_STREQ(r.entry.method, L"-lh1-");
    EXPECT_EQ(LzhMethodOf(r.entry)->number, kMethodLh1);
    s.method = "-lhd-";
    r = Read(BuildMember(s));
    EXPECT_TRUE(IsFolderEntry(r.entry));
}

// Names as the maker had them: the UTF-16 name and folder of Windows archivers (0x44, 0x45)
// win over the code page 932 ones; a Unix-made member's name that is valid UTF-8 with a
// multi-byte sequence reads as UTF-8, any other as code page 932.
TEST_F(HeaderReader, NamesInUnicodeAndUtf8)
{
    auto utf16 = [](std::u16string text) {
        std::string bytes;
        for (char16_t u : text) {
            bytes += static_cast<char>(u & 0xFF);
            bytes += static_cast<char>(u >> 8);
        }
        return bytes;
    };
    const std::string sjisNihongo = "\x93\xfa\x96\x7b\x8c\xea.txt"; // 日本語.txt
    struct Case
    {
        const char* what;
        uint8_t os;
        std::vector<ExtHeader> ext;
        const wchar_t* folder;
        const wchar_t* name;
    } cases[] = {
        {"UTF-16 name and folder",
         'W',
         {{0x01, "caf?.txt"},
          {0x02, "?\xff"},
          {0x44, utf16(u"caf\u00e9\U0001F600.txt")},
          {0x45, utf16(u"\ud55c\uad6d\xffff"
                       u"sub")}},
         L"\uD55C\uAD6D\\sub\\",
         L"caf\u00e9\U0001F600.txt"},
        {"UTF-16 name only",
         'W',
         {{0x01, "x.txt"}, {0x02, "dir\xff"}, {0x44, utf16(u"\u00e9.txt")}},
         L"dir\\",
         L"\u00e9.txt"},
        {"UTF-8 from Unix",
         'U',
         {{0x01, "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e.txt"}},
         L"",
         L"\u65E5\u672C\u8A9E.txt"},
        {"code page 932 from Unix", 'U', {{0x01, sjisNihongo}}, L"", L"\u65E5\u672C\u8A9E.txt"},
        {"ASCII from Unix", 'U', {{0x01, "plain.txt"}, {0x02, "d\xff"}}, L"d\\", L"plain.txt"},
        {"UTF-8 bytes from Windows read as code page 932",
         'M',
         {{0x01, "\xc3\xa9.txt"}},
         L"",
         L"\uFF83\uFF69.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LzhMemberFields s = Fields(2);
        s.osId = c.os;
        s.ext = c.ext;
        HeaderResult r = Read(BuildMember(s));
        ASSERT_TRUE(r.ok);
        EXPECT_STREQ(r.entry.folder, c.folder);
        EXPECT_STREQ(r.entry.name, c.name);
    }
}
