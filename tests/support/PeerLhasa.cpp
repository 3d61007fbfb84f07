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

namespace
{

std::vector<uint8_t> OutputOf(const std::string& command)
{
    std::vector<uint8_t> bytes;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        ADD_FAILURE() << "cannot run lhasa";
        return bytes;
    }
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    pclose(pipe);
    return bytes;
}

} // namespace

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
    std::vector<uint8_t> bytes = OutputOf("/usr/bin/lhasa pq '" + path + "'");
    std::filesystem::remove(path);
    return bytes;
}

std::vector<uint8_t> LhasaPrintMember(const std::string& hostArchive, const std::string& member)
{
    return OutputOf("/usr/bin/lhasa pq '" + hostArchive + "' '" + member + "'");
}

} // namespace testsupport
