// Memory in whole 2 MB pages where the system has transparent huge pages, for large buffers
// that are touched whole (decoders' windows): one page fault for the block instead of one for
// every 4 KB, which on a virtual machine costs more than decoding those 4 KB.
#pragma once

#include <cstddef>
#include <memory>

namespace platform
{

// size bytes, uninitialised, in whole 2 MB pages; null when memory runs out.
void* AllocateHuge(size_t size) noexcept;
void FreeHuge(void* block) noexcept;

struct HugeFree
{
    void operator()(void* block) const noexcept { FreeHuge(block); }
};
template <typename T> using HugeArray = std::unique_ptr<T[], HugeFree>;

} // namespace platform
