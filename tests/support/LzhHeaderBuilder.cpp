// Test-only LZH header construction, written from the format description.
#include "tests/support/LzhHeaderBuilder.h"

#include "lzh/Crc16.h"

namespace testsupport
{
namespace
{

void Put16(std::string& s, size_t at, uint32_t v)
{
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}

void Append16(std::string& s, uint32_t v)
{
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}

// A size field: 4 bytes at level 3, else 2.
void AppendSize(std::string& s, uint32_t v, int level)
{
    Append16(s, v & 0xFFFF);
    if (level == 3) {
        Append16(s, v >> 16);
    }
}

// Extended headers chained by their trailing size fields; the CRC header comes first.
std::string ExtendedHeaders(const LzhMemberFields& fields, size_t* crcOffset)
{
    std::vector<ExtHeader> all;
    if (fields.headerCrc) {
        all.push_back({0x00, std::string(2, '\0')});
    }
    all.insert(all.end(), fields.ext.begin(), fields.ext.end());
    std::string out;
    for (size_t i = 0; i < all.size(); ++i) {
        if (i == 0 && fields.headerCrc) {
            *crcOffset = out.size() + 1;
        }
        size_t width = fields.level == 3 ? 4 : 2;
        out.push_back(static_cast<char>(all[i].type));
        out += all[i].data;
        size_t nextSize = i + 1 < all.size() ? all[i + 1].data.size() + 1 + width : 0;
        AppendSize(out, static_cast<uint32_t>(nextSize), fields.level);
    }
    return out;
}

uint32_t FirstExtSize(const LzhMemberFields& fields)
{
    uint32_t width = fields.level == 3 ? 4 : 2;
    if (fields.headerCrc) {
        return 3 + width;
    }
    return fields.ext.empty() ? 0 : static_cast<uint32_t>(fields.ext[0].data.size() + 1 + width);
}

} // namespace

std::string BuildMember(const LzhMemberFields& fields)
{
    std::string h(21, '\0');
    h.replace(2, 5, fields.method.substr(0, 5));
    size_t crcOffset = std::string::npos;
    std::string ext = ExtendedHeaders(fields, &crcOffset);
    uint32_t packed = fields.packed.value_or(
        static_cast<uint32_t>(fields.data.size() + (fields.level == 1 ? ext.size() : 0)));
    Put16(h, 7, packed & 0xFFFF);
    Put16(h, 9, packed >> 16);
    Put16(h, 11, fields.unpacked & 0xFFFF);
    Put16(h, 13, fields.unpacked >> 16);
    Put16(h, 15, fields.timeField & 0xFFFF);
    Put16(h, 17, fields.timeField >> 16);
    h[19] = static_cast<char>(fields.attribute);
    h[20] = static_cast<char>(fields.level);

    if (fields.level >= 2) {
        Append16(h, fields.crc);
        h.push_back(static_cast<char>(fields.osId));
        if (fields.level == 3) {
            AppendSize(h, 0, 3); // the total size, below
        }
        AppendSize(h, FirstExtSize(fields), fields.level);
        if (crcOffset != std::string::npos) {
            crcOffset += h.size();
        }
        h += ext;
        h += std::string(fields.padding, '\0');
        uint32_t total = fields.totalSize.value_or(static_cast<uint32_t>(h.size()));
        if (fields.level == 3) {
            Put16(h, 0, 4); // the width of the size fields
            Put16(h, 24, total & 0xFFFF);
            Put16(h, 26, total >> 16);
        } else {
            Put16(h, 0, total);
        }
        if (crcOffset != std::string::npos) {
            Put16(h, crcOffset, Crc16Update(0, h.data(), static_cast<long>(h.size())));
        }
        return h + fields.data;
    }

    h.push_back(static_cast<char>(fields.name.size()));
    h += fields.name;
    Append16(h, fields.crc);
    if (fields.level == 1) {
        h.push_back(static_cast<char>(fields.osId));
        Append16(h, FirstExtSize(fields));
    }
    h[0] = static_cast<char>(h.size() - 2);
    uint8_t sum = 0;
    for (size_t i = 2; i < h.size(); ++i) {
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(h[i]));
    }
    h[1] = static_cast<char>(fields.checksum.value_or(sum));
    if (crcOffset != std::string::npos) {
        crcOffset += h.size();
    }
    std::string whole = h + ext;
    if (crcOffset != std::string::npos) {
        Put16(whole, crcOffset, Crc16Update(0, whole.data(), static_cast<long>(whole.size())));
    }
    return whole + fields.data;
}

} // namespace testsupport
