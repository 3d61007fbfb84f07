// The Shrink, Reduce and Implode decoders over whole archives, for counting instructions beside
// `unzip -t` (valgrind --tool=callgrind) on the same file:
//   make OUT MB KIND [MEMBERS]
//                     writes OUT, a ZIP of MB megabytes of generated text cut into MEMBERS
//                     members (1), made by the test-side encoder: KIND is shrink, reduce4,
//                     implode4k2 (4 KiB window, two codes) or implode8k3 (8 KiB, three codes)
//   t ARCHIVE         decodes every member of methods 1-6 and checks its CRC-32, as a test
//                     of the archive does
#include "tests/support/LegacyZipEncoders.h"
#include "zip/Crc32.h"
#include "zip/ZipImplodeDecoder.h"
#include "zip/ZipReduceDecoder.h"
#include "zip/ZipShrinkDecoder.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace
{

using Bytes = std::vector<uint8_t>;

// Words, numbers and now and then a run or a stray byte: text that all three methods
// compress with matches of every kind.
Bytes Text(size_t size)
{
    static const char* const kWords[] = {
        "the ",  "archive ", "member ", "shrink ",   "reduce ", "implode ", "window ",
        "code ", "length ",  "of ",     "distance ", "\r\n",    "tree ",    "literal ",
        "and ",  "a ",       "set ",    "ZIP ",      "PKWARE ", "bits ",    "follower "};
    std::mt19937 random(1);
    Bytes out;
    while (out.size() < size) {
        const unsigned pick = random() % 40;
        if (pick < 21) {
            for (const char* w = kWords[pick]; *w != 0; ++w) {
                out.push_back(static_cast<uint8_t>(*w));
            }
        } else if (pick < 31) {
            out.push_back(static_cast<uint8_t>('0' + random() % 10));
        } else if (pick < 32) {
            out.insert(out.end(), 20 + random() % 100, static_cast<uint8_t>(random()));
        } else {
            out.push_back(static_cast<uint8_t>(random()));
        }
    }
    out.resize(size);
    return out;
}

void Put16(std::string& s, uint32_t v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

uint32_t Get(const Bytes& b, size_t at, int n)
{
    uint32_t v = 0;
    for (int i = n; i-- > 0;) {
        v = (v << 8) | b[at + static_cast<size_t>(i)];
    }
    return v;
}

struct Member
{
    Bytes packed;
    uint16_t method;
    uint16_t flags;
    uint32_t crc;
    uint32_t size;
};

// Local headers with their data, the central directory and the end record.
std::string Zip(const std::vector<Member>& members)
{
    auto fields = [](std::string& s, const Member& m, const std::string& name) {
        Put16(s, 10); // version needed: 1.0
        Put16(s, m.flags);
        Put16(s, m.method);
        Put32(s, 0x00210000); // 1980-01-01 00:00
        Put32(s, m.crc);
        Put32(s, static_cast<uint32_t>(m.packed.size()));
        Put32(s, m.size);
        Put16(s, static_cast<uint32_t>(name.size()));
        Put16(s, 0);
    };
    auto name = [](size_t i) { return "DATA" + std::to_string(i) + ".TXT"; };
    std::string zip;
    std::vector<uint32_t> offsets;
    for (size_t i = 0; i < members.size(); ++i) {
        offsets.push_back(static_cast<uint32_t>(zip.size()));
        Put32(zip, 0x04034B50);
        fields(zip, members[i], name(i));
        zip += name(i);
        zip.append(members[i].packed.begin(), members[i].packed.end());
    }
    const auto directory = static_cast<uint32_t>(zip.size());
    for (size_t i = 0; i < members.size(); ++i) {
        Put32(zip, 0x02014B50);
        Put16(zip, 10); // made by: MS-DOS, 1.0
        fields(zip, members[i], name(i));
        Put16(zip, 0);    // comment
        Put16(zip, 0);    // disk
        Put16(zip, 0);    // internal attributes
        Put32(zip, 0x20); // archive bit
        Put32(zip, offsets[i]);
        zip += name(i);
    }
    const auto directorySize = static_cast<uint32_t>(zip.size()) - directory;
    Put32(zip, 0x06054B50);
    Put32(zip, 0);
    Put16(zip, static_cast<uint32_t>(members.size()));
    Put16(zip, static_cast<uint32_t>(members.size()));
    Put32(zip, directorySize);
    Put32(zip, directory);
    Put16(zip, 0);
    return zip;
}

Member Encode(const Bytes& data, const std::string& kind)
{
    Member m{{}, 0, 0, Crc32(0, data.data(), data.size()), static_cast<uint32_t>(data.size())};
    if (kind == "shrink") {
        m.method = 1;
        m.packed = testsupport::ShrinkEncode(data);
    } else if (kind == "reduce4") {
        m.method = 5;
        m.packed = testsupport::ReduceEncode(data, {4, 32});
    } else if (kind == "implode4k2" || kind == "implode8k3") {
        const bool big = kind == "implode8k3";
        const testsupport::ImplodeOptions options{big, big, 32};
        m.method = 6;
        m.flags = testsupport::ImplodeFlags(options);
        m.packed = testsupport::ImplodeEncode(data, options);
    }
    return m;
}

int Make(const char* out, double megabytes, const std::string& kind, int count)
{
    if (kind != "shrink" && kind != "reduce4" && kind != "implode4k2" && kind != "implode8k3") {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        return 2;
    }
    const Bytes data = Text(static_cast<size_t>(megabytes * 1024 * 1024));
    std::vector<Member> members;
    size_t packed = 0;
    for (int i = 0; i < count; ++i) {
        const size_t from = data.size() * static_cast<size_t>(i) / static_cast<size_t>(count);
        const size_t to = data.size() * static_cast<size_t>(i + 1) / static_cast<size_t>(count);
        members.push_back(Encode(Bytes(data.begin() + static_cast<ptrdiff_t>(from),
                                       data.begin() + static_cast<ptrdiff_t>(to)),
                                 kind));
        packed += members.back().packed.size();
    }
    const std::string zip = Zip(members);
    FILE* f = std::fopen(out, "wb");
    if (f == nullptr || std::fwrite(zip.data(), 1, zip.size(), f) != zip.size()) {
        std::fprintf(stderr, "cannot write %s\n", out);
        return 1;
    }
    std::fclose(f);
    std::printf("%s: %zu bytes in %d members, %zu packed\n", out, data.size(), count, packed);
    return 0;
}

class MemorySource final : public ByteSource
{
public:
    MemorySource(const uint8_t* data, size_t size) : m_data(data), m_left(size) {}
    uint32_t Read(uint8_t* buffer, uint32_t capacity) override
    {
        const size_t n = std::min<size_t>(capacity, m_left);
        std::memcpy(buffer, m_data, n);
        m_data += n;
        m_left -= n;
        return static_cast<uint32_t>(n);
    }

private:
    const uint8_t* m_data;
    size_t m_left;
};

class CrcSink final : public ByteSink
{
public:
    bool Write(const uint8_t* data, size_t count) override
    {
        crc = Crc32(crc, data, count);
        return true;
    }
    uint32_t crc = 0;
};

int Test(const char* path)
{
    FILE* f = std::fopen(path, "rb");
    if (f == nullptr) {
        std::fprintf(stderr, "cannot open %s\n", path);
        return 1;
    }
    Bytes zip;
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) != 0;) {
        zip.insert(zip.end(), chunk, chunk + n);
    }
    std::fclose(f);
    if (zip.size() < 22 || Get(zip, zip.size() - 22, 4) != 0x06054B50) {
        std::fprintf(stderr, "%s: no end record right at the end\n", path);
        return 1;
    }
    CZipShrinkDecoder shrink;
    CZipReduceDecoder reduce;
    CZipImplodeDecoder implode;
    const size_t end = zip.size() - 22;
    int failed = 0;
    for (size_t at = Get(zip, end + 16, 4); at + 46 <= end && Get(zip, at, 4) == 0x02014B50;
         at += 46 + Get(zip, at + 28, 2) + Get(zip, at + 30, 2) + Get(zip, at + 32, 2)) {
        const auto method = static_cast<uint16_t>(Get(zip, at + 10, 2));
        if (method < 1 || method > 6) {
            continue;
        }
        const size_t local = Get(zip, at + 42, 4);
        const size_t data = local + 30 + Get(zip, local + 26, 2) + Get(zip, local + 28, 2);
        const uint32_t packedSize = Get(zip, at + 20, 4);
        MemorySource source(zip.data() + data, packedSize);
        CrcSink sink;
        ZipDecodeJob job{&source,    &sink,
                         packedSize, Get(zip, at + 24, 4),
                         method,     static_cast<uint16_t>(Get(zip, at + 8, 2))};
        CZipMethodDecoder& decoder = method == 1   ? static_cast<CZipMethodDecoder&>(shrink)
                                     : method == 6 ? static_cast<CZipMethodDecoder&>(implode)
                                                   : reduce;
        const DecodeStatus status = decoder.Decode(job);
        const bool ok = status == DecodeStatus::Ok && sink.crc == Get(zip, at + 16, 4);
        const char* verdict =
            status == DecodeStatus::Ok ? "CRC mismatch" : DecodeStatusName(status);
        std::printf("%.*s: %s\n", static_cast<int>(Get(zip, at + 28, 2)),
                    reinterpret_cast<const char*>(&zip[at + 46]), ok ? "OK" : verdict);
        failed += ok ? 0 : 1;
    }
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if ((argc == 5 || argc == 6) && std::strcmp(argv[1], "make") == 0) {
        return Make(argv[2], std::atof(argv[3]), argv[4], argc == 6 ? std::atoi(argv[5]) : 1);
    }
    if (argc == 3 && std::strcmp(argv[1], "t") == 0) {
        return Test(argv[2]);
    }
    std::fprintf(stderr, "usage: zip_legacy_bench make OUT MB KIND [MEMBERS] | t ARCHIVE\n");
    return 2;
}
