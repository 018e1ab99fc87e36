#include "run/RunFrame.h"

#include <exception>

#include "core/DllError.h"

namespace quillmere {

RunFrame::RunFrame(RunView& view) : m_view(view), m_yielding([&view] { view.yield(); }) {
  m_view.setRunning(true);
}

RunFrame::~RunFrame() {
  if (!m_ended) m_view.setRunning(false);
}

bool RunFrame::guarded(const std::function<void()>& part) {
  try {
    part();
    return true;
  } catch (const DllError& e) {
    record(e.number(), e.text());
  } catch (const std::exception& e) {
    record(kInternalError, e.what());
  }
  return false;
}

void RunFrame::record(int number, const std::string& text) {
  if (failed()) return;  // the first error is the one shown
  m_errorNumber = number;
  m_errorText = text;
  showRunError(m_view, number, text);
}

void RunFrame::end(std::string_view completionSection) {
  if (m_ended) return;
  m_ended = true;
  m_view.setRunning(false);
  if (!completionSection.empty()) m_view.runCompleted(completionSection);
}

}  // namespace quillmere
