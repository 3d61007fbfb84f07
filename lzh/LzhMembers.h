// CLzhMembers: the member list of an LZH archive object, in archive order. Each member is a
// record of 72 bytes and its whole texts in the pool of the object's heap (a folder shared by
// the members of one folder); a CArchiveEntry is filled from it when a member is handed
// around.
#pragma once

#include "archive/EntryStore.h"
#include "archive/MemberRow.h"
#include "lzh/ArchiveEntry.h"
#include "platform/PrivateHeap.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class CLzhMembers
{
public:
    explicit CLzhMembers(platform::CPrivateHeap& heap) : m_store(heap) {}

    int Count() const { return m_store.Count(); }
    // Changes with every change of the list (an index of it knows whether it is still true).
    uint64_t Version() const { return m_version; }
    // The record of member i, its fields filled (texts longer than a field kept in part and
    // marked cut).
    CArchiveEntry Get(int i) const;
    // The fields of member i the list shows.
    MemberRow Row(int i) const;
    // Whole texts of member i.
    std::wstring_view Name(int i) const { return m_store.Text(m_store[i].name); }
    std::wstring_view Folder(int i) const { return m_store.Text(m_store[i].folder); }
    int64_t HeaderPos(int i) const { return m_store[i].headerPos; }
    int64_t DataPos(int i) const { return m_store[i].headerPos + m_store[i].dataOffset; }
    uint64_t PackedSize(int i) const { return m_store[i].packedSize; }
    bool InWork(int i) const { return (m_store[i].flags & kEntryInWork) != 0; }

    // Adds a member read from a header with its whole texts; false when memory runs out.
    bool Append(const CArchiveEntry& entry, std::wstring_view folder, std::wstring_view name,
                std::wstring_view target);
    // Adds or replaces a member whose texts are its record's own.
    bool Append(const CArchiveEntry& entry);
    bool Set(int i, const CArchiveEntry& entry);
    // Moves member i's header and data by `delta` bytes in the file.
    void Move(int i, int64_t delta) { m_store[i].headerPos += delta; }
    // Removes the members at the given indices (ascending) in one pass.
    void Remove(const std::vector<int>& ascending)
    {
        m_store.Remove(ascending);
        ++m_version;
    }
    void Clear()
    {
        m_store.Clear();
        ++m_version;
    }

private:
    struct Record
    {
        int64_t headerPos;           // offset of the header's first byte
        platform::FileTime modified; // UTC
        uint64_t packedSize;
        uint64_t unpackedSize;
        uint32_t headerSize;
        uint32_t dataOffset; // dataPos - headerPos
        StoreText name;
        StoreText folder;
        StoreText link;
        uint16_t attributes;
        uint16_t crc;
        uint8_t method[5]; // the identifier's bytes
        int8_t osId;
        uint8_t level;
        uint8_t flags; // kEntrySymlink, kEntryInWork; cut marks are worked out from the texts
    };

    bool Store(const CArchiveEntry& entry, std::wstring_view folder, std::wstring_view name,
               std::wstring_view target, Record* record);

    CEntryStore<Record> m_store;
    uint64_t m_version = 0;
};
