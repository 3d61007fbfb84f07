// The PKZIP 1.x decoders (Shrink, Reduce, Implode): the corpus members of those methods against
// their manifest, hand-built streams for the rules the corpus does not reach (each bad stream
// with the reference decoder's named error), round trips through the test-side encoders
// checked against the reference decoders, and unzip and 7zz reading what those encoders make.
#include "tests/support/CorpusMembers.h"
#include "tests/support/LegacyZipEncoders.h"
#include "tests/support/LsbBits.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceImplode.h"
#include "tests/support/ReferenceReduce.h"
#include "tests/support/ReferenceShrink.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/Crc32.h"
#include "zip/ZipImplodeDecoder.h"
#include "zip/ZipReduceDecoder.h"
#include "zip/ZipShrinkDecoder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <unistd.h>

using namespace testsupport;

namespace
{

using Bytes = std::vector<uint8_t>;

Bytes BytesOf(const std::string& s)
{
    return Bytes(s.begin(), s.end());
}

struct Decoded
{
    DecodeStatus status;
    Bytes bytes;
};

CZipMethodDecoder& DecoderFor(uint16_t method)
{
    static CZipShrinkDecoder shrink;
    static CZipReduceDecoder reduce;
    static CZipImplodeDecoder implode;
    if (method == 1) {
        return shrink;
    }
    return method == 6 ? static_cast<CZipMethodDecoder&>(implode) : reduce;
}

// The fast decoder, reading the input whole or in the short pieces a member stream may give.
Decoded Fast(uint16_t method, uint16_t flags, const Bytes& packed, uint64_t size,
             bool pieces = false)
{
    MemorySource whole(packed);
    PieceSource split(packed);
    VectorSink sink;
    ZipDecodeJob job{pieces ? static_cast<ByteSource*>(&split) : &whole,
                     &sink,
                     packed.size(),
                     size,
                     method,
                     flags};
    DecodeStatus status = DecoderFor(method).Decode(job);
    return {status, sink.bytes};
}

// The reference decoder's verdict as a DecodeStatus, its named error and its output.
struct ReferenceDecoded
{
    DecodeStatus status;
    int error;
    Bytes bytes;
};

ReferenceDecoded Reference(uint16_t method, uint16_t flags, const Bytes& packed, uint64_t size)
{
    if (method == 1) {
        auto r = ReferenceUnshrink(packed, size);
        return {StatusOf(r.error), static_cast<int>(r.error), r.output};
    }
    if (method == 6) {
        auto r = ReferenceExplode(packed, size, flags);
        return {StatusOf(r.error), static_cast<int>(r.error), r.output};
    }
    auto r = ReferenceUnreduce(packed, size, method - 1u);
    return {StatusOf(r.error), static_cast<int>(r.error), r.output};
}

// The fast decoder (whole and in pieces) and the reference agree; returns the fast result.
Decoded ExpectAgree(uint16_t method, uint16_t flags, const Bytes& packed, uint64_t size)
{
    Decoded fast = Fast(method, flags, packed, size);
    Decoded split = Fast(method, flags, packed, size, true);
    ReferenceDecoded ref = Reference(method, flags, packed, size);
    EXPECT_EQ(DecodeStatusName(fast.status), DecodeStatusName(ref.status))
        << "reference error " << ref.error;
    EXPECT_EQ(DecodeStatusName(split.status), DecodeStatusName(ref.status))
        << "reference error " << ref.error;
    if (ref.status == DecodeStatus::Ok) {
        EXPECT_TRUE(fast.bytes == ref.bytes);
        EXPECT_TRUE(split.bytes == ref.bytes);
    }
    EXPECT_LE(fast.bytes.size(), size);
    return fast;
}

// ---- Test data ----

// Words in random order (deterministic), with digits and runs now and then: text that the
// encoders compress with matches of every kind.
Bytes Text(size_t size, unsigned seed)
{
    static const char* const kWords[] = {
        "the ",  "archive ", "member ",   "shrink ", "reduce ", "implode ", "window ",
        "code ", "length ",  "distance ", "\r\n",    "tree ",   "literal ", "of ",
        "and ",  "a ",       "follower ", "set ",    "ZIP ",    "PKWARE ",  "bits "};
    std::mt19937 random(seed);
    Bytes out;
    while (out.size() < size) {
        const unsigned pick = random() % 40;
        if (pick < 21) {
            for (const char* w = kWords[pick]; *w != 0; ++w) {
                out.push_back(static_cast<uint8_t>(*w));
            }
        } else if (pick < 30) {
            out.push_back(static_cast<uint8_t>('0' + random() % 10));
        } else if (pick < 31) {
            out.insert(out.end(), 40 + random() % 400, static_cast<uint8_t>(random()));
        } else if (pick < 32) {
            out.push_back(144); // Reduce's escape byte as data
        } else {
            out.push_back(static_cast<uint8_t>(random()));
        }
    }
    out.resize(size);
    return out;
}

Bytes Noise(size_t size, unsigned seed)
{
    std::mt19937 random(seed);
    Bytes out(size);
    for (uint8_t& b : out) {
        b = static_cast<uint8_t>(random());
    }
    return out;
}

// Data sets for the round trips: edge sizes, runs (from the start, where the zeros before it
// match), noise and text past a window.
std::vector<std::pair<std::string, Bytes>> DataSets()
{
    Bytes zerosThenText(3000, 0);
    Bytes text = Text(6000, 3);
    zerosThenText.insert(zerosThenText.end(), text.begin(), text.end());
    return {
        {"empty", {}},
        {"one byte", {'x'}},
        {"4096 bytes", Text(4096, 1)},
        {"4097 bytes", Text(4097, 1)},
        {"8193 bytes", Text(8193, 2)},
        {"a run", Bytes(20000, 'r')},
        {"zeros then text", zerosThenText},
        {"noise", Noise(30000, 4)},
        {"text", Text(300000, 5)},
    };
}

// ---- The corpus ----

struct CorpusRow
{
    std::string archive, member, sha256;
    uint16_t method;
};

std::vector<CorpusRow> LegacyCorpusRows()
{
    std::vector<CorpusRow> rows;
    std::ifstream in(CorpusDir() + "/zip/MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            f.push_back(field);
        }
        if (f.size() < 7 || f[2].empty() || f[2].find_first_not_of("0123456789") != f[2].npos) {
            continue;
        }
        const int method = std::stoi(f[2]);
        if (method >= 1 && method <= 6) {
            rows.push_back({f[0], f[1], f[6], static_cast<uint16_t>(method)});
        }
    }
    return rows;
}

uint32_t Le(const std::string& s, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes; i-- > 0;) {
        v = (v << 8) | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
    }
    return v;
}

struct LocatedMember
{
    bool found = false;
    uint16_t method = 0, flags = 0;
    uint32_t crc = 0, unpackedSize = 0;
    Bytes packed;
};

// Finds a member through the central directory and takes its data from behind its local
// header (signature, 26 bytes of fields, then the name and extra field).
LocatedMember Locate(const std::string& zip, const std::string& name)
{
    LocatedMember m;
    const size_t eocd = zip.rfind(std::string("PK\x05\x06", 4));
    if (eocd == std::string::npos || eocd + 22 > zip.size()) {
        return m;
    }
    size_t at = Le(zip, eocd + 16, 4);
    const unsigned entries = Le(zip, eocd + 10, 2);
    for (unsigned i = 0; i < entries && at + 46 <= zip.size(); ++i) {
        const uint32_t nameLength = Le(zip, at + 28, 2);
        const std::string entryName = zip.substr(at + 46, nameLength);
        if (entryName == name) {
            m.flags = static_cast<uint16_t>(Le(zip, at + 8, 2));
            m.method = static_cast<uint16_t>(Le(zip, at + 10, 2));
            m.crc = Le(zip, at + 16, 4);
            const uint32_t packedSize = Le(zip, at + 20, 4);
            m.unpackedSize = Le(zip, at + 24, 4);
            const size_t local = Le(zip, at + 42, 4);
            const size_t data = local + 30 + Le(zip, local + 26, 2) + Le(zip, local + 28, 2);
            if (data + packedSize <= zip.size()) {
                m.packed.assign(zip.begin() + static_cast<ptrdiff_t>(data),
                                zip.begin() + static_cast<ptrdiff_t>(data + packedSize));
                m.found = true;
            }
            return m;
        }
        at += 46 + nameLength + Le(zip, at + 30, 2) + Le(zip, at + 32, 2);
    }
    return m;
}

TEST(LegacyMethods, CorpusMembersHashAsTheManifestSays)
{
    const std::vector<CorpusRow> rows = LegacyCorpusRows();
    // SHRUNK.ZIP's two members and the 4 KiB, two-code imploded one at least.
    EXPECT_GE(rows.size(), 3u);
    std::map<uint16_t, int> methods;
    for (const CorpusRow& row : rows) {
        SCOPED_TRACE(row.archive + ": " + row.member);
        const std::string zip = ReadHostFile(CorpusDir() + "/zip/" + row.archive);
        const LocatedMember m = Locate(zip, row.member);
        ASSERT_TRUE(m.found);
        ASSERT_EQ(m.method, row.method);
        Decoded fast = ExpectAgree(m.method, m.flags, m.packed, m.unpackedSize);
        ASSERT_EQ(fast.status, DecodeStatus::Ok);
        EXPECT_EQ(Sha256OfBytes(fast.bytes), row.sha256);
        EXPECT_EQ(Crc32(0, fast.bytes.data(), fast.bytes.size()), m.crc);
        ++methods[m.method];
    }
    EXPECT_EQ(methods[1], 2);
    EXPECT_GE(methods[6], 1);
}

// ---- Shrink, hand-built ----

class ShrinkWriter
{
public:
    void Code(unsigned code) { m_bits.Put(code, m_width); }
    void Grow()
    {
        Code(256);
        Code(1);
        ++m_width;
    }
    void Clear()
    {
        Code(256);
        Code(2);
    }
    const Bytes& Packed() const { return m_bits.Bytes(); }

private:
    LsbBitWriter m_bits;
    unsigned m_width = 9;
};

// a, b, 257 ("ab"; defines 258 = "ba"), c (defines 259 = "abc", so that 257 has a child),
// then a partial clear: 258 and 259 are leaves and become free, 257 stays, and 258 is the
// lowest free code.
void AbAbcThenClear(ShrinkWriter& w)
{
    w.Code('a');
    w.Code('b');
    w.Code(257);
    w.Code('c');
    w.Clear();
}

struct ShrinkCase
{
    const char* name;
    std::function<void(ShrinkWriter&)> write;
    uint64_t size;
    std::string expected; // the output, when the stream decodes
    ShrinkError error;
};

TEST(LegacyMethods, ShrinkHandBuiltStreams)
{
    const ShrinkCase cases[] = {
        {"literals",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
             w.Code('c');
         },
         3, "abc", ShrinkError::Ok},
        {"a string code",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
             w.Code(257);
         },
         4, "abab", ShrinkError::Ok},
        // 257 is read while it is the code to be defined: "a" + "a".
        {"KwKwK",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code(257);
         },
         3, "aaa", ShrinkError::Ok},
        {"codes grow on 256, 1 only",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Grow();
             w.Code('b');
             w.Code(257);
         },
         4, "abab", ShrinkError::Ok},
        // After the clear 257 still reads "ab"; the next definition takes 258 ("c" + "a").
        {"a partial clear keeps extended codes",
         [](ShrinkWriter& w) {
             AbAbcThenClear(w);
             w.Code(257);
             w.Code(258);
         },
         9, "ababcabca", ShrinkError::Ok},
        {"a partial clear frees the leaves",
         [](ShrinkWriter& w) {
             AbAbcThenClear(w);
             w.Code(259);
         },
         9, "", ShrinkError::UndefinedCode},
        // d defines 258 ("cd"); 259, freed, is then the lowest free code: "d" + "d".
        {"KwKwK after a clear takes the lowest freed code",
         [](ShrinkWriter& w) {
             AbAbcThenClear(w);
             w.Code('d');
             w.Code(259);
         },
         8, "ababcddd", ShrinkError::Ok},
        {"the output stops at the member's size",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
             w.Code(257);
         },
         3, "aba", ShrinkError::Ok},
        {"a first code that names a string", [](ShrinkWriter& w) { w.Code(257); }, 2, "",
         ShrinkError::FirstCodeNotLiteral},
        {"a code never defined",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code(300);
         },
         3, "", ShrinkError::UndefinedCode},
        {"control code 3",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code(256);
             w.Code(3);
         },
         3, "", ShrinkError::UnknownControl},
        {"control code 0",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code(256);
             w.Code(0);
         },
         3, "", ShrinkError::UnknownControl},
        {"growth past 13 bits",
         [](ShrinkWriter& w) {
             w.Code('a');
             for (int i = 0; i < 4; ++i) {
                 w.Grow(); // 10, 11, 12, 13 bits
             }
             w.Code(256);
             w.Code(1);
         },
         3, "", ShrinkError::WidthPast13},
        // a, b, c, 257 (defines 259 = "ca"); the clear frees 257-259 (none extends another),
        // so d defines 257 as 257's string + "d": a chain into itself.
        {"a string whose chain loops",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
             w.Code('c');
             w.Code(257);
             w.Clear();
             w.Code('d');
             w.Code(257);
         },
         9, "", ShrinkError::LoopingString},
        // a, b, c, d, e, 260 ("de"): the clear frees 257-261 (none extends another); x then
        // defines 257 as 260 + "x", and reading 257 passes 260, which holds nothing.
        {"a chain through a free code",
         [](ShrinkWriter& w) {
             const unsigned codes[] = {'a', 'b', 'c', 'd', 'e', 260};
             for (unsigned c : codes) {
                 w.Code(c);
             }
             w.Clear();
             w.Code('x');
             w.Code(257);
         },
         12, "", ShrinkError::ChainThroughFreeCode},
        // a, b, c, 258 ("bc"; 259 = "cb"): the clear frees 257-259; x defines 257 as 258 +
        // "x" while 258 is free, and reading 257 first defines 258 as "x" + 257's first
        // byte: 257 reads "xx" + "x".
        {"a code standing on the definition it brings",
         [](ShrinkWriter& w) {
             const unsigned codes[] = {'a', 'b', 'c', 258};
             for (unsigned c : codes) {
                 w.Code(c);
             }
             w.Clear();
             w.Code('x');
             w.Code(257);
         },
         9, "abcbcxxxx", ShrinkError::Ok},
        // 259 ("abc") extends 257 until the first clear frees it; the second clear then
        // finds 257 extended by no code in use and frees it too, so d defines 257 ("cd").
        {"a code extended only by a freed code is a leaf",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
             w.Code(257);
             w.Code('c');
             w.Clear();
             w.Clear();
             w.Code('d');
             w.Code(257);
         },
         8, "ababcdcd", ShrinkError::Ok},
        {"data ending before the size",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code('b');
         },
         5, "", ShrinkError::Truncated},
        // 18 bits in 3 bytes: the control code's argument finds 6 bits.
        {"data ending inside a control sequence",
         [](ShrinkWriter& w) {
             w.Code('a');
             w.Code(256);
         },
         2, "", ShrinkError::Truncated},
    };
    for (const ShrinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        ShrinkWriter w;
        c.write(w);
        const Bytes packed = w.Packed();
        Decoded fast = ExpectAgree(1, 0, packed, c.size);
        EXPECT_EQ(ReferenceUnshrink(packed, c.size).error, c.error);
        EXPECT_EQ(fast.status, StatusOf(c.error));
        if (c.error == ShrinkError::Ok) {
            EXPECT_EQ(fast.bytes, BytesOf(c.expected));
        }
    }
}

// With every code 257-8191 defined, later codes define nothing and still read.
TEST(LegacyMethods, ShrinkCodesAfterAFullTableDefineNothing)
{
    std::mt19937 random(7);
    ShrinkWriter w;
    Bytes expected;
    // 7936 literals: each after the first defines the next code, 257 + k = literal k and
    // literal k + 1, up to 8191. Then a literal (no code left to define) and codes 300
    // and, 13 bits wide, 8191.
    for (int i = 0; i < 7936 + 1; ++i) {
        const unsigned b = 'a' + random() % 26;
        w.Code(b);
        expected.push_back(static_cast<uint8_t>(b));
    }
    w.Code(300);
    expected.push_back(expected[300 - 257]);
    expected.push_back(expected[300 - 257 + 1]);
    for (int i = 0; i < 4; ++i) {
        w.Grow();
    }
    w.Code(8191);
    expected.push_back(expected[8191 - 257]);
    expected.push_back(expected[8191 - 257 + 1]);
    Decoded fast = ExpectAgree(1, 0, w.Packed(), expected.size());
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, expected);
}

// ---- Reduce, hand-built ----

// Follower sets for j = 255 down to 0 (those not given are empty), then stage-1 bytes.
class ReduceWriter
{
public:
    explicit ReduceWriter(const std::map<unsigned, Bytes>& sets = {})
    {
        for (unsigned j = 256; j-- > 0;) {
            auto set = sets.find(j);
            const Bytes empty;
            const Bytes& bytes = set == sets.end() ? empty : set->second;
            bits.Put(static_cast<uint32_t>(bytes.size()), 6);
            for (uint8_t b : bytes) {
                bits.Put(b, 8);
            }
        }
    }
    // Bytes coded by empty sets: 8 bits each.
    void Plain(std::initializer_list<unsigned> bytes)
    {
        for (unsigned b : bytes) {
            bits.Put(b, 8);
        }
    }
    LsbBitWriter bits;
};

// The expected output of a match, copied byte by byte with zeros before the start.
void Copy(Bytes& out, size_t distance, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        out.push_back(out.size() >= distance ? out[out.size() - distance] : 0);
    }
}

TEST(LegacyMethods, ReduceMatchesAtEveryFactor)
{
    for (unsigned factor = 1; factor <= 4; ++factor) {
        SCOPED_TRACE(factor);
        const unsigned lengthBits = 8 - factor;
        const unsigned allOnes = (1u << lengthBits) - 1;
        // 300 literals (never 144), then: a match with the lowest high-distance bit set
        // (256 + 5 + 1 = 262 back, length 1 + 3), a literal 144 (144, 0), and a match whose
        // length field is all ones plus an extension byte (distance 1).
        ReduceWriter w;
        Bytes expected;
        for (unsigned i = 0; i < 300; ++i) {
            const unsigned b = 1 + i % 139;
            w.Plain({b});
            expected.push_back(static_cast<uint8_t>(b));
        }
        w.Plain({144, (1u << lengthBits) | 1, 5});
        Copy(expected, 262, 4);
        w.Plain({144, 0});
        expected.push_back(144);
        w.Plain({144, allOnes, 10, 0});
        Copy(expected, 1, allOnes + 10 + 3);
        Decoded fast =
            ExpectAgree(static_cast<uint16_t>(factor + 1), 0, w.bits.Bytes(), expected.size());
        EXPECT_EQ(fast.status, DecodeStatus::Ok);
        EXPECT_EQ(fast.bytes, expected);
    }
}

TEST(LegacyMethods, ReduceDistanceBeforeTheStartReadsZeros)
{
    // Factor 4: high bits 15, low byte 255: 15 * 256 + 255 + 1 = 4096 back; length 2 + 3.
    ReduceWriter w;
    w.Plain({144, (15u << 4) | 2, 255, 'z'});
    Decoded fast = ExpectAgree(5, 0, w.bits.Bytes(), 6);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, Bytes({0, 0, 0, 0, 0, 'z'}));
}

TEST(LegacyMethods, ReduceFollowerSetsCodeBytesByTheByteBefore)
{
    // S(0) = {x}: one follower still takes one index bit. S(x) = {y, z, w}: two bits.
    ReduceWriter w({{0, BytesOf("x")}, {'x', BytesOf("yzw")}});
    w.bits.Put(0, 1); // by S(0): index 0 in one bit
    w.bits.Put(0, 1);
    w.bits.Put(0, 1); // by S(x): index 2 in two bits
    w.bits.Put(2, 2);
    w.bits.Put('q', 8); // S(w) is empty: 8 bits
    w.bits.Put('x', 8); // S(q) is empty
    w.bits.Put(1, 1);   // by S(x): not in the set, 8 bits follow
    w.bits.Put('k', 8);
    Decoded fast = ExpectAgree(2, 0, w.bits.Bytes(), 5);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, BytesOf("xwqxk"));
}

TEST(LegacyMethods, ReduceBadStreams)
{
    struct Case
    {
        const char* name;
        Bytes packed;
        uint64_t size;
        ReduceError error;
    };
    LsbBitWriter tooLarge;
    tooLarge.Put(33, 6); // S(255) with 33 bytes
    for (int i = 0; i < 33; ++i) {
        tooLarge.Put('a', 8);
    }
    ReduceWriter pastSet({{0, BytesOf("abc")}});
    pastSet.bits.Put(0, 1);
    pastSet.bits.Put(3, 2); // index 3 of a set of three
    ReduceWriter setsOnly;
    LsbBitWriter halfSets;
    for (int j = 0; j < 100; ++j) {
        halfSets.Put(0, 6);
    }
    const Case cases[] = {
        {"a follower set of 33 bytes", tooLarge.Bytes(), 1, ReduceError::FollowerSetTooLarge},
        {"an index past its set", pastSet.bits.Bytes(), 1, ReduceError::IndexPastSet},
        {"data ending after the sets", setsOnly.bits.Bytes(), 1, ReduceError::Truncated},
        {"data ending inside the sets", halfSets.Bytes(), 1, ReduceError::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Decoded fast = ExpectAgree(3, 0, c.packed, c.size);
        EXPECT_EQ(ReferenceUnreduce(c.packed, c.size, 2).error, c.error);
        EXPECT_EQ(fast.status, StatusOf(c.error));
    }
}

// ---- Implode, hand-built ----

// A code description: runs of (count, length).
void Describe(LsbBitWriter& w, std::initializer_list<std::pair<unsigned, unsigned>> runs)
{
    w.Put(static_cast<uint32_t>(runs.size() - 1), 8);
    for (auto [count, length] : runs) {
        w.Put(((count - 1) << 4) | (length - 1), 8);
    }
}

// 64 symbols of 6 bits. Equal lengths sort in symbol order; the last symbol gets the value 0
// and each earlier one 2^10 more, so symbol s has the value (63 - s) << 10: code 63 - s.
void DescribeSixBits(LsbBitWriter& w)
{
    Describe(w, {{16, 6}, {16, 6}, {16, 6}, {16, 6}});
}
void SixBitSymbol(LsbBitWriter& w, unsigned s)
{
    w.PutCode(63 - s, 6);
}
// 256 symbols of 8 bits, likewise: symbol s has code 255 - s.
void DescribeEightBits(LsbBitWriter& w)
{
    w.Put(15, 8);
    for (int i = 0; i < 16; ++i) {
        w.Put((15 << 4) | 7, 8);
    }
}

// A match with 6 low distance bits (4 KiB window) and six-bit codes.
void Match(LsbBitWriter& w, unsigned distance, unsigned lengthSymbol, unsigned lowBits = 6)
{
    const unsigned d = distance - 1;
    w.Put(0, 1);
    w.Put(d & ((1u << lowBits) - 1), lowBits);
    SixBitSymbol(w, d >> lowBits);
    SixBitSymbol(w, lengthSymbol);
}

TEST(LegacyMethods, ImplodeTwoCodesWithLiteralsAsBytes)
{
    LsbBitWriter w;
    DescribeSixBits(w); // lengths
    DescribeSixBits(w); // distances
    w.Put(1, 1);
    w.Put('a', 8);
    w.Put(1, 1);
    w.Put('b', 8);
    Match(w, 2, 2); // length 2 + 2
    Decoded fast = ExpectAgree(6, 0, w.Bytes(), 6);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, BytesOf("ababab"));
}

TEST(LegacyMethods, ImplodeEightKWindowTakesSevenLowBits)
{
    // Distance 129 (high 1, low 0): seven low bits with bit 1 set, six without.
    LsbBitWriter w;
    DescribeSixBits(w);
    DescribeSixBits(w);
    w.Put(1, 1);
    w.Put('a', 8);
    Match(w, 129, 1, 7); // 128 bytes before the start: zeros; length 1 + 2
    w.Put(1, 1);
    w.Put('b', 8);
    Decoded fast = ExpectAgree(6, 2, w.Bytes(), 5);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, Bytes({'a', 0, 0, 0, 'b'}));
}

TEST(LegacyMethods, ImplodeThreeCodesTakeMatchesFromThree)
{
    LsbBitWriter w;
    DescribeEightBits(w); // literals
    DescribeSixBits(w);   // lengths
    DescribeSixBits(w);   // distances
    w.Put(1, 1);
    w.PutCode(255 - 'a', 8);
    w.Put(1, 1);
    w.PutCode(255 - 'b', 8);
    Match(w, 1, 0); // length 0 + 3
    Decoded fast = ExpectAgree(6, 4, w.Bytes(), 5);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, BytesOf("abbbb"));
}

TEST(LegacyMethods, ImplodeLengthSymbol63AddsAByte)
{
    LsbBitWriter w;
    DescribeSixBits(w);
    DescribeSixBits(w);
    w.Put(1, 1);
    w.Put('a', 8);
    Match(w, 1, 63);
    w.Put(200, 8); // 63 + 2 + 200
    Decoded fast = ExpectAgree(6, 0, w.Bytes(), 266);
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, Bytes(266, 'a'));
}

TEST(LegacyMethods, ImplodeCodesFollowTheFormatsConstruction)
{
    // Lengths: symbol 0 one bit, 1-62 seven bits, 63 six bits (1/2 + 62/128 + 2/128 = 1).
    // Sorted: 0, 63, 1, ..., 62. From the back: symbol k (1-62) gets (62 - k) << 9, symbol
    // 63 then 62 << 9 (code 011111) and symbol 0 62 << 9 + 2^10 = 2^15 (code 1).
    LsbBitWriter w;
    Describe(w, {{1, 1}, {16, 7}, {16, 7}, {16, 7}, {14, 7}, {1, 6}});
    DescribeSixBits(w); // distances
    w.Put(1, 1);
    w.Put('a', 8);
    w.Put(1, 1);
    w.Put('b', 8);
    Bytes expected = BytesOf("ab");
    auto match = [&](unsigned code, unsigned bits, unsigned length) {
        w.Put(0, 1);
        w.Put(1, 6); // distance 2
        SixBitSymbol(w, 0);
        w.PutCode(code, bits);
        Copy(expected, 2, length);
    };
    match(1, 1, 2);         // symbol 0
    match(0x1F, 6, 63 + 2); // symbol 63, then a byte 0
    w.Put(0, 8);
    match(62 - 5, 7, 5 + 2);   // symbol 5
    match(62 - 62, 7, 62 + 2); // symbol 62
    Decoded fast = ExpectAgree(6, 0, w.Bytes(), expected.size());
    EXPECT_EQ(fast.status, DecodeStatus::Ok);
    EXPECT_EQ(fast.bytes, expected);
}

TEST(LegacyMethods, ImplodeBadStreams)
{
    struct Case
    {
        const char* name;
        std::function<void(LsbBitWriter&)> write;
        uint64_t size;
        ImplodeError error;
    };
    const Case cases[] = {
        {"80 lengths for 64 symbols",
         [](LsbBitWriter& w) {
             Describe(w, {{16, 6}, {16, 6}, {16, 6}, {16, 6}, {16, 6}});
         },
         1, ImplodeError::TooManyLengths},
        {"48 lengths for 64 symbols",
         [](LsbBitWriter& w) {
             Describe(w, {{16, 6}, {16, 6}, {16, 6}});
         },
         1, ImplodeError::TooFewLengths},
        {"64 codes of 5 bits",
         [](LsbBitWriter& w) {
             Describe(w, {{16, 5}, {16, 5}, {16, 5}, {16, 5}});
         },
         1, ImplodeError::OverSubscribed},
        {"64 codes of 7 bits",
         [](LsbBitWriter& w) {
             Describe(w, {{16, 7}, {16, 7}, {16, 7}, {16, 7}});
         },
         1, ImplodeError::Incomplete},
        {"a description cut short",
         [](LsbBitWriter& w) {
             w.Put(3, 8);
             w.Put(0xF5, 8);
         },
         1, ImplodeError::Truncated},
        {"data ending before the size",
         [](LsbBitWriter& w) {
             DescribeSixBits(w);
             DescribeSixBits(w);
             w.Put(1, 1);
             w.Put('a', 8);
         },
         3, ImplodeError::Truncated},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LsbBitWriter w;
        c.write(w);
        Decoded fast = ExpectAgree(6, 0, w.Bytes(), c.size);
        EXPECT_EQ(ReferenceExplode(w.Bytes(), c.size, 0).error, c.error);
        EXPECT_EQ(fast.status, StatusOf(c.error));
    }
}

// A decoder used for one member starts the next with zeros behind it, not the last one's
// bytes.
TEST(LegacyMethods, EachMemberStartsWithZerosBehindIt)
{
    const Bytes text = Text(20000, 9);
    const ImplodeOptions options{true, true, 32};
    ASSERT_EQ(Fast(6, ImplodeFlags(options), ImplodeEncode(text, options), text.size()).bytes,
              text);
    LsbBitWriter w;
    DescribeSixBits(w);
    DescribeSixBits(w);
    Match(w, 8192, 10, 7);
    ASSERT_EQ(Fast(6, 2, w.Bytes(), 12).bytes, Bytes(12, 0));

    ReduceOptions reduce;
    ASSERT_EQ(Fast(5, 0, ReduceEncode(text, reduce), text.size()).bytes, text);
    ReduceWriter r;
    r.Plain({144, (15u << 4) | 2, 255});
    ASSERT_EQ(Fast(5, 0, r.bits.Bytes(), 5).bytes, Bytes(5, 0));
}

// ---- Round trips ----

TEST(LegacyMethods, ShrinkRoundTrips)
{
    for (unsigned clearEvery : {0u, 1u, 7u, 300u}) {
        for (const auto& [name, data] : DataSets()) {
            // Every partial clear scans the whole table: frequent ones on small data only.
            if (clearEvery != 0 && clearEvery < 100 && data.size() > 10000) {
                continue;
            }
            SCOPED_TRACE(name + ", a partial clear every " + std::to_string(clearEvery));
            const Bytes packed = ShrinkEncode(data, {clearEvery});
            Decoded fast = ExpectAgree(1, 0, packed, data.size());
            EXPECT_EQ(fast.status, DecodeStatus::Ok);
            EXPECT_TRUE(fast.bytes == data);
        }
    }
}

TEST(LegacyMethods, ReduceRoundTrips)
{
    for (unsigned factor = 1; factor <= 4; ++factor) {
        for (unsigned followers : {32u, 1u, 2u, 5u, 0u}) {
            for (const auto& [name, data] : DataSets()) {
                SCOPED_TRACE(name + ", factor " + std::to_string(factor) + ", sets of " +
                             std::to_string(followers));
                const Bytes packed = ReduceEncode(data, {factor, followers});
                Decoded fast =
                    ExpectAgree(static_cast<uint16_t>(factor + 1), 0, packed, data.size());
                EXPECT_EQ(fast.status, DecodeStatus::Ok);
                EXPECT_TRUE(fast.bytes == data);
            }
        }
    }
}

TEST(LegacyMethods, ImplodeRoundTrips)
{
    for (bool bigWindow : {false, true}) {
        for (bool literalCode : {false, true}) {
            const ImplodeOptions options{bigWindow, literalCode, 32};
            for (const auto& [name, data] : DataSets()) {
                SCOPED_TRACE(name + (bigWindow ? ", 8 KiB" : ", 4 KiB") +
                             (literalCode ? ", three codes" : ", two codes"));
                const Bytes packed = ImplodeEncode(data, options);
                Decoded fast = ExpectAgree(6, ImplodeFlags(options), packed, data.size());
                EXPECT_EQ(fast.status, DecodeStatus::Ok);
                EXPECT_TRUE(fast.bytes == data);
            }
        }
    }
}

// Streams cut anywhere end as truncated in both decoders, and a tiny stream that declares a
// huge size ends as soon as its bytes do.
TEST(LegacyMethods, CutStreamsAreTruncated)
{
    const Bytes text = Text(5000, 11);
    const ImplodeOptions implode{true, true, 32};
    const std::pair<uint16_t, Bytes> streams[] = {
        {1, ShrinkEncode(text, {100})},
        {2, ReduceEncode(text, {1, 32})},
        {6, ImplodeEncode(text, implode)},
    };
    for (const auto& [method, packed] : streams) {
        SCOPED_TRACE(method);
        const uint16_t flags = method == 6 ? ImplodeFlags(implode) : 0;
        for (size_t cut : {size_t{1}, size_t{10}, packed.size() / 2, packed.size() - 1}) {
            const Bytes part(packed.begin(), packed.begin() + static_cast<ptrdiff_t>(cut));
            Decoded fast = ExpectAgree(method, flags, part, text.size());
            EXPECT_EQ(fast.status, DecodeStatus::Truncated) << cut;
        }
        class CountingSink final : public ByteSink
        {
        public:
            bool Write(const uint8_t*, size_t count) override
            {
                total += count;
                return true;
            }
            uint64_t total = 0;
        } counted;
        MemorySource source(packed.data(), 40);
        ZipDecodeJob job{&source, &counted, 40, uint64_t{1} << 40, method, flags};
        EXPECT_EQ(DecoderFor(method).Decode(job), DecodeStatus::Truncated);
        EXPECT_LT(counted.total, 1u << 20);
    }
}

TEST(LegacyMethods, RefusedOutputAndOtherMethods)
{
    class RefusingSink final : public ByteSink
    {
    public:
        bool Write(const uint8_t*, size_t) override { return false; }
    } refusing;
    const Bytes text = Text(200000, 12);
    const ImplodeOptions implode{false, false, 8};
    const std::pair<uint16_t, Bytes> streams[] = {
        {1, ShrinkEncode(text)},
        {4, ReduceEncode(text, {3, 32})},
        {6, ImplodeEncode(text, implode)},
    };
    for (const auto& [method, packed] : streams) {
        SCOPED_TRACE(method);
        MemorySource source(packed);
        ZipDecodeJob job{&source, &refusing, packed.size(), text.size(), method, 0};
        EXPECT_EQ(DecoderFor(method).Decode(job), DecodeStatus::OutputRefused);
        MemorySource again(packed);
        job.source = &again;
        job.method = 8;
        EXPECT_EQ(DecoderFor(method).Decode(job), DecodeStatus::Unsupported);
    }
}

// ---- Peers read what the test encoders make ----

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

struct PeerMember
{
    std::string name;
    Bytes data;
    uint16_t method;
    uint16_t flags;
    Bytes packed;
    bool partialClears; // a Shrink member whose table fills or that clears on purpose
};

std::vector<PeerMember> PeerMembers()
{
    std::vector<PeerMember> made;
    const Bytes text = Text(200000, 13);
    const Bytes shortText(text.begin(), text.begin() + 8000);
    const Bytes zerosThenText = [&] {
        Bytes b(9000 + 30000, 0);
        std::copy(text.begin(), text.begin() + 30000, b.begin() + 9000);
        return b;
    }();
    // The table of 7935 codes fills only past some 20 KB of this text.
    made.push_back({"shrunk-short", shortText, 1, 0, ShrinkEncode(shortText), false});
    for (unsigned clearEvery : {0u, 1u, 5u, 200u}) {
        const Bytes& data = clearEvery != 0 && clearEvery < 100 ? shortText : text;
        made.push_back({"shrunk" + std::to_string(clearEvery), data, 1, 0,
                        ShrinkEncode(data, {clearEvery}), true});
    }
    const Bytes noise = Noise(100000, 14);
    made.push_back({"shrunk-noise", noise, 1, 0, ShrinkEncode(noise), true});
    for (bool bigWindow : {false, true}) {
        for (bool literalCode : {false, true}) {
            const ImplodeOptions options{bigWindow, literalCode, 32};
            for (const Bytes* data : {&text, &zerosThenText}) {
                made.push_back({"imploded" + std::to_string(made.size()), *data, 6,
                                ImplodeFlags(options), ImplodeEncode(*data, options), false});
            }
        }
    }
    return made;
}

// unzip and 7-Zip's 7zz read the Shrink and Implode members of an archive the test encoders
// made. UnZip 6.00 is left out for Shrink members with partial clears: it reads some such
// streams wrong (PKZIP 1.10 makes them too), where 7zz and PKZIP agree with this reader.
TEST(LegacyMethods, PeersReadShrunkAndImplodedMembers)
{
    const bool unzip = Have("/usr/bin/unzip");
    const bool sevenZip = Have("/usr/bin/7zz");
    if (!unzip && !sevenZip) {
        GTEST_SKIP() << "neither unzip nor 7zz is installed (apt-get install unzip 7zip)";
    }
    const std::vector<PeerMember> made = PeerMembers();
    std::vector<ZipMember> members;
    for (const PeerMember& m : made) {
        ZipMember z;
        z.name = m.name;
        z.data.assign(m.packed.begin(), m.packed.end());
        z.method = m.method;
        z.flags = m.flags;
        z.crc = Crc32(0, m.data.data(), m.data.size());
        z.unpackedSize = static_cast<uint32_t>(m.data.size());
        members.push_back(z);
    }
    TempFolder tmp;
    tmp.WriteHostFile("legacy.zip", BuildZip(members));
    const std::string archive = tmp.HostPath("legacy.zip");
    for (const PeerMember& m : made) {
        SCOPED_TRACE(m.name);
        std::vector<std::string> commands;
        if (unzip && !m.partialClears) {
            commands.push_back("/usr/bin/unzip -p '" + archive + "' '" + m.name + "'");
        }
        if (sevenZip) {
            commands.push_back("/usr/bin/7zz e -so '" + archive + "' '" + m.name + "'");
        }
        for (const std::string& command : commands) {
            SCOPED_TRACE(command);
            const std::string out = tmp.HostPath(m.name + ".out");
            EXPECT_EQ(std::system((command + " > '" + out + "' 2>/dev/null").c_str()), 0);
            const std::string got = ReadHostFile(out);
            EXPECT_TRUE(Bytes(got.begin(), got.end()) == m.data);
        }
    }
}

} // namespace
