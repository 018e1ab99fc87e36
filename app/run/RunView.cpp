#include "run/RunView.h"

#include <utility>

#include "core/UiHook.h"

namespace quillmere {

RunView::~RunView() = default;

std::chrono::milliseconds RunView::yieldInterval() const {
  return std::chrono::milliseconds(0);
}

void RunView::clearCancel() {}
void RunView::note(const std::string& /*text*/) {}
bool RunView::claimRun(std::string_view /*sectionWord*/) {
  return true;
}
void RunView::releaseRun(std::string_view /*sectionWord*/) {}
void RunView::reopenAfterRun(std::string_view /*sectionWord*/) {}

YieldPacer::YieldPacer(RunView& view, std::string counter)
    : m_view(view),
      m_counter(std::move(counter)),
      m_interval(view.yieldInterval()),
      m_last(std::chrono::steady_clock::now()) {}

void YieldPacer::fileDone(std::size_t number) {
  if (m_interval.count() > 0) {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < m_interval) return;
    m_last = now;
  }
  m_view.setLabel(m_counter, std::to_string(number));
  m_view.yield();
}

std::string runErrorText(int number, const std::string& message) {
  return "実行時エラー '" + std::to_string(number) + "':\n\n" + message;
}

void showRunError(RunView& view, int number, const std::string& message) {
  view.messageBox(runErrorText(number, message), msgbox::kOkOnly | msgbox::kCritical);
}

}  // namespace quillmere
