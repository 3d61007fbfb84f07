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

// Extended headers chained by their trailing size fields; the CRC header comes first.
std::string ExtendedHeaders(const LzhHeaderSpec& spec, size_t* crcOffset)
{
    std::vector<ExtHeader> all;
    if (spec.headerCrc) {
        all.push_back({0x00, std::string(2, '\0')});
    }
    all.insert(all.end(), spec.ext.begin(), spec.ext.end());
    std::string out;
    for (size_t i = 0; i < all.size(); ++i) {
        if (i == 0 && spec.headerCrc) {
            *crcOffset = out.size() + 1;
        }
        out.push_back(static_cast<char>(all[i].type));
        out += all[i].data;
        size_t nextSize = i + 1 < all.size() ? all[i + 1].data.size() + 3 : 0;
        Append16(out, static_cast<uint32_t>(nextSize));
    }
    return out;
}

uint16_t FirstExtSize(const LzhHeaderSpec& spec)
{
    if (spec.headerCrc) {
        return 5;
    }
    return spec.ext.empty() ? 0 : static_cast<uint16_t>(spec.ext[0].data.size() + 3);
}

} // namespace

std::string BuildMember(const LzhHeaderSpec& spec)
{
    std::string h(21, '\0');
    h.replace(2, 5, spec.method.substr(0, 5));
    size_t crcOffset = std::string::npos;
    std::string ext = ExtendedHeaders(spec, &crcOffset);
    uint32_t packed = spec.packed.value_or(
        static_cast<uint32_t>(spec.data.size() + (spec.level == 1 ? ext.size() : 0)));
    Put16(h, 7, packed & 0xFFFF);
    Put16(h, 9, packed >> 16);
    Put16(h, 11, spec.unpacked & 0xFFFF);
    Put16(h, 13, spec.unpacked >> 16);
    Put16(h, 15, spec.timeField & 0xFFFF);
    Put16(h, 17, spec.timeField >> 16);
    h[19] = static_cast<char>(spec.attribute);
    h[20] = static_cast<char>(spec.level);

    if (spec.level == 2) {
        Append16(h, spec.crc);
        h.push_back(static_cast<char>(spec.osId));
        Append16(h, FirstExtSize(spec));
        if (crcOffset != std::string::npos) {
            crcOffset += h.size();
        }
        h += ext;
        h += std::string(spec.padding, '\0');
        Put16(h, 0, spec.totalSize.value_or(static_cast<uint16_t>(h.size())));
        if (crcOffset != std::string::npos) {
            Put16(h, crcOffset, Crc16Update(0, h.data(), static_cast<long>(h.size())));
        }
        return h + spec.data;
    }

    h.push_back(static_cast<char>(spec.name.size()));
    h += spec.name;
    Append16(h, spec.crc);
    if (spec.level == 1) {
        h.push_back(static_cast<char>(spec.osId));
        Append16(h, FirstExtSize(spec));
    }
    h[0] = static_cast<char>(h.size() - 2);
    uint8_t sum = 0;
    for (size_t i = 2; i < h.size(); ++i) {
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(h[i]));
    }
    h[1] = static_cast<char>(spec.checksum.value_or(sum));
    if (crcOffset != std::string::npos) {
        crcOffset += h.size();
    }
    std::string whole = h + ext;
    if (crcOffset != std::string::npos) {
        Put16(whole, crcOffset, Crc16Update(0, whole.data(), static_cast<long>(whole.size())));
    }
    return whole + spec.data;
}

} // namespace testsupport
