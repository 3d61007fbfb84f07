// The compact member list of the LZH archive object.
#include "lzh/LzhMembers.h"

#include "lzh/ArchiveName.h"
#include "lzh/LzhHeaderReader.h"

#include <cstring>

CArchiveEntry CLzhMembers::Get(int i) const
{
    const Record& r = m_store[i];
    CArchiveEntry e{};
    uint8_t method[6] = {};
    std::memcpy(method, r.method, 5);
    MethodToWide(method, e.method);
    e.osId = r.osId;
    e.packedSize = r.packedSize;
    e.unpackedSize = r.unpackedSize;
    e.modified = r.modified;
    e.attributes = r.attributes;
    e.crc = r.crc;
    e.headerSize = r.headerSize;
    e.headerPos = r.headerPos;
    e.dataPos = r.headerPos + r.dataOffset;
    e.level = r.level;
    e.flags = r.flags;
    FillEntryTexts(m_store.Text(r.folder), m_store.Text(r.name), m_store.Text(r.link), e);
    return e;
}

MemberRow CLzhMembers::Row(int i) const
{
    const Record& r = m_store[i];
    MemberRow row{m_store.Text(r.name),
                  m_store.Text(r.folder),
                  r.unpackedSize,
                  r.packedSize,
                  r.modified,
                  true,
                  r.attributes,
                  r.crc,
                  {},
                  0,
                  m_store.Text(r.link)};
    std::memcpy(row.method, r.method, 5);
    return row;
}

bool CLzhMembers::Store(const CArchiveEntry& e, std::wstring_view folder, std::wstring_view name,
                        std::wstring_view target, Record* r)
{
    *r = {};
    uint8_t method[6];
    MethodToBytes(e.method, method);
    std::memcpy(r->method, method, 5);
    r->osId = static_cast<int8_t>(e.osId);
    r->packedSize = e.packedSize;
    r->unpackedSize = e.unpackedSize;
    r->modified = e.modified;
    r->attributes = static_cast<uint16_t>(e.attributes);
    r->crc = static_cast<uint16_t>(e.crc);
    r->headerSize = e.headerSize;
    r->headerPos = e.headerPos;
    r->dataOffset = static_cast<uint32_t>(e.dataPos - e.headerPos);
    r->level = static_cast<uint8_t>(e.level);
    r->flags = static_cast<uint8_t>(e.flags & (kEntrySymlink | kEntryInWork));
    return m_store.AddText(folder, 0, &r->folder) && m_store.AddText(name, 1, &r->name) &&
           m_store.AddText(target, 2, &r->link);
}

bool CLzhMembers::Append(const CArchiveEntry& entry, std::wstring_view folder,
                         std::wstring_view name, std::wstring_view target)
{
    Record r;
    ++m_version;
    return Store(entry, folder, name, target, &r) && m_store.Append(r);
}

bool CLzhMembers::Append(const CArchiveEntry& entry)
{
    return Append(entry, entry.folder, entry.name, entry.linkTarget);
}

bool CLzhMembers::Set(int i, const CArchiveEntry& entry)
{
    Record r;
    if (!Store(entry, entry.folder, entry.name, entry.linkTarget, &r)) {
        return false;
    }
    m_store[i] = r;
    ++m_version;
    return true;
}
