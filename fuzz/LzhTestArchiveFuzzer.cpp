// Fuzz target: an arbitrary file opened as an LZH archive with every member checked in test
// mode, the way the Test command walks an archive.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring path = WriteFuzzFile("input.lzh", data, size);
    CLzhArchive archive;
    if (!archive.Open(path.c_str(), false)) {
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
