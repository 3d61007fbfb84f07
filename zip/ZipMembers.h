// CZipMembers: the member table of a ZIP archive object, in directory order: a record of
// 64 bytes per member and its path and name in the pool of the object's heap (the folder
// part shared by the members of one folder); a CZipEntry is filled from it on demand.
#pragma once

#include "archive/EntryStore.h"
#include "archive/MemberRow.h"
#include "platform/PrivateHeap.h"
#include "zip/ZipEntry.h"

class CZipMembers
{
public:
    explicit CZipMembers(platform::CPrivateHeap& heap) : m_store(heap) {}

    int Count() const { return m_store.Count(); }
    CZipEntry Get(int i) const;
    // The fields of member i the list shows.
    MemberRow Row(int i) const;
    std::wstring_view Name(int i) const { return m_store.Text(m_store[i].name); }
    uint64_t PackedSize(int i) const { return m_store[i].packedSize; }
    // Adds a member; false when memory runs out.
    bool Append(const CZipEntry& entry);
    void Clear() { m_store.Clear(); }

private:
    struct Record
    {
        uint64_t packedSize;
        uint64_t unpackedSize;
        uint64_t localHeaderOffset;
        platform::FileTime modified; // local time
        StoreText name;
        StoreText path;
        uint32_t attributes;
        uint32_t crc32;
        uint16_t method;
        uint16_t flags;
        uint8_t madeByVersion;
        uint8_t madeByHost;
        uint8_t neededVersion;
        uint8_t neededHost;
    };

    CEntryStore<Record> m_store;
};
