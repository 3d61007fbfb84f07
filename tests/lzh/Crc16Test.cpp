// CRC-16/ARC as the format uses it.
#include "lzh/Crc16.h"

#include <gtest/gtest.h>

TEST(Crc16, CheckValueAndIncrementalUpdate)
{
    EXPECT_EQ(Crc16Update(0, "123456789", 9), 0xBB3D);
    EXPECT_EQ(Crc16Update(Crc16Update(0, "1234", 4), "56789", 5), 0xBB3D);
    EXPECT_EQ(Crc16Update(0x1234, "x", 0), 0x1234);
    EXPECT_EQ(Crc16Update(0x1234, "x", -5), 0x1234);
    EXPECT_EQ(kCrc16Table[1], 0xC0C1);
    EXPECT_EQ(kCrc16Table[255], 0x4040);
}
