// The -lh1- decoder: corpus members to their recorded digests, the starting tree, the bound
// on missing input, broken members, and random streams (long enough to halve the weights
// many times) against lhasa's extraction.
#include "archive/MemberStreams.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/Crc16.h"
#include "lzh/LzhBitInput.h"
#include "lzh/LzhLh1Decoder.h"
#include "lzh/LzhMethods.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/PeerLhasa.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace testsupport;

namespace
{

using testsupport::Decoded;

Decoded Decode(const std::vector<uint8_t>& packed, uint32_t size)
{
    static CLzhLh1Decoder decoder;
    return testsupport::DecodeMember(decoder, packed, size);
}

std::vector<uint8_t> RandomBytes(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (uint8_t& b : v) {
        b = static_cast<uint8_t>(rng());
    }
    return v;
}

} // namespace

TEST(LzhLh1Decoder, CorpusMembersDecodeToTheirDigests)
{
    int decoded = 0;
    int empty = 0;
    for (const CorpusMember& m : CorpusMembersWithMethod("-lh1-")) {
        SCOPED_TRACE(m.archive + ":" + m.row.member);
        Decoded d = Decode(m.packed, m.unpackedSize);
        if (m.unpackedSize == 0) {
            EXPECT_TRUE(d.bytes.empty());
            EXPECT_EQ(d.crc, 0);
            ++empty;
            continue;
        }
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.bytes.size(), m.row.size);
        EXPECT_EQ(d.crc, m.headerCrc);
        EXPECT_EQ(d.crc, Crc16Update(0, d.bytes.data(), static_cast<long>(d.bytes.size())));
        EXPECT_EQ(Sha256OfBytes(d.bytes), m.row.sha256);
        ++decoded;
    }
    // lharc113/lh1.lzh and sfx.com, win_gui_b/h1_lh1.lzh, lha_osk_201/h2_lh1.lzh;
    // regression/badterm.lzh and lengths/lh1-0.lzh are empty.
    EXPECT_EQ(decoded, 4);
    EXPECT_EQ(empty, 2);
}

TEST(LzhLh1Decoder, StartingTreeAndMissingInput)
{
    // In the starting tree each node's first child is the lower of the pair it joined:
    // from the root (626) bit 0 leads 624, 620, 612, 596, 564, 500, 372 and leaf 116, so
    // eight zero bits are a 't'. With no input they are the zeros past the end (1 byte).
    Decoded d = Decode({}, 1);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>{'t'});
    // A long member over nothing fails within a few bytes' worth of zeros.
    d = Decode({}, 100000);
    EXPECT_EQ(d.result.status, DecodeStatus::Truncated);
    EXPECT_LE(d.bytes.size(), (LzhBitInput::kMaxOverreadBytes + 1u) * 8 * 60);
}

TEST(LzhLh1Decoder, BrokenMembersFailOrMismatchWithoutRunningOn)
{
    auto members = CorpusMembersWithMethod("-lh1-");
    std::mt19937 rng(7);
    int checked = 0;
    for (const CorpusMember& m : members) {
        if (m.unpackedSize == 0) {
            continue;
        }
        SCOPED_TRACE(m.archive);
        std::vector<uint8_t> half(m.packed.begin(), m.packed.begin() + m.packed.size() / 2);
        Decoded d = Decode(half, m.unpackedSize);
        EXPECT_FALSE(d.ok);
        EXPECT_LE(d.bytes.size(), m.unpackedSize);
        // Changed bytes still decode (every bit string is a stream), to another CRC.
        std::vector<uint8_t> garbled = m.packed;
        for (int i = 0; i < 8; ++i) {
            garbled[rng() % garbled.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        d = Decode(garbled, m.unpackedSize);
        if (d.ok) {
            EXPECT_EQ(d.bytes.size(), m.unpackedSize);
            EXPECT_NE(d.crc, m.headerCrc);
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
    // The largest size over random bytes: the work is bounded by the input, not by the
    // size (a symbol takes a bit at least and makes 60 bytes at most).
    Decoded d = Decode(RandomBytes(4096, 1), 0xFFFFFFFF);
    EXPECT_EQ(d.result.status, DecodeStatus::Truncated);
    EXPECT_LE(d.result.produced, (4096u + LzhBitInput::kMaxOverreadBytes) * 8 * 60);
}

TEST(LzhLh1Decoder, TheTablesRowDecodesFromAFile)
{
    auto members = CorpusMembersWithMethod("-lh1-");
    auto full = std::find_if(members.begin(), members.end(),
                             [](const CorpusMember& c) { return c.unpackedSize > 0; });
    ASSERT_NE(full, members.end());
    const CorpusMember& m = *full;
    TempFolder tmp;
    tmp.WriteHostFile("m.bin", std::string(m.packed.begin(), m.packed.end()));
    platform::FileHandle input =
        platform::OpenFile(L"\\m.bin", platform::kAccessRead, platform::FileShare::Read,
                           platform::FileDisposition::OpenExisting);
    ASSERT_NE(input, platform::kInvalidFile);
    CFileSource source(input, m.packed.size());
    CLzhMethodDecoder* decoder = LzhThreadDecoder(*FindLzhMethod(L"-lh1-"));
    ASSERT_NE(decoder, nullptr);
    LzhDecodeResult r = decoder->Decode({&source, nullptr, m.packed.size(), m.unpackedSize});
    EXPECT_EQ(r.status, DecodeStatus::Ok);
    EXPECT_EQ(r.crc, m.headerCrc);
    platform::CloseFile(input);
}

TEST(PeerLh1, RandomStreamsDecodeAsLhasaDecodesThem)
{
    if (!HaveLhasa()) {
        GTEST_SKIP() << "lhasa is not installed (apt-get install lhasa)";
    }
    // Every bit string is a valid -lh1- stream. Two million bytes take some 300,000
    // symbols, so the weights are halved and the tree rebuilt several times.
    for (uint32_t size : {1u, 1000u, 70000u, 2000000u}) {
        SCOPED_TRACE(size);
        std::vector<uint8_t> packed = RandomBytes(size / 2 + 64, size);
        Decoded d = Decode(packed, size);
        ASSERT_TRUE(d.ok);
        ASSERT_EQ(d.bytes.size(), size);
        EXPECT_TRUE(LhasaPrint(OneMemberArchive("-lh1-", packed, size, d.crc)) == d.bytes);
    }
}
