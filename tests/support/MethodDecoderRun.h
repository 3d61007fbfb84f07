// Running a CLzhMethodDecoder over bytes in memory, for the tests of the decoders of
// PMarc's and LHARK's methods: against a reference decoder, with the source's reads split,
// and into a sink that refuses.
#pragma once

#include "lzh/Crc16.h"
#include "lzh/LzhMethodDecoder.h"
#include "tests/support/MemoryStreams.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

struct MethodDecoded
{
    LzhDecodeResult result;
    std::vector<uint8_t> bytes; // what the sink was given
};

// Decodes packed into size bytes, the source giving at most step bytes per read.
inline MethodDecoded RunMethodDecoder(CLzhMethodDecoder& decoder,
                                      const std::vector<uint8_t>& packed, uint64_t size,
                                      uint32_t step = UINT32_MAX)
{
    MemorySource source(packed.data(), packed.size(), step);
    VectorSink sink;
    MethodDecoded d;
    d.result = decoder.Decode({&source, &sink, packed.size(), size});
    d.bytes = std::move(sink.bytes);
    return d;
}

// A member's decode as a test looks at it: whether it ended well, its CRC (0 unless it did),
// the bytes the sink was given and the whole result.
struct Decoded
{
    bool ok;
    uint16_t crc;
    std::vector<uint8_t> bytes;
    LzhDecodeResult result;
};

inline Decoded DecodeMember(CLzhMethodDecoder& decoder, const std::vector<uint8_t>& packed,
                            uint64_t size)
{
    MethodDecoded d = RunMethodDecoder(decoder, packed, size);
    bool ok = d.result.status == DecodeStatus::Ok;
    return {ok, ok ? d.result.crc : uint16_t{0}, std::move(d.bytes), d.result};
}

// Decodes with the decoder and with reference(packed, size), which gives {status, bytes,
// CRC-16, the name of the rule broken}: the two must agree on all three, and the decoder
// must report the bytes it gave the sink and their CRC. Returns the decoder's run.
template <typename Reference>
MethodDecoded DecodeAgainst(CLzhMethodDecoder& decoder, const std::vector<uint8_t>& packed,
                            uint64_t size, Reference reference)
{
    MethodDecoded d = RunMethodDecoder(decoder, packed, size);
    const auto [status, bytes, crc, rule] = reference(packed, size);
    EXPECT_EQ(std::string(DecodeStatusName(d.result.status)), DecodeStatusName(status))
        << "reference: " << rule;
    EXPECT_EQ(d.bytes, bytes);
    EXPECT_EQ(d.result.crc, crc);
    EXPECT_EQ(d.result.produced, d.bytes.size());
    EXPECT_EQ(d.result.crc, Crc16Update(0, d.bytes.data(), static_cast<long>(d.bytes.size())));
    return d;
}

// The member decodes to expected whatever the source's read sizes (1, 5, 4096 and pieces
// of changing sizes), to their CRC without a sink, and stops with OutputRefused at a sink
// that refuses its second write (the output must be more than a chunk).
inline void ExpectSplitReadsAndRefusal(CLzhMethodDecoder& decoder,
                                       const std::vector<uint8_t>& packed,
                                       const std::vector<uint8_t>& expected)
{
    for (uint32_t step : {1u, 5u, 4096u}) {
        SCOPED_TRACE(step);
        MethodDecoded d = RunMethodDecoder(decoder, packed, expected.size(), step);
        EXPECT_EQ(d.result.status, DecodeStatus::Ok);
        EXPECT_EQ(d.bytes, expected);
    }
    PieceSource pieces(packed);
    VectorSink sink;
    LzhDecodeResult r = decoder.Decode({&pieces, &sink, packed.size(), expected.size()});
    EXPECT_EQ(r.status, DecodeStatus::Ok);
    EXPECT_EQ(sink.bytes, expected);
    MemorySource source(packed);
    r = decoder.Decode({&source, nullptr, packed.size(), expected.size()});
    EXPECT_EQ(r.status, DecodeStatus::Ok);
    EXPECT_EQ(r.crc, Crc16Update(0, expected.data(), static_cast<long>(expected.size())));

    class RefusingSink final : public ByteSink
    {
    public:
        bool Write(const uint8_t*, size_t count) override
        {
            taken += count;
            return ++writes < 2;
        }
        size_t writes = 0;
        size_t taken = 0;
    } refusing;
    MemorySource again(packed);
    r = decoder.Decode({&again, &refusing, packed.size(), expected.size()});
    EXPECT_EQ(r.status, DecodeStatus::OutputRefused);
    EXPECT_EQ(refusing.writes, 2u); // decoding stops at the refused write
    EXPECT_EQ(r.produced, refusing.taken);
}

// A member of no bytes reads nothing and succeeds; a packed size past 4 GB is not taken.
inline void ExpectEmptyAndOversizedJobs(CLzhMethodDecoder& decoder)
{
    class UntouchedSource final : public ByteSource
    {
    public:
        uint32_t Read(uint8_t*, uint32_t) override
        {
            ADD_FAILURE() << "an empty member reads nothing";
            return 0;
        }
    } untouched;
    LzhDecodeResult r = decoder.Decode({&untouched, nullptr, 100, 0});
    EXPECT_EQ(r.status, DecodeStatus::Ok);
    EXPECT_EQ(r.crc, 0);
    EXPECT_EQ(r.produced, 0u);
    r = decoder.Decode({&untouched, nullptr, uint64_t{1} << 32, 1});
    EXPECT_EQ(r.status, DecodeStatus::Unsupported);
}

// Canonical codewords of code lengths: (value, length) per symbol, length 0 for none.
template <typename T>
std::vector<std::pair<uint32_t, unsigned>> CanonicalCodewords(const std::vector<T>& lengths)
{
    std::vector<std::pair<uint32_t, unsigned>> codes(lengths.size(), {0, 0});
    uint32_t value = 0;
    for (unsigned l = 1; l <= 16; ++l) {
        for (size_t s = 0; s < lengths.size(); ++s) {
            if (lengths[s] == l) {
                codes[s] = {value++, l};
            }
        }
        value <<= 1;
    }
    return codes;
}

} // namespace testsupport
