// Fuzz target: opening arbitrary bytes as an LZH archive, plain (.lzh) or self-extracting
// (.exe), then reading every listed record. The first byte picks the name and ignoreErrors.
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <unistd.h>

namespace
{

const std::string& FuzzFolder()
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
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool asExe = data[0] & 1;
    const bool ignoreErrors = data[0] & 2;
    const char* name = asExe ? "input.exe" : "input.lzh";
    std::string host = FuzzFolder() + "/" + name;
    FILE* f = std::fopen(host.c_str(), "wb");
    if (f == nullptr || std::fwrite(data + 1, 1, size - 1, f) != size - 1) {
        std::abort();
    }
    std::fclose(f);

    CLzhArchive archive;
    archive.ignoreErrors = ignoreErrors;
    if (archive.Open(asExe ? L"\\input.exe" : L"\\input.lzh", false)) {
        // Every listed record must be terminated and consistent.
        uint64_t total = 0;
        for (int i = 0; i < archive.entryCount; ++i) {
            const CArchiveEntry& e = archive.entries[i];
            total += std::wcslen(e.name) + std::wcslen(e.folder) + std::wcslen(e.method);
            if (e.dataPos < e.headerPos || e.level < 0 || e.level > 2) {
                std::abort();
            }
        }
        if (total > static_cast<uint64_t>(archive.entryCount) * 3 * kMaxPath) {
            std::abort();
        }
        archive.Close();
    } else if (archive.status < kLzhCannotOpen || archive.status > kLzhHeaderScanFailed) {
        std::abort();
    }
    return 0;
}
