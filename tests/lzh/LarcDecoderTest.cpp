// The -lzs- and -lz5- decoder: corpus members to their recorded digests, hand-made streams
// for the initial windows, absolute positions, overlapping and cut matches, the bound on
// missing input, and random streams against lhasa's extraction.
#include "lzh/ArchiveEntry.h"
#include "lzh/Crc16.h"
#include "lzh/LzhLarcDecoder.h"
#include "tests/support/BitWriter.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/PeerLhasa.h"

#include <gtest/gtest.h>

#include <random>

using namespace testsupport;

namespace
{

using testsupport::Decoded;

Decoded Decode(const std::vector<uint8_t>& packed, uint32_t size, int method)
{
    static CLzhLarcDecoder lzs(kMethodLzs);
    static CLzhLarcDecoder lz5(kMethodLz5);
    return testsupport::DecodeMember(method == kMethodLzs ? lzs : lz5, packed, size);
}

std::vector<uint8_t> Bytes(std::initializer_list<int> list)
{
    std::vector<uint8_t> v;
    for (int b : list) {
        v.push_back(static_cast<uint8_t>(b));
    }
    return v;
}

std::vector<uint8_t> Repeat(int byte, size_t n)
{
    return std::vector<uint8_t>(n, static_cast<uint8_t>(byte));
}

std::vector<uint8_t> Concat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A -lz5- match item: 12-bit absolute position, length 3-18.
std::vector<uint8_t> Lz5Match(unsigned position, unsigned length)
{
    return Bytes({static_cast<int>(position & 0xFF),
                  static_cast<int>(((position >> 4) & 0xF0) | (length - 3))});
}

// -lzs- items as bits: literals and (11-bit position, length 2-17) matches.
struct LzsWriter
{
    BitWriter w;
    LzsWriter& Literal(uint8_t b)
    {
        w.Put(1, 1);
        w.Put(b, 8);
        return *this;
    }
    LzsWriter& Match(unsigned position, unsigned length)
    {
        w.Put(0, 1);
        w.Put(position, 11);
        w.Put(length - 2, 4);
        return *this;
    }
};

struct StreamCase
{
    const char* name;
    int method;
    std::vector<uint8_t> packed;
    uint32_t size;
    std::vector<uint8_t> expected;
};

} // namespace

TEST(LzhLarcDecoder, CorpusMembersDecodeToTheirDigests)
{
    int decoded = 0;
    for (const char* method : {"-lzs-", "-lz5-"}) {
        for (const CorpusMember& m : CorpusMembersWithMethod(method)) {
            SCOPED_TRACE(m.archive + ":" + m.row.member);
            Decoded d =
                Decode(m.packed, m.unpackedSize, method[3] == 's' ? kMethodLzs : kMethodLz5);
            ASSERT_TRUE(d.ok);
            EXPECT_EQ(d.bytes.size(), m.row.size);
            EXPECT_EQ(d.crc, m.headerCrc);
            EXPECT_EQ(d.crc, Crc16Update(0, d.bytes.data(), static_cast<long>(d.bytes.size())));
            EXPECT_EQ(Sha256OfBytes(d.bytes), m.row.sha256);
            ++decoded;
        }
    }
    // generated/lzs/lzs.lzs, larc333/lz5.lzs, lharc_atari_313a/h2_lz5.lzh
    EXPECT_EQ(decoded, 3);
}

TEST(LzhLarcDecoder, HandMadeStreams)
{
    // -lz5- writes its first byte at 4078; the window holds each value 13 times from 0,
    // then 0-255, 255-0, 128 zeros, 110 spaces and 18 zeros.
    const std::vector<StreamCase> cases = {
        {"lz5 literals", kMethodLz5,
         Concat(Bytes({0xFF}), Bytes({'L', 'A', 'r', 'c', '3', '.', '3', '3'})), 8,
         Bytes({'L', 'A', 'r', 'c', '3', '.', '3', '3'})},
        {"lz5 pattern start", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(0, 18)), 18,
         Concat(Repeat(0, 13), Repeat(1, 5))},
        {"lz5 pattern value 0xCF", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(0xCF * 13 + 10, 5)),
         5, Concat(Repeat(0xCF, 3), Repeat(0xD0, 2))},
        {"lz5 ascending run", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(0xD00 + 250, 12)), 12,
         Concat(Bytes({250, 251, 252, 253, 254, 255}), Bytes({255, 254, 253, 252, 251, 250}))},
        {"lz5 zeros then spaces", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(0xF00 + 125, 6)), 6,
         Bytes({0, 0, 0, ' ', ' ', ' '})},
        {"lz5 last zeros", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(4090, 3)), 3,
         Bytes({0, 0, 0})},
        // Position 4078 is the first output byte itself by then: the run repeats spaces.
        {"lz5 spaces overlap the first bytes", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(4076, 4)),
         4, Repeat(' ', 4)},
        {"lz5 overlapping run from the first byte", kMethodLz5,
         Concat(Bytes({0x01, 'a'}), Lz5Match(4078, 5)), 6, Repeat('a', 6)},
        {"lz5 match cut at the size", kMethodLz5, Concat(Bytes({0x00}), Lz5Match(0xD00 + 'x', 18)),
         2, Bytes({'x', 'y'})},
        {"lzs literals and a run", kMethodLzs,
         LzsWriter().Literal('x').Match(2031, 4).Literal('y').w.Bytes(), 6,
         Bytes({'x', 'x', 'x', 'x', 'x', 'y'})},
        {"lzs window of spaces", kMethodLzs, LzsWriter().Match(0, 17).Literal('!').w.Bytes(), 18,
         Concat(Repeat(' ', 17), Bytes({'!'}))},
        {"lzs absolute position", kMethodLzs,
         LzsWriter().Literal('a').Literal('b').Literal('c').Match(2032, 2).Match(2031, 3).w.Bytes(),
         8, Bytes({'a', 'b', 'c', 'b', 'c', 'a', 'b', 'c'})},
        {"lzs position wraps past 2047", kMethodLzs,
         [] {
             LzsWriter w;
             for (int i = 0; i < 20; ++i) {
                 w.Literal(static_cast<uint8_t>('A' + i));
             }
             return w.Match(2047, 3).Match(0, 2).w.Bytes();
         }(),
         25,
         Concat(Bytes({'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 'I', 'J',
                       'K', 'L', 'M', 'N', 'O', 'P', 'Q', 'R', 'S', 'T'}),
                Bytes({'Q', 'R', 'S', 'R', 'S'}))},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded d = Decode(c.packed, c.size, c.method);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.bytes, c.expected);
        EXPECT_EQ(d.crc, Crc16Update(0, c.expected.data(), static_cast<long>(c.expected.size())));
    }
}

TEST(LzhLarcDecoder, MissingInputReadsAsZerosOnlyUpToTheBound)
{
    // Eight literals need nine bytes. Up to four missing bytes read as zeros (padding a
    // stream that ends inside its last item); with five missing the member is broken.
    const std::vector<uint8_t> full = Bytes({0xFF, 1, 2, 3, 4, 5, 6, 7, 8});
    for (size_t missing = 0; missing <= 6; ++missing) {
        SCOPED_TRACE(missing);
        std::vector<uint8_t> packed(full.begin(), full.end() - static_cast<long>(missing));
        Decoded d = Decode(packed, 8, kMethodLz5);
        EXPECT_EQ(d.ok, missing <= 4);
        if (d.ok) {
            EXPECT_EQ(d.bytes.size(), 8u);
        } else {
            EXPECT_EQ(d.crc, 0);
        }
    }
    // -lzs-: a literal (9 bits) and four matches of position 0, length 2, whose 16 bits
    // are all zero: 73 bits in 10 bytes. Missing bytes read as the same zeros, so the
    // output is the same until more than 32 zero bits are taken past the end (m bytes
    // missing take 8m - 7).
    LzsWriter w;
    w.Literal('a').Match(0, 2).Match(0, 2).Match(0, 2).Match(0, 2);
    const std::vector<uint8_t> expected = Concat(Bytes({'a'}), Repeat(' ', 8));
    for (size_t missing = 0; missing <= 6; ++missing) {
        SCOPED_TRACE(missing);
        std::vector<uint8_t> packed(w.w.Bytes().begin(),
                                    w.w.Bytes().end() - static_cast<long>(missing));
        Decoded d = Decode(packed, 9, kMethodLzs);
        EXPECT_EQ(d.ok, missing <= 4);
        if (d.ok) {
            EXPECT_EQ(d.bytes, expected);
        }
    }
}

TEST(LzhLarcDecoder, BrokenMembersFailOrMismatchWithoutRunningOn)
{
    auto members = CorpusMembersWithMethod("-lz5-");
    auto lzs = CorpusMembersWithMethod("-lzs-");
    members.insert(members.end(), lzs.begin(), lzs.end());
    ASSERT_FALSE(members.empty());
    std::mt19937 rng(11);
    for (const CorpusMember& m : members) {
        SCOPED_TRACE(m.archive);
        int method = m.row.method == "-lzs-" ? kMethodLzs : kMethodLz5;
        // Cut in half: the data runs out long before the size is reached.
        std::vector<uint8_t> half(m.packed.begin(), m.packed.begin() + m.packed.size() / 2);
        Decoded d = Decode(half, m.unpackedSize, method);
        EXPECT_FALSE(d.ok);
        EXPECT_LE(d.bytes.size(), m.unpackedSize);
        // Flipped bytes: the data still decodes (every byte string is a stream) but not to
        // the member's CRC.
        std::vector<uint8_t> garbled = m.packed;
        for (int i = 0; i < 8; ++i) {
            garbled[rng() % garbled.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        d = Decode(garbled, m.unpackedSize, method);
        EXPECT_EQ(d.bytes.size(), m.unpackedSize);
        EXPECT_NE(d.crc, m.headerCrc);
    }
    // A large size over a few bytes: fails once the bytes are gone, after a bounded output.
    Decoded d = Decode(Bytes({0x00, 0x12, 0x3F, 0x00, 0x12, 0x3F}), 0xFFFFFFFF, kMethodLz5);
    EXPECT_FALSE(d.ok);
    EXPECT_LT(d.bytes.size(), 1000u);
}

TEST(LzhLarcDecoder, EmptyAndOversizedMembers)
{
    CLzhLarcDecoder lz5(kMethodLz5);
    testsupport::ExpectEmptyAndOversizedJobs(lz5);
}

TEST(PeerLarc, RandomStreamsDecodeAsLhasaDecodesThem)
{
    if (!HaveLhasa()) {
        GTEST_SKIP() << "lhasa is not installed (apt-get install lhasa)";
    }
    // Every byte string is a valid stream of either method, so random bytes exercise
    // literals, matches at every position (into the initial window too), overlapping
    // matches and the flushes of long outputs.
    std::mt19937 rng(5);
    for (int method : {kMethodLzs, kMethodLz5}) {
        for (uint32_t size : {1u, 300u, 5000u, 200000u}) {
            SCOPED_TRACE(std::to_string(method) + " size " + std::to_string(size));
            std::vector<uint8_t> packed(size + 64);
            for (uint8_t& b : packed) {
                b = static_cast<uint8_t>(rng());
            }
            Decoded d = Decode(packed, size, method);
            ASSERT_TRUE(d.ok);
            ASSERT_EQ(d.bytes.size(), size);
            std::string archive =
                OneMemberArchive(method == kMethodLzs ? "-lzs-" : "-lz5-", packed, size, d.crc);
            EXPECT_TRUE(LhasaPrint(archive) == d.bytes);
        }
    }
}
