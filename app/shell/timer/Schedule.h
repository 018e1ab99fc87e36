#pragma once

#include <functional>
#include <string>

namespace quillmere {

// The clock as the library's time and date texts give it ("09", "05", ...).
struct ClockTexts {
  std::string year, month, day;
  std::string hour, minute, second;
};

// The clock read through the library (DLL_Date and DLL_Time).
ClockTexts libraryClock();

// Decides at each tick whether the scheduled mirroring run is due: at the first tick of a
// minute enabled in all four key families ("Mirrorring-Timer", "-Week" + weekday, "-Hour" +
// hour, "-Minute" + minute / 5), and never while a run is under way.
class MirrorSchedule {
 public:
  // Reads one key of section "Mirrorring"; a missing key reads as "0".
  using KeyReader = std::function<std::string(const std::string& key)>;

  bool due(const ClockTexts& now, bool runUnderWay, const KeyReader& read);

 private:
  std::string m_lastHour, m_lastMinute, m_lastSecond;
};

}  // namespace quillmere
