// CEntryStore: the members of an archive object, kept compact in the object's private heap:
// records of a small fixed size in one array, and their texts (names, folders) in one pool of
// wide characters. A text equal to the one of its kind stored just before it is stored once,
// so the members of one folder share their folder. Records hold no pointers: texts are
// offsets.
#pragma once

#include "platform/PrivateHeap.h"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <vector>

// A text of the pool.
struct StoreText
{
    uint32_t offset; // first character in the pool
    uint32_t length; // characters
};

template <typename Record> class CEntryStore
{
    static_assert(std::is_trivially_copyable_v<Record>);

public:
    explicit CEntryStore(platform::CPrivateHeap& heap) : m_heap(heap) {}
    ~CEntryStore() { Clear(); }
    CEntryStore(const CEntryStore&) = delete;
    CEntryStore& operator=(const CEntryStore&) = delete;

    int Count() const { return m_count; }
    Record& operator[](int i) { return m_records[i]; }
    const Record& operator[](int i) const { return m_records[i]; }

    // Adds a record at the end; false when memory runs out.
    bool Append(const Record& record)
    {
        if (m_count == m_capacity && !Grow(reinterpret_cast<void**>(&m_records), &m_capacity,
                                           sizeof(Record), static_cast<size_t>(m_count) + 1)) {
            return false;
        }
        m_records[m_count++] = record;
        return true;
    }

    static constexpr int kTextKinds = 4;

    // Stores a text of one kind (0 to kTextKinds - 1: names, folders, ...); false when memory
    // runs out.
    bool AddText(std::wstring_view text, int kind, StoreText* out)
    {
        StoreText& last = m_last[kind];
        if (last.length == text.size() && Text(last) == text) {
            *out = last;
            return true;
        }
        if (text.size() > UINT32_MAX - m_poolUsed ||
            (m_poolUsed + text.size() > m_poolCapacity &&
             !Grow(reinterpret_cast<void**>(&m_pool), &m_poolCapacity, sizeof(wchar_t),
                   m_poolUsed + text.size()))) {
            return false;
        }
        if (!text.empty()) {
            std::memcpy(m_pool + m_poolUsed, text.data(), text.size() * sizeof(wchar_t));
        }
        *out = {static_cast<uint32_t>(m_poolUsed), static_cast<uint32_t>(text.size())};
        m_poolUsed += text.size();
        last = *out;
        return true;
    }

    std::wstring_view Text(StoreText t) const
    {
        return t.length == 0 ? std::wstring_view() : std::wstring_view(m_pool + t.offset, t.length);
    }

    // Removes the records at the given indices (ascending, each in range) in one pass.
    void Remove(const std::vector<int>& ascending)
    {
        int to = ascending.empty() ? m_count : ascending[0];
        size_t next = 0;
        for (int from = to; from < m_count; ++from) {
            if (next < ascending.size() && ascending[next] == from) {
                ++next;
                continue;
            }
            m_records[to++] = m_records[from];
        }
        m_count = to;
    }

    void Clear()
    {
        m_heap.Free(m_records);
        m_heap.Free(m_pool);
        m_records = nullptr;
        m_pool = nullptr;
        m_count = m_capacity = 0;
        m_poolUsed = m_poolCapacity = 0;
        for (StoreText& t : m_last) {
            t = {};
        }
    }

private:
    // Grows a block of the heap to hold at least `needed` items, geometrically.
    bool Grow(void** block, auto* capacity, size_t itemSize, size_t needed)
    {
        size_t grown = *capacity < 64 ? 64 : static_cast<size_t>(*capacity) * 2;
        grown = grown < needed ? needed : grown;
        void* moved = m_heap.ReAlloc(*block, grown * itemSize);
        if (moved == nullptr) {
            return false;
        }
        *block = moved;
        *capacity = static_cast<std::remove_reference_t<decltype(*capacity)>>(grown);
        return true;
    }

    platform::CPrivateHeap& m_heap;
    Record* m_records = nullptr;
    int m_count = 0;
    int m_capacity = 0;
    wchar_t* m_pool = nullptr;
    size_t m_poolUsed = 0;             // characters of the pool in use
    size_t m_poolCapacity = 0;         // characters it holds
    StoreText m_last[kTextKinds] = {}; // the text of each kind stored last
};
