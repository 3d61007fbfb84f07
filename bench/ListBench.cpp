// Lists an LZH archive the way a console lister does (attributes, sizes, ratio, method, CRC,
// local time, path), for timing against the peer tools on the same file.
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace
{

void PrintEntry(const CArchiveEntry& e, std::string& line)
{
    platform::FileTime local = 0;
    platform::SystemTime st{};
    platform::FileTimeToLocalFileTime(e.modified, &local);
    platform::FileTimeToSystemTime(local, &st);
    char fixed[160];
    unsigned ratio = e.unpackedSize == 0
                         ? 1000
                         : static_cast<unsigned>(uint64_t{e.packedSize} * 1000 / e.unpackedSize);
    std::snprintf(fixed, sizeof fixed,
                  "%c%c%c%c%c %10llu %10llu %3u.%u%% %-5ls %04X %04u-%02u-%02u %02u:%02u:%02u ",
                  (e.attributes & 0x10) ? 'd' : '-', (e.attributes & 0x01) ? 'r' : '-',
                  (e.attributes & 0x02) ? 'h' : '-', (e.attributes & 0x04) ? 's' : '-',
                  (e.attributes & 0x20) ? 'a' : '-',
                  static_cast<unsigned long long>(e.unpackedSize),
                  static_cast<unsigned long long>(e.packedSize), ratio / 10, ratio % 10, e.method,
                  e.crc, st.year, st.month, st.day, st.hour, st.minute, st.second);
    line.assign(fixed);
    line += platform::WideToUtf8(e.folder);
    line += platform::WideToUtf8(e.name);
    line.push_back('\n');
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE\n", argv[0]);
        return 2;
    }
    CLzhArchive archive;
    std::wstring path = platform::HostToDevice(argv[1]);
    if (!archive.Open(path.c_str(), false)) {
        std::fprintf(stderr, "cannot open %s (status %d)\n", argv[1], archive.status);
        return 1;
    }
    std::string line;
    uint64_t packed = 0, unpacked = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        PrintEntry(archive.GetEntry(i), line);
        std::fwrite(line.data(), 1, line.size(), stdout);
        packed += archive.GetEntry(i).packedSize;
        unpacked += archive.GetEntry(i).unpackedSize;
    }
    std::printf("%d files, %llu bytes, %llu packed\n", archive.GetEntryCount(),
                static_cast<unsigned long long>(unpacked), static_cast<unsigned long long>(packed));
    archive.Close();
    return 0;
}
