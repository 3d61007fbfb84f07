// Running lhasa over archives written to a temporary file.
#include "tests/support/PeerLhasa.h"

#include "tests/support/LzhHeaderBuilder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace testsupport
{

bool HaveLhasa()
{
    return access("/usr/bin/lhasa", X_OK) == 0;
}

std::string OneMemberArchive(const std::string& method, const std::vector<uint8_t>& packed,
                             uint32_t unpackedSize, uint16_t crc)
{
    LzhMemberFields f;
    f.level = 0;
    f.method = method;
    f.name = "data.bin";
    f.data.assign(packed.begin(), packed.end());
    f.unpacked = unpackedSize;
    f.crc = crc;
    f.timeField = 0x21 << 16; // 1980-01-01
    return BuildMember(f) + std::string(1, '\0');
}

std::vector<uint8_t> LhasaPrint(const std::string& archive)
{
    std::string path = (std::filesystem::temp_directory_path() / "tavrel-peer-XXXXXX").string();
    int fd = mkstemp(path.data());
    if (fd < 0) {
        ADD_FAILURE() << "mkstemp failed";
        return {};
    }
    close(fd);
    {
        std::ofstream out(path, std::ios::binary);
        out.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    }
    std::vector<uint8_t> bytes;
    std::string command = "/usr/bin/lhasa pq '" + path + "' 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run lhasa";
    } else {
        uint8_t buffer[65536];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        pclose(pipe);
    }
    std::filesystem::remove(path);
    return bytes;
}

} // namespace testsupport
