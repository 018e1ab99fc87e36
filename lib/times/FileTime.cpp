#include "times/FileTime.h"

#include <cerrno>
#include <ctime>

namespace quillmere::times {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
  std::int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) --q;
  return q;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t daysFromCivil(std::int64_t y, std::int64_t m, std::int64_t d) {
  y -= m <= 2 ? 1 : 0;
  const std::int64_t era = floorDiv(y, 400);
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, std::int64_t& m, std::int64_t& d) {
  z += 719468;
  const std::int64_t era = floorDiv(z, 146097);
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = yoe + era * 400 + (m <= 2 ? 1 : 0);
}

bool leapYear(std::int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

std::int64_t daysInMonth(std::int64_t y, std::int64_t m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

}  // namespace

std::int64_t fileTimeFromUnix(const timespec& utc) {
  return (static_cast<std::int64_t>(utc.tv_sec) + kEpochGapSeconds) * kTicksPerSecond +
         utc.tv_nsec / 100;
}

timespec unixFromFileTime(std::int64_t fileTime) {
  const std::int64_t seconds = floorDiv(fileTime, kTicksPerSecond);
  timespec out{};
  out.tv_sec = static_cast<time_t>(seconds - kEpochGapSeconds);
  out.tv_nsec = static_cast<long>((fileTime - seconds * kTicksPerSecond) * 100);
  return out;
}

std::int64_t utcToLocal(std::int64_t fileTime) {
  const time_t t = static_cast<time_t>(floorDiv(fileTime, kTicksPerSecond) - kEpochGapSeconds);
  std::tm local{};
  if (::localtime_r(&t, &local) == nullptr) return fileTime;
  return fileTime + static_cast<std::int64_t>(local.tm_gmtoff) * kTicksPerSecond;
}

std::int64_t localToUtc(std::int64_t localFileTime) {
  const time_t wall =
      static_cast<time_t>(floorDiv(localFileTime, kTicksPerSecond) - kEpochGapSeconds);
  std::tm fields{};
  if (::gmtime_r(&wall, &fields) == nullptr) return localFileTime;
  fields.tm_isdst = -1;
  errno = 0;
  const time_t utc = std::mktime(&fields);
  std::int64_t offset = 0;
  if (utc == static_cast<time_t>(-1) && errno != 0) {
    std::tm local{};
    if (::localtime_r(&wall, &local) != nullptr) offset = local.tm_gmtoff;
  } else {
    offset = static_cast<std::int64_t>(wall) - static_cast<std::int64_t>(utc);
  }
  return localFileTime - offset * kTicksPerSecond;
}

std::optional<Fields> fieldsFromFileTime(std::int64_t fileTime) {
  if (fileTime < 0) return std::nullopt;
  const std::int64_t ms = fileTime / 10'000;
  const std::int64_t secondsSince1601 = ms / 1000;
  const std::int64_t days = secondsSince1601 / 86400 + daysFromCivil(1601, 1, 1);
  std::int64_t y = 0, m = 0, d = 0;
  civilFromDays(days, y, m, d);
  if (y > 30827) return std::nullopt;
  const std::int64_t secondOfDay = secondsSince1601 % 86400;
  Fields f;
  f.year = static_cast<std::int32_t>(y);
  f.month = static_cast<std::int32_t>(m);
  f.day = static_cast<std::int32_t>(d);
  f.hour = static_cast<std::int32_t>(secondOfDay / 3600);
  f.minute = static_cast<std::int32_t>(secondOfDay / 60 % 60);
  f.second = static_cast<std::int32_t>(secondOfDay % 60);
  f.milliseconds = static_cast<std::int32_t>(ms % 1000);
  return f;
}

std::optional<std::int64_t> fileTimeFromFields(const Fields& f) {
  if (f.year < 1601 || f.year > 30827 || f.month < 1 || f.month > 12 || f.day < 1 ||
      f.day > daysInMonth(f.year, f.month) || f.hour < 0 || f.hour > 23 || f.minute < 0 ||
      f.minute > 59 || f.second < 0 || f.second > 59 || f.milliseconds < 0 || f.milliseconds > 999)
    return std::nullopt;
  const std::int64_t days = daysFromCivil(f.year, f.month, f.day) - daysFromCivil(1601, 1, 1);
  const std::int64_t seconds = days * 86400 + f.hour * 3600 + f.minute * 60 + f.second;
  return seconds * kTicksPerSecond + static_cast<std::int64_t>(f.milliseconds) * 10'000;
}

std::int64_t totalDays(std::int64_t year, std::int64_t month, std::int64_t day) {
  if (month < 3) {
    year -= 1;
  } else {
    day -= 367;
  }
  const std::int64_t m = month - 1;
  if ((m & 9) != 0) day += 1;
  return year * 365 + year / 4 - year / 100 + year / 400 + day + m / 2 + 30 * m - 1;
}

std::int64_t joinLowHi(std::int32_t low, std::int32_t high) {
  return static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(static_cast<std::uint32_t>(high)) << 32) |
      static_cast<std::uint32_t>(low));
}

std::int32_t lowOf(std::int64_t fileTime) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(fileTime & 0xFFFFFFFF));
}

std::int32_t highOf(std::int64_t fileTime) {
  return static_cast<std::int32_t>(
      static_cast<std::uint32_t>(static_cast<std::uint64_t>(fileTime) >> 32));
}

void fillTimePairs(const platform::FileTimes& times, LongArray& pairs) {
  const std::int64_t values[3] = {
      utcToLocal(fileTimeFromUnix(times.creation)),
      utcToLocal(fileTimeFromUnix(times.lastWrite)),
      utcToLocal(fileTimeFromUnix(times.lastAccess)),
  };
  if (pairs.dims() != 2) pairs.redim(1, 3, 1, 2);
  pairs(3, 2);  // raises "subscript out of range" before anything is written
  for (std::int32_t r = 1; r <= 3; ++r) {
    pairs(r, 1) = lowOf(values[r - 1]);
    pairs(r, 2) = highOf(values[r - 1]);
  }
}

}  // namespace quillmere::times
