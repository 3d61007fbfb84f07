// Calendar arithmetic, local time through pinned zones, MS-DOS and Unix stamps.
#include "platform/FileTime.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace platform;

namespace
{

class ZoneGuard
{
public:
    explicit ZoneGuard(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        m_old = m_had ? old : "";
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard()
    {
        if (m_had) {
            setenv("TZ", m_old.c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    bool m_had;
    std::string m_old;
};

FileTime At(uint16_t y, uint16_t mo, uint16_t d, uint16_t h, uint16_t mi, uint16_t s)
{
    SystemTime st{y, mo, 0, d, h, mi, s, 0};
    FileTime ft = 0;
    EXPECT_TRUE(SystemTimeToFileTime(st, &ft));
    return ft;
}

uint16_t DosDate(int y, int m, int d)
{
    return static_cast<uint16_t>(((y - 1980) << 9) | (m << 5) | d);
}

uint16_t DosTime(int h, int m, int s)
{
    return static_cast<uint16_t>((h << 11) | (m << 5) | (s / 2));
}

} // namespace

TEST(FileTime, CalendarConversionsAgreeWithKnownInstants)
{
    EXPECT_EQ(At(1970, 1, 1, 0, 0, 0), kUnixEpochFileTime);
    EXPECT_EQ(At(1601, 1, 1, 0, 0, 0), 0u);
    EXPECT_EQ(At(2106, 2, 7, 6, 28, 15), kMaxUnixFileTime);
    SystemTime st;
    ASSERT_TRUE(FileTimeToSystemTime(At(2024, 2, 29, 23, 59, 58) + 1234 * 10000, &st));
    EXPECT_EQ(st.year, 2024);
    EXPECT_EQ(st.month, 2);
    EXPECT_EQ(st.day, 29);
    EXPECT_EQ(st.dayOfWeek, 4); // a Thursday
    EXPECT_EQ(st.second, 59);
    EXPECT_EQ(st.milliseconds, 234);
    SystemTime bad{2023, 2, 0, 29, 0, 0, 0, 0};
    FileTime ft;
    EXPECT_FALSE(SystemTimeToFileTime(bad, &ft));
    bad = {1980, 0, 0, 1, 0, 0, 0, 0};
    EXPECT_FALSE(SystemTimeToFileTime(bad, &ft));
}

TEST(FileTime, DosStampsAndInvalidDates)
{
    EXPECT_EQ(DosToFileTime(DosDate(2010, 1, 1), DosTime(1, 0, 0)), At(2010, 1, 1, 1, 0, 0));
    EXPECT_EQ(DosToFileTime(0, 0), 0u);                       // month 0
    EXPECT_EQ(DosToFileTime(DosDate(2001, 2, 29), 0), 0u);    // no such day
    EXPECT_EQ(DosToFileTime(DosDate(2001, 2, 28), 0x1F), 0u); // 62 seconds
    EXPECT_EQ(DosToFileTime(DosDate(2001, 2, 28), DosTime(24, 0, 0)), 0u);

    uint16_t date, time;
    FileTimeToDos(At(2010, 1, 1, 1, 0, 1), &date, &time); // odd second rounds up
    EXPECT_EQ(date, DosDate(2010, 1, 1));
    EXPECT_EQ(time, DosTime(1, 0, 2));
    FileTimeToDos(At(2010, 12, 31, 23, 59, 59), &date, &time); // into the next year
    EXPECT_EQ(date, DosDate(2011, 1, 1));
    EXPECT_EQ(time, 0);
    FileTimeToDos(At(1975, 1, 1, 0, 0, 0), &date, &time);
    EXPECT_EQ(date, DosDate(1980, 1, 1));
}

TEST(FileTime, UnixStampsAreSignedAndClamped)
{
    EXPECT_EQ(UnixToFileTime(0), kUnixEpochFileTime);
    EXPECT_EQ(UnixToFileTime(INT32_MIN), At(1901, 12, 13, 20, 45, 52));
    uint32_t t = 1;
    EXPECT_FALSE(FileTimeToUnix(kUnixEpochFileTime - 1, &t));
    EXPECT_EQ(t, 0u);
    EXPECT_FALSE(FileTimeToUnix(kMaxUnixFileTime + 1, &t));
    EXPECT_EQ(t, 0xFFFFFFFFu);
    EXPECT_TRUE(FileTimeToUnix(kMaxUnixFileTime, &t));
    EXPECT_EQ(t, 0xFFFFFFFFu);
    EXPECT_TRUE(FileTimeToUnix(At(2010, 1, 1, 0, 0, 0) + 9999999, &t)); // truncated
    EXPECT_EQ(t, 1262304000u);
}

TEST(FileTime, LocalTimeInZoneWithoutDst)
{
    ZoneGuard zone("Asia/Tokyo");
    FileTime utc;
    ASSERT_TRUE(LocalFileTimeToFileTime(At(2010, 1, 1, 9, 0, 0), &utc));
    EXPECT_EQ(utc, At(2010, 1, 1, 0, 0, 0));
    FileTime local;
    ASSERT_TRUE(FileTimeToLocalFileTime(At(2010, 7, 1, 15, 0, 0) + 5, &local));
    EXPECT_EQ(local, At(2010, 7, 2, 0, 0, 0) + 5);
}

TEST(FileTime, LocalTimeFollowsDstRulesOfEachInstant)
{
    ZoneGuard zone("Europe/Berlin");
    FileTime utc;
    // Winter, summer, and winter again: the cached offset must never leak across seasons.
    ASSERT_TRUE(LocalFileTimeToFileTime(At(2021, 1, 15, 12, 0, 0), &utc));
    EXPECT_EQ(utc, At(2021, 1, 15, 11, 0, 0));
    ASSERT_TRUE(LocalFileTimeToFileTime(At(2021, 7, 15, 12, 0, 0), &utc));
    EXPECT_EQ(utc, At(2021, 7, 15, 10, 0, 0));
    ASSERT_TRUE(LocalFileTimeToFileTime(At(2021, 1, 16, 12, 0, 0), &utc));
    EXPECT_EQ(utc, At(2021, 1, 16, 11, 0, 0));
    FileTime local;
    ASSERT_TRUE(FileTimeToLocalFileTime(At(2021, 3, 28, 0, 59, 59), &local));
    EXPECT_EQ(local, At(2021, 3, 28, 1, 59, 59));
    ASSERT_TRUE(FileTimeToLocalFileTime(At(2021, 3, 28, 1, 0, 0), &local));
    EXPECT_EQ(local, At(2021, 3, 28, 3, 0, 0));
}
