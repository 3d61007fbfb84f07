// The prefix codes of -pm2- and LHARK's -lh7-: every codeword of complete, incomplete and
// long codes decodes to its symbol through the direct table and the walk past it, bits that
// start no codeword decode to kNoSymbol, single-symbol codes read no bits, and over-full
// codes or lengths past 16 are refused.
#include "lzh/LzhPrefixCode.h"
#include "tests/support/MethodDecoderRun.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace
{

// The codeword at the top of a bit reservoir, the bits after it random.
uint64_t Bits(std::pair<uint32_t, unsigned> code, std::mt19937_64& rng)
{
    uint64_t tail = rng() >> code.second;
    return code.second == 0 ? tail : uint64_t{code.first} << (64 - code.second) | tail;
}

void ExpectEveryCodeword(const std::vector<uint8_t>& lengths, unsigned tableBits)
{
    LzhPrefixCode code;
    ASSERT_TRUE(code.Build(lengths.data(), static_cast<unsigned>(lengths.size()), tableBits));
    std::mt19937_64 rng(tableBits);
    auto codes = testsupport::CanonicalCodewords(lengths);
    for (size_t s = 0; s < lengths.size(); ++s) {
        if (lengths[s] == 0) {
            continue;
        }
        for (int i = 0; i < 4; ++i) {
            unsigned length = 99;
            EXPECT_EQ(code.Decode(Bits(codes[s], rng), length), s);
            EXPECT_EQ(length, lengths[s]);
        }
    }
}

} // namespace

TEST(LzhPrefixCode, CompleteCodesDecodeEveryCodeword)
{
    // 289 symbols of 8 and 9 bits; then lengths 1 to 16, the longest twice.
    std::vector<uint8_t> main(289, 8);
    std::fill(main.begin(), main.begin() + 66, 9);
    std::shuffle(main.begin(), main.end(), std::mt19937(1));
    std::vector<uint8_t> deep = {3, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 16};
    for (unsigned tableBits : {1u, 7u, 10u, 12u}) {
        SCOPED_TRACE(tableBits);
        ExpectEveryCodeword(main, tableBits);
        ExpectEveryCodeword(deep, tableBits);
    }
}

TEST(LzhPrefixCode, IncompleteCodesLeaveBitsThatStartNoCodeword)
{
    // Symbol 5 alone, 3 bits: "000"; symbols 0 and 2 of 2 bits: "00", "01"; one 16-bit
    // code: sixteen zeros.
    struct Case
    {
        std::vector<uint8_t> lengths;
        uint64_t noCodeword; // bits that start none
    };
    for (const Case& c :
         {Case{{0, 0, 0, 0, 0, 3}, uint64_t{1} << 63}, Case{{2, 0, 2}, uint64_t{2} << 62},
          Case{{0, 16}, uint64_t{1} << 48}, Case{{}, 0}}) {
        for (unsigned tableBits : {2u, 8u, 12u}) {
            ExpectEveryCodeword(c.lengths, tableBits);
            LzhPrefixCode code;
            ASSERT_TRUE(
                code.Build(c.lengths.data(), static_cast<unsigned>(c.lengths.size()), tableBits));
            unsigned length;
            EXPECT_EQ(code.Decode(c.noCodeword, length), LzhPrefixCode::kNoSymbol);
        }
    }
}

TEST(LzhPrefixCode, SingleSymbolsReadNoBits)
{
    LzhPrefixCode code;
    for (unsigned symbol : {0u, 28u, 288u, 511u, LzhPrefixCode::kNoSymbol}) {
        code.BuildSingle(symbol, 9);
        for (uint64_t bits : {uint64_t{0}, ~uint64_t{0}, uint64_t{0x8000000000000001}}) {
            unsigned length = 99;
            EXPECT_EQ(code.Decode(bits, length), symbol);
            EXPECT_EQ(length, 0u);
        }
    }
}

TEST(LzhPrefixCode, OverfullCodesAndLongLengthsAreRefused)
{
    LzhPrefixCode code;
    const std::vector<std::vector<uint8_t>> refused = {
        {1, 1, 1},                    // three codewords of one bit
        {2, 2, 2, 2, 3},              // one 3-bit codeword too many
        {1, 17},                      // a length past 16
        std::vector<uint8_t>(289, 8), // 289 codewords of 8 bits
    };
    for (const auto& lengths : refused) {
        EXPECT_FALSE(code.Build(lengths.data(), static_cast<unsigned>(lengths.size()), 8));
    }
    const std::vector<uint8_t> full(256, 8);
    EXPECT_TRUE(code.Build(full.data(), 256, 8));
}
