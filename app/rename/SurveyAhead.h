#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "times/ShootingDate.h"

namespace quillmere::rename {

// Reads the listed files' times and shooting dates on a second thread while the survey takes
// them in list order: whichever thread reaches a file first reads it, so the survey never waits
// for a file the helper has not begun, and both cores read heads. The list must not change
// while the reader lives.
class SurveyAhead {
 public:
  struct Facts {
    std::optional<std::string> native;  // the file's path on this system; none: no drive
    platform::FileResult opened;        // why the file could not be read, if it could not
    times::PictureFacts picture;
  };

  SurveyAhead(const StringArray& list, const platform::DriveMap& map, std::int64_t maxLines,
              double timeoutSeconds);
  ~SurveyAhead();  // the helper stops at its next file
  SurveyAhead(const SurveyAhead&) = delete;
  SurveyAhead& operator=(const SurveyAhead&) = delete;

  // The facts of list entry i (1-based), read by this thread if the helper has not begun it.
  const Facts& take(int i);

 private:
  struct Slot {
    Facts facts;
    std::atomic<bool> ready{false};
  };
  // Reads the next file nobody has claimed; false when every file is claimed.
  bool readNext();
  void read(std::size_t index);

  const StringArray& m_list;
  const platform::DriveMap& m_map;
  const std::int64_t m_maxLines;
  const double m_timeout;
  const std::size_t m_count;
  std::unique_ptr<Slot[]> m_slots;
  std::atomic<std::size_t> m_next{0};
  std::atomic<bool> m_stop{false};
  std::thread m_helper;
};

}  // namespace quillmere::rename
