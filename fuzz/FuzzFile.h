// Puts a fuzz input into a file of a private device root, for targets that open archives.
#pragma once

#include "platform/DevicePath.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

// Writes the bytes to `name` in a folder made once per process (in /dev/shm when it can)
// and returns the file's device path.
inline std::wstring WriteFuzzFile(const char* name, const uint8_t* data, size_t size)
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
    FILE* f = std::fopen((folder + "/" + name).c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size) {
        std::abort();
    }
    std::fclose(f);
    return L"\\" + std::wstring(name, name + std::char_traits<char>::length(name));
}
