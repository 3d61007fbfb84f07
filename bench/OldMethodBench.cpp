// The -lh1-, -lzs- and -lz5- decoders over whole archives, for timing against lhasa:
//   make SOURCE N OUT  writes OUT, a level-0 archive holding SOURCE's first member N times
//                      under different names (the same packed bytes, CRC and sizes)
//   t ARCHIVE          decodes and checks every member of one of those methods
#include "archive/MemberStreams.h"
#include "lzh/ArchiveEntry.h"
#include "lzh/LzhArchive.h"
#include "lzh/LzhMethods.h"
#include "platform/DevicePath.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{

bool OpenArchive(CLzhArchive& archive, const char* hostPath)
{
    std::wstring path = platform::HostToDevice(hostPath);
    if (!archive.Open(path.c_str(), false) || archive.GetEntryCount() == 0) {
        std::fprintf(stderr, "cannot open %s (status %d)\n", hostPath, archive.status);
        return false;
    }
    return true;
}

void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i) {
        s += static_cast<char>((v >> (8 * i)) & 0xFF);
    }
}

// Level 0: size, checksum, method, packed, unpacked, time, attribute, level, name, CRC; level 1
// (LHARK's members, which its rule tells apart by it) adds the OS id 0x20 and an empty chain
// of extended headers.
std::string MemberHeader(const CArchiveEntry& e, const std::string& name)
{
    const bool level1 = LzhMethodOf(e)->number == kMethodLk7;
    std::string body;
    for (int i = 0; i < 5; ++i) {
        body += static_cast<char>(e.method[i]);
    }
    Put32(body, e.packedSize);
    Put32(body, e.unpackedSize);
    Put32(body, 0x00210000); // 1980-01-01 00:00
    body += '\x20';
    body += level1 ? '\1' : '\0';
    body += static_cast<char>(name.size());
    body += name;
    body += static_cast<char>(e.crc & 0xFF);
    body += static_cast<char>((e.crc >> 8) & 0xFF);
    if (level1) {
        body += std::string("\x20\0\0", 3);
    }
    unsigned sum = 0;
    for (char c : body) {
        sum += static_cast<uint8_t>(c);
    }
    return std::string(1, static_cast<char>(body.size())) +
           std::string(1, static_cast<char>(sum & 0xFF)) + body;
}

int Make(const char* source, int copies, const char* outPath)
{
    CLzhArchive archive;
    if (!OpenArchive(archive, source)) {
        return 1;
    }
    const CArchiveEntry& e = archive.GetEntry(0);
    std::vector<uint8_t> packed(e.packedSize);
    uint32_t got = 0;
    if (!platform::SeekFile(archive.archiveFile, e.dataPos, platform::SeekOrigin::Begin) ||
        !platform::ReadFile(archive.archiveFile, packed.data(), e.packedSize, &got) ||
        got != e.packedSize) {
        std::fprintf(stderr, "cannot read the first member of %s\n", source);
        return 1;
    }
    FILE* out = std::fopen(outPath, "wb");
    if (out == nullptr) {
        return 1;
    }
    for (int i = 0; i < copies; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "m%06d.bin", i);
        std::string header = MemberHeader(e, name);
        std::fwrite(header.data(), 1, header.size(), out);
        std::fwrite(packed.data(), 1, packed.size(), out);
    }
    std::fputc(0, out);
    return std::fclose(out) == 0 ? 0 : 1;
}

int Test(const char* path)
{
    CLzhArchive archive;
    if (!OpenArchive(archive, path)) {
        return 1;
    }
    int failed = 0;
    unsigned long long bytes = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        const CArchiveEntry& e = archive.GetEntry(i);
        const LzhMethodInfo* method = LzhMethodOf(e);
        bool ok = false;
        uint16_t crc = 0;
        if (method != nullptr && method->Readable() &&
            platform::SeekFile(archive.archiveFile, e.dataPos, platform::SeekOrigin::Begin)) {
            CFileSource source(archive.archiveFile, e.packedSize);
            LzhDecodeResult r =
                LzhThreadDecoder(*method)->Decode({&source, nullptr, e.packedSize, e.unpackedSize});
            ok = r.status == DecodeStatus::Ok;
            crc = r.crc;
        }
        if (!ok || crc != (e.crc & 0xFFFF)) {
            std::fprintf(stderr, "%ls: %s\n", e.name, ok ? "CRC mismatch" : "broken");
            ++failed;
        }
        bytes += e.unpackedSize;
    }
    std::printf("%d members, %llu bytes, %d failed\n", archive.GetEntryCount(), bytes, failed);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 5 && std::strcmp(argv[1], "make") == 0) {
        return Make(argv[2], std::atoi(argv[3]), argv[4]);
    }
    if (argc == 3 && std::strcmp(argv[1], "t") == 0) {
        return Test(argv[2]);
    }
    std::fprintf(stderr, "usage: %s make SOURCE N OUT | t ARCHIVE\n", argv[0]);
    return 2;
}
