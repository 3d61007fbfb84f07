// Decodes one compressed stream (the data of a member of method 12, 14, 93 or 95) from a file
// through its library decoder, as extraction reads a member, into a sink that counts the
// CRC-32 (or, with --no-crc, only the bytes): for comparing the decoder's plumbing with the
// library's own command-line tool (bzip2 -t, xz -t, zstd -t) under callgrind.
#include "platform/DevicePath.h"
#include "platform/File.h"
#include "zip/Crc32.h"
#include "zip/ZipLibraryDecoders.h"
#include "zip/ZipMemberStream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

class CountingSink final : public ByteSink
{
public:
    explicit CountingSink(bool countCrc) : m_crc(countCrc) {}
    bool Write(const uint8_t* data, size_t count) override
    {
        if (m_crc) {
            crc = Crc32(crc, data, count);
        }
        bytes += count;
        return true;
    }
    uint32_t crc = 0;
    uint64_t bytes = 0;

private:
    bool m_crc;
};

} // namespace

int main(int argc, char** argv)
{
    bool crc = true;
    if (argc >= 2 && std::strcmp(argv[1], "--no-crc") == 0) {
        crc = false;
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s [--no-crc] METHOD FILE [FLAGS [UNPACKED_SIZE]]\n", argv[0]);
        return 2;
    }
    uint16_t method = static_cast<uint16_t>(std::atoi(argv[1]));
    uint16_t flags = argc > 3 ? static_cast<uint16_t>(std::strtoul(argv[3], nullptr, 0)) : 0;
    uint64_t unpacked = argc > 4 ? std::strtoull(argv[4], nullptr, 0) : UINT64_MAX;
    std::wstring path = platform::HostToDevice(argv[2]);
    platform::FileHandle file =
        platform::OpenFile(path, platform::kAccessRead, platform::FileShare::Read,
                           platform::FileDisposition::OpenExisting);
    uint64_t size = 0;
    if (file == platform::kInvalidFile || !platform::GetFileSize(file, &size)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 1;
    }
    CZipLibraryDecoders decoders;
    CZipMethodDecoder* decoder = decoders.For(method);
    if (decoder == nullptr) {
        std::fprintf(stderr, "no decoder for method %u\n", method);
        return 2;
    }
    CZipMemberStream stream;
    stream.Prime(file, size);
    CountingSink sink(crc);
    ZipDecodeJob job{&stream, &sink, size, unpacked, method, flags};
    DecodeStatus status = decoder->Decode(job);
    platform::CloseFile(file);
    std::printf("%s: %llu bytes, CRC-32 %08x\n", DecodeStatusName(status),
                static_cast<unsigned long long>(sink.bytes), sink.crc);
    return status == DecodeStatus::Ok ? 0 : 1;
}
