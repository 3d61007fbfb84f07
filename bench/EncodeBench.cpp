// Compresses files with the LZH encoder (method 5, 6 or 7) into one output file of
// concatenated streams, storing what does not shrink, for timing against other archivers.
#include "lzh/LzhCodec.h"
#include "platform/DevicePath.h"
#include "platform/File.h"

#include <cstdio>
#include <cstdlib>

using namespace platform;

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s METHOD OUTPUT FILE...\n", argv[0]);
        return 2;
    }
    int method = std::atoi(argv[1]);
    FileHandle out = OpenFile(HostToDevice(argv[2]), kAccessReadWrite, FileShare::None,
                              FileDisposition::CreateAlways);
    if (out == kInvalidFile) {
        std::fprintf(stderr, "cannot create %s\n", argv[2]);
        return 1;
    }
    unsigned long long in = 0, packed = 0;
    for (int i = 3; i < argc; ++i) {
        FileHandle file = OpenFile(HostToDevice(argv[i]), kAccessRead, FileShare::Read,
                                   FileDisposition::OpenExisting, FileHint::SequentialScan);
        uint64_t size = 0;
        if (file == kInvalidFile || !GetFileSize(file, &size) || size > 0xFFFFFFFFu) {
            std::fprintf(stderr, "cannot read %s\n", argv[i]);
            return 1;
        }
        if (size > 0) {
            int64_t start = 0;
            SeekFile(out, 0, SeekOrigin::Current, &start);
            LzhCodecParams params{file, out, static_cast<uint32_t>(size), 0, method};
            LzhEncode(params);
            if (params.packedSize >= size) {
                // Stored instead, as the archive writer does.
                SeekFile(out, start, SeekOrigin::Begin);
                SeekFile(file, 0, SeekOrigin::Begin);
                static char buffer[1 << 16];
                uint32_t got = 0, written = 0;
                while (ReadFile(file, buffer, sizeof buffer, &got) && got > 0) {
                    WriteFile(out, buffer, got, &written);
                }
                params.packedSize = static_cast<uint32_t>(size);
            }
            packed += params.packedSize;
        }
        in += size;
        CloseFile(file);
    }
    SetEndOfFile(out);
    CloseFile(out);
    std::printf("%llu bytes in, %llu bytes out, ratio %.3f\n", in, packed,
                in == 0 ? 0.0 : static_cast<double>(packed) / static_cast<double>(in));
    return 0;
}
