// Fuzz target: an arbitrary file opened as an LZH archive with every member checked in test
// mode, the way the Test command walks an archive, and then extracted (with folders) into a
// destination that holds links to a folder outside it: nothing outside ever changes.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "lzh/LzhArchive.h"

#include <cstdlib>
#include <cwchar>

namespace
{

bool AllowedFailure(bool test, int status)
{
    switch (status) {
    case kLzhReadFailed: // a seek that failed
    case kLzhBrokenData:
    case kLzhTruncatedData:
    case kLzhNoMemory: // a history the member asks for that could not be had
    case kLzhUnsupportedMethod:
    case kLzhCrcMismatch:
        return true;
    case kLzhFolderHasData:
    case kLzhCannotCreateOutput: // names the host refuses, or a file where a folder goes
    case kLzhSkippedNotOlder:
    case kLzhUnsafePath:
    case kLzhWriteFailed:
    case kLzhPathTooLong:
    case kLzhLinkInTheWay:
    case kLzhLinkRefused:
        return !test;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring path = WriteFuzzFile("input.lzh", data, size);
    CLzhArchive archive;
    if (!archive.Open(path.c_str(), false)) {
        return 0;
    }
    PrepareLinkedDestination();
    std::wcscpy(archive.destFolder, L"\\x");
    archive.keepFolders = archive.overwriteSilently = archive.addMode = true;
    for (bool test : {true, false}) {
        archive.testMode = test;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            // Declared sizes are capped so that one input cannot decode for minutes.
            if (archive.GetEntry(i).unpackedSize > (1u << 22)) {
                continue;
            }
            archive.status = 0;
            if (!archive.ExtractEntry(i) && !AllowedFailure(test, archive.status)) {
                std::abort();
            }
        }
    }
    archive.Close();
    CheckNothingOutside("input.lzh");
    return 0;
}
