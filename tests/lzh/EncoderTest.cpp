// The encoder: bytes pinned for a small input worked out by hand from the format, the same
// bytes as the reference encoder, round trips through the decoder over a varied set, the
// cannot-shrink signal, determinism, and streams read back by the peer tools.
#include "archive/MemberStreams.h"
#include "lzh/Crc16.h"
#include "lzh/LzhCodec.h"
#include "lzh/LzhEncoder.h"
#include "lzh/LzhMethods.h"
#include "tests/support/LzhHeaderBuilder.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/ReferenceLzhEncoder.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <unistd.h>

using namespace testsupport;

namespace
{

struct Encoded
{
    LzhEncodeResult result;
    std::vector<uint8_t> bytes;
};

Encoded Encode(const std::vector<uint8_t>& data, int method)
{
    static CLzhEncoder encoder;
    MemorySource source(data);
    VectorSink sink;
    LzhEncodeResult r = encoder.Encode(source, sink, static_cast<uint32_t>(data.size()), method);
    return {r, sink.bytes};
}

std::vector<uint8_t> Decode(const std::vector<uint8_t>& packed, uint32_t size, int method)
{
    MemorySource source(packed);
    VectorSink sink;
    CLzhMethodDecoder& decoder = *LzhThreadDecoder(*LzhMethodByNumber(method));
    EXPECT_EQ(decoder.Decode({&source, &sink, packed.size(), size}).status, DecodeStatus::Ok);
    return sink.bytes;
}

// The CRC-16 of a member decoded from a file (at its position); -1 when it fails.
int DecodeFile(platform::FileHandle file, uint64_t packed, uint64_t size, int method)
{
    CFileSource source(file, packed);
    LzhDecodeResult r =
        LzhThreadDecoder(*LzhMethodByNumber(method))->Decode({&source, nullptr, packed, size});
    return r.status == DecodeStatus::Ok ? r.crc : -1;
}

std::vector<uint8_t> Text(size_t size)
{
    static const char* words[] = {"archive", "member", "header", "level", "dictionary",
                                  "window",  "the",    "of",     "and",   "Huffman",
                                  "block",   "code",   "\n"};
    std::mt19937 rng(11);
    std::vector<uint8_t> out;
    while (out.size() < size) {
        const char* w = words[rng() % 13];
        out.insert(out.end(), w, w + std::char_traits<char>::length(w));
        out.push_back(' ');
    }
    out.resize(size);
    return out;
}

std::vector<uint8_t> Random(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> out(size);
    for (auto& b : out) {
        b = static_cast<uint8_t>(rng());
    }
    return out;
}

// Data with structure and noise, like executables.
std::vector<uint8_t> Binary(size_t size)
{
    std::mt19937 rng(5);
    std::vector<uint8_t> out(size);
    for (size_t i = 0; i < size; ++i) {
        out[i] = static_cast<uint8_t>(i % 11 == 0 ? rng() : (i / 97) * 7 + (i & 3));
    }
    return out;
}

// Wraps a stream in a one-member level 2 archive, as the archive writer will.
std::string WrapInArchive(const Encoded& e, size_t unpacked, int method)
{
    LzhMemberFields fields;
    fields.level = 2;
    fields.method = "-lh" + std::to_string(method) + "-";
    fields.data.assign(e.bytes.begin(), e.bytes.end());
    fields.unpacked = static_cast<uint32_t>(unpacked);
    fields.crc = e.result.crc;
    fields.ext.push_back({0x01, "member.bin"});
    fields.headerCrc = true;
    return BuildMember(fields) + std::string(1, '\0');
}

// Runs a command and returns what it printed, or nothing when it failed.
std::optional<std::vector<uint8_t>> Output(const std::string& command)
{
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return std::nullopt;
    }
    std::vector<uint8_t> out;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.insert(out.end(), buffer, buffer + got);
    }
    if (pclose(pipe) != 0) {
        return std::nullopt;
    }
    return out;
}

} // namespace

TEST(LzhEncoder, PinnedBytesOfARunWorkedOutByHand)
{
    // 300 'a': literals a a a, then matches (256, distance 1) and (41, distance 1); one
    // block with literal lengths a:1, 294:2, 509:2, a pre-tree of symbols 2:1, 3:2, 4:2 and
    // a single-symbol position code.
    std::vector<uint8_t> data(300, 'a');
    Encoded e = Encode(data, 5);
    EXPECT_FALSE(e.result.cannotShrink);
    EXPECT_EQ(e.bytes, (std::vector<uint8_t>{0x00, 0x05, 0x28, 0x04, 0x4B, 0xFC, 0x26, 0xC5, 0x86,
                                             0x61, 0x60, 0x03, 0x80}));
    EXPECT_EQ(e.result.packedSize, 13u);
    EXPECT_EQ(e.result.crc, Crc16Update(0, data.data(), 300));

    // 100 'z': literals z z z and one match (97, distance 1); two literal/length symbols of
    // length 1, a pre-tree of symbols 2 and 3 of length 1, a single-symbol position code.
    Encoded z = Encode(std::vector<uint8_t>(100, 'z'), 5);
    EXPECT_EQ(z.bytes,
              (std::vector<uint8_t>{0x00, 0x04, 0x20, 0x04, 0x35, 0xF1, 0x9A, 0x67, 0xC0, 0x04}));
}

TEST(LzhEncoder, RoundTripsOverAVariedSet)
{
    std::vector<std::vector<uint8_t>> inputs = {std::vector<uint8_t>(8192, 'x'),
                                                std::vector<uint8_t>(8193, 'y'),
                                                std::vector<uint8_t>(70000, 0),
                                                Text(8192),
                                                Text(8193),
                                                Text(65536),
                                                Text(65537),
                                                Text(300000),
                                                Binary(200000)};
    std::vector<uint8_t> runs;
    for (int i = 0; i < 40; ++i) {
        runs.insert(runs.end(), static_cast<size_t>(250 + i * 3), static_cast<uint8_t>(i));
    }
    inputs.push_back(runs);
    std::vector<uint8_t> mixed = Text(100000);
    auto noise = Random(20000, 9);
    mixed.insert(mixed.begin() + 50000, noise.begin(), noise.end());
    inputs.push_back(mixed);
    for (int method : {5, 6, 7}) {
        for (const auto& data : inputs) {
            SCOPED_TRACE(::testing::Message() << "method " << method << " size " << data.size());
            Encoded e = Encode(data, method);
            ASSERT_FALSE(e.result.cannotShrink);
            EXPECT_EQ(e.result.packedSize, e.bytes.size());
            EXPECT_LT(e.bytes.size(), data.size());
            EXPECT_EQ(e.result.crc, Crc16Update(0, data.data(), static_cast<long>(data.size())));
            EXPECT_EQ(Decode(e.bytes, static_cast<uint32_t>(data.size()), method), data);
            EXPECT_EQ(Encode(data, method).bytes, e.bytes); // a pure function of the input
        }
    }
}

TEST(LzhEncoder, SameBytesAsTheReferenceEncoder)
{
    // Chains long enough to crowd keys (runs, repeated text), slides of every dictionary
    // (inputs past 2D), data that stops at the cap halfway, and every method.
    std::vector<uint8_t> repeated;
    auto line = Text(3000);
    while (repeated.size() < 400000) {
        repeated.insert(repeated.end(), line.begin(), line.end());
        repeated.push_back(static_cast<uint8_t>(repeated.size() / 7));
    }
    // Like executables: zero runs, repeated short patterns, small values and noise, so that
    // many keys crowd and some searches run out of free keys.
    std::vector<uint8_t> executable;
    std::mt19937 rng(2);
    std::vector<std::vector<uint8_t>> patterns;
    for (int i = 0; i < 6; ++i) {
        patterns.push_back(Random(std::vector<size_t>{2, 3, 4, 8, 12}[rng() % 5], rng()));
    }
    while (executable.size() < 400000) {
        unsigned kind = rng() % 20;
        if (kind < 7) {
            executable.insert(executable.end(), 1 + rng() % 600, 0);
        } else if (kind < 12) {
            const auto& p = patterns[rng() % 6];
            for (unsigned n = 1 + rng() % 60; n > 0; --n) {
                executable.insert(executable.end(), p.begin(), p.end());
            }
        } else {
            unsigned range = kind < 16 ? 8 : 256;
            for (unsigned n = 1 + rng() % 35; n > 0; --n) {
                executable.push_back(static_cast<uint8_t>(rng() % range));
            }
        }
    }
    std::vector<uint8_t> halfNoise = Text(90000);
    auto noise = Random(110000, 3);
    halfNoise.insert(halfNoise.end(), noise.begin(), noise.end());
    std::vector<std::vector<uint8_t>> inputs = {std::vector<uint8_t>(1, 'a'),
                                                std::vector<uint8_t>(200000, 0),
                                                Text(17000),
                                                Text(300000),
                                                Binary(300000),
                                                repeated,
                                                executable,
                                                halfNoise,
                                                Random(5000, 4)};
    for (int method : {5, 6, 7}) {
        for (const auto& data : inputs) {
            SCOPED_TRACE(::testing::Message() << "method " << method << " size " << data.size());
            Encoded e = Encode(data, method);
            ReferenceEncodeResult ref = ReferenceLzhEncode(data, method);
            EXPECT_EQ(e.result.cannotShrink, ref.cannotShrink);
            ASSERT_EQ(e.bytes.size(), ref.bytes.size());
            EXPECT_TRUE(e.bytes == ref.bytes);
            EXPECT_EQ(e.result.crc, ref.crc);
        }
    }
}

TEST(LzhEncoder, DataThatDoesNotShrinkStopsAtTheCap)
{
    for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{100}, size_t{50000}}) {
        auto data = Random(size, static_cast<unsigned>(size));
        Encoded e = Encode(data, 7);
        EXPECT_TRUE(e.result.cannotShrink) << size;
        EXPECT_EQ(e.result.packedSize, size);
        EXPECT_LE(e.bytes.size(), size);
    }
    // Three equal bytes need a whole block header (52 bits) for three zero-bit literals.
    EXPECT_TRUE(Encode(std::vector<uint8_t>(3, 'z'), 5).result.cannotShrink);
    EXPECT_FALSE(Encode(std::vector<uint8_t>(100, 'z'), 5).result.cannotShrink);
}

TEST(LzhEncoder, PeerToolsReadOurStreams)
{
    const char* tools[] = {"/usr/bin/lhasa", "/usr/bin/bsdtar", "/usr/bin/7zz"};
    bool any = false;
    for (const char* t : tools) {
        any = any || access(t, X_OK) == 0;
    }
    if (!any) {
        GTEST_SKIP() << "no peer tool installed (apt-get install lhasa libarchive-tools 7zip)";
    }
    TempFolder tmp;
    std::vector<std::vector<uint8_t>> inputs = {Text(150000), Binary(120000),
                                                std::vector<uint8_t>(5000, 'q')};
    for (int method : {5, 6, 7}) {
        for (size_t n = 0; n < inputs.size(); ++n) {
            const auto& data = inputs[n];
            Encoded e = Encode(data, method);
            ASSERT_FALSE(e.result.cannotShrink);
            std::string name = "m" + std::to_string(method) + "_" + std::to_string(n) + ".lzh";
            tmp.WriteHostFile(name, WrapInArchive(e, data.size(), method));
            std::string archive = tmp.HostPath(name);
            std::string commands[] = {"/usr/bin/lhasa pq '" + archive + "'",
                                      "/usr/bin/bsdtar -xOf '" + archive + "' 2>/dev/null",
                                      "/usr/bin/7zz e -so '" + archive + "' 2>/dev/null"};
            for (size_t t = 0; t < 3; ++t) {
                if (access(tools[t], X_OK) != 0) {
                    continue;
                }
                SCOPED_TRACE(commands[t]);
                auto out = Output(commands[t]);
                ASSERT_TRUE(out.has_value());
                EXPECT_TRUE(*out == data);
            }
        }
    }
}

TEST(LzhEncoder, FilesThroughCodecParamsAndRefusedWrites)
{
    TempFolder tmp;
    std::vector<uint8_t> data = Text(200000);
    tmp.WriteHostFile("in.txt", std::string(data.begin(), data.end()));
    using namespace platform;
    FileHandle in =
        OpenFile(L"\\in.txt", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
    FileHandle out =
        OpenFile(L"\\out.lh6", kAccessReadWrite, FileShare::None, FileDisposition::CreateAlways);
    ASSERT_NE(in, kInvalidFile);
    ASSERT_NE(out, kInvalidFile);
    LzhCodecParams params{in, out, static_cast<uint32_t>(data.size()), 0, 6};
    bool readFailed = true, writeFailed = true;
    uint16_t crc = LzhEncodeChecked(params, &readFailed, &writeFailed);
    EXPECT_FALSE(readFailed);
    EXPECT_FALSE(writeFailed);
    EXPECT_EQ(crc, Crc16Update(0, data.data(), static_cast<long>(data.size())));
    uint64_t size = 0;
    ASSERT_TRUE(GetFileSize(out, &size));
    EXPECT_EQ(size, params.packedSize);
    ASSERT_TRUE(SeekFile(out, 0, SeekOrigin::Begin));
    EXPECT_EQ(DecodeFile(out, params.packedSize, params.unpackedSize, 6), crc);
    CloseFile(in);
    CloseFile(out);

    class RefusingSink final : public ByteSink
    {
    public:
        bool Write(const uint8_t*, size_t) override { return false; }
    } refusing;
    CLzhEncoder encoder;
    MemorySource source(data);
    LzhEncodeResult r = encoder.Encode(source, refusing, static_cast<uint32_t>(data.size()), 5);
    EXPECT_TRUE(r.writeFailed);
}

// A file that grows while it is added is stored as the size its header gives; one that
// shrinks fails as unreadable (its member would not match its header).
TEST(LzhEncoder, FileThatChangedSizeSinceItWasMeasured)
{
    TempFolder tmp;
    std::vector<uint8_t> data = Text(100000);
    tmp.WriteHostFile("in.txt", std::string(data.begin(), data.end()));
    using namespace platform;
    for (uint32_t told : {90000u, 110000u}) {
        SCOPED_TRACE(told);
        FileHandle in =
            OpenFile(L"\\in.txt", kAccessRead, FileShare::Read, FileDisposition::OpenExisting);
        FileHandle out = OpenFile(L"\\out.lh5", kAccessReadWrite, FileShare::None,
                                  FileDisposition::CreateAlways);
        ASSERT_NE(in, kInvalidFile);
        ASSERT_NE(out, kInvalidFile);
        LzhCodecParams params{in, out, told, 0, 5};
        bool readFailed = false, writeFailed = false;
        uint16_t crc = LzhEncodeChecked(params, &readFailed, &writeFailed);
        EXPECT_EQ(readFailed, told > data.size());
        if (!readFailed) {
            EXPECT_EQ(crc, Crc16Update(0, data.data(), static_cast<long>(told)));
            ASSERT_TRUE(SeekFile(out, 0, SeekOrigin::Begin));
            EXPECT_EQ(DecodeFile(out, params.packedSize, told, 5), crc);
        }
        CloseFile(in);
        CloseFile(out);
    }
}

TEST(LzhEncoder, SingleSymbolLastBlockIsABsdtarLimitation)
{
    // 2 + 256 * 12000 zero bytes end in a block of 256-byte matches only: a literal/length
    // code of one symbol, which the format allows. lhasa and 7zz read it; bsdtar 3.6.2
    // rejects such -lh6-/-lh7- blocks.
    TempFolder tmp;
    std::vector<uint8_t> zeros(2 + 256 * 12000, 0);
    for (int method : {6, 7}) {
        Encoded e = Encode(zeros, method);
        ASSERT_FALSE(e.result.cannotShrink);
        EXPECT_EQ(Decode(e.bytes, static_cast<uint32_t>(zeros.size()), method), zeros);
        tmp.WriteHostFile("z.lzh", WrapInArchive(e, zeros.size(), method));
        std::string archive = tmp.HostPath("z.lzh");
        if (access("/usr/bin/lhasa", X_OK) == 0) {
            EXPECT_EQ(Output("/usr/bin/lhasa pq '" + archive + "'"), zeros);
        }
        if (access("/usr/bin/7zz", X_OK) == 0) {
            EXPECT_EQ(Output("/usr/bin/7zz e -so '" + archive + "' 2>/dev/null"), zeros);
        }
        if (access("/usr/bin/bsdtar", X_OK) == 0) {
            EXPECT_NE(Output("/usr/bin/bsdtar -xOf '" + archive + "' 2>/dev/null"), zeros);
        }
    }
}

namespace
{

Encoded EncodeOnThreads(const std::vector<uint8_t>& data, int method, unsigned threads,
                        uint32_t segment)
{
    CLzhEncoder encoder;
    MemorySource source(data.data(), data.size(), 40000); // reads that stop short
    VectorSink sink;
    LzhEncodeThreads options{threads, segment, 0};
    LzhEncodeResult r =
        encoder.Encode(source, sink, static_cast<uint32_t>(data.size()), method, options);
    return {r, sink.bytes};
}

// Runs of one byte, 200 to 3000 long, between stretches of text; some end or begin right at
// a multiple of 8 KB, where segments start.
std::vector<uint8_t> RunsAcrossSegments(size_t size)
{
    std::vector<uint8_t> out;
    std::mt19937 rng(7);
    auto text = Text(size);
    size_t used = 0;
    while (out.size() < size) {
        size_t boundary = (out.size() / 8192 + 1) * 8192;
        size_t run = 200 + rng() % 2800;
        if (rng() % 3 == 0 && boundary > out.size() + 10) {
            out.insert(out.end(), text.begin() + static_cast<long>(used),
                       text.begin() + static_cast<long>(used + boundary - out.size() - 2));
            used += boundary - out.size();
        }
        out.insert(out.end(), run, static_cast<uint8_t>(rng() % 4 == 0 ? 0 : rng()));
        size_t stretch = 50 + rng() % 4000;
        out.insert(out.end(), text.begin() + static_cast<long>(used % (size / 2)),
                   text.begin() + static_cast<long>(used % (size / 2) + stretch));
        used += stretch;
    }
    out.resize(size);
    return out;
}

// Like executables, with short zero runs and patterns repeated up to 60 times: keys crowd
// in one parse and not in another that went through the same bytes in other steps.
std::vector<uint8_t> Executable(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<std::vector<uint8_t>> patterns;
    for (int i = 0; i < 6; ++i) {
        patterns.push_back(Random(std::vector<size_t>{2, 3, 4, 8, 12}[rng() % 5], rng()));
    }
    std::vector<uint8_t> out;
    while (out.size() < size) {
        unsigned kind = rng() % 20;
        if (kind < 7) {
            out.insert(out.end(), 1 + rng() % 60, 0);
        } else if (kind < 12) {
            const auto& p = patterns[rng() % 6];
            for (unsigned n = 1 + rng() % 60; n > 0; --n) {
                out.insert(out.end(), p.begin(), p.end());
            }
        } else {
            unsigned range = kind < 16 ? 8 : 256;
            for (unsigned n = 1 + rng() % 35; n > 0; --n) {
                out.push_back(static_cast<uint8_t>(rng() % range));
            }
        }
    }
    out.resize(size);
    return out;
}

} // namespace

// Long data parsed on 2 or 3 threads, in segments of two to three dictionaries: the bytes of
// the one-thread parse, with segments taken from the helpers
// where the data lets the parses meet.
TEST(LzhEncoder, ThreadsGiveTheOneThreadBytes)
{
    struct Case
    {
        const char* name;
        std::vector<uint8_t> (*make)(size_t);
        bool meets; // the parses meet in some segment
    };
    const Case cases[] = {
        {"text", [](size_t n) { return Text(n); }, true},
        {"binary", [](size_t n) { return Binary(n); }, true},
        {"random", [](size_t n) { return Random(n, 12); }, true},
        {"zeros", [](size_t n) { return std::vector<uint8_t>(n, 0); }, false},
        {"runs", RunsAcrossSegments, true},
        {"executable", [](size_t n) { return Executable(n, 12); }, true},
        {"executable 2", [](size_t n) { return Executable(n, 20); }, true},
        {"text then noise",
         [](size_t n) {
             auto out = Text(n / 2);
             auto noise = Random(n - n / 2, 13);
             out.insert(out.end(), noise.begin(), noise.end());
             return out;
         },
         true},
    };
    for (int method : {5, 6, 7}) {
        const uint32_t dict = method == 5 ? 8192 : (method == 6 ? 32768 : 65536);
        const uint32_t segment = 2 * dict;
        // Just below and at the least size with a segment for a helper, and several segments
        // with the last one's data ending at, and just before, the end.
        const size_t sizes[] = {2 * segment + dict + 255, 2 * segment + dict + 256,
                                5 * segment + dict + 256, 5 * segment + dict + 255 + dict / 2};
        for (const Case& c : cases) {
            for (size_t size : sizes) {
                const std::vector<uint8_t> data = c.make(size);
                const Encoded one = Encode(data, method);
                for (unsigned threads : {2u, 3u}) {
                    for (uint32_t seg : {segment, segment + dict}) {
                        if (seg > segment && (size < 5 * segment || threads > 2)) {
                            continue; // other segments only for the long data
                        }
                        SCOPED_TRACE(::testing::Message()
                                     << c.name << " method " << method << " size " << size
                                     << " threads " << threads << " segment " << seg);
                        const Encoded many = EncodeOnThreads(data, method, threads, seg);
                        EXPECT_EQ(many.result.cannotShrink, one.result.cannotShrink);
                        EXPECT_EQ(many.result.packedSize, one.result.packedSize);
                        EXPECT_TRUE(many.bytes == one.bytes);
                        if (!one.result.cannotShrink) {
                            EXPECT_EQ(many.result.crc, one.result.crc);
                        }
                        if (size > 3 * seg + dict && !one.result.cannotShrink) {
                            EXPECT_EQ(many.result.segmentsTaken > 0, c.meets);
                        }
                        if (size < 2 * seg + dict + 256) {
                            EXPECT_EQ(many.result.segmentsTaken, 0u);
                        }
                    }
                }
            }
        }
    }
}

// A stop (the source ending as CFileSource does once asked to stop) ends an encode on
// threads within the member: nothing more is read, and the bytes are those of the one-thread
// encode that met the same stop.
TEST(LzhEncoder, StopEndsAnEncodeOnThreads)
{
    class StoppingSource final : public ByteSource
    {
    public:
        StoppingSource(const std::vector<uint8_t>& data, size_t stopAt)
            : m_data(data), m_stopAt(stopAt)
        {}
        uint32_t Read(uint8_t* buffer, uint32_t capacity) override
        {
            const size_t n = std::min<size_t>({capacity, m_stopAt - given, 30000});
            readsAfterStop += n == 0 ? 1 : 0;
            std::copy_n(m_data.begin() + static_cast<long>(given), n, buffer);
            given += n;
            return static_cast<uint32_t>(n);
        }
        size_t given = 0;
        unsigned readsAfterStop = 0;

    private:
        const std::vector<uint8_t>& m_data;
        size_t m_stopAt;
    };
    const std::vector<uint8_t> data = Text(700000);
    const auto size = static_cast<uint32_t>(data.size());
    for (size_t stopAt : {size_t{0}, size_t{5000}, size_t{100000}, size_t{345678}}) {
        SCOPED_TRACE(stopAt);
        CLzhEncoder encoder;
        StoppingSource one(data, stopAt);
        VectorSink oneBytes;
        LzhEncodeResult r1 = encoder.Encode(one, oneBytes, size, 5);
        StoppingSource many(data, stopAt);
        VectorSink manyBytes;
        LzhEncodeResult r3 = encoder.Encode(many, manyBytes, size, 5, {3, 16384, 0});
        EXPECT_EQ(many.given, stopAt);
        EXPECT_EQ(many.readsAfterStop, 1u);
        EXPECT_EQ(r3.crc, Crc16Update(0, data.data(), static_cast<long>(stopAt)));
        EXPECT_EQ(r3.crc, r1.crc);
        EXPECT_TRUE(manyBytes.bytes == oneBytes.bytes);
        EXPECT_EQ(r3.segmentsTaken > 0, stopAt > 50000);
    }

    // Through the file source, with the stop asked before the first read.
    TempFolder tmp;
    const std::vector<uint8_t> text = Text(3 << 20);
    tmp.WriteHostFile("big.txt", std::string(text.begin(), text.end()));
    platform::FileHandle in =
        platform::OpenFile(L"\\big.txt", platform::kAccessRead, platform::FileShare::Read,
                           platform::FileDisposition::OpenExisting);
    ASSERT_NE(in, platform::kInvalidFile);
    for (bool stopped : {true, false}) {
        ASSERT_TRUE(platform::SeekFile(in, 0, platform::SeekOrigin::Begin));
        LzhCodecParams params{in, platform::kInvalidFile, static_cast<uint32_t>(text.size()), 0, 7};
        std::atomic<bool> stop{stopped};
        std::vector<uint8_t> packed;
        bool readFailed = false;
        uint16_t crc = LzhEncodeToMemory(params, packed, &readFailed, &stop, 2);
        EXPECT_EQ(readFailed, stopped);
        if (!stopped) {
            EXPECT_EQ(crc, Crc16Update(0, text.data(), static_cast<long>(text.size())));
            EXPECT_TRUE(packed == Encode(text, 7).bytes);
        }
    }
    platform::CloseFile(in);
}
