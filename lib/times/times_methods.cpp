#include <QCoreApplication>
#include <QThread>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "times/FileTime.h"
#include "times/ShootingDate.h"

namespace quillmere {

namespace fileops = platform::fileops;

namespace {

// Calendar fields are stored into 16-bit fields; a value that does not fit is an overflow.
std::int32_t fitSixteenBits(std::int32_t v) {
  if (v < -32768 || v > 65535) throw DllError(6, "Overflow");
  return v;
}

void defaultNumbers(LongArray& table) {
  table.redim(1, 3, 1, 7);
}

void defaultTexts(StringArray& table) {
  static const char* const widths[] = {"0000", "00", "00", "00", "00", "00", "000"};
  table.redim(1, 3, 1, 7);
  for (std::int32_t r = 1; r <= 3; ++r)
    for (std::int32_t c = 1; c <= 7; ++c) table(r, c) = widths[c - 1];
}

// The runtime's reading of a leading number: blanks skipped, a sign, digits; anything else 0.
std::int32_t leadingNumber(const std::string& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  std::int64_t v = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    v = v * 10 + (text[i++] - '0');
    if (v > INT32_MAX) throw DllError(6, "Overflow");
  }
  return static_cast<std::int32_t>(negative ? -v : v);
}

std::string padded(std::int32_t value, int width) {
  std::string digits = std::to_string(value < 0 ? -static_cast<std::int64_t>(value) : value);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits.substr(digits.size() - static_cast<std::size_t>(width));
}

}  // namespace

bool Main::DLL_TimeGet(const std::string& InFileName, LongArray& TimeLowHi) const {
  const auto native = platform::nativePathOf(InFileName);
  if (!native) return false;
  fileops::InputFile file;
  if (!file.open(*native)) return false;
  platform::FileTimes times;
  if (!fileops::readTimes(*native, times)) return false;
  times::fillTimePairs(times, TimeLowHi);
  return true;
}

bool Main::DLL_TimePut(const std::string& SetFileName, LongArray& TimeLowHi) const {
  const auto native = platform::nativePathOf(SetFileName);
  if (!native) return false;
  const std::int64_t lastWrite =
      times::localToUtc(times::joinLowHi(TimeLowHi(2, 1), TimeLowHi(2, 2)));
  const std::int64_t lastAccess =
      times::localToUtc(times::joinLowHi(TimeLowHi(3, 1), TimeLowHi(3, 2)));
  TimeLowHi(1, 2);  // the creation row must be there too, though Linux cannot set it
  return static_cast<bool>(fileops::setTimes(*native, times::unixFromFileTime(lastWrite),
                                             times::unixFromFileTime(lastAccess)));
}

void Main::DLL_TimePutConst(const std::string& InFileName, std::int32_t TimeLow,
                            std::int32_t TimeHi) const {
  const auto native = platform::nativePathOf(InFileName);
  if (!native) return;
  const timespec t = times::unixFromFileTime(times::joinLowHi(TimeLow, TimeHi));
  fileops::setTimes(*native, t, t);
}

bool Main::DLL_TimeBunri(LongArray& TimeLowHi, LongArray& TimeStamp) const {
  if (TimeLowHi.dims() == 0) {
    defaultNumbers(TimeStamp);
    return false;
  }
  const std::int32_t lo = TimeLowHi.lbound(1);
  const std::int32_t hi = TimeLowHi.ubound(1);
  LongArray out;
  out.redim(lo, hi, 1, 7);
  for (std::int32_t r = lo; r <= hi; ++r) {
    const auto f = times::fieldsFromFileTime(times::joinLowHi(TimeLowHi(r, 1), TimeLowHi(r, 2)));
    if (!f) continue;  // the conversion fails: the row stays zero
    const std::int32_t values[7] = {f->year,   f->month,  f->day,         f->hour,
                                    f->minute, f->second, f->milliseconds};
    for (std::int32_t c = 1; c <= 7; ++c) out(r, c) = values[c - 1];
  }
  TimeStamp = std::move(out);
  return true;
}

bool Main::DLL_TimeAdd(LongArray& TimeStamp, LongArray& TimeLowHi) const {
  bool result = true;
  if (TimeStamp.dims() == 0) {
    defaultNumbers(TimeStamp);
    result = false;
  }
  const std::int32_t lo = TimeStamp.lbound(1);
  const std::int32_t hi = TimeStamp.ubound(1);
  LongArray out;
  out.redim(lo, hi, 1, 2);
  for (std::int32_t r = lo; r <= hi; ++r) {
    times::Fields f;
    f.year = fitSixteenBits(TimeStamp(r, 1));
    f.month = fitSixteenBits(TimeStamp(r, 2));
    f.day = fitSixteenBits(TimeStamp(r, 3));
    f.hour = fitSixteenBits(TimeStamp(r, 4));
    f.minute = fitSixteenBits(TimeStamp(r, 5));
    f.second = fitSixteenBits(TimeStamp(r, 6));
    f.milliseconds = fitSixteenBits(TimeStamp(r, 7));
    const std::int64_t ft = times::fileTimeFromFields(f).value_or(0);
    out(r, 1) = times::lowOf(ft);
    out(r, 2) = times::highOf(ft);
  }
  TimeLowHi = std::move(out);
  return result;
}

bool Main::DLL_TimeAddZero(LongArray& TimeStamp, StringArray& TimeStampAddZero) const {
  static const int widths[7] = {4, 2, 2, 2, 2, 2, 3};
  bool result = true;
  if (TimeStamp.dims() == 0) {
    defaultNumbers(TimeStamp);
    result = false;
  }
  const std::int32_t lo = TimeStamp.lbound(1);
  const std::int32_t hi = TimeStamp.ubound(1);
  StringArray out;
  out.redim(lo, hi, 1, 7);
  for (std::int32_t r = lo; r <= hi; ++r)
    for (std::int32_t c = 1; c <= 7; ++c) out(r, c) = padded(TimeStamp(r, c), widths[c - 1]);
  TimeStampAddZero = std::move(out);
  return result;
}

bool Main::DLL_TimeConvert(StringArray& TimeStamp, LongArray& TimeLowHi) const {
  bool result = true;
  if (TimeStamp.dims() == 0) {
    defaultTexts(TimeStamp);
    result = false;
  }
  const std::int32_t lo = TimeStamp.lbound(1);
  const std::int32_t hi = TimeStamp.ubound(1);
  LongArray out;
  out.redim(lo, hi, 1, 7);
  for (std::int32_t r = lo; r <= hi; ++r)
    for (std::int32_t c = 1; c <= 7; ++c) out(r, c) = leadingNumber(TimeStamp(r, c));
  TimeLowHi = std::move(out);
  return result;
}

bool Main::DLL_TimeUpdate(LongArray& MasterTimeHiLow, LongArray& SlaveTimeHiLow) const {
  if (MasterTimeHiLow.dims() == 0) return false;
  if (SlaveTimeHiLow.dims() == 0) return true;
  const std::int64_t master = times::joinLowHi(MasterTimeHiLow(2, 1), MasterTimeHiLow(2, 2));
  const std::int64_t slave = times::joinLowHi(SlaveTimeHiLow(2, 1), SlaveTimeHiLow(2, 2));
  // Compared to the millisecond.
  auto ms = [](std::int64_t ft) { return ft >= 0 ? ft / 10'000 : -((-ft + 9'999) / 10'000); };
  return ms(master) >= ms(slave);
}

std::int32_t Main::DLL_TotalDays(std::int32_t Dyyyy, std::int32_t Dmm, std::int32_t Ddd) const {
  const std::int64_t days = times::totalDays(Dyyyy, Dmm, Ddd);
  if (days < INT32_MIN || days > INT32_MAX) throw DllError(6, "Overflow");
  return static_cast<std::int32_t>(days);
}

std::int32_t Main::DLL_TimeWeekDay(std::int32_t& Year, std::int32_t& Month,
                                   std::int32_t& Day) const {
  if (Year >= 0 && Year <= 49) {
    Year += 2000;
  } else if (Year >= 50 && Year <= 99) {
    Year += 1900;
  }
  return static_cast<std::int32_t>((times::totalDays(Year, Month, Day) + 1) % 7);
}

void Main::DLL_Date(std::string& DateYYYY, std::string& DateMM, std::string& DateDD) const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d", local.tm_year + 1900);
  DateYYYY = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d", local.tm_mon + 1);
  DateMM = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d", local.tm_mday);
  DateDD = buffer;
}

void Main::DLL_Time(std::string& TimeHH, std::string& TimeMM, std::string& TimeSS) const {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", local.tm_hour);
  TimeHH = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d", local.tm_min);
  TimeMM = buffer;
  std::snprintf(buffer, sizeof buffer, "%02d", local.tm_sec);
  TimeSS = buffer;
}

bool Main::DLL_Wait(std::int32_t Sec) const {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(Sec > 0 ? Sec : 0);
  while (std::chrono::steady_clock::now() < end) {
    if (QCoreApplication::instance() != nullptr) QCoreApplication::processEvents();
    QThread::msleep(10);
  }
  return true;
}

bool Main::DLL_TakeDate(const std::string& FileName, std::int32_t File_Byte, LongArray& TakeDate,
                        float TimeOut) const {
  // A file that does not exist answers False and leaves the table alone. The open of the
  // search is the existence test: one look-up per picture instead of two.
  const auto native = platform::nativePathOf(FileName);
  if (FileName.empty() || !native) return false;
  times::ShootingDate date;
  const double timeout = std::isnan(TimeOut) ? 0.0 : static_cast<double>(TimeOut);
  const platform::FileResult opened =
      times::findShootingDate(*native, static_cast<std::int64_t>(File_Byte) - 1, timeout, date);
  if (opened.error() == ENOENT || opened.error() == ENOTDIR) return false;
  if (TakeDate.dims() != 2) TakeDate.redim(1, 1, 1, 7);
  TakeDate(1, 7);  // raises "subscript out of range" before anything is written
  for (std::int32_t c = 1; c <= 7; ++c) TakeDate(1, c) = 0;
  if (!date.found) return false;
  TakeDate(1, 1) = date.year;
  TakeDate(1, 2) = date.month;
  TakeDate(1, 3) = date.day;
  TakeDate(1, 4) = date.hour;
  TakeDate(1, 5) = date.minute;
  TakeDate(1, 6) = date.second;
  return true;
}

}  // namespace quillmere
