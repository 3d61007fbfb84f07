// The fast decoder against the reference decoder and against hand-made streams: single-symbol
// codes, wrapping block counts, overshooting matches, the initial dictionary of spaces,
// long codes through the sub-tables, and every invalid code-length set; the "-lh4-" and
// "-lhx-" members of the shared corpus.
#include "lzh/Crc16.h"
#include "lzh/LzhArchive.h"
#include "lzh/LzhCodec.h"
#include "lzh/LzhDecoder.h"
#include "lzh/LzhEncoder.h"
#include "lzh/LzhMethods.h"
#include "platform/File.h"
#include "tests/support/BitWriter.h"
#include "tests/support/LzhManifest.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/MethodDecoderRun.h"
#include "tests/support/ReferenceLzhDecoder.h"
#include "tests/support/Sha256.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>

using testsupport::BitWriter;
using testsupport::MemorySource;
using testsupport::PieceSource;
using testsupport::ReferenceLzhDecode;
using testsupport::VectorSink;

namespace
{

using testsupport::Decoded;

// One decoder per dictionary, kept from case to case as the program keeps them.
CLzhDecoder& DecoderFor(int dictBits)
{
    static std::map<int, std::unique_ptr<CLzhDecoder>> decoders;
    auto& decoder = decoders[dictBits];
    if (decoder == nullptr) {
        decoder = std::make_unique<CLzhDecoder>(dictBits);
    }
    return *decoder;
}

Decoded Fast(const std::vector<uint8_t>& packed, uint32_t size, int dictBits)
{
    return testsupport::DecodeMember(DecoderFor(dictBits), packed, size);
}

void ExpectSameAsReference(const std::vector<uint8_t>& packed, uint32_t size, int dictBits)
{
    Decoded fast = Fast(packed, size, dictBits);
    auto ref = ReferenceLzhDecode(packed, size, dictBits);
    ASSERT_EQ(fast.ok, ref.ok) << "reference: " << testsupport::ReferenceLzhRuleName(ref.rule);
    if (ref.rule == testsupport::ReferenceLzhRule::DataEnded) {
        EXPECT_EQ(fast.result.status, DecodeStatus::Truncated);
    }
    EXPECT_EQ(fast.crc, ref.crc);
    if (ref.ok) {
        EXPECT_EQ(fast.bytes, ref.output);
    }
}

// Canonical codes of a length set: code[k] has lengths[k] bits.
std::vector<uint32_t> Codes(const std::vector<int>& lengths)
{
    std::vector<uint32_t> codes(lengths.size());
    uint32_t code = 0;
    for (int len = 1; len <= 16; ++len) {
        for (size_t k = 0; k < lengths.size(); ++k) {
            if (lengths[k] == len) {
                codes[k] = code++;
            }
        }
        code <<= 1;
    }
    return codes;
}

void PutLength3(BitWriter& w, int c)
{
    if (c < 7) {
        w.Put(static_cast<uint32_t>(c), 3);
        return;
    }
    w.Put(7, 3);
    for (int i = 7; i < c; ++i) {
        w.Put(1, 1);
    }
    if (c < 20) {
        w.Put(0, 1);
    }
}

// A complete pre-tree over all 19 symbols: 13 of length 4, 6 of length 5.
const std::vector<int> kPreTree = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};

struct Block
{
    uint16_t count;
    std::map<int, int> literals;  // symbol -> code length
    std::map<int, int> positions; // position symbol -> code length
    int positionAlphabet = 14;
    unsigned positionWidth = 4;
};

void PutHeader(BitWriter& w, const Block& b)
{
    w.Put(b.count, 16);
    w.Put(19, 5);
    for (int i = 0; i < 19; ++i) {
        PutLength3(w, kPreTree[static_cast<size_t>(i)]);
        if (i == 2) {
            w.Put(0, 2); // no zero run after the third length
        }
    }
    auto pre = Codes(kPreTree);
    w.Put(510, 9);
    for (int s = 0; s < 510; ++s) {
        int len = b.literals.count(s) ? b.literals.at(s) : 0;
        int t = len == 0 ? 0 : len + 2;
        w.Put(pre[static_cast<size_t>(t)], static_cast<unsigned>(kPreTree[static_cast<size_t>(t)]));
    }
    w.Put(static_cast<uint32_t>(b.positionAlphabet), b.positionWidth);
    for (int j = 0; j < b.positionAlphabet; ++j) {
        PutLength3(w, b.positions.count(j) ? b.positions.at(j) : 0);
    }
}

std::vector<int> Lengths(const std::map<int, int>& m, int n)
{
    std::vector<int> v(static_cast<size_t>(n), 0);
    for (auto [s, l] : m) {
        v[static_cast<size_t>(s)] = l;
    }
    return v;
}

// Literals 'a'..'p' with lengths 1..16 and the longest match with 16: codes of every length.
// Positions likewise, up to 17 symbols; the 20 of a 512 KB dictionary end in 15 and 16 x 6.
Block DeepBlock(uint16_t count, int positionAlphabet, unsigned width)
{
    Block b{count, {}, {}, positionAlphabet, width};
    for (int i = 0; i < 16; ++i) {
        b.literals['a' + i] = i + 1;
    }
    b.literals[509] = 16;
    for (int j = 0; j < positionAlphabet; ++j) {
        if (positionAlphabet <= 17) {
            b.positions[j] = j + 1 < positionAlphabet ? j + 1 : j;
        } else {
            b.positions[j] = j < 13 ? j + 1 : (j == 13 ? 15 : 16);
        }
    }
    return b;
}

} // namespace

namespace
{

// A block header whose three codes are single symbols: its symbols take no bits at all.
void PutSingleSymbolBlock(BitWriter& w, uint32_t count, uint32_t literal)
{
    w.Put(count, 16);
    w.Put(0, 5), w.Put(3, 5); // pre-tree: single symbol
    w.Put(0, 9), w.Put(literal, 9);
    w.Put(0, 4), w.Put(0, 4); // positions: single symbol 0
}

} // namespace

TEST(LzhDecoder, SingleSymbolCodesUseNoBitsAndBlockCountZeroIs65536)
{
    BitWriter w;
    PutSingleSymbolBlock(w, 0, 'Z'); // count 0: a full block of 65536 symbols
    PutSingleSymbolBlock(w, 1, 'Y');
    Decoded d = Fast(w.Bytes(), 65537, 13);
    ASSERT_TRUE(d.ok);
    std::vector<uint8_t> expected(65536, 'Z');
    expected.push_back('Y');
    EXPECT_EQ(d.bytes, expected);
    EXPECT_EQ(d.crc, Crc16Update(0, expected.data(), 65537));
    ExpectSameAsReference(w.Bytes(), 65537, 13);
}

TEST(LzhDecoder, EveryMemberStartsFromSpacesHoweverFarALaterBlockReaches)
{
    // A first member that leaves its output in the history (more than a chunk), then one
    // whose first block reaches one byte back and whose second block reaches 4096 + 1.
    CLzhDecoder decoder(13);
    BitWriter zs;
    for (int i = 0; i < 10; ++i) {
        PutSingleSymbolBlock(zs, 65535, 'Z');
    }
    MemorySource first(zs.Bytes());
    ASSERT_EQ(decoder.Decode({&first, nullptr, zs.Bytes().size(), 655350}).status,
              DecodeStatus::Ok);

    BitWriter w;
    PutSingleSymbolBlock(w, 1, 'q');
    w.Put(1, 16);
    w.Put(0, 5), w.Put(3, 5);   // pre-tree: single symbol
    w.Put(0, 9), w.Put(256, 9); // literals: single symbol, a match of 3
    w.Put(0, 4), w.Put(13, 4);  // positions: single symbol 13, 12 extra bits
    w.Put(0, 12);               // position value 4096: distance 4097
    MemorySource second(w.Bytes());
    VectorSink sink;
    ASSERT_EQ(decoder.Decode({&second, &sink, w.Bytes().size(), 4}).status, DecodeStatus::Ok);
    EXPECT_EQ(sink.bytes, (std::vector<uint8_t>{'q', ' ', ' ', ' '}));
    ExpectSameAsReference(w.Bytes(), 4, 13);
}

TEST(LzhDecoder, AtMostTheBoundIsReadPastTheData)
{
    // Literals 'a' (code 0) and 'b' (code 1): the data end with 'b's on a byte boundary, and
    // the zero bits past the data decode as 'a', one per bit.
    Block b{60000, {{'a', 1}, {'b', 1}}, {{0, 1}, {1, 1}}, 14, 4};
    BitWriter w;
    PutHeader(w, b);
    const size_t header = w.BitCount();
    do {
        w.Put(1, 1);
    } while (w.BitCount() % 8 != 0);
    const auto inData = static_cast<uint32_t>(w.BitCount() - header);
    const auto bound = static_cast<uint32_t>(CLzhDecoder::kMaxOverrunBits);
    Decoded d = Fast(w.Bytes(), inData + bound, 13);
    ASSERT_TRUE(d.ok);
    std::vector<uint8_t> expected(inData, 'b');
    expected.insert(expected.end(), bound, 'a');
    EXPECT_EQ(d.bytes, expected);
    ExpectSameAsReference(w.Bytes(), inData + bound, 13);
    EXPECT_EQ(Fast(w.Bytes(), inData + bound + 1, 13).result.status, DecodeStatus::Truncated);
    ExpectSameAsReference(w.Bytes(), inData + bound + 1, 13);
}

TEST(LzhDecoder, ZeroBytesClaimingFourGigabytesFailFast)
{
    // 64 zero bytes read as full blocks (count 0) of single-symbol NULs, each header 52 bits:
    // the 512 bits hold nine headers, the bound of 64 zero bits past them two more, and the
    // twelfth block cannot be read. Without the bound this member tested as good after
    // producing 4 GiB of NULs.
    std::vector<uint8_t> zeros(64, 0);
    const uint32_t admitted = 11 * 65536;
    Decoded d = Fast(zeros, admitted, 13);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>(admitted, 0));
    EXPECT_EQ(Fast(zeros, admitted + 1, 13).result.status, DecodeStatus::Truncated);
    ExpectSameAsReference(zeros, admitted + 1, 13);

    // Claiming 4 GiB changes nothing: the work done is what the bytes admit.
    Decoded big = Fast(zeros, 0xFFFFFFFFu, 13);
    EXPECT_EQ(big.result.status, DecodeStatus::Truncated);
    EXPECT_LE(big.result.produced, admitted);
    EXPECT_LE(big.bytes.size(), admitted);
}

TEST(LzhDecoder, MatchesBeforeTheFirstByteReadSpacesAndTheLastIsCutAtTheSize)
{
    BitWriter w;
    w.Put(100, 16);
    w.Put(0, 5), w.Put(0, 5);
    w.Put(0, 9), w.Put(509, 9); // every symbol is a 256-byte match
    w.Put(0, 5), w.Put(16, 5);  // position 16: distance 2^15 + extra + 1
    for (int i = 0; i < 4; ++i) {
        w.Put(0x7FFF, 15); // distance 65536: the whole dictionary back
    }
    Decoded d = Fast(w.Bytes(), 1000, 16);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>(1000, ' ')); // four matches, the last cut
    EXPECT_EQ(d.crc, Crc16Update(0, d.bytes.data(), 1000));
    ExpectSameAsReference(w.Bytes(), 1000, 16);
}

TEST(LzhDecoder, LongCodesOfEveryLengthAgreeWithReference)
{
    for (int dictBits : {12, 13, 15, 16, 19}) {
        SCOPED_TRACE(dictBits);
        int alphabet = dictBits <= 13 ? 14 : dictBits + 1;
        unsigned width = dictBits <= 13 ? 4 : 5;
        std::mt19937 rng(static_cast<unsigned>(dictBits));
        BitWriter w;
        uint32_t produced = 0;
        for (int blockNo = 0; blockNo < 3; ++blockNo) {
            Block b = DeepBlock(3000, alphabet, width);
            PutHeader(w, b);
            auto lit = Codes(Lengths(b.literals, 510));
            auto litLen = Lengths(b.literals, 510);
            auto pos = Codes(Lengths(b.positions, alphabet));
            auto posLen = Lengths(b.positions, alphabet);
            for (int i = 0; i < b.count; ++i) {
                int symbols[] = {'a', 'b', 'c', 'd', 'p', 'o', 509};
                int s = symbols[rng() % 7];
                w.Put(lit[static_cast<size_t>(s)],
                      static_cast<unsigned>(litLen[static_cast<size_t>(s)]));
                if (s < 256) {
                    ++produced;
                    continue;
                }
                int j = static_cast<int>(rng() % static_cast<unsigned>(alphabet));
                w.Put(pos[static_cast<size_t>(j)],
                      static_cast<unsigned>(posLen[static_cast<size_t>(j)]));
                if (j > 1) {
                    w.Put(rng(), static_cast<unsigned>(j - 1));
                }
                produced += 256;
            }
        }
        ExpectSameAsReference(w.Bytes(), produced, dictBits);
        Decoded d = Fast(w.Bytes(), produced, dictBits);
        EXPECT_TRUE(d.ok);
        EXPECT_EQ(d.bytes.size(), produced);
    }
}

TEST(LzhDecoder, InvalidCodeLengthSetsFailTheBlock)
{
    auto expectInvalid = [](const BitWriter& w, int dictBits = 13) {
        Decoded d = Fast(w.Bytes(), 10, dictBits);
        EXPECT_FALSE(d.ok);
        EXPECT_EQ(d.crc, 0);
        EXPECT_FALSE(ReferenceLzhDecode(w.Bytes(), 10, dictBits).ok);
    };
    auto preTree = [](BitWriter& w, const std::vector<int>& lengths) {
        w.Put(1, 16);
        w.Put(static_cast<uint32_t>(lengths.size()), 5);
        for (size_t i = 0; i < lengths.size(); ++i) {
            PutLength3(w, lengths[i]);
            if (i == 2) {
                w.Put(0, 2);
            }
        }
    };
    BitWriter gap, over, wraps, tooLong, outside;
    preTree(gap, std::vector<int>(19, 5));                     // 19/32 of the space
    preTree(over, std::vector<int>(19, 4));                    // 19/16
    preTree(wraps, std::vector<int>(16, 3));                   // 2 * 2^16: wraps to 0
    preTree(tooLong, {20, 1});                                 // length above 16
    outside.Put(1, 16), outside.Put(0, 5), outside.Put(19, 5); // single symbol 19
    for (const BitWriter* w : {&gap, &over, &wraps, &tooLong, &outside}) {
        expectInvalid(*w);
    }

    auto withLiterals = [](uint32_t count, uint32_t runSymbol) {
        BitWriter w;
        w.Put(1, 16), w.Put(0, 5), w.Put(runSymbol, 5); // pre-tree: one symbol
        w.Put(count, 9);
        return w;
    };
    BitWriter bigCount = withLiterals(511, 0);
    expectInvalid(bigCount);
    BitWriter longRun = withLiterals(510, 2); // a zero run of 20 + 511 past index 509
    longRun.Put(511, 9);
    expectInvalid(longRun);
    BitWriter literalOutside;
    literalOutside.Put(1, 16), literalOutside.Put(0, 5), literalOutside.Put(0, 5);
    literalOutside.Put(0, 9), literalOutside.Put(510, 9);
    expectInvalid(literalOutside);
    BitWriter positionOutside;
    positionOutside.Put(1, 16), positionOutside.Put(0, 5), positionOutside.Put(0, 5);
    positionOutside.Put(0, 9), positionOutside.Put('x', 9);
    positionOutside.Put(0, 5), positionOutside.Put(17, 5); // -lh7- has 17 positions
    expectInvalid(positionOutside, 16);
}

TEST(LzhDecoder, CompleteCodesAreAcceptedAndZeroSizeDecodesNothing)
{
    Block b{1, {{'q', 1}, {300, 1}}, {{0, 1}, {1, 1}}, 14, 4};
    BitWriter w;
    PutHeader(w, b);
    w.Put(0, 1); // 'q'
    Decoded d = Fast(w.Bytes(), 1, 13);
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>{'q'});

    testsupport::ExpectEmptyAndOversizedJobs(DecoderFor(13));
}

TEST(LzhDecoder, RandomStreamsAgreeWithReference)
{
    std::mt19937 rng(7);
    for (int i = 0; i < 400; ++i) {
        std::vector<uint8_t> packed(rng() % 200);
        for (auto& b : packed) {
            b = static_cast<uint8_t>(rng());
        }
        // Mostly valid-looking starts: a small block with single-symbol codes.
        if (i % 2 == 0 && packed.size() > 6) {
            packed[2] = 0;
        }
        static const int kDictBits[] = {13, 15, 16, 12, 19};
        ExpectSameAsReference(packed, rng() % 3000, kDictBits[i % 5]);
    }
}

TEST(LzhDecoder, InputInPiecesDecodesAsAWhole)
{
    std::mt19937 rng(12);
    std::vector<uint8_t> data;
    while (data.size() < 300000) {
        std::string word = "word" + std::to_string(rng() % 4000) + (rng() % 9 == 0 ? "\n" : " ");
        data.insert(data.end(), word.begin(), word.end());
    }
    for (int method : {5, 7}) {
        CLzhEncoder encoder;
        MemorySource in(data);
        VectorSink packed;
        LzhEncodeResult r = encoder.Encode(in, packed, static_cast<uint32_t>(data.size()), method);
        ASSERT_FALSE(r.cannotShrink);
        CLzhDecoder decoder(LzhMethodByNumber(method)->dictBits);
        PieceSource source(packed.bytes);
        VectorSink sink;
        LzhDecodeResult d = decoder.Decode({&source, &sink, r.packedSize, data.size()});
        EXPECT_EQ(d.status, DecodeStatus::Ok);
        EXPECT_EQ(d.crc, r.crc);
        EXPECT_TRUE(sink.bytes == data);
    }
}

TEST(LzhDecoder, Lh4PositionsPastTheDictionaryWrapAsInARing)
{
    // 'q', then a 3-byte match at position value 4096 + 0: with a 4 KB dictionary it is the
    // ring's distance 1 (a run of 'q'), not 4097 bytes back into the spaces.
    Block b{2, {{'q', 1}, {256, 1}}, {{13, 1}, {0, 1}}, 14, 4};
    BitWriter w;
    PutHeader(w, b);
    w.Put(0, 1);  // 'q'
    w.Put(1, 1);  // length 3
    w.Put(1, 1);  // position symbol 13: 2^12 + 12 extra bits
    w.Put(0, 12); // position value 4096
    Decoded d = Fast(w.Bytes(), 4, 12);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.bytes, std::vector<uint8_t>(4, 'q'));
    ExpectSameAsReference(w.Bytes(), 4, 12);
    Decoded five = Fast(w.Bytes(), 4, 13); // with 8 KB it reaches the initial spaces
    ASSERT_TRUE(five.ok);
    EXPECT_EQ(five.bytes, (std::vector<uint8_t>{'q', ' ', ' ', ' '}));
}

TEST(LzhDecoder, Lh4AndLhxCorpusMembersDecodeToTheirDigests)
{
    struct Case
    {
        const char* archive;
        int method;
    };
    const Case cases[] = {{"lha_amiga_122/lh4.lzh", kMethodLh4},
                          {"lha_amiga_122/sfx.run", kMethodLh4},
                          {"win_lib/h2_lhx.lzh", kMethodLhx}};
    const std::string root = testsupport::CorpusDir() + "/lzh/";
    auto manifest = testsupport::ReadLzhManifest(root + "MANIFEST.tsv");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        ASSERT_EQ(manifest.count(c.archive), 1u) << "the shared corpus is missing";
        const testsupport::ManifestRow& row = manifest[c.archive].front();
        // From the member's header on: the Amiga self-extractor's stub is not an LZH file.
        testsupport::TempFolder tmp;
        tmp.WriteHostFile("a.lzh", testsupport::ReadHostFile(root + c.archive).substr(row.offset));
        CLzhArchive archive;
        ASSERT_TRUE(archive.Open(L"\\a.lzh", false));
        ASSERT_GE(archive.GetEntryCount(), 1);
        const CArchiveEntry e = archive.GetEntry(0);
        std::vector<uint8_t> packed(e.packedSize);
        uint32_t got = 0;
        ASSERT_TRUE(
            platform::SeekFile(archive.archiveFile, e.dataPos, platform::SeekOrigin::Begin));
        ASSERT_TRUE(platform::ReadFile(archive.archiveFile, packed.data(), e.packedSize, &got));
        ASSERT_EQ(got, e.packedSize);
        int dictBits = LzhMethodByNumber(c.method)->dictBits;
        Decoded d = Fast(packed, e.unpackedSize, dictBits);
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.crc, e.crc & 0xFFFF);
        tmp.WriteHostFile("out.bin", std::string(d.bytes.begin(), d.bytes.end()));
        EXPECT_EQ(testsupport::Sha256OfHostFile(tmp.HostPath("out.bin")), row.sha256);
        ExpectSameAsReference(packed, e.unpackedSize, dictBits);
        archive.Close();
    }
}
