// Puts a fuzz input into a file of a private device root, for targets that open archives, and
// makes an extraction destination there that holds symbolic links to a folder outside it.
#pragma once

#include "platform/DevicePath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

// Writes the bytes to `name` in a folder made once per process (in /dev/shm when it can)
// and returns the file's device path. The folder is removed when the process exits.
inline std::wstring WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
{
    // The folder goes away with the process.
    struct Folder
    {
        std::string path;
        Folder()
        {
            std::string base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
            path = base + "/tavrel-fuzz-XXXXXX";
            if (mkdtemp(path.data()) == nullptr) {
                std::abort();
            }
            platform::SetDeviceRoot(path);
        }
        ~Folder()
        {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folderHolder;
    const std::string& folder = folderHolder.path;
    FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size) {
        std::abort();
    }
    std::fclose(f);
    return L"\\" + std::wstring(name, name + std::char_traits<char>::length(name));
}

// Makes the destination \x anew, holding "flink" (a link to the file \outside\secret),
// "dlink" (a link to the folder \outside) and "gone" (a link to nothing).
inline void PrepareLinkedDestination()
{
    namespace fs = std::filesystem;
    fs::path root = platform::DeviceToHost(L"\\");
    std::error_code ignored;
    fs::remove_all(root / "x", ignored);
    fs::remove_all(root / "outside", ignored);
    fs::create_directories(root / "x");
    fs::create_directories(root / "outside");
    FILE* f = std::fopen((root / "outside" / "secret").c_str(), "wb");
    if (f == nullptr || std::fputs("secret", f) < 0) {
        std::abort();
    }
    std::fclose(f);
    fs::create_symlink(root / "outside" / "secret", root / "x" / "flink");
    fs::create_directory_symlink(root / "outside", root / "x" / "dlink");
    fs::create_symlink(root / "outside" / "none", root / "x" / "gone");
}

// Aborts unless the root holds only `input`, \x and an unchanged \outside.
inline void CheckNothingOutside(const char* input)
{
    namespace fs = std::filesystem;
    fs::path root = platform::DeviceToHost(L"\\");
    for (const auto& e : fs::directory_iterator(root)) {
        std::string name = e.path().filename().string();
        if (name != input && name != "x" && name != "outside" && name != "added.txt") {
            std::abort(); // escaped the destination
        }
    }
    size_t count = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(root / "outside")) {
        ++count;
    }
    char text[8] = {};
    FILE* f = std::fopen((root / "outside" / "secret").c_str(), "rb");
    size_t got = f != nullptr ? std::fread(text, 1, sizeof text, f) : 0;
    if (f != nullptr) {
        std::fclose(f);
    }
    if (count != 1 || got != 6 || std::string(text, got) != "secret") {
        std::abort(); // written through a link
    }
}
