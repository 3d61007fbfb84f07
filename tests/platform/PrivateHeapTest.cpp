// The private heap keeps blocks apart and releases them together.
#include "platform/PrivateHeap.h"

#include <gtest/gtest.h>

#include <cstring>

using platform::CPrivateHeap;

TEST(PrivateHeap, BlocksSurviveGrowthAndAreReleasedTogether)
{
    CPrivateHeap heap(512 * 1024);
    void* empty = heap.Alloc(0);
    ASSERT_NE(empty, nullptr);
    auto* a = static_cast<unsigned char*>(heap.Alloc(100, true));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[99], 0);
    std::memset(a, 0xAB, 100);
    auto* b = static_cast<unsigned char*>(heap.Alloc(16));
    a = static_cast<unsigned char*>(heap.ReAlloc(a, 1 << 20));
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a[0], 0xAB);
    EXPECT_EQ(a[99], 0xAB);
    EXPECT_EQ(heap.BlockCount(), 3u);
    heap.Free(b);
    heap.Free(nullptr);
    EXPECT_EQ(heap.BlockCount(), 2u);
    EXPECT_EQ(heap.ReAlloc(a, SIZE_MAX), nullptr);
    EXPECT_EQ(a[1], 0xAB); // a failed resize keeps the block
    heap.FreeAll();
    EXPECT_EQ(heap.BlockCount(), 0u);
    // Destruction frees whatever is left; the leak checker of the sanitizer build verifies.
    heap.Alloc(64);
}
