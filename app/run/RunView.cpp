#include "run/RunView.h"

#include "core/UiHook.h"

namespace quillmere {

RunView::~RunView() = default;

void RunView::clearCancel() {}
void RunView::note(const std::string& /*text*/) {}
bool RunView::claimRun(std::string_view /*sectionWord*/) {
  return true;
}
void RunView::releaseRun(std::string_view /*sectionWord*/) {}
void RunView::reopenAfterRun(std::string_view /*sectionWord*/) {}

std::string runErrorText(int number, const std::string& message) {
  return "実行時エラー '" + std::to_string(number) + "':\n\n" + message;
}

void showRunError(RunView& view, int number, const std::string& message) {
  view.messageBox(runErrorText(number, message), msgbox::kOkOnly | msgbox::kCritical);
}

}  // namespace quillmere
