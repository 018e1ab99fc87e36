#include "rename/SurveyAhead.h"

namespace quillmere::rename {

namespace {

// Below this many files a second thread costs more than it saves.
constexpr int kHelperFrom = 32;

}  // namespace

SurveyAhead::SurveyAhead(const StringArray& list, const platform::DriveMap& map,
                         std::int64_t maxLines, double timeoutSeconds)
    : m_list(list),
      m_map(map),
      m_maxLines(maxLines),
      m_timeout(timeoutSeconds),
      m_count(static_cast<std::size_t>(std::max(list.count(), 0))),
      m_slots(std::make_unique<Slot[]>(m_count)) {
  if (list.count() >= kHelperFrom && std::thread::hardware_concurrency() > 1)
    m_helper = std::thread([this] {
      while (!m_stop.load(std::memory_order_relaxed) && readNext()) {
      }
    });
}

SurveyAhead::~SurveyAhead() {
  m_stop = true;
  if (m_helper.joinable()) m_helper.join();
}

bool SurveyAhead::readNext() {
  const std::size_t index = m_next.fetch_add(1);
  if (index >= m_count) return false;
  read(index);
  return true;
}

void SurveyAhead::read(std::size_t index) {
  Slot& slot = m_slots[index];
  Facts& f = slot.facts;
  f.native = m_map.toNative(m_list(static_cast<int>(index) + 1));
  if (f.native) f.opened = times::surveyPicture(*f.native, m_maxLines, m_timeout, f.picture);
  slot.ready.store(true, std::memory_order_release);
  slot.ready.notify_one();
}

const SurveyAhead::Facts& SurveyAhead::take(int i) {
  Slot& slot = m_slots[static_cast<std::size_t>(i - 1)];
  // Files are claimed in list order: while this one is not ready, either nobody has claimed it
  // yet (this thread reads it, or one before it) or the helper is reading it (this thread reads
  // the next free one meanwhile, or waits once none is left).
  while (!slot.ready.load(std::memory_order_acquire)) {
    if (!readNext()) slot.ready.wait(false, std::memory_order_acquire);
  }
  return slot.facts;
}

}  // namespace quillmere::rename
