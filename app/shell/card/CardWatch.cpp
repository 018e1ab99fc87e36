#include "shell/card/CardWatch.h"

#include <QPointer>
#include <QTimer>

namespace quillmere::card {

CardWatch::CardWatch(std::unique_ptr<VolumeSource> source, Hooks hooks, QObject* parent)
    : QObject(parent),
      m_source(std::move(source)),
      m_hooks(std::move(hooks)),
      m_trigger(m_hooks.settings, [this] {
        return m_running || m_offered.has_value() || (m_hooks.busy && m_hooks.busy());
      }) {
  m_source->onMounted = [this](const Volume& v) { mounted(v); };
  m_source->onUnmounted = [this](const Volume& v) { unmounted(v); };
}

std::string CardWatch::start() {
  return m_source->start();
}

void CardWatch::log(const Volume& volume, const std::string& what) const {
  if (!m_hooks.log) return;
  const std::string name = volume.label.empty() ? volume.object : volume.label;
  m_hooks.log("card " + name + " at " + volume.mountPoint + ": " + what);
}

void CardWatch::mounted(const Volume& volume) {
  const CardDecision decision = m_trigger.mounted(volume);
  if (decision != CardDecision::Off) log(volume, CardTrigger::describe(decision));
  if (decision != CardDecision::Run) return;
  m_offered = volume;
  if (!m_hooks.confirm) {
    answered(volume, true);
    return;
  }
  QPointer<CardWatch> alive(this);
  m_hooks.confirm(volume, [alive, volume](bool run) {
    if (alive) alive->answered(volume, run);
  });
}

void CardWatch::answered(const Volume& volume, bool run) {
  // An answer for an offer that was withdrawn, or given twice, does nothing.
  if (!m_offered || m_offered->object != volume.object ||
      m_offered->mountPoint != volume.mountPoint)
    return;
  if (!run) {
    m_offered.reset();
    log(volume, "cancelled");
    return;
  }
  // The job runs after the signal that brought the card has been handled; the offer holds
  // the busy state until then.
  QPointer<CardWatch> alive(this);
  QTimer::singleShot(0, this, [alive, volume] {
    if (alive) alive->runFor(volume);
  });
}

void CardWatch::runFor(const Volume& volume) {
  if (!m_offered || m_offered->object != volume.object) return;  // removed meanwhile
  m_offered.reset();
  if (m_hooks.busy && m_hooks.busy()) {
    log(volume, CardTrigger::describe(CardDecision::Busy));
    return;
  }
  m_running = true;
  ++m_runsStarted;
  if (m_hooks.run) m_hooks.run(volume);
  m_running = false;
}

void CardWatch::unmounted(const Volume& volume) {
  m_trigger.unmounted(volume);
  if (m_offered && m_offered->object == volume.object) {
    const Volume offered = *m_offered;
    m_offered.reset();
    log(volume, "removed before the job started");
    if (m_hooks.withdrawn) m_hooks.withdrawn(offered);
  } else if (m_running) {
    log(volume, "removed during the run");
  }
}

}  // namespace quillmere::card
