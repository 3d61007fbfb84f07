// Time services: file times (100 ns units since 1601-01-01), calendar times, local time
// through the host time zone (TZ), and the MS-DOS and Unix time stamps of archive headers.
#pragma once

#include <cstdint>

namespace platform
{

using FileTime = uint64_t;

constexpr FileTime kTicksPerSecond = 10'000'000;
constexpr FileTime kUnixEpochFileTime = 116'444'736'000'000'000; // 1970-01-01 00:00:00
constexpr FileTime kMaxUnixFileTime = 0x0236485ED4A5E980;        // 2106-02-07 06:28:15

struct SystemTime
{
    uint16_t year;         // 1601-30827
    uint16_t month;        // 1-12
    uint16_t dayOfWeek;    // 0 = Sunday; ignored on input
    uint16_t day;          // 1-31
    uint16_t hour;         // 0-23
    uint16_t minute;       // 0-59
    uint16_t second;       // 0-59
    uint16_t milliseconds; // 0-999
};

// Fails (false) on a field out of range, such as month 0 or 31 February.
bool SystemTimeToFileTime(const SystemTime& st, FileTime* ft);
bool FileTimeToSystemTime(FileTime ft, SystemTime* st);

// Local file time <-> UTC by the rules of the host zone at that instant.
bool LocalFileTimeToFileTime(FileTime local, FileTime* utc);
bool FileTimeToLocalFileTime(FileTime utc, FileTime* local);

FileTime GetCurrentFileTime();
int CompareFileTime(FileTime a, FileTime b);

// MS-DOS date and time (local) -> local file time; 0 for an invalid date or time.
FileTime DosToFileTime(uint16_t date, uint16_t time);
// Local file time -> MS-DOS date and time, one second added first so that odd seconds round
// up. Times outside 1980-2107 are clamped to the first or last representable stamp.
void FileTimeToDos(FileTime local, uint16_t* date, uint16_t* time);

// Unix seconds, taken as signed 32-bit, -> file time.
FileTime UnixToFileTime(int32_t t);
// Unix seconds taken as unsigned 32-bit (1970 to 2106, every value FileTimeToUnix gives).
FileTime UnsignedUnixToFileTime(uint32_t t);
// File time -> Unix seconds; times before 1970 give 0 and times after 2106-02-07 06:28:15
// give 0xFFFFFFFF, both returning false.
bool FileTimeToUnix(FileTime ft, uint32_t* t);

} // namespace platform
