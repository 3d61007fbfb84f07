// Tests (t) or extracts (x) every member of a ZIP archive, as the Test and Extract all
// commands do, for timing against the peer tools on the same archives. -p gives the
// password for encrypted members.
#include "platform/DevicePath.h"
#include "zip/ZipArchive.h"

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

namespace
{

class FixedPassword final : public CArchivePrompt
{
public:
    explicit FixedPassword(std::wstring password) : m_password(std::move(password)) {}
    bool AskPassword(const wchar_t*, bool again, wchar_t* text) override
    {
        std::wcsncpy(text, m_password.c_str(), kPasswordCapacity - 1);
        return !again;
    }

private:
    std::wstring m_password;
};

} // namespace

int main(int argc, char** argv)
{
    std::string password;
    if (argc >= 3 && std::strcmp(argv[1], "-p") == 0) {
        password = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 3 || (std::strcmp(argv[1], "t") != 0 && std::strcmp(argv[1], "x") != 0) ||
        (argv[1][0] == 'x' && argc != 4)) {
        std::fprintf(stderr, "usage: %s [-p PASSWORD] t ARCHIVE | x ARCHIVE FOLDER\n", argv[0]);
        return 2;
    }
    CZipArchive archive;
    FixedPassword prompt(std::wstring(password.begin(), password.end()));
    archive.SetPrompt(&prompt);
    std::wstring path = platform::HostToDevice(argv[2]);
    if (!archive.Open(path.c_str())) {
        std::fprintf(stderr, "cannot open %s (status %d)\n", argv[2], archive.status);
        return 1;
    }
    archive.testMode = argv[1][0] == 't';
    if (!archive.testMode) {
        std::wstring dest = platform::HostToDevice(argv[3]);
        std::wcsncpy(archive.destFolder, dest.c_str(), kMaxPath - 1);
        archive.skipIfNotOlder = false;
        archive.overwriteSilently = true;
    }
    int failed = 0;
    unsigned long long bytes = 0;
    for (int i = 0; i < archive.GetEntryCount(); ++i) {
        if (!archive.ExtractEntry(i)) {
            std::fprintf(stderr, "%ls%ls: status %d\n", archive.GetEntry(i).path,
                         archive.GetEntry(i).name, archive.status);
            ++failed;
        }
        bytes += archive.GetEntry(i).unpackedSize;
    }
    int count = archive.GetEntryCount();
    archive.Close();
    std::printf("%d members, %llu bytes, %d failed\n", count, bytes, failed);
    return failed == 0 ? 0 : 1;
}
