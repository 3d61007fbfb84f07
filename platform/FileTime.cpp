// File time arithmetic on a proleptic Gregorian calendar, local time through the C library.
#include "platform/FileTime.h"

#include <ctime>

namespace platform
{
namespace
{

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a civil date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

bool IsLeap(unsigned y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(unsigned y, unsigned m)
{
    static const unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// Seconds since 1970 of a file time, floored, and the ticks below the second.
int64_t ToUnixSeconds(FileTime ft, FileTime* rest)
{
    *rest = ft % kTicksPerSecond;
    return static_cast<int64_t>(ft / kTicksPerSecond) - kDaysFrom1601To1970 * kSecondsPerDay;
}

bool FromUnixSeconds(int64_t seconds, FileTime rest, FileTime* ft)
{
    int64_t since1601 = seconds + kDaysFrom1601To1970 * kSecondsPerDay;
    if (since1601 < 0) {
        return false;
    }
    *ft = static_cast<FileTime>(since1601) * kTicksPerSecond + rest;
    return true;
}

// UTC offset in seconds in force at the UTC instant t.
bool OffsetAt(time_t t, long* offset)
{
    struct tm local;
    if (localtime_r(&t, &local) == nullptr) {
        return false;
    }
    *offset = local.tm_gmtoff;
    return true;
}

} // namespace

bool SystemTimeToFileTime(const SystemTime& st, FileTime* ft)
{
    if (st.year < 1601 || st.year > 30827 || st.month < 1 || st.month > 12 || st.day < 1 ||
        st.day > DaysInMonth(st.year, st.month) || st.hour > 23 || st.minute > 59 ||
        st.second > 59 || st.milliseconds > 999) {
        return false;
    }
    int64_t days = DaysFromCivil(st.year, st.month, st.day) + kDaysFrom1601To1970;
    int64_t seconds = days * kSecondsPerDay + st.hour * 3600 + st.minute * 60 + st.second;
    *ft = static_cast<FileTime>(seconds) * kTicksPerSecond +
          static_cast<FileTime>(st.milliseconds) * 10000;
    return true;
}

bool FileTimeToSystemTime(FileTime ft, SystemTime* st)
{
    if (ft >= 0x8000000000000000ULL) {
        return false;
    }
    int64_t seconds = static_cast<int64_t>(ft / kTicksPerSecond);
    int64_t days = seconds / kSecondsPerDay - kDaysFrom1601To1970;
    int64_t secOfDay = seconds % kSecondsPerDay;
    int64_t y;
    unsigned m, d;
    CivilFromDays(days, &y, &m, &d);
    st->year = static_cast<uint16_t>(y);
    st->month = static_cast<uint16_t>(m);
    st->day = static_cast<uint16_t>(d);
    // 1601-01-01 was a Monday.
    st->dayOfWeek = static_cast<uint16_t>((days + kDaysFrom1601To1970 + 1) % 7);
    st->hour = static_cast<uint16_t>(secOfDay / 3600);
    st->minute = static_cast<uint16_t>(secOfDay / 60 % 60);
    st->second = static_cast<uint16_t>(secOfDay % 60);
    st->milliseconds = static_cast<uint16_t>(ft % kTicksPerSecond / 10000);
    return true;
}

bool LocalFileTimeToFileTime(FileTime local, FileTime* utc)
{
    FileTime rest;
    int64_t localSeconds = ToUnixSeconds(local, &rest);
    // Archives hold runs of similar stamps: try the offset of the previous call and keep it
    // when the zone confirms it at the resulting instant; only otherwise ask mktime.
    thread_local long lastOffset = 0;
    thread_local bool haveLast = false;
    long offset;
    if (haveLast && OffsetAt(static_cast<time_t>(localSeconds - lastOffset), &offset) &&
        offset == lastOffset) {
        return FromUnixSeconds(localSeconds - lastOffset, rest, utc);
    }
    time_t t = static_cast<time_t>(localSeconds);
    struct tm fields;
    if (gmtime_r(&t, &fields) == nullptr) {
        return false;
    }
    fields.tm_isdst = -1;
    // mktime's -1 is also the genuine instant 1969-12-31 23:59:59 UTC; the offset check
    // below fails for a real error.
    time_t utcSeconds = mktime(&fields);
    if (!OffsetAt(utcSeconds, &offset)) {
        return false;
    }
    lastOffset = localSeconds - utcSeconds;
    haveLast = true;
    return FromUnixSeconds(utcSeconds, rest, utc);
}

bool FileTimeToLocalFileTime(FileTime utc, FileTime* local)
{
    FileTime rest;
    int64_t seconds = ToUnixSeconds(utc, &rest);
    long offset;
    if (!OffsetAt(static_cast<time_t>(seconds), &offset)) {
        return false;
    }
    return FromUnixSeconds(seconds + offset, rest, local);
}

FileTime GetCurrentFileTime()
{
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    FileTime ft = 0;
    FromUnixSeconds(now.tv_sec, static_cast<FileTime>(now.tv_nsec / 100), &ft);
    return ft;
}

int CompareFileTime(FileTime a, FileTime b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

FileTime DosToFileTime(uint16_t date, uint16_t time)
{
    SystemTime st{};
    st.year = static_cast<uint16_t>(1980 + (date >> 9));
    st.month = (date >> 5) & 0x0F;
    st.day = date & 0x1F;
    st.hour = time >> 11;
    st.minute = (time >> 5) & 0x3F;
    st.second = static_cast<uint16_t>((time & 0x1F) * 2);
    FileTime ft;
    return SystemTimeToFileTime(st, &ft) ? ft : 0;
}

void FileTimeToDos(FileTime local, uint16_t* date, uint16_t* time)
{
    SystemTime st;
    if (!FileTimeToSystemTime(local + kTicksPerSecond, &st) || st.year < 1980) {
        *date = (1 << 5) | 1; // 1980-01-01
        *time = 0;
        return;
    }
    if (st.year > 2107) {
        *date = static_cast<uint16_t>((127 << 9) | (12 << 5) | 31);
        *time = static_cast<uint16_t>((23 << 11) | (59 << 5) | 29);
        return;
    }
    *date = static_cast<uint16_t>(((st.year - 1980) << 9) | (st.month << 5) | st.day);
    *time = static_cast<uint16_t>((st.hour << 11) | (st.minute << 5) | (st.second / 2));
}

FileTime UnixToFileTime(int32_t t)
{
    return static_cast<FileTime>(static_cast<int64_t>(t) + 11'644'473'600LL) * kTicksPerSecond;
}

FileTime UnsignedUnixToFileTime(uint32_t t)
{
    return (static_cast<FileTime>(t) + 11'644'473'600ULL) * kTicksPerSecond;
}

bool FileTimeToUnix(FileTime ft, uint32_t* t)
{
    if (ft < kUnixEpochFileTime) {
        *t = 0;
        return false;
    }
    if (ft > kMaxUnixFileTime) {
        *t = 0xFFFFFFFF;
        return false;
    }
    *t = static_cast<uint32_t>((ft - kUnixEpochFileTime) / kTicksPerSecond);
    return true;
}

} // namespace platform
