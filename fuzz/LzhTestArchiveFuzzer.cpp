// Fuzz target: an arbitrary file opened as an LZH archive with every member checked in test
// mode, the way the Test command walks an archive.
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const std::string folder = [] {
        std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        std::string pattern = base + "/tavrel-fuzz-XXXXXX";
        if (mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        platform::SetDeviceRoot(pattern);
        return pattern;
    }();
    FILE* f = std::fopen((folder + "/input.lzh").c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size) {
        std::abort();
    }
    std::fclose(f);

    CLzhArchive archive;
    if (!archive.Open(L"\\input.lzh", false)) {
        return 0;
    }
    archive.testMode = true;
    for (int i = 0; i < archive.entryCount; ++i) {
        // Declared sizes are capped so that one input cannot decode for minutes.
        if (archive.entries[i].unpackedSize > (1u << 22)) {
            continue;
        }
        archive.status = 0;
        bool passed = archive.ExtractEntry(&archive.entries[i]);
        if (!passed && archive.status != 0 && archive.status != kLzhBrokenData &&
            archive.status != kLzhUnsupportedMethod && archive.status != kLzhCrcMismatch) {
            std::abort();
        }
    }
    archive.Close();
    return 0;
}
