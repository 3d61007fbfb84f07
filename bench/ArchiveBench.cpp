// Creates an archive of files as the program does, compressing ahead on every core (c) or on
// the adding thread alone (s), or deletes one member from an archive (d), with the archive
// object's own add and rewrite, for timing against other archivers.
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 4 || std::strchr("csd", argv[1][0]) == nullptr) {
        std::fprintf(stderr, "usage: %s c|s ARCHIVE METHOD(0,5,6,7) FILE... | d ARCHIVE INDEX\n",
                     argv[0]);
        return 2;
    }
    CLzhArchive archive;
    std::wstring path = platform::HostToDevice(argv[2]);
    if (!archive.Open(path.c_str(), argv[1][0] != 'd')) {
        std::fprintf(stderr, "cannot open %s (status %d)\n", argv[2], archive.status);
        return 1;
    }
    if (argv[1][0] == 'd') {
        int index = std::atoi(argv[3]);
        if (index < 0 || index >= archive.GetEntryCount() || !archive.DeleteEntry(index)) {
            std::fprintf(stderr, "cannot delete member %d\n", index);
            return 1;
        }
    } else {
        int method = std::atoi(argv[3]);
        archive.storeOnly = method == 0;
        archive.methodIndex = method - 5;
        archive.keepFolders = true;
        archive.addMode = true;
        if (argv[1][0] == 'c' && !archive.storeOnly) {
            std::vector<std::wstring> sources;
            for (int i = 4; i < argc; ++i) {
                sources.push_back(platform::HostToDevice(argv[i]));
            }
            archive.CompressAhead(std::move(sources));
        }
        for (int i = 4; i < argc; ++i) {
            std::wstring name = platform::HostToDevice(argv[i]);
            if (!archive.AddFile(name.c_str())) {
                std::fprintf(stderr, "cannot add %s (status %d)\n", argv[i], archive.status);
                return 1;
            }
        }
    }
    if (!archive.Close()) {
        std::fprintf(stderr, "cannot close %s (status %d)\n", argv[2], archive.status);
        return 1;
    }
    return 0;
}
