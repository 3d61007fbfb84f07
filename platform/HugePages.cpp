// Blocks in 2 MB pages: aligned to them, rounded up to them and marked for the kernel.
#include "platform/HugePages.h"

#include <cstdlib>
#include <sys/mman.h>

namespace platform
{

namespace
{

constexpr size_t kHugePage = 2u << 20;

} // namespace

void* AllocateHuge(size_t size) noexcept
{
    if (size > SIZE_MAX - kHugePage) {
        return nullptr;
    }
    const size_t whole = (size + kHugePage - 1) / kHugePage * kHugePage;
    void* block = std::aligned_alloc(kHugePage, whole == 0 ? kHugePage : whole);
    if (block != nullptr) {
        madvise(block, whole, MADV_HUGEPAGE); // a hint: without huge pages it is plain memory
    }
    return block;
}

void FreeHuge(void* block) noexcept
{
    std::free(block);
}

} // namespace platform
