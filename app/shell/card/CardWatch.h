#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "shell/card/CardTrigger.h"
#include "shell/card/VolumeSource.h"

namespace quillmere::card {

// Listens for cards while the program runs: a volume the trigger takes is offered to the user
// (confirm), and on yes the job runs for it, after the current signal has been handled. While
// an offer is open or a job runs, other cards count as busy.
class CardWatch final : public QObject {
  Q_OBJECT

 public:
  struct Hooks {
    std::function<CardSettings()> settings;
    // Another run is under way (besides this watch's own).
    std::function<bool()> busy;
    // Asks whether to run the job for the volume; calls answer once, now or later. Without it
    // the job runs at once.
    std::function<void(const Volume&, std::function<void(bool run)> answer)> confirm;
    // The offer's volume went away before the answer.
    std::function<void(const Volume&)> withdrawn;
    // Runs the job for the volume to its end.
    std::function<void(const Volume&)> run;
    std::function<void(const std::string&)> log;
  };

  CardWatch(std::unique_ptr<VolumeSource> source, Hooks hooks, QObject* parent = nullptr);

  // Starts listening; answers an error text, empty on success.
  std::string start();

  bool running() const { return m_running; }
  int runsStarted() const { return m_runsStarted; }

 private:
  void mounted(const Volume& volume);
  void unmounted(const Volume& volume);
  void answered(const Volume& volume, bool run);
  void runFor(const Volume& volume);
  void log(const Volume& volume, const std::string& what) const;

  std::unique_ptr<VolumeSource> m_source;
  Hooks m_hooks;
  CardTrigger m_trigger;
  std::optional<Volume> m_offered;
  bool m_running = false;
  int m_runsStarted = 0;
};

}  // namespace quillmere::card
