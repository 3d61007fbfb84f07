// Tests (t) or extracts (x) every member of an LZH archive, as the Test and Extract all
// commands do, for timing against the peer tools on the same archives.
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 3 || (std::strcmp(argv[1], "t") != 0 && std::strcmp(argv[1], "x") != 0) ||
        (argv[1][0] == 'x' && argc != 4)) {
        std::fprintf(stderr, "usage: %s t ARCHIVE | x ARCHIVE FOLDER\n", argv[0]);
        return 2;
    }
    CLzhArchive archive;
    std::wstring path = platform::HostToDevice(argv[2]);
    if (!archive.Open(path.c_str(), false)) {
        std::fprintf(stderr, "cannot open %s (status %d)\n", argv[2], archive.status);
        return 1;
    }
    archive.testMode = argv[1][0] == 't';
    if (!archive.testMode) {
        std::wstring dest = platform::HostToDevice(argv[3]);
        std::wcsncpy(archive.destFolder, dest.c_str(), kMaxPath - 1);
        archive.keepFolders = true;
        archive.addMode = true;
        archive.overwriteSilently = true;
    }
    int failed = 0;
    unsigned long long bytes = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        if (!archive.ExtractEntry(i)) {
            std::fprintf(stderr, "%ls%ls: status %d\n", archive.GetEntry(i).folder,
                         archive.GetEntry(i).name, archive.status);
            ++failed;
        }
        bytes += archive.GetEntry(i).unpackedSize;
    }
    archive.Close();
    std::printf("%d members, %llu bytes, %d failed\n", archive.GetEntryCount(), bytes, failed);
    return failed == 0 ? 0 : 1;
}
