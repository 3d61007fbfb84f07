// The compact member table of the ZIP archive object.
#include "zip/ZipMembers.h"

#include <cwchar>

CZipEntry CZipMembers::Get(int i) const
{
    const Record& r = m_store[i];
    CZipEntry e{};
    e.method = r.method;
    e.packedSize = r.packedSize;
    e.unpackedSize = r.unpackedSize;
    e.modified = r.modified;
    e.localHeaderOffset = r.localHeaderOffset;
    e.attributes = r.attributes;
    e.crc32 = r.crc32;
    e.madeByVersion = r.madeByVersion;
    e.madeByHost = r.madeByHost;
    e.neededVersion = r.neededVersion;
    e.neededHost = r.neededHost;
    e.flags = r.flags;
    // Names are at most 259 characters: the directory does not list longer ones.
    std::wstring_view name = m_store.Text(r.name);
    std::wstring_view path = m_store.Text(r.path);
    std::wmemcpy(e.name, name.data(), name.size());
    std::wmemcpy(e.path, path.data(), path.size());
    return e;
}

MemberRow CZipMembers::Row(int i) const
{
    const Record& r = m_store[i];
    return {m_store.Text(r.name),
            m_store.Text(r.path),
            r.unpackedSize,
            r.packedSize,
            r.modified,
            false,
            r.attributes,
            r.crc32,
            {},
            r.method,
            {}};
}

bool CZipMembers::Append(const CZipEntry& e)
{
    Record r{};
    r.method = static_cast<uint16_t>(e.method);
    r.packedSize = e.packedSize;
    r.unpackedSize = e.unpackedSize;
    r.modified = e.modified;
    r.localHeaderOffset = e.localHeaderOffset;
    r.attributes = e.attributes;
    r.crc32 = e.crc32;
    r.madeByVersion = e.madeByVersion;
    r.madeByHost = e.madeByHost;
    r.neededVersion = e.neededVersion;
    r.neededHost = e.neededHost;
    r.flags = static_cast<uint16_t>(e.flags);
    return m_store.AddText(e.path, 0, &r.path) && m_store.AddText(e.name, 1, &r.name) &&
           m_store.Append(r);
}
