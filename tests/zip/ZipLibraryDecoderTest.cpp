// The library decoders (bzip2 12, LZMA 14, Zstandard 93, xz 95) on the members of the shared
// corpus, on members that 7-Zip, Python's zipfile and libzstd make here, and on streams made by
// the libraries' encoders and then cut, damaged or given headers that ask too much, for the
// verdicts that sound archives do not reach.
#include "tests/support/CorpusMembers.h"
#include "tests/support/MemoryStreams.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ZipBuilder.h"
#include "tests/support/ZipRawMembers.h"
#include "zip/Crc32.h"
#include "zip/ZipLibraryDecoders.h"

#include <bzlib.h>
#include <lzma.h>
#include <zstd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <random>
#include <unistd.h>

using namespace testsupport;

namespace
{

constexpr uint16_t kFlagEndMarker = 0x0002;

std::vector<uint8_t> Bytes(const std::string& text)
{
    return {text.begin(), text.end()};
}

std::vector<uint8_t> Text(size_t size)
{
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "line " + std::to_string(i) + ": the quick brown fox jumps over the lazy dog\n";
    }
    text.resize(size);
    return Bytes(text);
}

std::vector<uint8_t> Noise(size_t size, unsigned seed)
{
    std::mt19937 rng(seed);
    std::vector<uint8_t> bytes(size);
    for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(rng());
    }
    return bytes;
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct Decoded
{
    DecodeStatus status;
    std::vector<uint8_t> bytes;
    bool refused; // the sink refused a write
};

// Decodes data as a member of method with flags and the declared size unpackedSize (the sink's
// cap), the source giving at most step bytes a read.
Decoded Decode(CZipLibraryDecoders& decoders, uint16_t method, uint16_t flags,
               const std::vector<uint8_t>& data, uint64_t unpackedSize, uint32_t step = UINT32_MAX)
{
    MemorySource source(data.data(), data.size(), step);
    CappedSink sink(unpackedSize);
    ZipDecodeJob job{&source, &sink, data.size(), unpackedSize, method, flags};
    CZipMethodDecoder* decoder = decoders.For(method);
    if (decoder == nullptr) {
        ADD_FAILURE() << "no decoder for method " << method;
        return {DecodeStatus::Unsupported, {}, false};
    }
    DecodeStatus status = decoder->Decode(job);
    return {status, std::move(sink.bytes), sink.refused};
}

Decoded Decode(uint16_t method, uint16_t flags, const std::vector<uint8_t>& data,
               uint64_t unpackedSize, uint32_t step = UINT32_MAX)
{
    CZipLibraryDecoders decoders;
    return Decode(decoders, method, flags, data, unpackedSize, step);
}

// Streams made here by the libraries' encoders.

std::vector<uint8_t> Bzip2Stream(const std::vector<uint8_t>& content, int blockSize100k = 9)
{
    // bzip2's bound: 1% more than the input, plus 600 bytes.
    std::vector<uint8_t> out(content.size() + content.size() / 100 + 600);
    unsigned size = static_cast<unsigned>(out.size());
    std::vector<uint8_t> in = content;
    int result = BZ2_bzBuffToBuffCompress(reinterpret_cast<char*>(out.data()), &size,
                                          reinterpret_cast<char*>(in.data()),
                                          static_cast<unsigned>(in.size()), blockSize100k, 0, 0);
    EXPECT_EQ(result, BZ_OK);
    out.resize(size);
    return out;
}

std::vector<uint8_t> XzStream(const std::vector<uint8_t>& content, uint32_t dictionary = 1 << 20)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = dictionary;
    lzma_filter filters[] = {{LZMA_FILTER_LZMA2, &options}, {LZMA_VLI_UNKNOWN, nullptr}};
    std::vector<uint8_t> out(lzma_stream_buffer_bound(content.size()));
    size_t size = 0;
    EXPECT_EQ(lzma_stream_buffer_encode(filters, LZMA_CHECK_CRC64, nullptr, content.data(),
                                        content.size(), out.data(), &size, out.size()),
              LZMA_OK);
    out.resize(size);
    return out;
}

// Method 14's data: ZIP's 4-byte header, the 5 properties, the raw LZMA stream (with its end
// marker when asked). lclppb overrides the properties byte (lc 3, lp 0, pb 2: 93).
std::vector<uint8_t> LzmaData(const std::vector<uint8_t>& content, bool endMarker,
                              uint32_t dictionary = 1 << 20, uint8_t lclppb = 93)
{
    lzma_options_lzma options;
    lzma_lzma_preset(&options, 6);
    options.dict_size = 1 << 20; // what the encoder uses; the header may say otherwise
    options.ext_flags = 0;
    lzma_filter filters[] = {{endMarker ? LZMA_FILTER_LZMA1 : LZMA_FILTER_LZMA1EXT, &options},
                             {LZMA_VLI_UNKNOWN, nullptr}};
    std::vector<uint8_t> out = {5,
                                4,
                                5,
                                0,
                                lclppb,
                                static_cast<uint8_t>(dictionary),
                                static_cast<uint8_t>(dictionary >> 8),
                                static_cast<uint8_t>(dictionary >> 16),
                                static_cast<uint8_t>(dictionary >> 24)};
    size_t header = out.size();
    out.resize(header + content.size() + content.size() / 2 + 1024);
    size_t size = header;
    EXPECT_EQ(lzma_raw_buffer_encode(filters, nullptr, content.data(), content.size(), out.data(),
                                     &size, out.size()),
              LZMA_OK);
    out.resize(size);
    return out;
}

std::vector<uint8_t> ZstdFrame(const std::vector<uint8_t>& content, bool checksum = false)
{
    ZSTD_CCtx* context = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, 5);
    ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, checksum ? 1 : 0);
    std::vector<uint8_t> out(ZSTD_compressBound(content.size()));
    size_t size = ZSTD_compress2(context, out.data(), out.size(), content.data(), content.size());
    ZSTD_freeCCtx(context);
    EXPECT_FALSE(ZSTD_isError(size));
    out.resize(ZSTD_isError(size) ? 0 : size);
    return out;
}

// A Zstandard frame written out by hand: magic, a header with only a window descriptor
// (exponent in bits 7-3, eighths to add in bits 2-0: window 2^(10 + exponent) * (1 + m / 8)),
// and content as one raw block marked last.
std::vector<uint8_t> HandMadeZstdFrame(uint8_t windowDescriptor, const std::string& content)
{
    uint32_t block = 1 | static_cast<uint32_t>(content.size()) << 3; // last, raw, size
    std::vector<uint8_t> frame = {0x28, 0xB5, 0x2F, 0xFD, 0x00, windowDescriptor};
    for (int i = 0; i < 3; ++i) {
        frame.push_back(static_cast<uint8_t>(block >> (8 * i)));
    }
    frame.insert(frame.end(), content.begin(), content.end());
    return frame;
}

// Sets the dictionary byte of an .xz stream's first block (LZMA2's one property: the size is
// (2 | b & 1) << (b / 2 + 11)) and seals the block header's CRC-32 again. After the 12-byte
// stream header: header size / 4 - 1, flags (bits 0-1 filters - 1, bit 6 compressed size,
// bit 7 uncompressed size), the sizes as variable-length numbers, filter id 0x21, property size
// 1, the property; padding; CRC-32 of all before it.
void SetXzDictionary(std::vector<uint8_t>& xz, uint8_t property)
{
    size_t start = 12;
    size_t headerSize = (xz[start] + 1) * 4;
    uint8_t flags = xz[start + 1];
    size_t at = start + 2;
    for (int field = 0; field < ((flags >> 6) & 1) + ((flags >> 7) & 1); ++field) {
        while (xz[at++] & 0x80) {
        }
    }
    ASSERT_EQ(xz[at], 0x21) << "not LZMA2";
    ASSERT_EQ(xz[at + 1], 1);
    xz[at + 2] = property;
    uint32_t crc = Crc32(0, xz.data() + start, headerSize - 4);
    for (int i = 0; i < 4; ++i) {
        xz[start + headerSize - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
    }
}

bool Have(const char* tool)
{
    return access(tool, X_OK) == 0;
}

// Runs a shell command in folder; true when it exits 0.
bool RunIn(const TempFolder& folder, const std::string& command)
{
    std::string line = "cd '" + folder.Host() + "' && (" + command + ") >/dev/null 2>&1";
    return std::system(line.c_str()) == 0;
}

// Files the peer tools compress: text, noise, text with noise, one byte, nothing. The tools
// may store the last three.
std::map<std::string, std::vector<uint8_t>> PeerFiles()
{
    std::vector<uint8_t> mixed = Text(200000);
    std::vector<uint8_t> noise = Noise(70000, 3);
    std::copy(noise.begin(), noise.end(), mixed.begin() + 60000);
    return {{"text.txt", Text(300000)},
            {"noise.bin", Noise(100000, 1)},
            {"mixed.bin", mixed},
            {"one.txt", Bytes("x")},
            {"empty.txt", {}}};
}

// Decodes every member of an archive the test made and compares it with the file it holds.
void ExpectMembersDecode(const std::string& hostPath,
                         const std::map<std::string, std::vector<uint8_t>>& files, uint16_t method,
                         int* withEndMarker = nullptr)
{
    SCOPED_TRACE(hostPath);
    std::vector<RawZipMember> members = ReadRawZipFile(hostPath);
    EXPECT_EQ(members.size(), files.size());
    int compressed = 0;
    for (const RawZipMember& m : members) {
        SCOPED_TRACE(m.name);
        ASSERT_TRUE(files.count(m.name));
        // A file that does not shrink may be stored instead.
        if (m.method == 0) {
            EXPECT_TRUE(m.data == files.at(m.name));
            continue;
        }
        ASSERT_EQ(m.method, method);
        ++compressed;
        Decoded d = Decode(m.method, m.flags, m.data, m.unpackedSize);
        EXPECT_EQ(d.status, DecodeStatus::Ok) << DecodeStatusName(d.status);
        EXPECT_TRUE(d.bytes == files.at(m.name));
        EXPECT_EQ(Crc32(0, d.bytes.data(), d.bytes.size()), m.crc);
        if (withEndMarker != nullptr && (m.flags & kFlagEndMarker)) {
            ++*withEndMarker;
        }
    }
    EXPECT_GE(compressed, 2); // the text and the text with noise at least
}

// One sound stream of each method, for the tests of what happens around it.
struct MethodCase
{
    const char* name;
    uint16_t method;
    uint16_t flags;
    std::vector<uint8_t> data;
};

std::vector<MethodCase> SoundStreams(const std::vector<uint8_t>& content)
{
    return {{"bzip2", kZipBzip2, 0, Bzip2Stream(content)},
            {"lzma", kZipLzma, 0, LzmaData(content, false)},
            {"lzma with end marker", kZipLzma, kFlagEndMarker, LzmaData(content, true)},
            {"zstd", kZipZstd, 0, ZstdFrame(content)},
            {"xz", kZipXz, 0, XzStream(content)}};
}

} // namespace

TEST(ZipLibraryDecoder, CorpusMembersHashAsTheManifestSays)
{
    const std::map<std::string, int> archives = {
        {"commons-compress/bzip2-zip.zip", 1},
        {"commons-compress/COMPRESS-692/compress-692.zip", 5},
        {"commons-compress/test-method-xz.zip", 1},
        {"libarchive/test_read_format_zip_bzip2.zipx", 1},
        {"libarchive/test_read_format_zip_lzma.zipx", 1},
        {"libarchive/test_read_format_zip_xz_multi.zipx", 3},
        {"libarchive/test_read_format_zip_zstd.zipx", 1},
        {"libarchive/test_read_format_zip_7z_lzma.zip", 2},
    };
    for (const auto& [archive, count] : archives) {
        SCOPED_TRACE(archive);
        int decoded = 0;
        for (const CorpusZipMember& c : CorpusZipMembers(archive)) {
            const RawZipMember& m = c.member;
            SCOPED_TRACE(m.name);
            Decoded d = Decode(m.method, m.flags, m.data, m.unpackedSize);
            ASSERT_EQ(d.status, DecodeStatus::Ok) << DecodeStatusName(d.status);
            EXPECT_EQ(Sha256OfBytes(d.bytes), c.sha256);
            EXPECT_EQ(Crc32(0, d.bytes.data(), d.bytes.size()), m.crc);
            // Read a byte at a time and in odd pieces, the same bytes come out.
            for (uint32_t step : {1u, 7u, 1000u}) {
                Decoded split = Decode(m.method, m.flags, m.data, m.unpackedSize, step);
                EXPECT_EQ(split.status, DecodeStatus::Ok) << step;
                EXPECT_TRUE(split.bytes == d.bytes) << step;
            }
            ++decoded;
        }
        EXPECT_EQ(decoded, count);
    }
}

TEST(ZipLibraryDecoder, SevenZipMembers)
{
    if (!Have("/usr/bin/7zz")) {
        GTEST_SKIP() << "7zz is not installed (apt-get install 7zip)";
    }
    TempFolder tmp;
    auto files = PeerFiles();
    for (const auto& [name, bytes] : files) {
        tmp.WriteHostFile(name, std::string(bytes.begin(), bytes.end()));
    }
    const std::string list = "text.txt noise.bin mixed.bin one.txt empty.txt";
    ASSERT_TRUE(RunIn(tmp, "7zz a -tzip -mm=BZip2 bzip2.zip " + list));
    ASSERT_TRUE(RunIn(tmp, "7zz a -tzip -mm=BZip2 -mx=9 bzip2-9.zip " + list));
    ASSERT_TRUE(RunIn(tmp, "7zz a -tzip -mm=LZMA lzma.zip " + list));
    ASSERT_TRUE(RunIn(tmp, "7zz a -tzip -mm=LZMA -mx=9 lzma-9.zip " + list));
    ASSERT_TRUE(RunIn(tmp, "7zz a -tzip -mm=xz xz.zip " + list));
    ExpectMembersDecode(tmp.HostPath("bzip2.zip"), files, kZipBzip2);
    ExpectMembersDecode(tmp.HostPath("bzip2-9.zip"), files, kZipBzip2);
    int withEndMarker = 0;
    ExpectMembersDecode(tmp.HostPath("lzma.zip"), files, kZipLzma, &withEndMarker);
    ExpectMembersDecode(tmp.HostPath("lzma-9.zip"), files, kZipLzma, &withEndMarker);
    EXPECT_GT(withEndMarker, 0); // 7-Zip writes end markers and sets bit 1
    ExpectMembersDecode(tmp.HostPath("xz.zip"), files, kZipXz);
}

TEST(ZipLibraryDecoder, PythonZipfileMembers)
{
    if (!Have("/usr/bin/python3")) {
        GTEST_SKIP() << "python3 is not installed";
    }
    TempFolder tmp;
    auto files = PeerFiles();
    for (const auto& [name, bytes] : files) {
        tmp.WriteHostFile(name, std::string(bytes.begin(), bytes.end()));
    }
    tmp.WriteHostFile("make.py",
                      "import zipfile\n"
                      "names = ['text.txt', 'noise.bin', 'mixed.bin', 'one.txt', 'empty.txt']\n"
                      "for out, method in (('bzip2.zip', zipfile.ZIP_BZIP2),\n"
                      "                    ('lzma.zip', zipfile.ZIP_LZMA)):\n"
                      "    with zipfile.ZipFile(out, 'w', method) as z:\n"
                      "        for n in names:\n"
                      "            z.write(n)\n");
    ASSERT_TRUE(RunIn(tmp, "/usr/bin/python3 make.py"));
    ExpectMembersDecode(tmp.HostPath("bzip2.zip"), files, kZipBzip2);
    ExpectMembersDecode(tmp.HostPath("lzma.zip"), files, kZipLzma);
}

TEST(ZipLibraryDecoder, ZstdMembersMadeByLibzstd)
{
    std::vector<uint8_t> textBytes = Text(500000);
    std::string text(textBytes.begin(), textBytes.end());
    std::vector<uint8_t> noise = Noise(300000, 2);
    std::vector<ZipMember> members = {
        ZstdMember("fast.txt", text, 1),
        ZstdMember("default.txt", text),
        ZstdMember("best.txt", text, 19),
        ZstdMember("noise.bin", std::string(noise.begin(), noise.end())),
        ZstdMember("empty.txt", ""),
    };
    std::string archive = BuildZip(members);
    std::vector<RawZipMember> raw = ReadRawZipMembers(Bytes(archive));
    ASSERT_EQ(raw.size(), members.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        SCOPED_TRACE(raw[i].name);
        EXPECT_EQ(raw[i].method, kZipZstd);
        Decoded d = Decode(raw[i].method, raw[i].flags, raw[i].data, raw[i].unpackedSize);
        EXPECT_EQ(d.status, DecodeStatus::Ok) << DecodeStatusName(d.status);
        EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()),
                  i == 3 ? std::string(noise.begin(), noise.end())
                         : (i == 4 ? std::string() : text));
    }
}

TEST(ZipLibraryDecoder, EveryCutIsTruncated)
{
    std::vector<uint8_t> content = Join(Text(100000), Noise(5000, 4));
    for (const MethodCase& c : SoundStreams(content)) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(Decode(c.method, c.flags, c.data, content.size()).status, DecodeStatus::Ok);
        // Nothing, inside LZMA's own header, just after it, halfway, and one byte short.
        for (size_t keep :
             {size_t{0}, size_t{3}, size_t{9}, c.data.size() / 2, c.data.size() - 1}) {
            std::vector<uint8_t> cut(c.data.begin(), c.data.begin() + keep);
            Decoded d = Decode(c.method, c.flags, cut, content.size());
            EXPECT_EQ(d.status, DecodeStatus::Truncated)
                << keep << ": " << DecodeStatusName(d.status);
        }
    }
}

TEST(ZipLibraryDecoder, DamagedDataIsInvalid)
{
    std::vector<uint8_t> content = Join(Text(60000), Noise(3000, 5));
    auto changed = [](std::vector<uint8_t> data, size_t at, uint8_t value) {
        data.at(at) = value;
        return data;
    };
    auto flipped = [](std::vector<uint8_t> data, size_t at) {
        data.at(at) ^= 0x10;
        return data;
    };
    std::vector<uint8_t> bzip2 = Bzip2Stream(content);
    std::vector<uint8_t> xz = XzStream(content);
    std::vector<uint8_t> lzma = LzmaData(content, true);
    std::vector<uint8_t> zstd = ZstdFrame(content, true);
    const std::vector<uint8_t> junk = Bytes("junk after the stream");
    std::vector<MethodCase> cases = {
        // A block's CRC (or its tables) catches a changed bit; the signature is "BZh1" to "BZh9".
        {"bzip2 bit", kZipBzip2, 0, flipped(bzip2, bzip2.size() / 2)},
        {"bzip2 signature", kZipBzip2, 0, changed(bzip2, 0, 'b')},
        {"bzip2 block size", kZipBzip2, 0, changed(bzip2, 3, '0')},
        {"bzip2 then junk", kZipBzip2, 0, Join(bzip2, junk)},
        // CRC-64 check, block and index CRCs.
        {"xz bit", kZipXz, 0, flipped(xz, xz.size() / 2)},
        {"xz magic", kZipXz, 0, changed(xz, 1, 'Y')},
        {"xz then junk", kZipXz, 0, Join(xz, junk)},
        // The properties' size is 5, lc/lp/pb stays below 225, and a range coder starts with 0.
        {"lzma properties size", kZipLzma, kFlagEndMarker, changed(lzma, 2, 6)},
        {"lzma lc/lp/pb", kZipLzma, kFlagEndMarker, changed(lzma, 4, 225)},
        {"lzma range coder", kZipLzma, kFlagEndMarker, changed(lzma, 9, 0x80)},
        // The content checksum, and bytes that start no frame.
        {"zstd bit", kZipZstd, 0, flipped(zstd, zstd.size() / 2)},
        {"zstd magic", kZipZstd, 0, changed(zstd, 0, 0x29)},
        // The magics of the format's versions 0.7 and 0.6, which libzstd would read: the
        // header of a 0.6 frame alone would wait for its blocks.
        {"zstd before 1.0", kZipZstd, 0, changed(zstd, 0, 0x27)},
        {"zstd 0.6 header", kZipZstd, 0, {0x26, 0xB5, 0x2F, 0xFD, 0x04, 0x58, 0x6D, 0x07}},
        {"zstd then a frame before 1.0", kZipZstd, 0, Join(zstd, changed(zstd, 0, 0x26))},
        {"zstd then junk", kZipZstd, 0, Join(zstd, junk)},
    };
    for (const MethodCase& c : cases) {
        // Room for what damaged data may produce before a check fails.
        Decoded d = Decode(c.method, c.flags, c.data, 4 * content.size());
        EXPECT_EQ(d.status, DecodeStatus::Invalid) << c.name << ": " << DecodeStatusName(d.status);
    }
}

TEST(ZipLibraryDecoder, LargeWindowsAreUnsupported)
{
    const std::string hello = "hello, window";
    struct Case
    {
        const char* name;
        uint16_t method;
        uint16_t flags;
        std::vector<uint8_t> data;
        uint64_t declared;
        DecodeStatus expected;
    };
    std::vector<uint8_t> xz128 = XzStream(Bytes(hello), 1 << 16);
    std::vector<uint8_t> xz192 = xz128;
    SetXzDictionary(xz128, 30); // 2 << 26: 128 MiB
    SetXzDictionary(xz192, 31); // 3 << 26: 192 MiB
    std::vector<uint8_t> tiny = Bytes(hello);
    const uint64_t kLimit = uint64_t{1} << 27;
    std::vector<Case> cases = {
        // Window descriptors: exponent 17 is 2^27; with one eighth more, or exponent 18, beyond.
        {"zstd 128 MiB", kZipZstd, 0, HandMadeZstdFrame(17 << 3, hello), hello.size(),
         DecodeStatus::Ok},
        {"zstd 144 MiB", kZipZstd, 0, HandMadeZstdFrame(17 << 3 | 1, hello), hello.size(),
         DecodeStatus::Unsupported},
        {"zstd 256 MiB", kZipZstd, 0, HandMadeZstdFrame(18 << 3, hello), hello.size(),
         DecodeStatus::Unsupported},
        {"xz 128 MiB", kZipXz, 0, xz128, hello.size(), DecodeStatus::Ok},
        {"xz 192 MiB", kZipXz, 0, xz192, hello.size(), DecodeStatus::Unsupported},
        // A dictionary counts only as far as the declared size reaches.
        {"lzma 1 GiB, small member", kZipLzma, kFlagEndMarker, LzmaData(tiny, true, 1u << 30),
         hello.size(), DecodeStatus::Ok},
        {"lzma 128 MiB, large member", kZipLzma, kFlagEndMarker, LzmaData(tiny, true, 1u << 27),
         kLimit * 4, DecodeStatus::Ok},
        {"lzma 1 GiB, large member", kZipLzma, kFlagEndMarker, LzmaData(tiny, true, 1u << 30),
         kLimit + 1, DecodeStatus::Unsupported},
        // lc 4 with lp 1: sound LZMA beyond liblzma's lc + lp <= 4.
        {"lzma lc + lp 5", kZipLzma, kFlagEndMarker, LzmaData(tiny, true, 1 << 20, 13),
         hello.size(), DecodeStatus::Unsupported},
    };
    for (const Case& c : cases) {
        Decoded d = Decode(c.method, c.flags, c.data, c.declared);
        EXPECT_EQ(d.status, c.expected) << c.name << ": " << DecodeStatusName(d.status);
        if (c.expected == DecodeStatus::Ok) {
            EXPECT_EQ(std::string(d.bytes.begin(), d.bytes.end()), hello) << c.name;
        } else {
            EXPECT_TRUE(d.bytes.empty()) << c.name;
        }
    }
}

TEST(ZipLibraryDecoder, OutputPastTheDeclaredSizeIsRefused)
{
    std::vector<uint8_t> content = Text(700000); // more than one output chunk
    for (const MethodCase& c : SoundStreams(content)) {
        if (c.method == kZipLzma && !(c.flags & kFlagEndMarker)) {
            continue; // the declared size is where this stream ends: see the next test
        }
        for (uint64_t declared : {uint64_t{0}, uint64_t{1000}, uint64_t{content.size() - 1}}) {
            Decoded d = Decode(c.method, c.flags, c.data, declared);
            EXPECT_EQ(d.status, DecodeStatus::OutputRefused)
                << c.name << " " << declared << ": " << DecodeStatusName(d.status);
            EXPECT_TRUE(d.refused);
            EXPECT_LE(d.bytes.size(), declared);
        }
    }
}

TEST(ZipLibraryDecoder, LzmaEndsWhereBitOneSays)
{
    std::vector<uint8_t> content = Text(50000);
    std::vector<uint8_t> marked = LzmaData(content, true);
    std::vector<uint8_t> unmarked = LzmaData(content, false);
    // Without bit 1 the declared size ends the stream, whether a marker follows or not, and
    // what comes after the stream is not read. A declared size short of the stream's end
    // leaves the range coder unfinished there.
    for (const auto* data : {&marked, &unmarked}) {
        Decoded whole = Decode(kZipLzma, 0, *data, content.size());
        EXPECT_EQ(whole.status, DecodeStatus::Ok);
        EXPECT_TRUE(whole.bytes == content);
        Decoded padded = Decode(kZipLzma, 0, Join(*data, Bytes("padding")), content.size());
        EXPECT_EQ(padded.status, DecodeStatus::Ok);
        EXPECT_TRUE(padded.bytes == content);
        Decoded part = Decode(kZipLzma, 0, *data, 20000);
        EXPECT_EQ(part.status, DecodeStatus::Invalid);
        EXPECT_LE(part.bytes.size(), 20000u);
        EXPECT_TRUE(std::equal(part.bytes.begin(), part.bytes.end(), content.begin()));
    }
    // With bit 1 the marker ends it, and must come.
    EXPECT_EQ(Decode(kZipLzma, kFlagEndMarker, marked, content.size()).status, DecodeStatus::Ok);
    EXPECT_NE(Decode(kZipLzma, kFlagEndMarker, unmarked, content.size() + 100).status,
              DecodeStatus::Ok);
    // A marker before the declared size, without bit 1, breaks the stream.
    EXPECT_EQ(Decode(kZipLzma, 0, marked, content.size() + 1).status, DecodeStatus::Invalid);
}

TEST(ZipLibraryDecoder, StreamsBackToBackDecodeAsOne)
{
    std::vector<uint8_t> first = Text(40000);
    std::vector<uint8_t> second = Noise(20000, 6);
    std::vector<uint8_t> both = Join(first, second);
    // A skippable frame (magic 0x184D2A50, 4-byte size, content) between two frames.
    std::vector<uint8_t> skippable = {0x50, 0x2A, 0x4D, 0x18, 3, 0, 0, 0, 'a', 'b', 'c'};
    // .xz streams may be separated by zeros in multiples of four.
    std::vector<uint8_t> padding(8, 0);
    std::vector<MethodCase> cases = {
        {"bzip2", kZipBzip2, 0, Join(Bzip2Stream(first), Bzip2Stream(second, 1))},
        {"zstd", kZipZstd, 0, Join(Join(ZstdFrame(first), skippable), ZstdFrame(second))},
        {"xz", kZipXz, 0, Join(Join(XzStream(first), padding), XzStream(second))},
    };
    for (const MethodCase& c : cases) {
        for (uint32_t step : {UINT32_MAX, 5u}) {
            Decoded d = Decode(c.method, c.flags, c.data, both.size(), step);
            EXPECT_EQ(d.status, DecodeStatus::Ok) << c.name << ": " << DecodeStatusName(d.status);
            EXPECT_TRUE(d.bytes == both) << c.name;
        }
    }
}

TEST(ZipLibraryDecoder, EmptyMemberIsTruncated)
{
    for (const MethodCase& c : SoundStreams(Text(10))) {
        EXPECT_EQ(Decode(c.method, c.flags, {}, 10).status, DecodeStatus::Truncated) << c.name;
    }
}

TEST(ZipLibraryDecoder, OneSetServesMemberAfterMember)
{
    // The same decoders after a failure in mid-stream and after a refused write start clean.
    std::vector<uint8_t> content = Join(Text(300000), Noise(100000, 7));
    CZipLibraryDecoders decoders;
    for (const MethodCase& c : SoundStreams(content)) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> cut(c.data.begin(), c.data.begin() + c.data.size() / 2);
        EXPECT_EQ(Decode(decoders, c.method, c.flags, cut, content.size()).status,
                  DecodeStatus::Truncated);
        Decoded good = Decode(decoders, c.method, c.flags, c.data, content.size());
        EXPECT_EQ(good.status, DecodeStatus::Ok);
        EXPECT_TRUE(good.bytes == content);
        if (c.flags & kFlagEndMarker || c.method != kZipLzma) {
            EXPECT_EQ(Decode(decoders, c.method, c.flags, c.data, 5000).status,
                      DecodeStatus::OutputRefused);
        }
        Decoded again = Decode(decoders, c.method, c.flags, c.data, content.size(), 999);
        EXPECT_EQ(again.status, DecodeStatus::Ok);
        EXPECT_TRUE(again.bytes == content);
    }
}

TEST(ZipLibraryDecoder, OnlyTheLibraryMethodsHaveDecoders)
{
    CZipLibraryDecoders decoders;
    for (uint16_t method : {0, 8, 9, 6, 98, 99}) {
        EXPECT_EQ(decoders.For(method), nullptr) << method;
    }
    for (uint16_t method : {12, 14, 93, 95}) {
        EXPECT_NE(decoders.For(method), nullptr) << method;
    }
    // The liblzma decoder takes its two methods only.
    CZipLzmaDecoder lzma;
    std::vector<uint8_t> data = Bzip2Stream(Text(100));
    MemorySource source(data);
    VectorSink sink;
    ZipDecodeJob job{&source, &sink, data.size(), 100, kZipBzip2, 0};
    EXPECT_EQ(lzma.Decode(job), DecodeStatus::Unsupported);
}
