// The private heap keeps its blocks on an intrusive doubly linked list so that destroying
// it can free them all. Large blocks (a member array of a big archive) are mappings of their
// own, backed by huge pages where the host allows: they grow by remapping instead of
// copying, and fill with a few hundred page faults instead of tens of thousands.
#include "platform/PrivateHeap.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sys/mman.h>

namespace platform
{

struct alignas(16) CPrivateHeap::Block
{
    Block* prev;
    Block* next;
    size_t size;   // bytes asked for
    size_t mapped; // bytes of the mapping for a large block, 0 for a malloc block
};

namespace
{

constexpr size_t kLargeBlock = 1 << 20;
constexpr size_t kHugePage = 2 << 20;

size_t RoundToHugePages(size_t bytes)
{
    return (bytes + kHugePage - 1) & ~(kHugePage - 1);
}

void* MapLarge(size_t bytes)
{
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) {
        return nullptr;
    }
    madvise(p, bytes, MADV_HUGEPAGE);
    return p;
}

void Release(void* block, size_t mapped)
{
    if (mapped != 0) {
        munmap(block, mapped);
    } else {
        std::free(block);
    }
}

} // namespace

CPrivateHeap::CPrivateHeap(size_t /*initialSize*/)
{
    // The C library's allocator already grows on demand; nothing is reserved up front.
}

CPrivateHeap::~CPrivateHeap()
{
    FreeAll();
}

void* CPrivateHeap::Alloc(size_t size, bool zero)
{
    if (size > SIZE_MAX - sizeof(Block) - kHugePage) {
        return nullptr;
    }
    size_t mapped = 0;
    void* raw;
    if (sizeof(Block) + size >= kLargeBlock) {
        mapped = RoundToHugePages(sizeof(Block) + size);
        raw = MapLarge(mapped); // fresh mappings read as zero
    } else {
        raw = zero ? std::calloc(1, sizeof(Block) + size) : std::malloc(sizeof(Block) + size);
    }
    if (raw == nullptr) {
        return nullptr;
    }
    auto* b = static_cast<Block*>(raw);
    b->size = size;
    b->mapped = mapped;
    b->prev = nullptr;
    b->next = m_first;
    if (m_first != nullptr) {
        m_first->prev = b;
    }
    m_first = b;
    ++m_count;
    return b + 1;
}

void* CPrivateHeap::ReAlloc(void* block, size_t size)
{
    if (block == nullptr) {
        return Alloc(size);
    }
    if (size > SIZE_MAX - sizeof(Block) - kHugePage) {
        return nullptr;
    }
    Block* old = static_cast<Block*>(block) - 1;
    size_t total = sizeof(Block) + size;
    bool large = total >= kLargeBlock;
    if (large != (old->mapped != 0)) {
        // The block changes kind: a new one, then the contents move.
        void* fresh = Alloc(size);
        if (fresh == nullptr) {
            return nullptr;
        }
        std::memcpy(fresh, block, old->size < size ? old->size : size);
        Free(block);
        return fresh;
    }
    Block* prev = old->prev;
    Block* next = old->next;
    Block* b;
    if (large) {
        size_t mapped = RoundToHugePages(total);
        size_t oldMapped = old->mapped;
        void* p = mremap(old, oldMapped, mapped, MREMAP_MAYMOVE);
        if (p == MAP_FAILED) {
            return nullptr;
        }
        b = static_cast<Block*>(p);
        if (mapped > oldMapped) {
            madvise(reinterpret_cast<char*>(b) + oldMapped, mapped - oldMapped, MADV_HUGEPAGE);
        }
        b->mapped = mapped;
    } else {
        b = static_cast<Block*>(std::realloc(old, total));
        if (b == nullptr) {
            return nullptr;
        }
    }
    b->size = size;
    (prev != nullptr ? prev->next : m_first) = b;
    if (next != nullptr) {
        next->prev = b;
    }
    return b + 1;
}

void CPrivateHeap::Free(void* block)
{
    if (block == nullptr) {
        return;
    }
    Block* b = static_cast<Block*>(block) - 1;
    (b->prev != nullptr ? b->prev->next : m_first) = b->next;
    if (b->next != nullptr) {
        b->next->prev = b->prev;
    }
    Release(b, b->mapped);
    --m_count;
}

void CPrivateHeap::FreeAll()
{
    while (m_first != nullptr) {
        Block* next = m_first->next;
        Release(m_first, m_first->mapped);
        m_first = next;
    }
    m_count = 0;
}

} // namespace platform
