// Inflate against the reference inflater and zlib's raw deflate streams, the deflate64
// members of the shared corpus, and hand-made streams for the rules around RFC 1951.
#include "zip/Inflate.h"
#include "tests/support/EachFold.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceInflate.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "zip/Crc32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <unistd.h>

using namespace testsupport;

namespace
{

// Bits least significant first, as Deflate packs them.
class LsbWriter
{
public:
    void Put(uint32_t value, unsigned width)
    {
        for (unsigned i = 0; i < width; ++i) {
            if (m_bits % 8 == 0) {
                bytes.push_back(0);
            }
            bytes.back() =
                static_cast<uint8_t>(bytes.back() | (((value >> i) & 1) << (m_bits % 8)));
            ++m_bits;
        }
    }
    // A Huffman code, most significant bit first.
    void PutCode(uint32_t code, unsigned length)
    {
        for (unsigned i = length; i-- > 0;) {
            Put((code >> i) & 1, 1);
        }
    }
    std::vector<uint8_t> bytes;

private:
    size_t m_bits = 0;
};

struct Result
{
    InflateStatus status;
    std::vector<uint8_t> bytes;
    uint32_t crc;
};

Result Fast(const std::vector<uint8_t>& input, bool enhanced)
{
    static CInflater inflater;
    MemorySource source(input);
    VectorSink sink;
    InflateStatus s = inflater.Inflate(source, &sink, enhanced);
    return {s, sink.bytes, inflater.crc};
}

void ExpectAgree(const std::vector<uint8_t>& input, bool enhanced)
{
    Result fast = Fast(input, enhanced);
    ReferenceInflateResult ref = ReferenceInflate(input, enhanced);
    ASSERT_EQ(static_cast<int>(fast.status), ref.status)
        << "reference: " << testsupport::ReferenceInflateRuleName(ref.rule);
    if (ref.status == 0) {
        EXPECT_TRUE(fast.bytes == ref.output);
        EXPECT_EQ(fast.crc, Crc32(0, ref.output.data(), ref.output.size()));
    }
}

// Raw deflate (no zlib header) by the zlib of /usr/bin/python3.
std::vector<uint8_t> ZlibDeflate(const std::vector<uint8_t>& data, int level,
                                 const std::string& where)
{
    std::string in = where + "/in.bin", out = where + "/out.bin";
    FILE* f = std::fopen(in.c_str(), "wb");
    std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
    std::string command = "/usr/bin/python3 -c \"import zlib,sys; c=zlib.compressobj(" +
                          std::to_string(level) +
                          ", zlib.DEFLATED, -15); d=open(sys.argv[1],'rb').read(); "
                          "open(sys.argv[2],'wb').write(c.compress(d)+c.flush())\" " +
                          in + " " + out;
    EXPECT_EQ(std::system(command.c_str()), 0);
    std::string bytes = ReadHostFile(out);
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

TEST(Crc32, CheckValueAndSlices)
{
    EXPECT_EQ(Crc32(0, "123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32(Crc32(0, "12345", 5), "6789", 4), 0xCBF43926u);
    EXPECT_EQ(Crc32(0x1234, nullptr, 5), 0u);
    std::string text(1000, 'x');
    uint32_t byteByByte = 0;
    for (char c : text) {
        byteByByte = Crc32(byteByByte, &c, 1);
    }
    EXPECT_EQ(Crc32(0, text.data(), text.size()), byteByByte);

    // Every length and alignment around the folded blocks (64 bytes and more, in steps of
    // 16, or 256 at a time in the wide fold) agrees with a bit-by-bit CRC.
    std::mt19937 rng(9);
    std::vector<uint8_t> data(1100);
    for (auto& b : data) {
        b = static_cast<uint8_t>(rng());
    }
    testsupport::WithEachFold([&] {
        for (size_t offset = 0; offset < 16; offset += 5) {
            for (size_t length = 0; length + offset <= data.size();
                 length += length < 600 ? 1 : 37) {
                uint32_t reg = 0xFFFFFFFFu;
                for (size_t i = 0; i < length; ++i) {
                    reg ^= data[offset + i];
                    for (int k = 0; k < 8; ++k) {
                        reg = (reg & 1) ? (reg >> 1) ^ 0xEDB88320u : reg >> 1;
                    }
                }
                ASSERT_EQ(Crc32(0, data.data() + offset, length), ~reg) << offset << " " << length;
            }
        }
        // A running value carries over between pieces of any size.
        EXPECT_EQ(Crc32(Crc32(0, data.data(), 100), data.data() + 100, 1000),
                  Crc32(0, data.data(), 1100));
    });
}

TEST(Inflate, ZlibStreamsOfEveryLevel)
{
    if (access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "no /usr/bin/python3";
    }
    TempFolder tmp;
    std::mt19937 rng(2);
    std::vector<uint8_t> text, noise(300000), runs;
    for (int i = 0; text.size() < 1500000; ++i) {
        std::string line = "line " + std::to_string(i % 5000) + " of the inflate test\n";
        text.insert(text.end(), line.begin(), line.end());
    }
    for (auto& b : noise) {
        b = static_cast<uint8_t>(rng());
    }
    for (int i = 0; i < 200; ++i) {
        runs.insert(runs.end(), static_cast<size_t>(rng() % 1000), static_cast<uint8_t>(i));
    }
    for (const auto* data : {&text, &noise, &runs}) {
        for (int level : {0, 1, 6, 9}) {
            SCOPED_TRACE(level);
            auto packed = ZlibDeflate(*data, level, tmp.Host());
            Result r = Fast(packed, false);
            ASSERT_EQ(r.status, kInflateOk);
            EXPECT_TRUE(r.bytes == *data);
            EXPECT_EQ(r.crc, Crc32(0, data->data(), data->size()));
            if (data->size() < 400000) {
                ExpectAgree(packed, false);
            }
        }
    }
}

TEST(Inflate, InputInPiecesDecodesAsAWhole)
{
    // Every position of the fast loop's input margin meets the end of a piece.
    if (access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "no /usr/bin/python3";
    }
    TempFolder tmp;
    std::mt19937 rng(4);
    std::vector<uint8_t> data;
    for (int i = 0; data.size() < 400000; ++i) {
        std::string line = "piece " + std::to_string(rng() % 3000) + " of the input\n";
        data.insert(data.end(), line.begin(), line.end());
        data.push_back(static_cast<uint8_t>(rng()));
    }
    for (int level : {1, 6, 9}) {
        SCOPED_TRACE(level);
        auto packed = ZlibDeflate(data, level, tmp.Host());
        CInflater inflater;
        PieceSource source(packed);
        VectorSink sink;
        ASSERT_EQ(inflater.Inflate(source, &sink, false), kInflateOk);
        EXPECT_TRUE(sink.bytes == data);
    }
}

TEST(Inflate, Deflate64MembersOfTheCorpus)
{
    // Each archive's first local header: method 9, sizes and CRC in the header.
    const std::string root = CorpusDir() + "/zip/commons-compress/";
    for (const char* name : {"lorem-ipsum-deflate64.zip", "COMPRESS-380/COMPRESS-380.zip",
                             "COMPRESS-380/COMPRESS-380-readbeyondmemory.zip"}) {
        SCOPED_TRACE(name);
        std::string zip = ReadHostFile(root + name);
        ASSERT_GE(zip.size(), 30u) << "the shared corpus is missing";
        auto u16 = [&](size_t at) {
            return static_cast<uint8_t>(zip[at]) | (static_cast<uint8_t>(zip[at + 1]) << 8);
        };
        auto u32 = [&](size_t at) {
            return static_cast<uint32_t>(u16(at)) | (static_cast<uint32_t>(u16(at + 2)) << 16);
        };
        ASSERT_EQ(u16(8), 9);
        size_t data = 30 + u16(26) + u16(28);
        std::vector<uint8_t> packed(zip.begin() + static_cast<long>(data),
                                    zip.begin() + static_cast<long>(data + u32(18)));
        Result r = Fast(packed, true);
        EXPECT_EQ(r.status, kInflateOk);
        EXPECT_EQ(r.bytes.size(), u32(22));
        EXPECT_EQ(r.crc, u32(14));
        ExpectAgree(packed, true);
    }
}

TEST(Inflate, StoredAndBadBlocks)
{
    LsbWriter empty;
    empty.Put(1, 1), empty.Put(0, 2), empty.Put(0, 5), empty.Put(0, 16), empty.Put(0xFFFF, 16);
    Result r = Fast(empty.bytes, false);
    EXPECT_EQ(r.status, kInflateOk);
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_EQ(r.crc, 0u);

    LsbWriter stored;
    stored.Put(1, 1), stored.Put(0, 2), stored.Put(0, 5), stored.Put(3, 16), stored.Put(0xFFFC, 16);
    stored.Put('a', 8), stored.Put('b', 8), stored.Put('c', 8);
    EXPECT_EQ(Fast(stored.bytes, false).bytes, (std::vector<uint8_t>{'a', 'b', 'c'}));
    stored.bytes[3] ^= 1; // the complement no longer matches
    EXPECT_EQ(Fast(stored.bytes, false).status, kInflateInvalid);

    LsbWriter type3;
    type3.Put(1, 1), type3.Put(3, 2);
    EXPECT_EQ(Fast(type3.bytes, false).status, kInflateBadBlock);
    ExpectAgree(type3.bytes, false);

    for (uint32_t hlit : {30u, 31u}) {
        LsbWriter many;
        many.Put(1, 1), many.Put(2, 2), many.Put(hlit, 5), many.Put(0, 5), many.Put(0, 4);
        EXPECT_EQ(Fast(many.bytes, false).status, kInflateInvalid);
    }
}

namespace
{

// What follows a dynamic block's header: a literal/length code, a distance code, or raw
// extra bits (value, width).
struct Item
{
    enum Kind
    {
        Literal,
        Distance,
        Raw
    } kind;
    unsigned value;
    unsigned width = 0;
};

// A final dynamic block with the given code lengths and items. The code-length code gives
// symbols 0-15 four bits each (a complete code); with firstRepeat, 15 and 16 take five
// and the lengths open with a repeat code 16.

std::vector<uint8_t> DynamicBlock(const std::vector<unsigned>& literalLengths,
                                  const std::vector<unsigned>& distanceLengths,
                                  const std::vector<Item>& items, bool firstRepeat = false)
{
    LsbWriter w;
    w.Put(1, 1), w.Put(2, 2);
    w.Put(static_cast<uint32_t>(literalLengths.size() - 257), 5);
    w.Put(static_cast<uint32_t>(distanceLengths.size() - 1), 5);
    w.Put(19 - 4, 4);
    static const unsigned order[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                       11, 4,  12, 3, 13, 2, 14, 1, 15};
    unsigned codeLengths[19] = {};
    for (unsigned s = 0; s < 16; ++s) {
        codeLengths[s] = 4;
    }
    if (firstRepeat) {
        codeLengths[15] = 5; // make room for 16 at length 5
        codeLengths[16] = 5;
    }
    for (unsigned i = 0; i < 19; ++i) {
        w.Put(codeLengths[order[i]], 3);
    }
    // Canonical codes of the code-length code.
    std::vector<unsigned> cl(codeLengths, codeLengths + 19);
    auto codes = [](const std::vector<unsigned>& lengths) {
        std::vector<uint32_t> c(lengths.size());
        uint32_t code = 0;
        for (unsigned len = 1; len <= 15; ++len) {
            for (size_t s = 0; s < lengths.size(); ++s) {
                if (lengths[s] == len) {
                    c[s] = code++;
                }
            }
            code <<= 1;
        }
        return c;
    };
    auto clCodes = codes(cl);
    if (firstRepeat) {
        w.PutCode(clCodes[16], 5), w.Put(0, 2); // three copies of the "previous" length 0
    }
    std::vector<unsigned> all(literalLengths);
    all.insert(all.end(), distanceLengths.begin(), distanceLengths.end());
    for (size_t i = firstRepeat ? 3 : 0; i < all.size(); ++i) {
        w.PutCode(clCodes[all[i]], cl[all[i]]);
    }
    auto litCodes = codes(literalLengths);
    auto distCodes = codes(distanceLengths);
    for (const Item& item : items) {
        if (item.kind == Item::Distance) {
            w.PutCode(distCodes[item.value], distanceLengths[item.value]);
        } else if (item.kind == Item::Literal) {
            w.PutCode(litCodes[item.value], literalLengths[item.value]);
        } else {
            w.Put(item.value, item.width);
        }
    }
    return w.bytes;
}

} // namespace

TEST(Inflate, DynamicBlockRules)
{
    // Literals only: 257 codes ('x' and end of block, 1 bit each) and no distance lengths.
    std::vector<unsigned> lit(257, 0);
    lit['x'] = 1, lit[256] = 1;
    auto stream =
        DynamicBlock(lit, {0}, {{Item::Literal, 'x'}, {Item::Literal, 'x'}, {Item::Literal, 256}});
    Result r = Fast(stream, false);
    EXPECT_EQ(r.status, kInflateOk);
    EXPECT_EQ(r.bytes, (std::vector<uint8_t>{'x', 'x'}));
    ExpectAgree(stream, false);
    // The same without distances but 258 literal/length codes: invalid.
    std::vector<unsigned> lit258 = lit;
    lit258.push_back(0);
    EXPECT_EQ(Fast(DynamicBlock(lit258, {0}, {{Item::Literal, 256}}), false).status,
              kInflateInvalid);

    // One distance code of length 1 is accepted: 'y', then a match of 258 at distance 1.
    std::vector<unsigned> match(286, 0);
    match['y'] = 2, match[256] = 2, match[285] = 1;
    auto repeat = DynamicBlock(
        match, {1},
        {{Item::Literal, 'y'}, {Item::Literal, 285}, {Item::Distance, 0}, {Item::Literal, 256}});
    r = Fast(repeat, false);
    EXPECT_EQ(r.status, kInflateOk);
    EXPECT_EQ(r.bytes, std::vector<uint8_t>(259, 'y'));
    ExpectAgree(repeat, false);

    // A leading repeat code 16 repeats length 0.
    auto leading = DynamicBlock(lit, {0}, {{Item::Literal, 'x'}, {Item::Literal, 256}}, true);
    EXPECT_EQ(Fast(leading, false).bytes, std::vector<uint8_t>{'x'});
    ExpectAgree(leading, false);
}

TEST(Inflate, EnhancedLengthsAndLongDistances)
{
    // 'z', a length-258 symbol, then (enhanced) 16 bits giving length 997 + 3, distance 1;
    // then a match reaching 49153 + 16383 = 65536 back (zeros before the member's start).
    std::vector<unsigned> lit(286, 0);
    lit['z'] = 2, lit[256] = 2, lit[285] = 1;
    std::vector<unsigned> dist(32, 0);
    dist[0] = 1, dist[31] = 1;
    auto stream = DynamicBlock(lit, dist,
                               {{Item::Literal, 'z'},
                                {Item::Literal, 285},
                                {Item::Raw, 997, 16},
                                {Item::Distance, 0},
                                {Item::Literal, 285},
                                {Item::Raw, 0, 16},
                                {Item::Distance, 31},
                                {Item::Raw, 16383, 14},
                                {Item::Literal, 256}});
    Result enhanced = Fast(stream, true);
    ASSERT_EQ(enhanced.status, kInflateOk);
    ASSERT_EQ(enhanced.bytes.size(), 1u + 1000u + 3u);
    EXPECT_EQ(enhanced.bytes[1000], 'z');
    EXPECT_EQ(enhanced.bytes[1001], 0); // from before the first byte: zeros
    ExpectAgree(stream, true);
    // Read as plain Deflate the 16 bits are not a length: the stream decodes otherwise.
    ExpectAgree(stream, false);
}

namespace
{

// "ab", symbol 284 with its five extra bits all ones (258 bytes at distance 2), 'c', then
// symbol 285 with the 16-bit value 5 (enhanced: 8 bytes at distance 1), end of block.
std::vector<uint8_t> Length284Stream()
{
    std::vector<unsigned> lit(286, 0);
    lit['a'] = 3, lit['b'] = 3, lit['c'] = 3, lit[256] = 3, lit[284] = 2, lit[285] = 2;
    std::vector<unsigned> dist(2, 1); // distances 1 and 2
    return DynamicBlock(lit, dist,
                        {{Item::Literal, 'a'},
                         {Item::Literal, 'b'},
                         {Item::Literal, 284},
                         {Item::Raw, 31, 5},
                         {Item::Distance, 1},
                         {Item::Literal, 'c'},
                         {Item::Literal, 285},
                         {Item::Raw, 5, 16},
                         {Item::Distance, 0},
                         {Item::Literal, 256}});
}

std::vector<uint8_t> Length284Expected()
{
    std::vector<uint8_t> out;
    for (int i = 0; i < 260; ++i) {
        out.push_back(i % 2 == 0 ? 'a' : 'b');
    }
    out.insert(out.end(), 9, 'c');
    return out;
}

} // namespace

TEST(Inflate, EnhancedLength284WithAllOnesIs258)
{
    // Only symbol 285 carries the 16-bit length; a 284 that comes to 258 is just 258.
    auto stream = Length284Stream();
    Result r = Fast(stream, true);
    ASSERT_EQ(r.status, kInflateOk);
    EXPECT_EQ(r.bytes, Length284Expected());
    ExpectAgree(stream, true);
    // Plain Deflate: 284 with extra 31 is 258 as well, and 285 is 258 without extra bits,
    // so the 16 raw bits are read as codes and the stream decodes to something else.
    EXPECT_NE(Fast(stream, false).bytes, Length284Expected());
    ExpectAgree(stream, false);
}

TEST(Inflate, EnhancedLength284AgreesWith7zz)
{
    if (access("/usr/bin/7zz", X_OK) != 0) {
        GTEST_SKIP() << "7zz is not installed (apt-get install 7zip)";
    }
    auto stream = Length284Stream();
    auto expected = Length284Expected();
    std::string content(expected.begin(), expected.end());
    ZipMember m;
    m.name = "d64.bin";
    m.data.assign(stream.begin(), stream.end());
    m.method = 9;
    m.crc = Crc32Of(content);
    m.unpackedSize = static_cast<uint32_t>(content.size());
    TempFolder tmp;
    tmp.WriteHostFile("d64.zip", BuildZip({m}));
    std::string command = "cd '" + tmp.Host() + "' && /usr/bin/7zz x -y -oout d64.zip >/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadHostFile(tmp.HostPath("out/d64.bin")), content);
    EXPECT_EQ(Fast(stream, true).bytes, expected);
}

TEST(Inflate, EveryMemberStartsFromZerosHoweverFarItReaches)
{
    // A first member that leaves its output in the history (more than a chunk), then one
    // whose match reaches 40000 bytes before its first byte.
    CInflater inflater;
    std::string q = DeflateStoredBlocks(std::string(600000, 'Q'));
    std::vector<uint8_t> first(q.begin(), q.end());
    MemorySource firstSource(first);
    ASSERT_EQ(inflater.Inflate(firstSource, nullptr, false), kInflateOk);

    std::vector<unsigned> lit(258, 0);
    lit['a'] = 2, lit[256] = 2, lit[257] = 1; // 257: length 3
    std::vector<unsigned> dist(31, 0);
    dist[0] = 1, dist[30] = 1; // 30: base 32769, 14 extra bits
    auto stream = DynamicBlock(lit, dist,
                               {{Item::Literal, 'a'},
                                {Item::Literal, 257},
                                {Item::Distance, 30},
                                {Item::Raw, 40000 - 32769, 14},
                                {Item::Literal, 256}});
    MemorySource source(stream);
    VectorSink sink;
    ASSERT_EQ(inflater.Inflate(source, &sink, false), kInflateOk);
    EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{'a', 0, 0, 0}));
    ExpectAgree(stream, false);
}

TEST(Inflate, RandomStreamsAgreeWithReference)
{
    std::mt19937 rng(9);
    for (int i = 0; i < 3000; ++i) {
        std::vector<uint8_t> input(rng() % 64);
        for (auto& b : input) {
            b = static_cast<uint8_t>(rng());
        }
        ExpectAgree(input, i % 2 == 0);
    }
}
