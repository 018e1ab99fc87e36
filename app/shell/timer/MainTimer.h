#pragma once

#include <QObject>
#include <QTimer>

#include <functional>
#include <string>

#include "shell/timer/Schedule.h"

namespace quillmere {

struct ShellState;

// What the main timer drives. Every step is a seam, so the timer itself needs no widget and
// tests can watch each step.
struct MainTimerSteps {
  std::function<void()> clearNoSpaceMessage;  // the rename panel's transient message
  std::function<void()> windowManagerPass;
  std::function<void(const std::string& downloadPath)> updateHandOver;  // start, delete, end
  std::function<void()> startScheduledMirroringRun;  // runs the mirroring panel's run
  std::function<void()> exitRoutine;
  std::function<ClockTexts()> clock = libraryClock;
  MirrorSchedule::KeyReader readScheduleKey;  // by default the settings store's cached copy
};

// Timer1 of the main window: every 10 ms the transient message, the ready flag, the window
// manager, a pending update, the mirroring schedule and the cancel flag, in that order. An
// error in one step never keeps the next from running.
class MainTimer final : public QObject {
  Q_OBJECT

 public:
  MainTimer(ShellState& state, MainTimerSteps steps, QObject* parent = nullptr);

  void start();
  void tick();

  // Set by the version panel once an update is downloaded.
  void requestUpdate(const std::string& downloadPath);

  // The seam to the mirroring run: called when the schedule says a run is due.
  void setScheduledMirroringRun(std::function<void()> run) {
    m_steps.startScheduledMirroringRun = std::move(run);
  }

  bool hasScheduledMirroringRun() const { return bool(m_steps.startScheduledMirroringRun); }

  // True from the moment a scheduled run is handed over until it returns.
  bool scheduledRunUnderWay() const { return m_runUnderWay; }

 private:
  void countDownMessage();
  void setReadyWhenIdle();
  void handOverPendingUpdate();
  void checkSchedule();
  void startScheduledRun();
  void exitOnCancel();
  std::string readScheduleKey(const std::string& key);

  ShellState& m_state;
  MainTimerSteps m_steps;
  QTimer m_timer;
  MirrorSchedule m_schedule;
  bool m_updateRequested = false;
  std::string m_updatePath;
  bool m_runUnderWay = false;
  std::string m_iniPathText;  // the settings file the native path below belongs to
  std::string m_iniNative;
};

}  // namespace quillmere
