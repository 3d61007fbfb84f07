// Fuzz target: opening arbitrary bytes as an LZH archive, plain (.lzh) or self-extracting
// (.exe), then reading every listed record. The first byte picks the name and ignoreErrors.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return 0;
    }
    const bool asExe = data[0] & 1;
    const bool ignoreErrors = data[0] & 2;
    std::wstring path = WriteFuzzFile(asExe ? "input.exe" : "input.lzh", data + 1, size - 1);

    CLzhArchive archive;
    archive.ignoreErrors = ignoreErrors;
    if (archive.Open(path.c_str(), false)) {
        // Every listed record must be terminated and consistent.
        uint64_t total = 0;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            const CArchiveEntry& e = archive.GetEntry(i);
            total += std::wcslen(e.name) + std::wcslen(e.folder) + std::wcslen(e.method);
            if (e.dataPos < e.headerPos || e.level < 0 || e.level > 3) {
                std::abort();
            }
        }
        if (total > static_cast<uint64_t>(archive.GetEntryCount()) * 3 * kMaxPath) {
            std::abort();
        }
        archive.Close();
    } else if (archive.status < kLzhCannotOpen || archive.status > kLzhHeaderScanFailed) {
        std::abort();
    }
    return 0;
}
