// Encrypted members: the cipher, when the password is asked, how the reply is kept, and what
// wrong, cancelled and missing answers do.
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/ZipArchive.h"
#include "zip/ZipCipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>
#include <deque>
#include <filesystem>

using namespace testsupport;

namespace
{

// Answers password questions from a queue; an empty queue cancels.
class ScriptedPrompt final : public CArchivePrompt
{
public:
    bool AskPassword(const wchar_t* context, bool, wchar_t* text) override
    {
        asked.push_back(context);
        if (replies.empty()) {
            return false;
        }
        std::wcsncpy(text, replies.front().c_str(), kPasswordCapacity - 1);
        replies.pop_front();
        return true;
    }
    bool ReportProgress(uint64_t, uint64_t) override { return !stop; }
    std::deque<std::wstring> replies;
    std::vector<std::wstring> asked;
    bool stop = false; // Cancel at the first progress
};

ZipMember Encrypted(const std::string& name, const std::string& content,
                    const std::string& password, bool deflated = false)
{
    ZipMember m = deflated ? DeflatedMember(name, content) : StoredMember(name, content);
    m.encrypted = true;
    m.password = password;
    return m;
}

class ZipPassword : public ::testing::Test
{
protected:
    void Open(const std::vector<ZipMember>& members)
    {
        folder.WriteHostFile("a.zip", BuildZip(members));
        ASSERT_TRUE(archive.Open(L"\\a.zip"));
        archive.SetPrompt(&prompt);
        std::wcscpy(archive.destFolder, L"\\out");
        archive.overwriteSilently = true;
        archive.skipIfNotOlder = false;
    }
    bool Extract(int i) { return archive.ExtractEntry(i); }
    std::string Output(const std::string& name) const
    {
        return ReadHostFile(folder.HostPath("out/" + name));
    }

    TempFolder folder;
    CZipArchive archive;
    ScriptedPrompt prompt;
};

} // namespace

TEST(ZipCipher, MatchesTheKeyScheduleByHand)
{
    // Key setup with "a": key 0 is one CRC-32 step, key 1 one linear step of key 0's low
    // byte, key 2 one CRC-32 step over key 1's high byte.
    CZipCipher cipher;
    cipher.Init(reinterpret_cast<const uint8_t*>("a"), 1);
    uint32_t k0 = 0x12345678u, k1 = 0x23456789u, k2 = 0x34567890u;
    auto crcStep = [](uint32_t crc, uint8_t b) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) {
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        }
        return crc;
    };
    k0 = crcStep(k0, 'a');
    k1 = (k1 + (k0 & 0xFF)) * 134775813u + 1;
    k2 = crcStep(k2, static_cast<uint8_t>(k1 >> 24));
    EXPECT_EQ(cipher.key0, k0);
    EXPECT_EQ(cipher.key1, k1);
    EXPECT_EQ(cipher.key2, k2);

    // Encrypting and decrypting with the same keys is the identity, in pieces or whole.
    std::vector<uint8_t> data(1000);
    for (size_t i = 0; i < data.size(); ++i) {
        data[i] = static_cast<uint8_t>(i * 31);
    }
    auto plain = data;
    CZipCipher e, d;
    e.Init(reinterpret_cast<const uint8_t*>("pw"), 2);
    d = e;
    e.Encrypt(data.data(), data.size());
    EXPECT_NE(data, plain);
    d.Decrypt(data.data(), 7);
    d.Decrypt(data.data() + 7, data.size() - 7);
    EXPECT_EQ(data, plain);
}

TEST_F(ZipPassword, OneQuestionPerArchiveAndPerChangeOfPassword)
{
    Open({Encrypted("a.txt", "alpha", "one"), Encrypted("b.txt", "beta", "one", true),
          StoredMember("plain.txt", "plain"), Encrypted("c.txt", "gamma", "two"),
          Encrypted("d.txt", "delta", "two", true), Encrypted("e.txt", "epsilon", "one")});
    prompt.replies = {L"one", L"two", L"one"};
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        EXPECT_TRUE(Extract(i)) << i << " " << archive.status;
    }
    EXPECT_EQ(Output("a.txt"), "alpha");
    EXPECT_EQ(Output("b.txt"), "beta");
    EXPECT_EQ(Output("d.txt"), "delta");
    EXPECT_EQ(Output("e.txt"), "epsilon");
    EXPECT_EQ(prompt.asked, (std::vector<std::wstring>{L"a.txt", L"c.txt", L"e.txt"}));

    // Reopening asks again, even though the stored password would fit.
    ASSERT_TRUE(archive.Open(L"\\a.zip"));
    prompt.replies = {L"one"};
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(prompt.asked.size(), 4u);
}

TEST_F(ZipPassword, WrongCancelledAndMissingAnswersFailTheMemberOnly)
{
    Open({Encrypted("a.txt", "alpha", "secret"), Encrypted("b.txt", "beta", ""),
          Encrypted("c.txt", "gamma", "secret"), Encrypted("d.txt", "delta", "other")});
    // A wrong password is asked for again; cancelling then leaves the member failed as wrong.
    prompt.replies = {L"wrong"};
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipPasswordFailed);
    EXPECT_EQ(prompt.asked, (std::vector<std::wstring>{L"a.txt", L"a.txt"}));
    // An empty password is a password: it opens the member made with one.
    prompt.replies = {L""};
    EXPECT_TRUE(Extract(1)) << archive.status;
    EXPECT_EQ(Output("b.txt"), "beta");
    // The stored (empty) password is tried first, then the questions come, until one fits.
    prompt.replies = {L"nope", L"secret"};
    EXPECT_TRUE(Extract(2));
    EXPECT_EQ(prompt.asked.size(), 5u);
    // Cancelled at once: no password was given.
    prompt.replies = {};
    EXPECT_FALSE(Extract(3));
    EXPECT_EQ(archive.status, kZipNoPassword);
    EXPECT_FALSE(std::filesystem::exists(folder.HostPath("out/d.txt")));

    archive.SetPrompt(nullptr);
    ASSERT_TRUE(archive.Open(L"\\a.zip"));
    for (bool test : {false, true}) {
        archive.testMode = test;
        EXPECT_FALSE(Extract(2));
        EXPECT_EQ(archive.status, kZipNoPassword);
    }
}

TEST_F(ZipPassword, HeaderBytesCountInTheSizeAndTheCheckByteFollowsBit3)
{
    ZipMember dd = Encrypted("dd.txt", std::string(3000, 'q'), "pw", true);
    dd.flags = 0x08; // the check byte is the DOS time's high byte
    dd.time = 0xAB00;
    dd.localSizesZero = true;
    Open({Encrypted("s.bin", std::string(100, 's'), "pw"), dd});
    EXPECT_EQ(archive.GetEntry(0).packedSize, 112u);
    prompt.replies = {L"pw"};
    archive.testMode = true;
    EXPECT_TRUE(Extract(0));
    EXPECT_TRUE(Extract(1)) << archive.status;
    archive.testMode = false;
    EXPECT_TRUE(Extract(0));
    EXPECT_EQ(Output("s.bin"), std::string(100, 's'));
    EXPECT_TRUE(Extract(1));
    EXPECT_EQ(Output("dd.txt"), std::string(3000, 'q'));
    EXPECT_EQ(prompt.asked.size(), 1u);
}

TEST_F(ZipPassword, NonAsciiPasswordsGoThroughCodePage932)
{
    Open({Encrypted("j.txt", "japanese", "\x83\x70\x83\x58")}); // "パス" in code page 932
    prompt.replies = {L"パス"};
    EXPECT_TRUE(Extract(0)) << archive.status;
    EXPECT_EQ(Output("j.txt"), "japanese");
}

// Info-ZIP on Linux keys the cipher with the password's UTF-8 bytes, and code page 932 is tried
// first: here the header's check byte passes for both forms (1 in 256 members do), and the
// data decide.
TEST_F(ZipPassword, AFormThatPassesTheCheckByteByChanceGivesWayToTheRightOne)
{
    const std::string utf8 = "\xE3\x81\xB2\xE3\x81\xBF\xE3\x81\xA4"; // "ひみつ"
    const std::string cp932 = "\x82\xD0\x82\xDD\x82\xC2";
    ZipMember m = Encrypted("s.txt", std::string(5000, 's'), utf8, true);
    auto passesBoth = [&] {
        std::string header = BuildZip({m}).substr(30 + m.name.size(), kZipEncryptionHeader);
        uint8_t bytes[kZipEncryptionHeader];
        std::memcpy(bytes, header.data(), kZipEncryptionHeader);
        CZipCipher cipher;
        cipher.Init(reinterpret_cast<const uint8_t*>(cp932.data()), cp932.size());
        return cipher.CheckHeader(bytes, static_cast<uint8_t>(m.crc >> 24));
    };
    while (!passesBoth()) {
        ASSERT_LT(++m.headerSeed, 255);
    }
    Open({m});
    prompt.replies = {L"ひみつ"};
    archive.testMode = true;
    EXPECT_TRUE(Extract(0)) << archive.status;
    archive.testMode = false;
    EXPECT_TRUE(Extract(0)) << archive.status;
    EXPECT_EQ(Output("s.txt"), std::string(5000, 's'));
    EXPECT_EQ(prompt.asked.size(), 1u);
    // Cancel inside the member ends it, in the trial decoding as in the real one.
    prompt.stop = true;
    EXPECT_FALSE(Extract(0));
    EXPECT_EQ(archive.status, kZipCancelled);
}
