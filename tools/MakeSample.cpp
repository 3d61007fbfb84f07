// Makes an LZH archive of a folder tree with Tavrel's own encoder: every file and folder
// below the current folder, stored by its relative path, in sorted order.
// usage: make_sample ARCHIVE (run in the folder to archive)
#include "lzh/LzhArchive.h"
#include "platform/DevicePath.h"
#include "platform/Text.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ARCHIVE (run in the folder to archive)\n", argv[0]);
        return 2;
    }
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::recursive_directory_iterator(".")) {
        names.push_back(std::filesystem::relative(e.path(), ".").string());
    }
    std::sort(names.begin(), names.end());
    CLzhArchive archive;
    std::wstring path = platform::HostToDevice(std::filesystem::absolute(argv[1]).string());
    if (!archive.Open(path.c_str(), true)) {
        std::fprintf(stderr, "cannot create %s (status %d)\n", argv[1], archive.status);
        return 1;
    }
    archive.keepFolders = true;
    for (const std::string& name : names) {
        std::wstring member = platform::Utf8ToWide(name);
        std::replace(member.begin(), member.end(), L'/', L'\\');
        if (!archive.AddFile(member.c_str())) {
            std::fprintf(stderr, "cannot add %s (status %d)\n", name.c_str(), archive.status);
            return 1;
        }
    }
    return archive.Close() ? 0 : 1;
}
