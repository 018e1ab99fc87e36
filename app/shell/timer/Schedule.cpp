#include "shell/timer/Schedule.h"

#include <cmath>

#include "core/Main.h"
#include "settings/ValueText.h"
#include "shell/core/ShellState.h"

namespace quillmere {

ClockTexts libraryClock() {
  ClockTexts now;
  dll().DLL_Time(now.hour, now.minute, now.second);
  dll().DLL_Date(now.year, now.month, now.day);
  return now;
}

namespace {

int wholeNumber(const std::string& text) {
  return static_cast<int>(std::trunc(settings::numberOrZero(text)));
}

bool keyIsOn(const MirrorSchedule::KeyReader& read, const std::string& key) {
  return settings::numberOrZero(read(key)) != 0;
}

}  // namespace

bool MirrorSchedule::due(const ClockTexts& now, bool runUnderWay, const KeyReader& read) {
  bool latch = true;
  if (now.hour == m_lastHour && now.minute == m_lastMinute) latch = false;
  m_lastHour = now.hour;
  m_lastMinute = now.minute;
  m_lastSecond = now.second;
  // The keys are read only while the latch still holds: the outcome is the same and an idle
  // tick within a handled minute stays cheap.
  if (!latch || runUnderWay) return false;
  if (!keyIsOn(read, "Mirrorring-Timer")) return false;
  std::int32_t year = wholeNumber(now.year);
  std::int32_t month = wholeNumber(now.month);
  std::int32_t day = wholeNumber(now.day);
  const std::int32_t weekday = dll().DLL_TimeWeekDay(year, month, day);
  if (!keyIsOn(read, "Mirrorring-Week" + std::to_string(weekday))) return false;
  if (!keyIsOn(read, "Mirrorring-Hour" + std::to_string(wholeNumber(now.hour)))) return false;
  // Only minutes that are multiples of five have a key ("Mirrorring-Minute" + minute / 5).
  const int minute = wholeNumber(now.minute);
  if (minute % 5 != 0) return false;
  return keyIsOn(read, "Mirrorring-Minute" + std::to_string(minute / 5));
}

}  // namespace quillmere
