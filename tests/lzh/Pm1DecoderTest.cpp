// The -pm1- decoder: the corpus member to its recorded digests; streams written here from
// the format's rules for every selector and range index, every run and count form, each
// copy type and distance width on both sides of the positions where they change, the stop
// at the member's size, zeros past the end, copies before the first byte, split reads and
// refusing sinks; each against the reference decoder, and written streams against lhasa.
#include "lzh/Crc16.h"
#include "lzh/LzhPm1Decoder.h"
#include "tests/support/BitWriter.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/PeerLhasa.h"
#include "tests/support/ReferencePmarcDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <tuple>

using namespace testsupport;

namespace
{

// The literal range index codes by selector (first bit leftmost; "" where an index has
// none). Under selector 17, indices 3 and 4 also have the codewords "10" and "11".
const char* const kRangeCodes[32][6] = {
    {"0000", "0001", "001", "01", "10", "11"},    // 0
    {"000", "001", "010", "10", "11", "011"},     // 1
    {"000", "001", "01", "10", "110", "111"},     // 2
    {"00", "010", "011", "10", "110", "111"},     // 3
    {"00", "010", "10", "011", "110", "111"},     // 4
    {"00", "010", "10", "11", "0110", "0111"},    // 5
    {"00", "01", "100", "101", "110", "111"},     // 6
    {"00", "01", "100", "11", "1010", "1011"},    // 7
    {"00", "01", "10", "110", "1110", "1111"},    // 8
    {"0", "1000", "101", "110", "111", "1001"},   // 9
    {"0", "1000", "101", "11", "10010", "10011"}, // 10
    {"0", "1000", "1001", "101", "110", "111"},   // 11
    {"0", "100", "1010", "110", "111", "1011"},   // 12
    {"0", "100", "101", "110", "1110", "1111"},   // 13
    {"0", "100", "11", "1010", "10110", "10111"}, // 14
    {"0", "10", "1100", "1101", "1110", "1111"},  // 15
    {"0", "10", "110", "1110", "11110", "11111"}, // 16
    {"", "", "01", "000", "001", ""},             // 17
    {"00", "010", "10", "11", "011", ""},         // 18
    {"00", "01", "10", "110", "111", ""},         // 19
    {"0", "1000", "101", "11", "1001", ""},       // 20
    {"0", "100", "101", "110", "111", ""},        // 21
    {"0", "100", "11", "1010", "1011", ""},       // 22
    {"0", "10", "110", "1110", "1111", ""},       // 23
    {"000", "001", "01", "1", "", ""},            // 24
    {"00", "010", "1", "011", "", ""},            // 25
    {"00", "01", "10", "11", "", ""},             // 26
    {"0", "100", "11", "101", "", ""},            // 27
    {"0", "10", "110", "111", "", ""},            // 28
    {"0", "10", "11", "", "", ""},                // 29
    {"0", "1", "", "", "", ""},                   // 30
    {"", "", "", "", "", ""},                     // 31: index 0 from no bits
};
const unsigned kRankBase[6] = {0, 16, 32, 64, 128, 192};
const unsigned kRankBits[6] = {4, 4, 5, 6, 6, 6};

// The copy type codes while P < 64, < 576, < 2624 and from 2624 on, by type.
const char* const kTypeCodes[4][6] = {
    {"0", "", "1", "", "", ""},
    {"00", "01", "11", "10", "", ""},
    {"000", "001", "11", "10", "01", ""},
    {"000", "001", "111", "10", "01", "110"},
};
const uint32_t kDistanceBase[6] = {0, 64, 0, 64, 576, 2624};

// The width of a type's distance at P.
unsigned DistanceWidth(unsigned type, uint64_t p)
{
    switch (type) {
    case 0:
    case 2:
        return 6;
    case 1:
        return 8;
    case 3:
        return p < 320 ? 8 : 9;
    case 4:
        return p < 832 ? 8 : p < 1088 ? 9 : p < 1600 ? 10 : 11;
    default:
        return p < 2880 ? 8 : p < 3136 ? 9 : p < 3648 ? 10 : p < 4672 ? 11 : p < 6720 ? 12 : 13;
    }
}

bool TypeExists(unsigned type, uint64_t p)
{
    const uint64_t from[6] = {0, 64, 0, 64, 576, 2624};
    return p >= from[type];
}

// Writes -pm1- streams from literal runs and copies, coding them as the format says, and
// keeps the bytes they decode to.
class Pm1Writer
{
public:
    // secondCodes: under selector 17, send indices 3 and 4 with their codewords "10", "11".
    explicit Pm1Writer(unsigned selector, bool secondCodes = false)
        : m_selector(selector), m_second(secondCodes)
    {
        m_w.Put(selector, 5);
        for (auto [from, to] : {std::pair{0x20, 0x7F}, std::pair{0x00, 0x1F}, std::pair{0xA0, 0xDF},
                                std::pair{0x80, 0x9F}, std::pair{0xE0, 0xFF}}) {
            for (int v = from; v <= to; ++v) {
                m_list.push_back(static_cast<uint8_t>(v));
            }
        }
    }

    uint64_t P() const { return m_out.size(); }
    uint8_t AtRank(unsigned rank) const { return m_list[rank]; }
    const std::vector<uint8_t>& Stream() const { return m_w.Bytes(); }
    size_t BitCount() const { return m_w.BitCount(); }
    const std::vector<uint8_t>& Expected() const { return m_out; }

    // A literal run of 1-216 bytes; a run shorter than 216 must be followed by a copy.
    void Run(const std::vector<uint8_t>& bytes)
    {
        StartRun(bytes.size());
        for (uint8_t b : bytes) {
            PutLiteral(b);
        }
    }
    // A literal run given by the ranks its bytes have when each is sent.
    void RunOfRanks(const std::vector<unsigned>& ranks)
    {
        StartRun(ranks.size());
        for (unsigned rank : ranks) {
            PutLiteral(AtRank(rank));
        }
    }
    // A copy of count bytes from d + 1 back (d < P).
    void Copy(unsigned type, unsigned count, uint32_t d)
    {
        ASSERT_LT(d, P());
        PutCopy(type, count, d);
        for (unsigned i = 0; i < count; ++i) {
            Emit(m_out[m_out.size() - d - 1]);
        }
    }
    // The bits of a copy that the decoder must refuse (d >= P).
    void BadCopy(unsigned type, unsigned count, uint32_t d) { PutCopy(type, count, d); }
    // Literal runs of random bytes up to P = target; a last run shorter than 216 leaves a
    // copy due.
    void FillTo(uint64_t target, std::mt19937& rng)
    {
        while (P() < target) {
            auto n = static_cast<size_t>(std::min<uint64_t>(216, target - P()));
            std::vector<unsigned> ranks(n);
            for (unsigned& r : ranks) {
                r = RandomRank(rng, 256);
            }
            if (m_copyDue) {
                Copy(0, 2, 0);
                continue;
            }
            RunOfRanks(ranks);
        }
    }
    bool CopyDue() const { return m_copyDue; }
    // A random rank below `below` that the selector codes (below 16 at least).
    unsigned RandomRank(std::mt19937& rng, unsigned below) const
    {
        for (;;) {
            unsigned rank = rng() % below;
            unsigned index = IndexOf(rank);
            if (m_selector == 31 ? index == 0 : *kRangeCodes[m_selector][index] != '\0') {
                return rank;
            }
        }
    }

private:
    void StartRun(size_t n)
    {
        EXPECT_FALSE(m_copyDue) << "a short run is followed by a copy";
        ASSERT_TRUE(n >= 1 && n <= 216);
        m_w.Put(1, 1);
        PutRunLength(static_cast<unsigned>(n));
        m_copyDue = n < 216;
    }
    void PutCode(const std::string& code)
    {
        for (char c : code) {
            m_w.Put(c == '1' ? 1 : 0, 1);
        }
    }
    void PutRunLength(unsigned r)
    {
        if (r <= 3) {
            m_w.Put(r - 1, 2);
        } else if (r <= 10) {
            m_w.Put(3, 2), m_w.Put(r - 4, 3);
        } else if (r <= 24) {
            m_w.Put(3, 2), m_w.Put(7, 3), m_w.Put(r - 11, 4);
        } else if (r <= 88) {
            m_w.Put(3, 2), m_w.Put(7, 3), m_w.Put(14, 4), m_w.Put(r - 25, 6);
        } else {
            m_w.Put(3, 2), m_w.Put(7, 3), m_w.Put(15, 4), m_w.Put(r - 89, 7);
        }
    }
    static unsigned IndexOf(unsigned rank)
    {
        return rank < 16 ? 0 : rank < 32 ? 1 : rank < 64 ? 2 : rank < 128 ? 3 : rank < 192 ? 4 : 5;
    }
    void PutLiteral(uint8_t b)
    {
        auto rank =
            static_cast<unsigned>(std::find(m_list.begin(), m_list.end(), b) - m_list.begin());
        unsigned index = IndexOf(rank);
        std::string code = kRangeCodes[m_selector][index];
        if (m_selector == 17 && m_second && (index == 3 || index == 4)) {
            code = index == 3 ? "10" : "11";
        }
        EXPECT_TRUE(m_selector == 31 ? index == 0 : !code.empty())
            << "selector " << m_selector << " has no code for index " << index;
        PutCode(code);
        m_w.Put(rank - kRankBase[index], kRankBits[index]);
        Emit(b);
    }
    void PutCount(unsigned count)
    {
        if (count <= 5) {
            m_w.Put(count - 3, 2);
            return;
        }
        m_w.Put(3, 2);
        if (count <= 10) {
            m_w.Put(count - 6, 3);
        } else if (count <= 14) {
            m_w.Put(5, 3), m_w.Put(count - 11, 2);
        } else if (count <= 22) {
            m_w.Put(6, 3), m_w.Put(count - 15, 3);
        } else if (count <= 84) {
            m_w.Put(7, 3), m_w.Put(count - 23, 6);
        } else if (count <= 116) {
            m_w.Put(7, 3), m_w.Put(62, 6), m_w.Put(count - 85, 5);
        } else {
            m_w.Put(7, 3), m_w.Put(63, 6), m_w.Put(count - 117, 7);
        }
    }
    void PutCopy(unsigned type, unsigned count, uint32_t d)
    {
        if (!m_copyDue) {
            m_w.Put(0, 1);
        }
        m_copyDue = false;
        const uint64_t p = P();
        unsigned row = p < 64 ? 0 : p < 576 ? 1 : p < 2624 ? 2 : 3;
        ASSERT_TRUE(TypeExists(type, p) && *kTypeCodes[row][type] != '\0');
        PutCode(kTypeCodes[row][type]);
        if (type <= 1) {
            ASSERT_EQ(count, 2u);
        } else {
            PutCount(count);
        }
        unsigned width = DistanceWidth(type, p);
        ASSERT_GE(d, kDistanceBase[type]);
        ASSERT_LT(d - kDistanceBase[type], 1u << width);
        m_w.Put(d - kDistanceBase[type], width);
    }
    void Emit(uint8_t b)
    {
        m_out.push_back(b);
        m_list.erase(std::find(m_list.begin(), m_list.end(), b));
        m_list.insert(m_list.begin(), b);
    }

    BitWriter m_w;
    unsigned m_selector;
    bool m_second;
    bool m_copyDue = false;
    std::vector<uint8_t> m_list;
    std::vector<uint8_t> m_out;
};

CLzhPm1Decoder& Decoder()
{
    static CLzhPm1Decoder decoder;
    return decoder;
}

// Decodes with the program's decoder and the reference, which must agree.
MethodDecoded DecodeBoth(const std::vector<uint8_t>& packed, uint64_t size)
{
    return DecodeAgainst(Decoder(), packed, size, [](const std::vector<uint8_t>& p, uint64_t n) {
        ReferencePmarcResult r = ReferencePm1Decode(p, n);
        return std::make_tuple(StatusOf(r.error), r.output, r.crc, PmarcErrorName(r.error));
    });
}

// Checks that the writer's stream decodes to its bytes.
void ExpectDecodes(const Pm1Writer& w)
{
    MethodDecoded d = DecodeBoth(w.Stream(), w.P());
    EXPECT_EQ(d.result.status, DecodeStatus::Ok);
    EXPECT_EQ(d.bytes, w.Expected());
}

// A stream of random runs and copies of every type, count form and width valid at P.
Pm1Writer RandomStream(unsigned selector, uint64_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    Pm1Writer w(selector);
    while (w.P() < size) {
        if (!w.CopyDue() && (w.P() < 2 || rng() % 3 == 0)) {
            unsigned n = rng() % 4 == 0 ? 216 : 1 + rng() % (rng() % 2 == 0 ? 8 : 120);
            std::vector<unsigned> ranks(n);
            for (unsigned& r : ranks) {
                // Mostly recent bytes, as text gives.
                r = w.RandomRank(rng, rng() % 2 == 0 ? 48 : 256);
            }
            w.RunOfRanks(ranks);
            continue;
        }
        if (w.P() < 2) {
            w.FillTo(2, rng);
            continue;
        }
        unsigned type;
        do {
            type = rng() % 6;
        } while (!TypeExists(type, w.P()) || kDistanceBase[type] >= w.P());
        uint32_t top = kDistanceBase[type] + (1u << DistanceWidth(type, w.P())) - 1;
        top = std::min<uint64_t>(top, w.P() - 1);
        uint32_t d = kDistanceBase[type] + rng() % (top - kDistanceBase[type] + 1);
        const unsigned counts[] = {3, 5, 6, 10, 11, 14, 15, 22, 23, 84, 85, 116, 117, 244};
        unsigned count = type <= 1 ? 2 : rng() % 2 == 0 ? 3 + rng() % 20 : counts[rng() % 14];
        w.Copy(type, count, d);
    }
    return w;
}

} // namespace

TEST(LzhPm1Decoder, CorpusMemberDecodesToItsDigests)
{
    int decoded = 0;
    for (const CorpusMember& m : CorpusMembersWithMethod("-pm1-")) {
        SCOPED_TRACE(m.archive + ":" + m.row.member);
        MethodDecoded d = DecodeBoth(m.packed, m.unpackedSize);
        ASSERT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes.size(), m.row.size);
        EXPECT_EQ(d.result.crc, m.headerCrc);
        EXPECT_EQ(d.result.crc, m.row.crc);
        EXPECT_EQ(Sha256OfBytes(d.bytes), m.row.sha256);
        ++decoded;
    }
    EXPECT_EQ(decoded, 1); // pmarc124/pm1.pma: COPYING.TXT, selector 28
}

TEST(LzhPm1Decoder, EverySelectorCodesEachRangeIndexItHas)
{
    int indices = 0;
    for (unsigned variant = 0; variant < 33; ++variant) {
        // 32: selector 17 again, with the other codewords of indices 3 and 4.
        const unsigned selector = variant < 32 ? variant : 17;
        SCOPED_TRACE(variant);
        std::vector<unsigned> ranks;
        for (unsigned i = 0; i < 6; ++i) {
            if (*kRangeCodes[selector][i] != '\0' || (selector == 31 && i == 0)) {
                // The lowest and the highest rank of the index.
                ranks.push_back(kRankBase[i]);
                ranks.push_back(kRankBase[i] + (1u << kRankBits[i]) - 1);
                ++indices;
            }
        }
        Pm1Writer w(selector, variant == 32);
        w.RunOfRanks(ranks);
        ExpectDecodes(w);
    }
    // 17 selectors code 6 indices, 6 code 5, 5 code 4, then 3 (and 17), 2 and 1; 17 twice.
    EXPECT_EQ(indices, 17 * 6 + 6 * 5 + 5 * 4 + 3 + 3 + 2 + 1 + 3);
}

TEST(LzhPm1Decoder, RunLengthsOfEveryForm)
{
    std::mt19937 rng(1);
    Pm1Writer w(0);
    for (unsigned n : {1u, 3u, 4u, 10u, 11u, 24u, 25u, 88u, 89u, 215u, 216u, 216u, 1u}) {
        if (w.CopyDue()) {
            w.Copy(0, 2, 0);
        }
        std::vector<uint8_t> bytes(n);
        for (uint8_t& b : bytes) {
            b = w.AtRank(rng() % 256);
        }
        w.Run(bytes); // two runs of 216 follow each other without a copy
    }
    ExpectDecodes(w);
}

TEST(LzhPm1Decoder, CopyCountsOfEveryForm)
{
    std::mt19937 rng(2);
    Pm1Writer w(0);
    w.FillTo(100, rng);
    for (unsigned count : {3u, 5u, 6u, 10u, 11u, 14u, 15u, 22u, 23u, 84u, 85u, 116u, 117u, 244u}) {
        w.Copy(2, count, 1 + count % 60); // overlapping where count > d + 1
        w.Copy(3, count, 64 + count);
    }
    ExpectDecodes(w);
}

TEST(LzhPm1Decoder, CopyTypesAndDistanceWidthsFollowP)
{
    // The positions where a type appears or a distance widens; a copy just before and
    // one at each, of every type in force, at the farthest distance it can reach. A
    // width read wrong misplaces every bit after it, which the following literals show.
    std::mt19937 rng(3);
    std::set<std::pair<unsigned, unsigned>> widths; // (type, width) pairs met
    for (uint64_t step :
         {64u, 320u, 576u, 832u, 1088u, 1600u, 2624u, 2880u, 3136u, 3648u, 4672u, 6720u, 10816u}) {
        for (uint64_t p : {step - 1, step}) {
            Pm1Writer start(0);
            start.FillTo(p, rng);
            ASSERT_EQ(start.P(), p);
            for (unsigned type = 0; type < 6; ++type) {
                if (!TypeExists(type, p) || kDistanceBase[type] >= p) {
                    continue;
                }
                SCOPED_TRACE(std::to_string(p) + " type " + std::to_string(type));
                Pm1Writer w = start;
                uint32_t top = kDistanceBase[type] + (1u << DistanceWidth(type, p)) - 1;
                uint32_t d = static_cast<uint32_t>(std::min<uint64_t>(top, p - 1));
                w.Copy(type, type <= 1 ? 2 : 7, d);
                w.Run({w.AtRank(200), w.AtRank(3), w.AtRank(100)});
                w.Copy(0, 2, 1);
                ExpectDecodes(w);
                widths.insert({type, DistanceWidth(type, p)});
            }
        }
    }
    // Types 0-2 have one width each, type 3 two, type 4 four, type 5 six.
    EXPECT_EQ(widths.size(), 3u + 2 + 4 + 6);
}

TEST(LzhPm1Decoder, LongRandomStreamsOfEverySelector)
{
    for (unsigned selector = 0; selector < 32; ++selector) {
        SCOPED_TRACE(selector);
        ExpectDecodes(RandomStream(selector, selector % 4 == 0 ? 40000 : 8000, selector));
    }
}

TEST(LzhPm1Decoder, StopsAtTheSizeInsideARunOrACopy)
{
    std::mt19937 rng(4);
    Pm1Writer w(5);
    w.FillTo(20, rng);
    w.Copy(2, 30, 19);
    for (uint64_t size : {1u, 10u, 19u, 20u, 21u, 35u, 49u, 50u}) {
        SCOPED_TRACE(size);
        MethodDecoded d = DecodeBoth(w.Stream(), size);
        EXPECT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes, std::vector<uint8_t>(w.Expected().begin(), w.Expected().begin() + size));
    }
}

TEST(LzhPm1Decoder, ZerosPastTheEndAreBoundedThenTruncated)
{
    // A stream that ends after a short run, whose copy is left out (as PMarc ends some
    // members). Past the end zeros read as copies of type 0, count 2, distance 0: the
    // first takes 7 bits (no flag), each later one 8. Up to 32 zero bits are padding.
    std::mt19937 rng(5);
    Pm1Writer w(9);
    w.FillTo(40, rng);
    ASSERT_TRUE(w.CopyDue());
    const size_t padding = w.Stream().size() * 8 - w.BitCount();
    std::vector<uint8_t> expected = w.Expected();
    for (unsigned copies = 1; copies < 8; ++copies) {
        SCOPED_TRACE(copies);
        size_t past = 7 + 8 * (copies - 1) - padding;
        expected.push_back(expected.back());
        expected.push_back(expected.back());
        MethodDecoded d = DecodeBoth(w.Stream(), expected.size());
        if (past <= 32) {
            EXPECT_EQ(d.result.status, DecodeStatus::Ok);
            EXPECT_EQ(d.bytes, expected);
        } else {
            EXPECT_EQ(d.result.status, DecodeStatus::Truncated);
        }
    }
    // No data at all: the selector and the flag read 0, and the copy at P = 0 is refused.
    EXPECT_EQ(DecodeBoth({}, 1).result.status, DecodeStatus::Invalid);
}

TEST(LzhPm1Decoder, CopiesBeforeTheFirstByteAreInvalid)
{
    struct Case
    {
        uint64_t p;
        unsigned type;
        uint32_t d;
    };
    std::mt19937 rng(6);
    for (Case c : {Case{0, 0, 0}, Case{1, 2, 1}, Case{10, 2, 10}, Case{63, 0, 63},
                   Case{100, 1, 100}, Case{100, 1, 319}, Case{300, 3, 300}, Case{600, 4, 600},
                   Case{2700, 5, 2700}, Case{9000, 5, 10815}}) {
        SCOPED_TRACE(std::to_string(c.p) + " " + std::to_string(c.d));
        Pm1Writer w(0);
        w.FillTo(c.p, rng);
        w.BadCopy(c.type, c.type <= 1 ? 2 : 3, c.d);
        w.Run({1, 2, 3});
        MethodDecoded d = DecodeBoth(w.Stream(), c.p + 10);
        EXPECT_EQ(d.result.status, DecodeStatus::Invalid);
        EXPECT_EQ(ReferencePm1Decode(w.Stream(), c.p + 10).error, PmarcError::CopyBeforeStart);
        // The bytes before the copy.
        EXPECT_EQ(d.bytes, std::vector<uint8_t>(w.Expected().begin(), w.Expected().begin() + c.p));
        // One byte nearer is a copy.
        if (c.d > kDistanceBase[c.type] && c.d - 1 < c.p) {
            Pm1Writer ok(0);
            ok.FillTo(c.p, rng);
            ok.Copy(c.type, c.type <= 1 ? 2 : 3, c.d - 1);
            ExpectDecodes(ok);
        }
    }
}

TEST(LzhPm1Decoder, SplitReadsRefusingSinksAndEmptyMembers)
{
    Pm1Writer w = RandomStream(3, 150000, 7); // more than two chunks of output
    ExpectSplitReadsAndRefusal(Decoder(), w.Stream(), w.Expected());
    ExpectEmptyAndOversizedJobs(Decoder());
}

TEST(PeerPm1, WrittenStreamsDecodeAsLhasaDecodesThem)
{
    if (!HaveLhasa()) {
        GTEST_SKIP() << "lhasa is not installed (apt-get install lhasa)";
    }
    for (unsigned selector : {0u, 9u, 17u, 24u, 31u}) {
        SCOPED_TRACE(selector);
        Pm1Writer w = RandomStream(selector, 30000, 100 + selector);
        uint16_t crc = Crc16Update(0, w.Expected().data(), static_cast<long>(w.P()));
        ExpectDecodes(w);
        EXPECT_TRUE(LhasaPrint(OneMemberArchive("-pm1-", w.Stream(), static_cast<uint32_t>(w.P()),
                                                crc)) == w.Expected());
    }
}
