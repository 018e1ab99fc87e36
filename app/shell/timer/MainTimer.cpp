#include "shell/timer/MainTimer.h"

#include "core/DllError.h"
#include "settings/IniStore.h"
#include "shell/core/ShellState.h"

namespace quillmere {

namespace {

// A tick goes on with its next step whatever one step throws.
template <typename Step>
void ignoringErrors(Step&& step) {
  try {
    step();
  } catch (...) {
  }
}

void call(const std::function<void()>& step) {
  if (step) step();
}

}  // namespace

MainTimer::MainTimer(ShellState& state, MainTimerSteps steps, QObject* parent)
    : QObject(parent), m_state(state), m_steps(std::move(steps)) {
  setObjectName("Timer1");
  m_timer.setInterval(10);
  connect(&m_timer, &QTimer::timeout, this, &MainTimer::tick);
}

void MainTimer::start() {
  m_timer.start();
}

void MainTimer::requestUpdate(const std::string& downloadPath) {
  m_updatePath = downloadPath;
  m_updateRequested = true;
}

void MainTimer::tick() {
  ignoringErrors([this] { countDownMessage(); });
  ignoringErrors([this] { setReadyWhenIdle(); });
  ignoringErrors([this] { call(m_steps.windowManagerPass); });
  ignoringErrors([this] { handOverPendingUpdate(); });
  ignoringErrors([this] { checkSchedule(); });
  ignoringErrors([this] { exitOnCancel(); });
}

void MainTimer::countDownMessage() {
  if (m_state.timerLoop > 0 && m_state.busy == 0) {
    --m_state.timerLoop;
  } else if (m_state.state(Panel::ReName) > 0) {
    call(m_steps.clearNoSpaceMessage);
  }
}

void MainTimer::setReadyWhenIdle() {
  if (m_state.busy == 0 && !m_state.loading && !m_state.ready) m_state.ready = true;
}

void MainTimer::handOverPendingUpdate() {
  if (!m_updateRequested || !m_steps.updateHandOver) return;
  m_updateRequested = false;
  m_steps.updateHandOver(m_updatePath);
}

void MainTimer::checkSchedule() {
  const ClockTexts now = m_steps.clock();
  const bool underWay = m_state.mirroringRunning || m_runUnderWay;
  if (!m_schedule.due(now, underWay,
                      [this](const std::string& key) { return readScheduleKey(key); }))
    return;
  // The run is started from its own event rather than inside this timer event: Qt does not
  // deliver a timer's ticks while its handler runs, and the ticks (window manager, cancel) must
  // go on during the run's yields. Until it returns, no second run is started.
  m_runUnderWay = true;
  QTimer::singleShot(0, this, [this] { startScheduledRun(); });
}

void MainTimer::startScheduledRun() {
  ignoringErrors([this] { call(m_steps.startScheduledMirroringRun); });
  m_runUnderWay = false;
}

void MainTimer::exitOnCancel() {
  if (m_state.cancel) call(m_steps.exitRoutine);
}

std::string MainTimer::readScheduleKey(const std::string& key) {
  if (m_steps.readScheduleKey) return m_steps.readScheduleKey(key);
  if (m_iniPathText != m_state.iniPath) {
    m_iniPathText = m_state.iniPath;
    m_iniNative = settings::iniNativePath(m_iniPathText);
  }
  return settings::IniStore::read(m_iniNative, "Mirrorring", key).value_or("0");
}

}  // namespace quillmere
