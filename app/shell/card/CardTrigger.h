#pragma once

#include <functional>
#include <set>
#include <string>

#include "shell/card/CardSettings.h"
#include "shell/card/VolumeSource.h"

namespace quillmere::card {

// What to do about a newly mounted volume.
enum class CardDecision {
  Off,             // Card-Run is off
  NotACard,        // not removable, or the filter does not match
  AlreadyHandled,  // this insertion (same medium at the same mount point) was taken already
  Busy,            // another run is under way; the insertion is left alone
  Run,             // run the job for it
};

// Whether the volume passes the filter of the settings (the DCIM check looks at the disk).
bool matchesFilter(const CardSettings& settings, const Volume& volume);

// Decides, once per insertion, whether a mounted volume starts the job. An insertion lasts from
// the mount to the unmount of one medium; a mount that is reported again (a repeated signal, a
// second listener) is the same insertion.
class CardTrigger {
 public:
  CardTrigger(std::function<CardSettings()> settings, std::function<bool()> busy)
      : m_settings(std::move(settings)), m_busy(std::move(busy)) {}

  // Answers Run at most once per insertion, and only while no run is under way. An insertion
  // refused as busy stays refused: the user starts the job by hand after the other run.
  CardDecision mounted(const Volume& volume);
  // The insertion ends: the next mount of the medium is a new one.
  void unmounted(const Volume& volume);

  // Whether a run may start now (checked again after the notice's wait).
  bool busy() const { return m_busy && m_busy(); }

  static const char* describe(CardDecision decision);

 private:
  static std::string insertionKey(const Volume& volume);

  std::function<CardSettings()> m_settings;
  std::function<bool()> m_busy;
  std::set<std::string> m_taken;  // insertions already taken
};

}  // namespace quillmere::card
