// The -pm2- decoder: the corpus members to their recorded digests; streams written here
// from the format's rules through every refresh point (new codes and kept ones, class
// codes of 5 to 8 classes, a point inside a copy and one at the member's end), single-symbol
// codes of both kinds, copies before the first byte, the bound on zeros past the end,
// broken descriptions and symbols, split reads; each against the reference decoder, and
// written streams against lhasa.
#include "lzh/Crc16.h"
#include "lzh/LzhPm2Decoder.h"
#include "tests/support/BitWriter.h"
#include "tests/support/CorpusMembers.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/PeerLhasa.h"
#include "tests/support/ReferencePmarcDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <optional>
#include <random>
#include <string>
#include <tuple>

using namespace testsupport;

namespace
{

// A main code description as sent: N, M, W and N fields (v > 0: length M + v - 1).
struct MainDescription
{
    unsigned n, m, w;
    std::vector<unsigned> fields;
};

// The description of these lengths (symbols 0..28, trailing zeros left out).
MainDescription MainOf(const std::vector<unsigned>& lengths)
{
    MainDescription d{0, 99, 0, {}};
    unsigned top = 0;
    for (size_t k = 0; k < lengths.size(); ++k) {
        if (lengths[k] != 0) {
            d.n = static_cast<unsigned>(k) + 1;
            d.m = std::min(d.m, lengths[k]);
        }
    }
    for (unsigned l : lengths) {
        top = std::max(top, l == 0 ? 0 : l - d.m + 1);
    }
    d.w = static_cast<unsigned>(std::bit_width(top));
    for (unsigned k = 0; k < d.n; ++k) {
        d.fields.push_back(lengths[k] == 0 ? 0 : lengths[k] - d.m + 1);
    }
    return d;
}

// A single-symbol main code: M = 0 and N = symbol + 1.
MainDescription SingleMain(unsigned symbol)
{
    return {symbol + 1, 0, 0, {}};
}

// Writes -pm2- streams from literals and copies, coding them as the format says, and keeps
// the bytes they decode to. Refresh points are the caller's to serve: after a command that
// reaches one, Refresh before the next.
class Pm2Writer
{
public:
    Pm2Writer(const MainDescription& main, const std::vector<unsigned>& classes5,
              unsigned firstBit = 1)
    {
        for (auto [from, to] : {std::pair{0x20, 0x7F}, std::pair{0x00, 0x1F}, std::pair{0xA0, 0xDF},
                                std::pair{0x80, 0x9F}, std::pair{0xE0, 0xFF}}) {
            for (int v = from; v <= to; ++v) {
                m_list.push_back(static_cast<uint8_t>(v));
            }
        }
        m_w.Put(firstBit, 1);
        PutMain(main);
        PutClasses(classes5, 5);
    }

    uint64_t P() const { return m_out.size(); }
    const std::vector<uint8_t>& Stream() const { return m_w.Bytes(); }
    size_t BitCount() const { return m_w.BitCount(); }
    const std::vector<uint8_t>& Expected() const { return m_out; }
    bool HasClasses() const { return m_hasClasses; }
    bool HasSymbol(unsigned s) const
    {
        return m_single ? s == m_singleSymbol : s < m_main.size() && m_main[s].second != 0;
    }
    bool HasClass(unsigned t) const
    {
        return m_singleClass ? t == m_singleClassValue
                             : t < m_classes.size() && m_classes[t].second != 0;
    }
    bool RefreshDue() const { return P() >= m_refresh; }
    uint64_t RefreshPoint() const { return m_refresh; }

    // The literal of this rank (0-255).
    void Literal(unsigned rank)
    {
        const unsigned base[8] = {0, 8, 16, 32, 64, 96, 128, 192};
        const unsigned extra[8] = {3, 3, 4, 5, 5, 5, 6, 6};
        unsigned s = 7;
        while (base[s] > rank) {
            --s;
        }
        PutSymbol(s);
        m_w.Put(rank - base[s], extra[s]);
        Emit(m_list[rank]);
    }
    // A copy by symbol s (8-28) of count bytes from d + 1 back.
    void Copy(unsigned s, unsigned count, uint32_t d)
    {
        PutSymbol(s);
        const unsigned base[5] = {17, 25, 33, 65, 129};
        const unsigned extra[5] = {3, 3, 5, 6, 7};
        if (s <= 22) {
            ASSERT_EQ(count, s - 6);
        } else if (s <= 27) {
            ASSERT_GE(count, base[s - 23]);
            ASSERT_LT(count - base[s - 23], 1u << extra[s - 23]);
            m_w.Put(count - base[s - 23], extra[s - 23]);
        } else {
            ASSERT_EQ(count, 256u);
            ASSERT_EQ(d, 0u);
        }
        if (s == 8) {
            ASSERT_LT(d, 64u);
            m_w.Put(d, 6);
        } else if (s != 28) {
            unsigned t = d < 64 ? 0 : static_cast<unsigned>(std::bit_width(d)) - 6;
            ASSERT_LE(t, 7u);
            ASSERT_TRUE(HasClass(t)) << "class " << t;
            if (!m_singleClass) {
                m_w.Put(m_classes[t].first, m_classes[t].second);
            }
            m_w.Put(t == 0 ? d : d - (1u << (t + 5)), t == 0 ? 6 : t + 5);
        }
        for (unsigned i = 0; i < count; ++i) {
            Emit(P() > d ? m_out[P() - d - 1] : ' ');
        }
    }
    // The data of the refresh point due: for 1024 and 2048 the class lengths (6, 7); from
    // 4096 on a new main code or none, then class lengths (8) where they are sent.
    void Refresh(const std::optional<MainDescription>& main, const std::vector<unsigned>& classes)
    {
        ASSERT_TRUE(RefreshDue());
        const uint64_t point = m_refresh;
        m_refresh = point < 4096 ? 2 * point : point + 4096;
        if (point < 4096) {
            PutClasses(classes, point == 1024 ? 6 : 7);
            return;
        }
        m_w.Put(main.has_value() ? 1 : 0, 1);
        if (main.has_value()) {
            PutMain(*main);
        }
        if (main.has_value() || point == 4096) {
            PutClasses(classes, 8);
        }
    }
    // Bits as they are, for streams the writer would not make.
    void Raw(uint32_t value, unsigned width) { m_w.Put(value, width); }

private:
    void PutMain(const MainDescription& d)
    {
        m_w.Put(d.n, 5);
        m_w.Put(d.m, 3);
        m_hasClasses = d.n >= 10 && !(d.n == 29 && d.m == 0);
        m_single = d.m == 0;
        m_singleSymbol = d.n - 1;
        if (d.m == 0) {
            return;
        }
        m_w.Put(d.w, 3);
        std::vector<unsigned> lengths(31, 0);
        for (unsigned k = 0; k < d.n; ++k) {
            m_w.Put(d.fields[k], d.w);
            lengths[k] = d.fields[k] == 0 ? 0 : d.m + d.fields[k] - 1;
        }
        m_main = CanonicalCodewords(lengths);
    }
    // A class description of k lengths, sent only while the main code says so.
    void PutClasses(const std::vector<unsigned>& lengths, unsigned k)
    {
        if (!m_hasClasses) {
            return;
        }
        ASSERT_EQ(lengths.size(), k);
        for (unsigned l : lengths) {
            m_w.Put(l, 3);
        }
        m_singleClass =
            std::count_if(lengths.begin(), lengths.end(), [](unsigned l) { return l; }) == 1;
        if (m_singleClass) {
            m_singleClassValue = static_cast<unsigned>(
                std::find_if(lengths.begin(), lengths.end(), [](unsigned l) { return l; }) -
                lengths.begin());
        } else {
            m_classes = CanonicalCodewords(lengths);
        }
    }
    void PutSymbol(unsigned s)
    {
        EXPECT_FALSE(RefreshDue()) << "the refresh point " << m_refresh << " comes first";
        ASSERT_TRUE(HasSymbol(s)) << "symbol " << s;
        if (!m_single) {
            m_w.Put(m_main[s].first, m_main[s].second);
        }
    }
    void Emit(uint8_t b)
    {
        m_out.push_back(b);
        m_list.erase(std::find(m_list.begin(), m_list.end(), b));
        m_list.insert(m_list.begin(), b);
    }

    BitWriter m_w;
    std::vector<uint8_t> m_list;
    std::vector<uint8_t> m_out;
    std::vector<std::pair<uint32_t, unsigned>> m_main;
    bool m_single = false;
    unsigned m_singleSymbol = 0;
    std::vector<std::pair<uint32_t, unsigned>> m_classes;
    bool m_singleClass = false;
    unsigned m_singleClassValue = 0;
    bool m_hasClasses = false;
    uint64_t m_refresh = 1024;
};

CLzhPm2Decoder& Decoder()
{
    static CLzhPm2Decoder decoder;
    return decoder;
}

MethodDecoded DecodeBoth(const std::vector<uint8_t>& packed, uint64_t size)
{
    return DecodeAgainst(Decoder(), packed, size, [](const std::vector<uint8_t>& p, uint64_t n) {
        ReferencePmarcResult r = ReferencePm2Decode(p, n);
        return std::make_tuple(StatusOf(r.error), r.output, r.crc, PmarcErrorName(r.error));
    });
}

void ExpectDecodes(const Pm2Writer& w)
{
    MethodDecoded d = DecodeBoth(w.Stream(), w.P());
    EXPECT_EQ(d.result.status, DecodeStatus::Ok);
    EXPECT_EQ(d.bytes, w.Expected());
}

// Random commands of the current codes until P reaches `until` or a refresh point.
void RandomCommands(Pm2Writer& w, uint64_t until, std::mt19937& rng)
{
    const unsigned countBase[5] = {17, 25, 33, 65, 129};
    const unsigned countBits[5] = {3, 3, 5, 6, 7};
    while (w.P() < until && !w.RefreshDue()) {
        unsigned s;
        do {
            s = rng() % 29;
        } while (!w.HasSymbol(s));
        if (s < 8) {
            const unsigned base[9] = {0, 8, 16, 32, 64, 96, 128, 192, 256};
            w.Literal(base[s] + rng() % (base[s + 1] - base[s]));
            continue;
        }
        unsigned count = s <= 22 ? s - 6 : 256;
        if (s >= 23 && s <= 27) {
            count = countBase[s - 23] + rng() % (1u << countBits[s - 23]);
        }
        uint32_t d = 0;
        if (s == 8) {
            d = rng() % 64;
        } else if (s != 28) {
            unsigned t;
            do {
                t = rng() % 8;
            } while (!w.HasClass(t));
            d = t == 0 ? rng() % 64 : (1u << (t + 5)) + rng() % (1u << (t + 5));
        }
        w.Copy(s, count, d);
    }
}

// Code lengths of 29 symbols that make a complete code, shuffled by seed: 3 of 4 bits,
// 26 of 5 bits (3/16 + 26/32 = 1).
std::vector<unsigned> FullLengths(unsigned seed)
{
    std::vector<unsigned> lengths(29, 5);
    std::fill(lengths.begin(), lengths.begin() + 3, 4);
    std::shuffle(lengths.begin(), lengths.end(), std::mt19937(seed));
    return lengths;
}

} // namespace

TEST(LzhPm2Decoder, CorpusMembersDecodeToTheirDigests)
{
    int decoded = 0;
    for (const CorpusMember& m : CorpusMembersWithMethod("-pm2-")) {
        SCOPED_TRACE(m.archive + ":" + m.row.member);
        MethodDecoded d = DecodeBoth(m.packed, m.unpackedSize);
        ASSERT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes.size(), m.row.size);
        EXPECT_EQ(d.result.crc, m.headerCrc);
        EXPECT_EQ(d.result.crc, m.row.crc);
        EXPECT_EQ(Sha256OfBytes(d.bytes), m.row.sha256);
        ++decoded;
    }
    // pmarc2/pm2.pma and sfx.com (GPL-2.), comment.pma (HELLO.TXT).
    EXPECT_EQ(decoded, 3);
}

TEST(LzhPm2Decoder, RefreshPointsReadTheirDescriptions)
{
    // Through every kind of refresh point: class codes of 6 and 7 classes, a new main code
    // and one kept at 4096, kept and new ones later, a main code without class codes
    // (N < 10) and one that brings them back. Each new code is another, so that a
    // description read at the wrong place shows in the bytes.
    struct Point
    {
        bool newMain;
        unsigned n; // symbols of the new main code (9: no class codes follow)
    };
    for (bool keepAt4096 : {false, true}) {
        SCOPED_TRACE(keepAt4096);
        std::mt19937 rng(keepAt4096 ? 1 : 2);
        Pm2Writer w(MainOf(FullLengths(1)), {2, 2, 2, 3, 3});
        const Point points[] = {{false, 0}, {false, 0}, {!keepAt4096, 29}, {false, 0}, {true, 29},
                                {false, 0}, {true, 9},  {false, 0},        {true, 29}, {false, 0}};
        unsigned seed = 2;
        for (const Point& pt : points) {
            RandomCommands(w, 1u << 20, rng);
            const uint64_t point = w.RefreshPoint();
            std::optional<MainDescription> main;
            if (pt.newMain) {
                std::vector<unsigned> lengths = FullLengths(seed++);
                if (pt.n == 9) {
                    lengths = {3, 3, 3, 3, 3, 3, 3, 4, 4}; // literals and symbol 8 only
                }
                main = MainOf(lengths);
            }
            unsigned classes = point == 1024 ? 6 : point == 2048 ? 7 : 8;
            std::vector<unsigned> lengths(classes, 3);
            if (classes == 6) {
                lengths = {3, 3, 3, 3, 2, 2}; // class 5 now reaches 2047
            } else if (classes == 7) {
                lengths = {3, 3, 3, 3, 3, 3, 2}; // class 6 reaches 4095
            }
            w.Refresh(main, lengths);
        }
        RandomCommands(w, w.RefreshPoint() - 100, rng);
        ExpectDecodes(w);
        EXPECT_GT(w.P(), 36000u);
    }
}

TEST(LzhPm2Decoder, RefreshPointsInsideACopyAndAtTheEnd)
{
    Pm2Writer w(MainOf(FullLengths(3)), {2, 2, 2, 3, 3});
    std::mt19937 rng(3);
    while (w.P() < 1020) {
        w.Literal(rng() % 256);
    }
    w.Copy(16, 10, 40); // passes 1024; its class data follow the whole copy
    w.Refresh(std::nullopt, {3, 3, 3, 3, 2, 2});
    while (w.P() < 2048) {
        w.Literal(rng() % 256);
    }
    // The member ends at the refresh point: its data are not there and not read.
    ExpectDecodes(w);
    // Cut inside the copy, before the point: the class data are not read either.
    Pm2Writer cut(MainOf(FullLengths(3)), {2, 2, 2, 3, 3});
    std::mt19937 again(3);
    while (cut.P() < 1020) {
        cut.Literal(again() % 256);
    }
    cut.Copy(16, 10, 40);
    MethodDecoded d = DecodeBoth(cut.Stream(), 1024);
    EXPECT_EQ(d.result.status, DecodeStatus::Ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>(cut.Expected().begin(), cut.Expected().begin() + 1024));
}

TEST(LzhPm2Decoder, SingleSymbolMainCodesReadNoBits)
{
    // N = 29, M = 0: only symbol 28, 256 copies of the byte before, from the spaces before
    // the first byte; no class codes. Only the refresh bits from 4096 on are read.
    {
        Pm2Writer w(SingleMain(28), {});
        while (w.P() < 20000) {
            if (w.RefreshDue()) {
                w.Refresh(std::nullopt, {});
            }
            w.Copy(28, 256, 0);
        }
        ExpectDecodes(w);
        EXPECT_EQ(w.Expected(), std::vector<uint8_t>(w.P(), ' '));
        EXPECT_LE(w.BitCount(), 9u + 4);
    }
    // N = 1: literals of symbol 0 (ranks 0-7), 3 bits each.
    {
        Pm2Writer w(SingleMain(0), {});
        std::mt19937 rng(4);
        for (int i = 0; i < 3000; ++i) {
            if (w.RefreshDue()) {
                w.Refresh(std::nullopt, {});
            }
            w.Literal(rng() % 8);
        }
        ExpectDecodes(w);
    }
    // N = 12: symbol 11 copies 5 bytes and needs the class code, which is sent.
    {
        Pm2Writer w(SingleMain(11), {1, 1, 0, 0, 0});
        EXPECT_TRUE(w.HasClasses());
        for (int i = 0; i < 150; ++i) {
            w.Copy(11, 5, i % 2 == 0 ? 3 : 100);
        }
        ExpectDecodes(w);
    }
}

TEST(LzhPm2Decoder, SingleClassCodesReadNoBits)
{
    // One non-zero class length, whatever its value, gives that class from zero bits.
    for (unsigned t = 0; t < 5; ++t) {
        for (unsigned length : {1u, 4u, 7u}) {
            SCOPED_TRACE(std::to_string(t) + " " + std::to_string(length));
            std::vector<unsigned> classes(5, 0);
            classes[t] = length;
            Pm2Writer w(MainOf(FullLengths(t)), classes);
            std::mt19937 rng(t);
            for (int i = 0; i < 40; ++i) {
                w.Literal(rng() % 256);
            }
            for (uint32_t d : {0u, 1u, 63u}) {
                w.Copy(12, 6, t == 0 ? d : (1u << (t + 5)) + d);
            }
            ExpectDecodes(w);
        }
    }
}

TEST(LzhPm2Decoder, CopiesBeforeTheFirstByteReadSpaces)
{
    Pm2Writer w(MainOf(FullLengths(5)), {2, 2, 2, 3, 3});
    w.Literal(40);        // 'H'
    w.Copy(27, 200, 500); // 499 bytes before the first: 200 spaces
    w.Copy(10, 4, 201);   // the 'H' again and three spaces
    w.Copy(23, 17, 1000);
    ExpectDecodes(w);
    EXPECT_EQ(w.Expected()[0], 'H');
    EXPECT_EQ(std::count(w.Expected().begin(), w.Expected().end(), ' '), 200 + 3 + 17);
}

TEST(LzhPm2Decoder, FirstBitIsIgnored)
{
    std::mt19937 rng(6);
    Pm2Writer one(MainOf(FullLengths(6)), {2, 2, 2, 3, 3}, 1);
    Pm2Writer zero(MainOf(FullLengths(6)), {2, 2, 2, 3, 3}, 0);
    for (int i = 0; i < 500; ++i) {
        unsigned rank = rng() % 256;
        one.Literal(rank);
        zero.Literal(rank);
    }
    ExpectDecodes(zero);
    EXPECT_EQ(zero.Expected(), one.Expected());
}

TEST(LzhPm2Decoder, BrokenStreamsNameTheirFault)
{
    struct Case
    {
        const char* name;
        std::vector<std::pair<uint32_t, unsigned>> bits; // (value, width) after the first bit
        PmarcError error;
    };
    // N = 31, M = 1, W = 1: all 31 symbols of length 1 would be over-full; with W = 5 the
    // fields below give the lengths named.
    auto fields = [](std::vector<unsigned> v, unsigned w) {
        std::vector<std::pair<uint32_t, unsigned>> out;
        for (unsigned x : v) {
            out.push_back({x, w});
        }
        return out;
    };
    auto concat = [](std::vector<std::pair<uint32_t, unsigned>> a,
                     const std::vector<std::pair<uint32_t, unsigned>>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    };
    // Symbols 0 and 29 of length 1 (N = 30, M = 1, W = 1), then the bit of symbol 29.
    std::vector<unsigned> with29(30, 0);
    with29[0] = with29[29] = 1;
    // Only symbol 0, of length 1 (N = 1): the bit 1 starts no codeword.
    const Case cases[] = {
        {"symbol 29",
         concat({{30, 5}, {1, 3}, {1, 3}},
                concat(fields(with29, 1), {{0, 3}, {0, 3}, {0, 3}, {0, 3}, {0, 3}, {1, 1}})),
         PmarcError::MeaninglessSymbol},
        {"N = 0, M = 0", {{0, 5}, {0, 3}}, PmarcError::MeaninglessSymbol},
        {"N = 31, M = 0: symbol 30", {{31, 5}, {0, 3}, {0, 15}}, PmarcError::MeaninglessSymbol},
        {"length 17", {{1, 5}, {7, 3}, {4, 3}, {11, 4}}, PmarcError::LengthTooLong},
        {"over-full main code", concat({{3, 5}, {1, 3}, {1, 3}}, fields({1, 1, 1}, 1)),
         PmarcError::MainCodeOverfull},
        {"no main codeword", {{1, 5}, {1, 3}, {1, 3}, {1, 1}, {1, 1}}, PmarcError::NoMainCodeword},
        {"over-full class code",
         concat({{10, 5}, {4, 3}, {1, 3}},
                concat(fields(std::vector<unsigned>(10, 1), 1), fields({1, 1, 1, 0, 0}, 3))),
         PmarcError::ClassCodeOverfull},
        // Symbols 0-9 of length 4 (incomplete); classes 0 and 1 of length 2 (incomplete):
        // symbol 9 (1001), then class bits 11, which start no codeword.
        {"no class codeword",
         concat({{10, 5}, {4, 3}, {1, 3}},
                concat(fields(std::vector<unsigned>(10, 1), 1),
                       concat(fields({2, 2, 0, 0, 0}, 3), {{9, 4}, {3, 2}}))),
         PmarcError::NoClassCodeword},
        // A class code of zero lengths: symbol 9 has no class to decode.
        {"empty class code",
         concat({{10, 5}, {4, 3}, {1, 3}}, concat(fields(std::vector<unsigned>(10, 1), 1),
                                                  concat(fields({0, 0, 0, 0, 0}, 3), {{9, 4}}))),
         PmarcError::NoClassCodeword},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BitWriter w;
        w.Put(1, 1);
        for (auto [value, width] : c.bits) {
            w.Put(value, width);
        }
        w.Put(0xFFFFFFFF, 32); // data enough that nothing runs out first
        MethodDecoded d = DecodeBoth(w.Bytes(), 100);
        EXPECT_EQ(d.result.status, DecodeStatus::Invalid);
        EXPECT_EQ(PmarcErrorName(ReferencePm2Decode(w.Bytes(), 100).error),
                  PmarcErrorName(c.error));
        EXPECT_TRUE(d.bytes.empty());
    }
}

TEST(LzhPm2Decoder, ZerosPastTheEndAreBoundedThenTruncated)
{
    // N = 29, M = 0: copies of 256 bytes from zero bits; past the data, each refresh point
    // from 4096 on reads one zero bit. The stream's 9 bits leave 7 of padding, so the
    // 39th point reads the 32nd zero past the end and the 40th one too many; a member
    // that ends at the 40th point does not read it.
    BitWriter w;
    w.Put(1, 1);
    w.Put(29, 5);
    w.Put(0, 3);
    ASSERT_EQ(w.Bytes().size() * 8 - w.BitCount(), 7u);
    MethodDecoded d = DecodeBoth(w.Bytes(), 40 * 4096);
    EXPECT_EQ(d.result.status, DecodeStatus::Ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>(40 * 4096, ' '));
    d = DecodeBoth(w.Bytes(), 40 * 4096 + 1);
    EXPECT_EQ(d.result.status, DecodeStatus::Truncated);
    EXPECT_EQ(ReferencePm2Decode(w.Bytes(), 40 * 4096 + 1).error, PmarcError::InputOverrun);
    // A corpus member cut short.
    for (const CorpusMember& m : CorpusMembersWithMethod("-pm2-")) {
        if (m.unpackedSize > 1000) {
            std::vector<uint8_t> half(m.packed.begin(), m.packed.begin() + m.packed.size() / 2);
            EXPECT_NE(DecodeBoth(half, m.unpackedSize).result.status, DecodeStatus::Ok);
        }
    }
}

TEST(LzhPm2Decoder, SplitReadsRefusingSinksAndEmptyMembers)
{
    std::mt19937 rng(7);
    Pm2Writer w(MainOf(FullLengths(7)), {2, 2, 2, 3, 3});
    while (w.P() < 150000) { // more than two chunks of output
        RandomCommands(w, 150000, rng);
        if (w.RefreshDue()) {
            w.Refresh(std::nullopt, std::vector<unsigned>(w.RefreshPoint() == 1024   ? 6
                                                          : w.RefreshPoint() == 2048 ? 7
                                                                                     : 8,
                                                          3));
        }
    }
    ExpectSplitReadsAndRefusal(Decoder(), w.Stream(), w.Expected());
    ExpectEmptyAndOversizedJobs(Decoder());
}

TEST(PeerPm2, WrittenStreamsDecodeAsLhasaDecodesThem)
{
    if (!HaveLhasa()) {
        GTEST_SKIP() << "lhasa is not installed (apt-get install lhasa)";
    }
    for (unsigned seed = 0; seed < 4; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        Pm2Writer w(MainOf(FullLengths(seed)), {2, 2, 2, 3, 3});
        while (w.P() < 30000) {
            RandomCommands(w, 30000, rng);
            if (w.RefreshDue()) {
                const uint64_t point = w.RefreshPoint();
                std::optional<MainDescription> main;
                if (point >= 4096 && rng() % 2 == 0) {
                    main = MainOf(FullLengths(static_cast<unsigned>(point)));
                }
                w.Refresh(main, std::vector<unsigned>(point == 1024   ? 6
                                                      : point == 2048 ? 7
                                                                      : 8,
                                                      3));
            }
        }
        ExpectDecodes(w);
        uint16_t crc = Crc16Update(0, w.Expected().data(), static_cast<long>(w.P()));
        EXPECT_TRUE(LhasaPrint(OneMemberArchive("-pm2-", w.Stream(), static_cast<uint32_t>(w.P()),
                                                crc)) == w.Expected());
    }
}
