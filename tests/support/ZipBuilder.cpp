#include "tests/support/ZipBuilder.h"

#include "tests/support/ReferenceZipAes.h"
#include "zip/Crc32.h"
#include "zip/ZipCipher.h"

#include <zstd.h>

namespace testsupport
{

namespace
{

void Put16(std::string& out, uint32_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}

void Put32(std::string& out, uint32_t v)
{
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// The bytes stored for a member: its data, behind an encryption header when encrypted.
std::string StoredData(const ZipMember& m)
{
    if (!m.encrypted) {
        return m.data;
    }
    std::string bytes(12, '\0');
    for (size_t i = 0; i < 11; ++i) {
        bytes[i] = static_cast<char>(m.headerSeed + 7 * i);
    }
    bytes[11] = static_cast<char>((m.flags & 0x08) ? (m.time >> 8) : (m.crc >> 24));
    bytes += m.data;
    CZipCipher cipher;
    cipher.Init(reinterpret_cast<const uint8_t*>(m.password.data()), m.password.size());
    cipher.Encrypt(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    return bytes;
}

} // namespace

uint32_t Crc32Of(const std::string& bytes)
{
    return Crc32(0, bytes.data(), bytes.size());
}

ZipMember StoredMember(const std::string& name, const std::string& content)
{
    ZipMember m;
    m.name = name;
    m.data = content;
    m.crc = Crc32Of(content);
    m.unpackedSize = static_cast<uint32_t>(content.size());
    return m;
}

std::string DeflateStoredBlocks(const std::string& content)
{
    std::string out;
    size_t pos = 0;
    do {
        size_t n = content.size() - pos < 65535 ? content.size() - pos : 65535;
        bool last = pos + n == content.size();
        out.push_back(last ? 1 : 0);
        Put16(out, static_cast<uint32_t>(n));
        Put16(out, static_cast<uint32_t>(~n & 0xFFFF));
        out.append(content, pos, n);
        pos += n;
    } while (pos < content.size());
    return out;
}

ZipMember DeflatedMember(const std::string& name, const std::string& content)
{
    ZipMember m = StoredMember(name, content);
    m.method = 8;
    m.data = DeflateStoredBlocks(content);
    return m;
}

ZipMember ZstdMember(const std::string& name, const std::string& content, int level)
{
    ZipMember m = StoredMember(name, content);
    m.method = 93;
    m.data.resize(ZSTD_compressBound(content.size()));
    size_t size =
        ZSTD_compress(m.data.data(), m.data.size(), content.data(), content.size(), level);
    m.data.resize(ZSTD_isError(size) ? 0 : size);
    return m;
}

ZipMember AesMember(ZipMember member, const std::string& password, int strength, int vendorVersion,
                    const std::string& salt)
{
    std::string field;
    Put16(field, 0x9901);
    Put16(field, 7);
    Put16(field, static_cast<uint32_t>(vendorVersion));
    field += "AE";
    field.push_back(static_cast<char>(strength));
    Put16(field, member.method);
    auto bytes = [](const std::string& text) {
        return std::vector<uint8_t>(text.begin(), text.end());
    };
    std::vector<uint8_t> stored =
        ReferenceZipAesEncrypt(bytes(member.data), strength, bytes(password), bytes(salt));
    member.data.assign(stored.begin(), stored.end());
    member.extra = field + member.extra;
    member.method = 99;
    member.flags |= 1;
    if (vendorVersion == 2) {
        member.crc = 0;
    }
    return member;
}

std::string BuildZip(const std::vector<ZipMember>& members, const ZipLayout& layout)
{
    std::string body, directory;
    for (const ZipMember& m : members) {
        std::string stored = StoredData(m);
        uint16_t flags = static_cast<uint16_t>(m.flags | (m.encrypted ? 1 : 0));
        uint32_t offset = static_cast<uint32_t>(body.size());
        const std::string& localName = m.localName.empty() ? m.name : m.localName;
        Put32(body, 0x04034B50);
        Put16(body, 20);
        Put16(body, flags);
        Put16(body, m.method);
        Put16(body, m.time);
        Put16(body, m.date);
        Put32(body, m.localSizesZero ? 0 : m.crc);
        Put32(body, m.localSizesZero ? 0 : static_cast<uint32_t>(stored.size()));
        Put32(body, m.localSizesZero ? 0 : m.unpackedSize);
        Put16(body, static_cast<uint32_t>(localName.size()));
        Put16(body, static_cast<uint32_t>(m.extra.size()));
        body += localName;
        body += m.extra;
        body += stored;

        Put32(directory, 0x02014B50);
        directory.push_back(20);
        directory.push_back(static_cast<char>(m.madeByHost));
        Put16(directory, 20);
        Put16(directory, flags);
        Put16(directory, m.method);
        Put16(directory, m.time);
        Put16(directory, m.date);
        Put32(directory, m.crc);
        Put32(directory, static_cast<uint32_t>(stored.size()));
        Put32(directory, m.unpackedSize);
        Put16(directory, static_cast<uint32_t>(m.name.size()));
        Put16(directory, static_cast<uint32_t>(m.extra.size()));
        Put16(directory, 0); // comment
        Put16(directory, 0); // disk number start
        Put16(directory, 0); // internal attributes
        Put32(directory, m.external);
        Put32(directory, offset);
        directory += m.name;
        directory += m.extra;
    }
    uint32_t count =
        static_cast<uint32_t>(static_cast<int>(members.size()) + layout.entryCountDelta);
    std::string out = layout.prefix + body + directory;
    Put32(out, 0x06054B50);
    Put16(out, layout.diskNumber);
    Put16(out, layout.diskNumber);
    Put16(out, count);
    Put16(out, count);
    Put32(out, static_cast<uint32_t>(directory.size()));
    Put32(out, static_cast<uint32_t>(body.size()));
    Put16(out, static_cast<uint32_t>(layout.comment.size()));
    return out + layout.comment + layout.suffix;
}

} // namespace testsupport
