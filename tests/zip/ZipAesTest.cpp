// WinZip AES: the 0x9901 field, the members of the shared corpus (WinZip's AE-2, WinRAR's
// AE-1), members 7-Zip encrypts here, members the test encrypts under a Japanese password as
// UTF-8 or code page 932, and wrong passwords, altered bytes and cut members, each with the
// verdict that names it.
#include "zip/ZipAes.h"
#include "platform/CodePage932.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceZipAes.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "tests/support/ZipRawMembers.h"
#include "zip/Crc32.h"
#include "zip/Inflate.h"
#include "zip/ZipAesSource.h"
#include "zip/ZipLibraryDecoders.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <unistd.h>

using namespace testsupport;

namespace
{

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::string Text(size_t size)
{
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "行 " + std::to_string(i) + ": いろはにほへと ちりぬるを the quick brown fox\n";
    }
    text.resize(size);
    return text;
}

std::string Noise(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        b = static_cast<char>(rng());
    }
    return bytes;
}

// Decodes the data under the encryption, method 0 (a copy), 8 or one of the library methods.
DecodeStatus DecodeInner(ByteSource& source, uint16_t method, uint16_t flags, uint64_t packed,
                         uint64_t unpacked, CappedSink& sink)
{
    if (method == 0) {
        uint8_t block[3000];
        while (uint32_t got = source.Read(block, sizeof block)) {
            if (!sink.Write(block, got)) {
                return DecodeStatus::OutputRefused;
            }
        }
        return DecodeStatus::Ok;
    }
    if (method == 8) {
        CInflater inflater;
        InflateStatus s = inflater.Inflate(source, &sink, false);
        return s == kInflateOk ? DecodeStatus::Ok : DecodeStatus::Invalid;
    }
    CZipLibraryDecoders decoders;
    CZipMethodDecoder* decoder = decoders.For(method);
    if (decoder == nullptr) {
        ADD_FAILURE() << "method " << method;
        return DecodeStatus::Unsupported;
    }
    ZipDecodeJob job{&source, &sink, packed, unpacked, method, flags};
    return decoder->Decode(job);
}

struct AesRun
{
    ZipAesExtra aes{};
    ZipAesStatus begin = ZipAesStatus::Ok;
    int accepted = -1; // which password the verifier took
    DecodeStatus decode = DecodeStatus::Ok;
    ZipAesStatus finish = ZipAesStatus::Ok;
    std::vector<uint8_t> bytes;
};

// Extracts an AES member as the archive reader does: the 0x9901 field, Begin, the passwords
// in turn, the decoder of the method inside reading through the decrypting source, Finish.
AesRun Extract(const RawZipMember& m, const std::vector<std::string>& passwords,
               uint32_t step = UINT32_MAX)
{
    AesRun r;
    EXPECT_EQ(m.method, kZipAesMethod);
    EXPECT_EQ(FindZipAesExtra(m.extra.data(), m.extra.size(), &r.aes), ZipAesExtraStatus::Found);
    MemorySource stored(m.data.data(), m.data.size(), step);
    CZipAesSource source;
    r.begin = source.Begin(stored, m.data.size(), r.aes.strength);
    if (r.begin != ZipAesStatus::Ok) {
        return r;
    }
    EXPECT_EQ(source.DataSize(), m.data.size() - ZipAesOverhead(r.aes.strength));
    for (size_t i = 0; i < passwords.size() && r.accepted < 0; ++i) {
        if (source.TryPassword(reinterpret_cast<const uint8_t*>(passwords[i].data()),
                               passwords[i].size())) {
            r.accepted = static_cast<int>(i);
        }
    }
    if (r.accepted >= 0) {
        CappedSink sink(m.unpackedSize);
        r.decode =
            DecodeInner(source, r.aes.method, m.flags, source.DataSize(), m.unpackedSize, sink);
        r.bytes = std::move(sink.bytes);
    }
    r.finish = source.Finish();
    return r;
}

// Expects the member to extract to content under password, and checked as its version says.
void ExpectExtracts(const RawZipMember& m, const std::string& password, const std::string& content)
{
    SCOPED_TRACE(m.name);
    AesRun r = Extract(m, {password});
    ASSERT_EQ(r.begin, ZipAesStatus::Ok) << ZipAesStatusName(r.begin);
    ASSERT_EQ(r.accepted, 0);
    EXPECT_EQ(r.decode, DecodeStatus::Ok) << DecodeStatusName(r.decode);
    EXPECT_EQ(r.finish, ZipAesStatus::Ok) << ZipAesStatusName(r.finish);
    EXPECT_EQ(std::string(r.bytes.begin(), r.bytes.end()), content);
    if (r.aes.HasCrc()) {
        EXPECT_EQ(Crc32(0, r.bytes.data(), r.bytes.size()), m.crc);
    } else {
        EXPECT_EQ(m.crc, 0u); // AE-2
    }
}

std::string Field9901(uint16_t size, uint16_t version, const char* vendor, uint8_t strength,
                      uint16_t method)
{
    std::string f = {'\x01',
                     '\x99',
                     static_cast<char>(size),
                     static_cast<char>(size >> 8),
                     static_cast<char>(version),
                     static_cast<char>(version >> 8),
                     vendor[0],
                     vendor[1],
                     static_cast<char>(strength),
                     static_cast<char>(method),
                     static_cast<char>(method >> 8)};
    return f;
}

const std::string kSalt16 = "0123456789abcdef";

std::string SaltFor(int strength)
{
    return kSalt16.substr(0, 4 + 4 * static_cast<size_t>(strength));
}

// One stored AES-256 member's bytes, for the tests that alter them.
RawZipMember SealedMember(const std::string& content, int version = 2)
{
    ZipMember m = AesMember(StoredMember("a.txt", content), "secret", 3, version, SaltFor(3));
    return ReadRawZipMembers(Bytes(BuildZip({m}))).at(0);
}

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

} // namespace

TEST(ZipAes, ExtraFieldIsReadOrRefused)
{
    std::string other = {'\x0A', '\x00', '\x04', '\x00', 'a', 'b', 'c', 'd'};
    struct Case
    {
        const char* name;
        std::string extra;
        ZipAesExtraStatus expected;
    };
    const Case cases[] = {
        {"AE-1, 128", Field9901(7, 1, "AE", 1, 8), ZipAesExtraStatus::Found},
        {"AE-2, 256 after another record", other + Field9901(7, 2, "AE", 3, 93),
         ZipAesExtraStatus::Found},
        {"none", other, ZipAesExtraStatus::Absent},
        {"empty", "", ZipAesExtraStatus::Absent},
        {"cut inside the record", Field9901(7, 1, "AE", 1, 8).substr(0, 10),
         ZipAesExtraStatus::Absent},
        {"6 bytes", Field9901(6, 1, "AE", 1, 8).substr(0, 10), ZipAesExtraStatus::Invalid},
        {"vendor", Field9901(7, 1, "AX", 1, 8), ZipAesExtraStatus::Invalid},
        {"version 3", Field9901(7, 3, "AE", 1, 8), ZipAesExtraStatus::Unsupported},
        {"version 0", Field9901(7, 0, "AE", 1, 8), ZipAesExtraStatus::Unsupported},
        {"strength 0", Field9901(7, 2, "AE", 0, 8), ZipAesExtraStatus::Unsupported},
        {"strength 4", Field9901(7, 2, "AE", 4, 8), ZipAesExtraStatus::Unsupported},
    };
    for (const Case& c : cases) {
        ZipAesExtra aes{};
        std::vector<uint8_t> bytes = Bytes(c.extra);
        EXPECT_EQ(FindZipAesExtra(bytes.data(), bytes.size(), &aes), c.expected) << c.name;
    }
    ZipAesExtra aes{};
    std::vector<uint8_t> bytes = Bytes(other + Field9901(7, 2, "AE", 3, 93));
    ASSERT_EQ(FindZipAesExtra(bytes.data(), bytes.size(), &aes), ZipAesExtraStatus::Found);
    EXPECT_EQ(aes.vendorVersion, 2);
    EXPECT_EQ(aes.strength, 3);
    EXPECT_EQ(aes.method, 93);
    EXPECT_FALSE(aes.HasCrc());
    EXPECT_EQ(ZipAesSaltSize(1), 8u);
    EXPECT_EQ(ZipAesSaltSize(2), 12u);
    EXPECT_EQ(ZipAesSaltSize(3), 16u);
    EXPECT_EQ(ZipAesKeySize(2), 24u);
}

TEST(ZipAes, CorpusMembersHashAsTheManifestSays)
{
    struct Case
    {
        const char* archive;
        uint16_t version;
        uint8_t strength;
    };
    const Case cases[] = {
        {"libarchive/test_read_format_zip_winzip_aes128.zip", 2, 1}, // WinZip
        {"puren_tonbo/aesop_win_winrar.aes256.zip", 1, 3},           // WinRAR, data descriptor
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        std::vector<CorpusZipMember> members = CorpusZipMembers(c.archive);
        ASSERT_EQ(members.size(), 1u);
        const RawZipMember& m = members[0].member;
        AesRun r = Extract(m, {"not it", members[0].password});
        EXPECT_EQ(r.aes.vendorVersion, c.version);
        EXPECT_EQ(r.aes.strength, c.strength);
        EXPECT_EQ(r.aes.method, 8);
        EXPECT_EQ(r.accepted, 1);
        EXPECT_EQ(r.decode, DecodeStatus::Ok);
        EXPECT_EQ(r.finish, ZipAesStatus::Ok) << ZipAesStatusName(r.finish);
        EXPECT_EQ(Sha256OfBytes(r.bytes), members[0].sha256);
        if (r.aes.HasCrc()) {
            EXPECT_EQ(Crc32(0, r.bytes.data(), r.bytes.size()), m.crc);
        }
        // Read a byte at a time, the same bytes and verdicts.
        AesRun split = Extract(m, {members[0].password}, 1);
        EXPECT_EQ(split.finish, ZipAesStatus::Ok);
        EXPECT_TRUE(split.bytes == r.bytes);
    }
}

TEST(ZipAes, SevenZipMembers)
{
    if (!Have("/usr/bin/7zz")) {
        GTEST_SKIP() << "7zz is not installed (apt-get install 7zip)";
    }
    TempFolder tmp;
    const std::map<std::string, std::string> files = {
        {"text.txt", Text(200000)}, {"noise.bin", Noise(50000, 1)}, {"one.txt", "1"}};
    for (const auto& [name, bytes] : files) {
        tmp.WriteHostFile(name, bytes);
    }
    struct Case
    {
        const char* options;
        uint8_t strength;
        uint16_t method;
    };
    const Case cases[] = {
        {"-mem=AES256", 3, 8},
        {"-mem=AES128 -mm=BZip2", 1, 12},
        {"-mem=AES192 -mm=LZMA", 2, 14},
        {"-mem=AES256 -mm=Copy", 3, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.options);
        std::string command = std::string("cd '") + tmp.Host() +
                              "' && rm -f aes.zip && 7zz a -tzip " + c.options +
                              " -pPASS aes.zip text.txt noise.bin one.txt >/dev/null";
        ASSERT_EQ(std::system(command.c_str()), 0);
        std::vector<RawZipMember> members = ReadRawZipFile(tmp.HostPath("aes.zip"));
        ASSERT_EQ(members.size(), files.size());
        for (const RawZipMember& m : members) {
            AesRun r = Extract(m, {"PASS"});
            EXPECT_EQ(r.aes.strength, c.strength);
            if (m.name == "text.txt") {
                EXPECT_EQ(r.aes.method, c.method); // the others may be stored
            }
            ExpectExtracts(m, "PASS", files.at(m.name));
            EXPECT_EQ(Extract(m, {"pass"}).accepted, -1);
        }
    }
}

TEST(ZipAes, JapanesePasswordAsUtf8OrCodePage932)
{
    const std::wstring password = L"日本語のパスワード";
    const std::string utf8 = "日本語のパスワード"; // this file is UTF-8
    const std::string cp932 = platform::WideToCp932(password);
    ASSERT_NE(utf8, cp932);
    ASSERT_EQ(cp932.size(), 18u); // nine double-byte characters
    const std::string text = Text(100000);
    const std::string noise = Noise(20000, 2);
    std::vector<ZipMember> members;
    std::vector<std::string> contents;
    // Every strength and both versions, over stored, deflated and Zstandard data, keyed with
    // the UTF-8 bytes; and one keyed with code page 932 as an older archiver would.
    for (int strength = 1; strength <= 3; ++strength) {
        for (int version = 1; version <= 2; ++version) {
            char name[8];
            std::snprintf(name, sizeof name, "s%dv%d", strength, version);
            members.push_back(AesMember(ZstdMember(std::string(name) + ".zst", text), utf8,
                                        strength, version, SaltFor(strength)));
            contents.push_back(text);
            members.push_back(AesMember(StoredMember(std::string(name) + ".bin", noise), utf8,
                                        strength, version, SaltFor(strength)));
            contents.push_back(noise);
        }
    }
    members.push_back(AesMember(DeflatedMember("cp932.txt", text), cp932, 2, 1, SaltFor(2)));
    contents.push_back(text);
    members.push_back(AesMember(StoredMember("empty.txt", ""), utf8, 1, 2, SaltFor(1)));
    contents.push_back("");
    std::vector<RawZipMember> raw = ReadRawZipMembers(Bytes(BuildZip(members)));
    ASSERT_EQ(raw.size(), members.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        SCOPED_TRACE(raw[i].name);
        // The reader tries UTF-8 first, then code page 932.
        AesRun r = Extract(raw[i], {utf8, cp932});
        EXPECT_EQ(r.accepted, raw[i].name == "cp932.txt" ? 1 : 0);
        EXPECT_EQ(r.decode, DecodeStatus::Ok);
        EXPECT_EQ(r.finish, ZipAesStatus::Ok) << ZipAesStatusName(r.finish);
        EXPECT_EQ(std::string(r.bytes.begin(), r.bytes.end()), contents[i]);
        if (r.aes.HasCrc()) {
            EXPECT_EQ(Crc32(0, r.bytes.data(), r.bytes.size()), raw[i].crc);
        } else {
            EXPECT_EQ(raw[i].crc, 0u);
        }
    }
}

TEST(ZipAes, WrongPasswordIsToldApartFromDamage)
{
    RawZipMember m = SealedMember(Text(5000));
    AesRun wrong = Extract(m, {"Secret", "secret "});
    EXPECT_EQ(wrong.accepted, -1);
    EXPECT_EQ(wrong.finish, ZipAesStatus::WrongPassword);
    EXPECT_TRUE(wrong.bytes.empty());
    // A changed verifier fails the right password as a wrong one would.
    RawZipMember verifier = m;
    verifier.data[16] ^= 1;
    EXPECT_EQ(Extract(verifier, {"secret"}).finish, ZipAesStatus::WrongPassword);
    // The right password with altered data: the verifier passes, the code does not.
    for (size_t at : {size_t{18}, m.data.size() / 2, m.data.size() - 11, m.data.size() - 1}) {
        RawZipMember altered = m;
        altered.data[at] ^= 0x40;
        AesRun r = Extract(altered, {"secret"});
        EXPECT_EQ(r.accepted, 0) << at;
        EXPECT_EQ(r.finish, ZipAesStatus::AuthFailed) << at;
    }
    EXPECT_EQ(Extract(m, {"secret"}).finish, ZipAesStatus::Ok);
}

TEST(ZipAes, AlteredDataFailsEvenWhenTheDecoderAccepts)
{
    // Deflate's stored blocks take any byte: only the code finds the change.
    ZipMember deflated = DeflatedMember("d.txt", Text(3000));
    RawZipMember m =
        ReadRawZipMembers(Bytes(BuildZip({AesMember(deflated, "secret", 1, 2, SaltFor(1))}))).at(0);
    m.data[8 + 2 + 100] ^= 0x01;
    AesRun r = Extract(m, {"secret"});
    EXPECT_EQ(r.decode, DecodeStatus::Ok);
    EXPECT_EQ(r.bytes.size(), 3000u);
    EXPECT_EQ(r.finish, ZipAesStatus::AuthFailed);
}

TEST(ZipAes, CutMembersAreTruncated)
{
    RawZipMember m = SealedMember(Text(5000));
    const size_t overhead = ZipAesOverhead(3);
    // Within the salt and verifier; within the data; within the code.
    for (size_t keep : {size_t{0}, size_t{10}, size_t{17}, overhead - 1, m.data.size() / 2,
                        m.data.size() - 10, m.data.size() - 1}) {
        RawZipMember cut = m;
        cut.data.resize(keep);
        // The directory still declares the whole size.
        MemorySource stored(cut.data.data(), cut.data.size());
        CZipAesSource source;
        ZipAesStatus begin = source.Begin(stored, m.data.size(), 3);
        if (keep < 18) {
            EXPECT_EQ(begin, ZipAesStatus::Truncated) << keep;
            EXPECT_EQ(source.Finish(), ZipAesStatus::Truncated) << keep;
            continue;
        }
        ASSERT_EQ(begin, ZipAesStatus::Ok) << keep;
        ASSERT_TRUE(source.TryPassword(reinterpret_cast<const uint8_t*>("secret"), 6));
        CappedSink sink(5000);
        DecodeInner(source, 0, 0, source.DataSize(), 5000, sink);
        EXPECT_EQ(source.Finish(), ZipAesStatus::Truncated) << keep;
    }
    // A declared size too small for salt, verifier and code.
    MemorySource stored(m.data.data(), m.data.size());
    CZipAesSource source;
    EXPECT_EQ(source.Begin(stored, overhead - 1, 3), ZipAesStatus::Truncated);
    EXPECT_FALSE(source.TryPassword(reinterpret_cast<const uint8_t*>("secret"), 6));
}

TEST(ZipAes, FinishAuthenticatesWhatTheDecoderLeft)
{
    RawZipMember m = SealedMember(Text(20000));
    for (bool alterTail : {false, true}) {
        RawZipMember member = m;
        if (alterTail) {
            member.data[member.data.size() - 20] ^= 0x04; // far past what is read below
        }
        MemorySource stored(member.data.data(), member.data.size());
        CZipAesSource source;
        ASSERT_EQ(source.Begin(stored, member.data.size(), 3), ZipAesStatus::Ok);
        ASSERT_TRUE(source.TryPassword(reinterpret_cast<const uint8_t*>("secret"), 6));
        uint8_t head[100];
        ASSERT_EQ(source.Read(head, sizeof head), sizeof head);
        EXPECT_EQ(std::string(head, head + sizeof head), Text(20000).substr(0, 100));
        EXPECT_EQ(source.Finish(), alterTail ? ZipAesStatus::AuthFailed : ZipAesStatus::Ok);
    }
}

TEST(ZipAes, SplitReadsMatchTheReference)
{
    const std::string content = Noise(70000, 9);
    for (int strength = 1; strength <= 3; ++strength) {
        std::vector<uint8_t> stored =
            ReferenceZipAesEncrypt(Bytes(content), strength, Bytes("pw"), Bytes(SaltFor(strength)));
        ReferenceAesResult reference = ReferenceZipAesDecrypt(stored, strength, Bytes("pw"));
        ASSERT_TRUE(reference.authentic);
        ASSERT_EQ(std::string(reference.plain.begin(), reference.plain.end()), content);
        // Source pieces and read sizes that cut the 16-byte blocks and the 4 KiB key stream
        // anywhere.
        for (uint32_t step : {1u, 15u, 17u, 4097u, UINT32_MAX}) {
            for (uint32_t capacity : {1u, 16u, 33u, 5000u}) {
                MemorySource source(stored.data(), stored.size(), step);
                CZipAesSource aes;
                ASSERT_EQ(aes.Begin(source, stored.size(), static_cast<uint8_t>(strength)),
                          ZipAesStatus::Ok);
                ASSERT_TRUE(aes.TryPassword(reinterpret_cast<const uint8_t*>("pw"), 2));
                std::vector<uint8_t> out;
                std::vector<uint8_t> buffer(capacity);
                while (uint32_t got = aes.Read(buffer.data(), capacity)) {
                    out.insert(out.end(), buffer.begin(), buffer.begin() + got);
                }
                EXPECT_TRUE(out == reference.plain) << strength << " " << step << " " << capacity;
                EXPECT_EQ(aes.Finish(), ZipAesStatus::Ok);
            }
        }
    }
}

TEST(ZipAes, UnknownStrengthIsUnsupported)
{
    std::vector<uint8_t> bytes(100, 0);
    for (uint8_t strength : {0, 4, 255}) {
        MemorySource source(bytes);
        CZipAesSource aes;
        EXPECT_EQ(aes.Begin(source, bytes.size(), strength), ZipAesStatus::Unsupported);
        ZipAesKeys keys;
        EXPECT_FALSE(DeriveZipAesKeys(bytes.data(), 4, bytes.data(), strength, &keys));
    }
}
