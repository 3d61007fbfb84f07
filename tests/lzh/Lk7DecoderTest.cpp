// LHARK's -lh7- decoder: the rule that tells it from the standard -lh7-, the corpus members
// to their recorded digests, and streams written here from the format's rules: every copy
// count and distance symbol (copies of up to 514 bytes from up to 131,072 back, before the
// first byte too), blocks of every code form (single symbols, the pre-code's skip, long
// length values, R = 0), the bound on zeros past the end, broken blocks and symbols, split
// reads; each against the reference decoder.
#include "lzh/Crc16.h"
#include "lzh/LzhLk7Decoder.h"
#include "lzh/LzhMethods.h"
#include "tests/support/BitWriter.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/ReferenceLk7Decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <string>
#include <tuple>

using namespace testsupport;

namespace
{

// The codes of one block: lengths (their count is the n sent), or a single symbol.
struct BlockCodes
{
    std::vector<unsigned> pre;
    int preSingle = -1;
    unsigned skip = 0; // z: pre-code lengths 3 .. 2 + z left out (they must be 0)
    std::vector<unsigned> main;
    int mainSingle = -1;
    unsigned mainCount = 0; // the n sent for the main code, when not main.size()
    std::vector<unsigned> distance;
    int distanceSingle = -1;
};

// A complete pre-code over 0-18: 13 symbols of 4 bits and 6 of 5.
std::vector<unsigned> FullPre()
{
    std::vector<unsigned> l(19, 4);
    std::fill(l.begin() + 13, l.end(), 5);
    return l;
}
// A complete main code over all 289 symbols: 223 of 8 bits, 66 of 9, shuffled.
std::vector<unsigned> FullMain(unsigned seed)
{
    std::vector<unsigned> l(289, 8);
    std::fill(l.begin(), l.begin() + 66, 9);
    std::shuffle(l.begin(), l.end(), std::mt19937(seed));
    return l;
}
// A complete distance code over symbols 0-33: 30 of 5 bits, 4 of 6.
std::vector<unsigned> FullDistance(unsigned seed)
{
    std::vector<unsigned> l(34, 5);
    std::fill(l.begin(), l.begin() + 4, 6);
    std::shuffle(l.begin(), l.end(), std::mt19937(seed));
    return l;
}
BlockCodes FullCodes(unsigned seed)
{
    return {FullPre(), -1, 0, FullMain(seed), -1, 0, FullDistance(seed), -1};
}

// The count of a copy symbol's extra bits and its smallest count.
unsigned CountBits(unsigned s)
{
    return s < 264 || s == 288 ? 0 : (s - 260) / 4;
}
unsigned CountBase(unsigned s)
{
    return s < 264 ? s - 253 : s == 288 ? 514 : (4 + s % 4) * (1u << CountBits(s)) + 3;
}
unsigned DistanceBits(unsigned t)
{
    return t < 4 ? 0 : (t - 2) / 2;
}
uint32_t DistanceBase(unsigned t)
{
    return t < 4 ? t : (2 + t % 2) * (1u << DistanceBits(t));
}

// Writes LHARK -lh7- streams block by block, coding literals and copies as the format
// says, and keeps the bytes they decode to.
class Lk7Writer
{
public:
    uint64_t P() const { return m_out.size(); }
    const std::vector<uint8_t>& Stream() const { return m_w.Bytes(); }
    size_t BitCount() const { return m_w.BitCount(); }
    const std::vector<uint8_t>& Expected() const { return m_out; }

    void Block(unsigned commands, const BlockCodes& c)
    {
        EXPECT_EQ(m_left, 0u) << "the block before has commands left";
        m_left = commands;
        m_w.Put(commands, 16);
        // Pre-code.
        if (c.preSingle >= 0) {
            m_w.Put(0, 5), m_w.Put(static_cast<unsigned>(c.preSingle), 5);
        } else {
            m_w.Put(static_cast<unsigned>(c.pre.size()), 5);
            for (size_t k = 0; k < c.pre.size(); ++k) {
                PutLengthValue(c.pre[k]);
                if (k == 2) {
                    m_w.Put(c.skip, 2);
                    for (unsigned z = 0; z < c.skip; ++z) {
                        EXPECT_EQ(c.pre.at(3 + z), 0u);
                    }
                    k += c.skip;
                }
            }
        }
        // Main code, its lengths through the pre-code.
        m_preSingle = c.preSingle;
        m_pre = CanonicalCodewords(c.pre);
        if (c.mainSingle >= 0) {
            m_w.Put(0, 9), m_w.Put(static_cast<unsigned>(c.mainSingle), 9);
        } else {
            m_w.Put(c.mainCount != 0 ? c.mainCount : static_cast<unsigned>(c.main.size()), 9);
            for (size_t k = 0; k < c.main.size();) {
                size_t zeros = 0;
                while (k + zeros < c.main.size() && c.main[k + zeros] == 0) {
                    ++zeros;
                }
                if (zeros >= 20) {
                    zeros = std::min<size_t>(zeros, 531);
                    PutPre(2), m_w.Put(static_cast<uint32_t>(zeros - 20), 9);
                } else if (zeros >= 3) {
                    zeros = std::min<size_t>(zeros, 18);
                    PutPre(1), m_w.Put(static_cast<uint32_t>(zeros - 3), 4);
                } else if (zeros > 0) {
                    zeros = 1;
                    PutPre(0);
                } else {
                    PutPre(c.main[k] + 2);
                    zeros = 1;
                }
                k += zeros;
            }
        }
        m_mainSingle = c.mainSingle;
        m_main = CanonicalCodewords(c.main);
        // Distance code.
        if (c.distanceSingle >= 0) {
            m_w.Put(0, 6), m_w.Put(static_cast<unsigned>(c.distanceSingle), 6);
        } else {
            m_w.Put(static_cast<unsigned>(c.distance.size()), 6);
            for (unsigned l : c.distance) {
                PutLengthValue(l);
            }
        }
        m_distanceSingle = c.distanceSingle;
        m_distance = CanonicalCodewords(c.distance);
    }
    void Literal(uint8_t b)
    {
        PutMain(b);
        Emit(b);
    }
    // A copy by symbol s with its extra bits, from distance symbol t with its own.
    void CopyWith(unsigned s, unsigned countExtra, unsigned t, uint32_t distanceExtra)
    {
        ASSERT_TRUE(s >= 256 && s <= 288 && t <= 33);
        ASSERT_LT(countExtra, 1u << CountBits(s));
        ASSERT_LT(distanceExtra, 1u << DistanceBits(t));
        PutMain(s);
        m_w.Put(countExtra, CountBits(s));
        if (m_distanceSingle >= 0) {
            EXPECT_EQ(t, static_cast<unsigned>(m_distanceSingle));
        } else {
            ASSERT_NE(m_distance.at(t).second, 0u) << "distance symbol " << t;
            m_w.Put(m_distance[t].first, m_distance[t].second);
        }
        m_w.Put(distanceExtra, DistanceBits(t));
        const unsigned count = CountBase(s) + countExtra;
        const uint32_t d = DistanceBase(t) + distanceExtra;
        for (unsigned i = 0; i < count; ++i) {
            Emit(P() > d ? m_out[P() - d - 1] : ' ');
        }
    }
    // A copy of count (3-514) bytes from d + 1 (at most 131,072) back.
    void Copy(unsigned count, uint32_t d)
    {
        unsigned s = count <= 10 ? count + 253 : 287;
        while (s > 264 && CountBase(s) > count) {
            --s;
        }
        unsigned t = d < 4 ? d : 33;
        while (t > 4 && DistanceBase(t) > d) {
            --t;
        }
        CopyWith(s, count - CountBase(s), t, d - DistanceBase(t));
    }
    void Raw(uint32_t value, unsigned width) { m_w.Put(value, width); }

private:
    void PutLengthValue(unsigned l)
    {
        if (l < 7) {
            m_w.Put(l, 3);
            return;
        }
        m_w.Put(7, 3);
        for (unsigned i = 7; i < l; ++i) {
            m_w.Put(1, 1);
        }
        m_w.Put(0, 1);
    }
    void PutPre(unsigned c)
    {
        if (m_preSingle >= 0) {
            EXPECT_EQ(c, static_cast<unsigned>(m_preSingle));
            return;
        }
        ASSERT_TRUE(c < m_pre.size() && m_pre[c].second != 0) << "pre-code symbol " << c;
        m_w.Put(m_pre[c].first, m_pre[c].second);
    }
    void PutMain(unsigned s)
    {
        ASSERT_GT(m_left, 0u) << "the block has no commands left";
        --m_left;
        if (m_mainSingle >= 0) {
            EXPECT_EQ(s, static_cast<unsigned>(m_mainSingle));
            return;
        }
        ASSERT_TRUE(s < m_main.size() && m_main[s].second != 0) << "main symbol " << s;
        m_w.Put(m_main[s].first, m_main[s].second);
    }
    void Emit(uint8_t b) { m_out.push_back(b); }

    BitWriter m_w;
    std::vector<uint8_t> m_out;
    unsigned m_left = 0;
    int m_preSingle = -1;
    int m_mainSingle = -1;
    int m_distanceSingle = -1;
    std::vector<std::pair<uint32_t, unsigned>> m_pre, m_main, m_distance;
};

CLzhLk7Decoder& Decoder()
{
    static CLzhLk7Decoder decoder;
    return decoder;
}

MethodDecoded DecodeBoth(const std::vector<uint8_t>& packed, uint64_t size)
{
    return DecodeAgainst(Decoder(), packed, size, [](const std::vector<uint8_t>& p, uint64_t n) {
        ReferenceLk7Result r = ReferenceLk7Decode(p, n);
        return std::make_tuple(StatusOf(r.error), r.output, r.crc, Lk7ErrorName(r.error));
    });
}

void ExpectDecodes(const Lk7Writer& w)
{
    MethodDecoded d = DecodeBoth(w.Stream(), w.P());
    EXPECT_EQ(d.result.status, DecodeStatus::Ok);
    EXPECT_EQ(d.bytes, w.Expected());
}

// n random commands: text-like literals and copies reaching as far as P allows.
void RandomCommands(Lk7Writer& w, unsigned n, std::mt19937& rng)
{
    for (unsigned i = 0; i < n; ++i) {
        if (w.P() < 4 || rng() % 3 == 0) {
            w.Literal(static_cast<uint8_t>('a' + rng() % 26));
            continue;
        }
        unsigned count = rng() % 4 == 0 ? 3 + rng() % 512 : 3 + rng() % 20;
        uint32_t d = static_cast<uint32_t>(rng() % std::min<uint64_t>(w.P(), 131072));
        w.Copy(count, d);
    }
}

bool IsLhark(const CorpusMember& m)
{
    return LzhMethodOf(L"-lh7-", m.row.level, m.row.OsId())->number == kMethodLk7;
}

} // namespace

TEST(LzhLk7Decoder, CorpusMembersDecodeToTheirDigests)
{
    std::vector<std::string> decoded;
    for (const CorpusMember& m : CorpusMembersWithMethod("-lh7-")) {
        if (!IsLhark(m)) {
            continue; // the standard method
        }
        SCOPED_TRACE(m.archive + ":" + m.row.member);
        MethodDecoded d = DecodeBoth(m.packed, m.unpackedSize);
        ASSERT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes.size(), m.row.size);
        EXPECT_EQ(d.result.crc, m.headerCrc);
        EXPECT_EQ(d.result.crc, m.row.crc);
        EXPECT_EQ(Sha256OfBytes(d.bytes), m.row.sha256);
        decoded.push_back(m.archive);
    }
    EXPECT_EQ(decoded, (std::vector<std::string>{"lhark04d/lh7.lzh", "lhark04d/lh7_long.lzh"}));
}

TEST(LzhLk7Decoder, EveryCopySymbolAndDistanceSymbol)
{
    // Past 131,072 bytes of output, every count symbol with its smallest and largest
    // extra bits, then every distance symbol with its nearest and farthest distance.
    std::mt19937 rng(1);
    Lk7Writer w;
    w.Block(40000, FullCodes(1));
    while (w.P() <= 131072 + 514) {
        RandomCommands(w, 1, rng);
    }
    for (unsigned s = 256; s <= 288; ++s) {
        w.CopyWith(s, 0, 10, 5);
        w.CopyWith(s, (1u << CountBits(s)) - 1, 3, 0);
    }
    for (unsigned t = 0; t <= 33; ++t) {
        w.CopyWith(287, 63, t, 0);
        w.CopyWith(260, 0, t, (1u << DistanceBits(t)) - 1);
    }
    ExpectDecodes(w);
}

TEST(LzhLk7Decoder, CopiesBeforeTheFirstByteReadSpaces)
{
    // Leave other bytes in the decoder's window first.
    Lk7Writer dirty;
    dirty.Block(1000, FullCodes(2));
    std::mt19937 rng(2);
    RandomCommands(dirty, 1000, rng);
    ExpectDecodes(dirty);
    // A first block whose copies reach 32 bytes, then one whose reach 131,072: the
    // history before the first byte is spaces as far as each block reaches.
    Lk7Writer w;
    BlockCodes near = FullCodes(3);
    near.distance.resize(10); // symbols 0-9: 8 of 5 bits, 2 of 6, or fewer
    w.Block(3, near);
    w.Literal('x');
    w.CopyWith(288, 0, 9, 7); // 514 bytes from 32 back
    w.CopyWith(256, 0, 9, 7);
    w.Block(4, FullCodes(4));
    w.CopyWith(287, 63, 33, 32767); // 514 bytes from 131,072 back
    w.CopyWith(270, 3, 30, 100);
    w.Copy(300, 600);
    w.Literal('y');
    ExpectDecodes(w);
    EXPECT_EQ(w.Expected()[0], 'x');
    EXPECT_EQ(std::count(w.Expected().begin(), w.Expected().begin() + 32, ' '), 31);
}

TEST(LzhLk7Decoder, BlocksOfEveryCodeForm)
{
    std::mt19937 rng(5);
    Lk7Writer w;
    // Empty blocks are followed by another header at once.
    w.Block(0, FullCodes(5));
    w.Block(0, FullCodes(6));
    w.Block(50, FullCodes(7));
    RandomCommands(w, 50, rng);
    // Single-symbol pre-code: every main length is c - 2 = 8 (the 256 literals).
    BlockCodes pre{{}, 10, 0, std::vector<unsigned>(256, 8), -1, 0, FullDistance(1), -1};
    w.Block(30, pre);
    for (int i = 0; i < 30; ++i) {
        w.Literal(static_cast<uint8_t>(rng()));
    }
    // Single-symbol main code: literals from zero bits; then copies of 514 from zero bits.
    BlockCodes mainOne = FullCodes(8);
    mainOne.main.clear();
    mainOne.mainSingle = 'q';
    w.Block(20, mainOne);
    for (int i = 0; i < 20; ++i) {
        w.Literal('q');
    }
    BlockCodes copyOne = mainOne;
    copyOne.mainSingle = 288;
    copyOne.distance.clear();
    copyOne.distanceSingle = 20; // d 1024-1535
    w.Block(5, copyOne);
    for (uint32_t extra : {0u, 1u, 511u, 7u, 300u}) {
        w.CopyWith(288, 0, 20, extra);
    }
    // The pre-code's skip of 0-3 lengths after the third, and the skip field of n = 3.
    for (unsigned z = 0; z <= 3; ++z) {
        BlockCodes skip = FullCodes(9 + z);
        // Without pre-code symbols 3 .. 2 + z there are no main lengths 1 .. z.
        skip.pre = std::vector<unsigned>(19, 5);
        std::fill(skip.pre.begin() + 3, skip.pre.begin() + 3 + z, 0);
        skip.skip = z;
        w.Block(20, skip);
        RandomCommands(w, 20, rng);
    }
    BlockCodes three = {{1, 1, 0}, -1, 0, {}, 'z', 0, {}, 0};
    w.Block(3, three); // n = 3: the skip field is still there
    for (int i = 0; i < 3; ++i) {
        w.Literal('z');
    }
    ExpectDecodes(w);
}

TEST(LzhLk7Decoder, LongLengthValuesAndMainCountsPast289)
{
    // Distance lengths of 7 to 16 bits, sent as 111 and a unary tail.
    std::mt19937 rng(6);
    Lk7Writer w;
    BlockCodes codes = FullCodes(6);
    codes.distance = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16};
    w.Block(200, codes);
    for (unsigned t = 0; t < 17; ++t) {
        w.CopyWith(256, 0, t, 0);
    }
    for (int i = 0; i < 183; ++i) {
        w.Literal(static_cast<uint8_t>(rng()));
    }
    // A main count above 289 reads 289 lengths.
    BlockCodes over = FullCodes(7);
    over.mainCount = 400;
    w.Block(50, over);
    RandomCommands(w, 50, rng);
    ExpectDecodes(w);
}

TEST(LzhLk7Decoder, BrokenBlocksAndSymbolsNameTheirFault)
{
    struct Case
    {
        const char* name;
        BlockCodes codes;
        Lk7Error error;
        unsigned symbol = 0; // a main symbol sent raw after the header (0: none)
        uint32_t code = 0;   // the raw bits, when symbol is not 0
        unsigned width = 0;
    };
    BlockCodes overPre = FullCodes(1);
    overPre.pre[0] = 1, overPre.pre[1] = 1, overPre.pre[2] = 1;
    BlockCodes longPre = FullCodes(1);
    longPre.pre = {4, 4, 17};
    longPre.main.clear();
    longPre.mainSingle = 0;
    BlockCodes overMain = FullCodes(1);
    overMain.main[0] = 7;
    BlockCodes overDistance = FullCodes(1);
    overDistance.distance[0] = 1;
    overDistance.distance[1] = 1;
    BlockCodes mainPast = FullCodes(1);
    mainPast.main.clear();
    mainPast.mainSingle = 300;
    BlockCodes distancePast = FullCodes(1);
    distancePast.distance.clear();
    distancePast.distanceSingle = 34;
    BlockCodes noMain = FullCodes(1);
    noMain.main = {1}; // symbol 0 is "0"; "1" starts no codeword
    BlockCodes preLong = FullCodes(1);
    preLong.pre = std::vector<unsigned>(20, 5);
    preLong.main = {17}; // pre-code symbol 19
    const Case cases[] = {
        {"over-full pre-code", overPre, Lk7Error::PreCodeOverfull},
        {"pre-code length 17", longPre, Lk7Error::LengthTooLong},
        {"over-full main code", overMain, Lk7Error::MainCodeOverfull},
        {"over-full distance code", overDistance, Lk7Error::DistanceCodeOverfull},
        {"main symbol 300", mainPast, Lk7Error::MeaninglessMainSymbol},
        {"distance symbol 34", distancePast, Lk7Error::MeaninglessDistanceSymbol, 260, 0, 0},
        {"no main codeword", noMain, Lk7Error::NoMainCodeword, 1, 1, 1},
        {"main length 17", preLong, Lk7Error::LengthTooLong},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Lk7Writer w;
        w.Block(10, c.codes);
        if (c.symbol == 260) {
            // Symbol 260 of the full main code, then the single distance symbol.
            auto codes = CanonicalCodewords(c.codes.main);
            w.Raw(codes[260].first, codes[260].second);
        } else if (c.symbol != 0) {
            w.Raw(c.code, c.width);
        }
        w.Raw(0xFFFFFFFF, 32); // data enough that nothing runs out first
        MethodDecoded d = DecodeBoth(w.Stream(), 100);
        EXPECT_EQ(d.result.status, DecodeStatus::Invalid);
        EXPECT_EQ(Lk7ErrorName(ReferenceLk7Decode(w.Stream(), 100).error), Lk7ErrorName(c.error));
        EXPECT_TRUE(d.bytes.empty());
    }
}

TEST(LzhLk7Decoder, ZerosPastTheEndAreBoundedThenTruncated)
{
    // Symbol 0 holds the all-zero codeword of 8 bits: past the data each zero byte is a
    // literal 0. Up to 32 zero bits past the end are padding.
    BlockCodes codes = FullCodes(1);
    codes.main = std::vector<unsigned>(256, 8);
    std::mt19937 rng(7);
    for (size_t fewer : {0u, 1u, 2u}) { // 3 bits less each: three paddings of the last byte
        SCOPED_TRACE(fewer);
        Lk7Writer w;
        BlockCodes c = codes;
        c.distance.resize(34 - fewer);
        w.Block(1000, c);
        for (int i = 0; i < 6; ++i) {
            w.Literal(static_cast<uint8_t>(1 + rng() % 200));
        }
        const size_t padding = w.Stream().size() * 8 - w.BitCount();
        const size_t extra = (32 + padding) / 8; // literals whose bits end within the bound
        std::vector<uint8_t> expected = w.Expected();
        expected.resize(expected.size() + extra, 0);
        MethodDecoded d = DecodeBoth(w.Stream(), expected.size());
        EXPECT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes, expected);
        d = DecodeBoth(w.Stream(), expected.size() + 1);
        EXPECT_EQ(d.result.status, DecodeStatus::Truncated);
    }
    // Nothing at all: the zero header asks for no commands, again and again.
    EXPECT_EQ(DecodeBoth({}, 10).result.status, DecodeStatus::Truncated);
    for (const CorpusMember& m : CorpusMembersWithMethod("-lh7-")) {
        if (IsLhark(m)) {
            std::vector<uint8_t> half(m.packed.begin(), m.packed.begin() + m.packed.size() / 2);
            EXPECT_NE(DecodeBoth(half, m.unpackedSize).result.status, DecodeStatus::Ok);
        }
    }
}

TEST(LzhLk7Decoder, SplitReadsRefusingSinksAndEmptyMembers)
{
    std::mt19937 rng(8);
    Lk7Writer w;
    for (unsigned block = 0; block < 6; ++block) { // past 512 KB: two flushes of the chunk
        w.Block(3000, FullCodes(block));
        RandomCommands(w, 3000, rng);
    }
    ASSERT_GT(w.P(), 2u * 262144);
    ExpectDecodes(w);
    ExpectSplitReadsAndRefusal(Decoder(), w.Stream(), w.Expected());
    ExpectEmptyAndOversizedJobs(Decoder());
}
