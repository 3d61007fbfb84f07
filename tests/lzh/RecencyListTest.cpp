// PMarc's recency list: its starting order, and every rank and every byte value moved to
// the front as a plain list erases and inserts them, whatever the order before.
#include "lzh/LzhRecencyList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace
{

std::vector<uint8_t> Listed(const LzhRecencyList& l)
{
    return std::vector<uint8_t>(l.list, l.list + 256);
}

void MoveToFront(std::vector<uint8_t>& model, uint8_t b)
{
    model.erase(std::find(model.begin(), model.end(), b));
    model.insert(model.begin(), b);
}

} // namespace

TEST(LzhRecencyList, StartsWithPrintableBytesThenControlsThenTheHighHalves)
{
    LzhRecencyList l;
    l.Reset();
    EXPECT_EQ(l.list[0], 0x20);
    EXPECT_EQ(l.list[95], 0x7F);
    EXPECT_EQ(l.list[96], 0x00);
    EXPECT_EQ(l.list[127], 0x1F);
    EXPECT_EQ(l.list[128], 0xA0);
    EXPECT_EQ(l.list[192], 0x80);
    EXPECT_EQ(l.list[224], 0xE0);
    EXPECT_EQ(l.list[255], 0xFF);
    std::vector<uint8_t> sorted = Listed(l);
    std::sort(sorted.begin(), sorted.end());
    for (unsigned v = 0; v < 256; ++v) {
        EXPECT_EQ(sorted[v], v);
    }
}

TEST(LzhRecencyList, EveryRankAndEveryByteMovesToTheFront)
{
    LzhRecencyList l;
    l.Reset();
    std::vector<uint8_t> model = Listed(l);
    std::mt19937 rng(1);
    for (int round = 0; round < 4; ++round) {
        for (unsigned rank = 0; rank < 256; ++rank) {
            uint8_t expected = model[rank];
            MoveToFront(model, expected);
            ASSERT_EQ(l.TakeRank(rank), expected) << rank;
            ASSERT_EQ(Listed(l), model) << "rank " << rank;
        }
        for (unsigned v = 0; v < 256; ++v) {
            auto b = static_cast<uint8_t>(round % 2 == 0 ? v : 255 - v);
            EXPECT_EQ(l.Find(b), std::find(model.begin(), model.end(), b) - model.begin());
            MoveToFront(model, b);
            l.Touch(b);
            ASSERT_EQ(Listed(l), model) << "byte " << v;
        }
        for (int i = 0; i < 2000; ++i) {
            auto b = static_cast<uint8_t>(rng() % (i % 3 == 0 ? 256 : 12));
            MoveToFront(model, b);
            l.Touch(b);
        }
        ASSERT_EQ(Listed(l), model);
    }
}
