// CRC-16/ARC as the format uses it.
#include "lzh/Crc16.h"

#include "tests/support/EachFold.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

TEST(Crc16, CheckValueAndIncrementalUpdate)
{
    EXPECT_EQ(Crc16Update(0, "123456789", 9), 0xBB3D);
    EXPECT_EQ(Crc16Update(Crc16Update(0, "1234", 4), "56789", 5), 0xBB3D);
    EXPECT_EQ(Crc16Update(0x1234, "x", 0), 0x1234);
    EXPECT_EQ(Crc16Update(0x1234, "x", -5), 0x1234);
    EXPECT_EQ(kCrc16Table[1], 0xC0C1);
    EXPECT_EQ(kCrc16Table[255], 0x4040);
}

TEST(Crc16, EveryLengthAndAlignmentAgreesWithBitByBit)
{
    // Around and across the folded blocks (64 bytes and more, in steps of 16, or 256 at a
    // time in the wide fold) and with a running value carried in.
    std::mt19937 rng(16);
    std::vector<uint8_t> data(1100);
    for (auto& b : data) {
        b = static_cast<uint8_t>(rng());
    }
    testsupport::WithEachFold([&] {
        for (size_t offset = 0; offset < 16; offset += 3) {
            for (size_t length = 0; length + offset <= data.size();
                 length += length < 600 ? 1 : 29) {
                uint32_t reg = 0x5A5A;
                for (size_t i = 0; i < length; ++i) {
                    reg ^= data[offset + i];
                    for (int k = 0; k < 8; ++k) {
                        reg = (reg & 1) ? (reg >> 1) ^ 0xA001 : reg >> 1;
                    }
                }
                ASSERT_EQ(Crc16Update(0x5A5A, data.data() + offset, static_cast<long>(length)), reg)
                    << offset << " " << length;
            }
        }
        EXPECT_EQ(Crc16Update(Crc16Update(0, data.data(), 100), data.data() + 100, 1000),
                  Crc16Update(0, data.data(), 1100));
    });
}
