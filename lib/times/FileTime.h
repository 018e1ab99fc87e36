#pragma once

// Windows file times (100 ns ticks since 1601-01-01) and their calendar fields, the form the
// TimeLowHi and TimeStamp tables carry. Local file times are the universal ones shifted by the
// offset of the local time zone at that instant.

#include <cstdint>
#include <ctime>
#include <optional>

#include "core/Main.h"
#include "platform/FileOps.h"

namespace quillmere::times {

inline constexpr std::int64_t kTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01.
inline constexpr std::int64_t kEpochGapSeconds = 11'644'473'600;

std::int64_t fileTimeFromUnix(const timespec& utc);
timespec unixFromFileTime(std::int64_t fileTime);

// Universal <-> local file time in the process's time zone (TZ).
std::int64_t utcToLocal(std::int64_t fileTime);
std::int64_t localToUtc(std::int64_t localFileTime);

// Calendar fields of a file time (the platform's SYSTEMTIME without the day of the week).
struct Fields {
  std::int32_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, milliseconds = 0;
};
// Nothing for a negative file time or one past the year 30827.
std::optional<Fields> fieldsFromFileTime(std::int64_t fileTime);
// Nothing for fields outside their ranges (year 1601-30827, month 1-12, day of that month,
// hour 0-23, minute and second 0-59, milliseconds 0-999).
std::optional<std::int64_t> fileTimeFromFields(const Fields& fields);

// Days from 0001-01-01 in the proleptic Gregorian calendar, by the formula of DLL_TotalDays.
std::int64_t totalDays(std::int64_t year, std::int64_t month, std::int64_t day);

// One row of a TimeLowHi table <-> a file time.
std::int64_t joinLowHi(std::int32_t low, std::int32_t high);
std::int32_t lowOf(std::int64_t fileTime);
std::int32_t highOf(std::int64_t fileTime);

// A file's times (creation, last write, last access) as a TimeLowHi table of local file times.
void fillTimePairs(const platform::FileTimes& times, LongArray& pairs);

}  // namespace quillmere::times
