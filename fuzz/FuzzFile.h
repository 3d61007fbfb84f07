// Puts a fuzz input into a file of a private device root, for targets that open archives.
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
