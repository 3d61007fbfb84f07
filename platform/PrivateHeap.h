// A private heap: blocks allocated from it are released together when it is destroyed.
// Archive objects keep their member arrays and transfer buffers here.
#pragma once

#include <cstddef>

namespace platform
{

class CPrivateHeap
{
public:
    // initialSize is a hint; the heap grows as needed.
    explicit CPrivateHeap(size_t initialSize = 0);
    ~CPrivateHeap();
    CPrivateHeap(const CPrivateHeap&) = delete;
    CPrivateHeap& operator=(const CPrivateHeap&) = delete;

    // A block of size bytes (zero-size blocks are valid), zero-filled when zero is set;
    // null when memory runs out.
    void* Alloc(size_t size, bool zero = false);
    // Resizes a block, keeping its contents; null (the old block intact) on failure.
    void* ReAlloc(void* block, size_t size);
    // Releases one block; null is ignored.
    void Free(void* block);
    // Releases every block.
    void FreeAll();
    size_t BlockCount() const { return m_count; }

private:
    struct Block;
    Block* m_first = nullptr;
    size_t m_count = 0;
};

} // namespace platform
