// lhasa, a peer LZH reader, as an oracle: one-member archives built in the test and the
// bytes lhasa extracts from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testsupport
{

// Whether /usr/bin/lhasa is installed.
bool HaveLhasa();

// A level-0 archive holding one member "data.bin" of method (e.g. "-lz5-") with these
// compressed bytes, unpacked size and CRC-16.
std::string OneMemberArchive(const std::string& method, const std::vector<uint8_t>& packed,
                             uint32_t unpackedSize, uint16_t crc);

// What `lhasa pq` writes to standard output for archive (the bytes of an archive file).
std::vector<uint8_t> LhasaPrint(const std::string& archive);
// What `lhasa pq` writes for one member (its stored path) of an archive file.
std::vector<uint8_t> LhasaPrintMember(const std::string& hostArchive, const std::string& member);

} // namespace testsupport
