// Fuzz target: an arbitrary file opened as a ZIP archive, every member tested and then
// extracted (a prompt answers password questions). Statuses stay within those extraction
// defines, nothing is ever created outside the destination folder, whose links to another
// folder are never written through, and every file written is the one the list names.
#include "fuzz/FuzzFile.h"
#include "fuzz/FuzzTarget.h"
#include "zip/ZipArchive.h"

#include <cstdlib>
#include <cwchar>
#include <filesystem>

namespace
{

class FuzzPrompt final : public CArchivePrompt
{
public:
    bool AskPassword(const wchar_t*, bool again, wchar_t* text) override
    {
        std::wcscpy(text, L"pw");
        return !again;
    }
    OverwriteAnswer AskOverwrite(const OverwriteQuestion&) override { return OverwriteAnswer::Yes; }
};

bool AllowedFailure(int status)
{
    switch (status) {
    case kZipDamaged:
    case kZipTruncated:
    case kZipNoMemory: // a buffer a member's method asks for that could not be had
    case kZipUnsupported:
    case kZipCrcMismatch:
    case kZipCannotCreateOutput: // names that the host refuses, or a file where a folder goes
    case kZipSkipped:
    case kZipPasswordFailed:
    case kZipLinkInTheWay:
    case kZipUnsafePath:
    case kZipOverlapping:
    case kZipNoPassword:
        return true;
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::wstring path = WriteFuzzFile("input.zip", data, size);
    static FuzzPrompt prompt;
    CZipArchive archive;
    archive.SetPrompt(&prompt);
    if (!archive.Open(path.c_str())) {
        return 0;
    }
    PrepareLinkedDestination();
    std::wcscpy(archive.destFolder, L"\\x");
    archive.skipIfNotOlder = false;
    for (bool test : {true, false}) {
        archive.testMode = test;
        for (int i = 0; i < archive.GetEntryCount(); ++i) {
            // Declared sizes are capped so that one input cannot decode for minutes.
            if (archive.GetEntry(i).unpackedSize > (1u << 22)) {
                continue;
            }
            if (!archive.ExtractEntry(i)) {
                if (!AllowedFailure(archive.status) || !archive.LastOutput().empty()) {
                    std::abort();
                }
                continue;
            }
            // What was written is the member as the list names it, below the destination.
            CZipEntry e = archive.GetEntry(i);
            std::wstring listed = L"\\x\\" + BelowDestination(std::wstring(e.path) + e.name, false);
            if (!test && (archive.LastOutput() != listed ||
                          !std::filesystem::exists(std::filesystem::symlink_status(
                              platform::DeviceToHost(archive.LastOutput()))))) {
                std::abort();
            }
        }
    }
    archive.Close();
    CheckNothingOutside("input.zip");
    return 0;
}
