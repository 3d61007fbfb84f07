// Reading members' stored bytes for the decoder tests. End record (last 22 bytes or more):
//   0 signature 50 4B 05 06, 10 entries, 12 directory size, 16 directory offset, 20 comment size
// Directory entry (46 bytes, then name, extra, comment):
//   8 flags, 10 method, 16 CRC-32, 20 packed size, 24 unpacked size, 28 name size,
//   30 extra size, 32 comment size, 42 local header offset
// Local header (30 bytes, then name and extra): 26 name size, 28 extra size
// A Zip64 extra field (0x0001) gives the 8-byte sizes and offset that hold 0xFFFFFFFF.
#include "tests/support/ZipRawMembers.h"

#include "archive/LittleEndian.h"
#include "tests/support/LzhManifest.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <sstream>

namespace testsupport
{

namespace
{

void ApplyZip64(const uint8_t* extra, size_t size, uint64_t* unpacked, uint64_t* packed,
                uint64_t* offset)
{
    for (size_t at = 0; size - at >= 4;) {
        size_t length = Le16(extra + at + 2);
        if (length > size - at - 4) {
            return;
        }
        if (Le16(extra + at) == 0x0001) {
            const uint8_t* p = extra + at + 4;
            size_t left = length;
            for (uint64_t* field : {unpacked, packed, offset}) {
                if (*field == 0xFFFFFFFF && left >= 8) {
                    *field = Le64(p);
                    p += 8;
                    left -= 8;
                }
            }
            return;
        }
        at += 4 + length;
    }
}

} // namespace

std::vector<RawZipMember> ReadRawZipMembers(const std::vector<uint8_t>& archive)
{
    std::vector<RawZipMember> members;
    const uint8_t* a = archive.data();
    size_t size = archive.size();
    size_t end = size;
    while (end >= 22 && Le32(a + end - 22) != 0x06054B50) {
        --end;
    }
    if (end < 22) {
        ADD_FAILURE() << "no end record";
        return members;
    }
    const uint8_t* record = a + end - 22;
    size_t count = Le16(record + 10);
    size_t at = Le32(record + 16);
    for (size_t i = 0; i < count; ++i) {
        if (at + 46 > size || Le32(a + at) != 0x02014B50) {
            ADD_FAILURE() << "directory entry " << i << " is not there";
            return members;
        }
        const uint8_t* e = a + at;
        size_t nameSize = Le16(e + 28), extraSize = Le16(e + 30), commentSize = Le16(e + 32);
        if (at + 46 + nameSize + extraSize + commentSize > size) {
            ADD_FAILURE() << "directory entry " << i << " runs past the end";
            return members;
        }
        RawZipMember m;
        m.name.assign(reinterpret_cast<const char*>(e + 46), nameSize);
        m.flags = Le16(e + 8);
        m.method = Le16(e + 10);
        m.crc = Le32(e + 16);
        m.packedSize = Le32(e + 20);
        m.unpackedSize = Le32(e + 24);
        uint64_t local = Le32(e + 42);
        ApplyZip64(e + 46 + nameSize, extraSize, &m.unpackedSize, &m.packedSize, &local);
        at += 46 + nameSize + extraSize + commentSize;
        if (local + 30 > size || Le32(a + local) != 0x04034B50) {
            ADD_FAILURE() << m.name << ": no local header";
            return members;
        }
        const uint8_t* h = a + local;
        uint64_t data = local + 30 + Le16(h + 26) + Le16(h + 28);
        if (data > size || m.packedSize > size - data) {
            ADD_FAILURE() << m.name << ": data run past the end";
            return members;
        }
        m.extra.assign(h + 30 + Le16(h + 26), a + data);
        m.data.assign(a + data, a + data + m.packedSize);
        members.push_back(std::move(m));
    }
    return members;
}

std::vector<RawZipMember> ReadRawZipFile(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) {
        ADD_FAILURE() << "cannot read " << hostPath;
        return {};
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    return ReadRawZipMembers(bytes);
}

std::vector<CorpusZipMember> CorpusZipMembers(const std::string& archive)
{
    // MANIFEST.tsv: archive, member (escaped), method, flags, size, crc32, sha256, expect,
    // packed, made_by, password, and the peers' verdicts.
    std::vector<CorpusZipMember> found;
    std::vector<RawZipMember> members = ReadRawZipFile(CorpusDir() + "/zip/" + archive);
    std::ifstream in(CorpusDir() + "/zip/MANIFEST.tsv");
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> f;
        std::stringstream fields(line);
        for (std::string field; std::getline(fields, field, '\t');) {
            f.push_back(field);
        }
        if (f.size() < 11 || f[0] != archive || f[6].size() != 64) {
            continue;
        }
        std::string name = Unescape(f[1]);
        auto m = std::find_if(members.begin(), members.end(),
                              [&](const RawZipMember& r) { return r.name == name; });
        if (m == members.end()) {
            ADD_FAILURE() << archive << ": no member " << name;
            continue;
        }
        found.push_back({archive, f[6], f[10], *m});
    }
    if (found.empty()) {
        ADD_FAILURE() << archive << ": no member in the manifest";
    }
    return found;
}

} // namespace testsupport
