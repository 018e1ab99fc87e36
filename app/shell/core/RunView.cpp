#include "shell/core/RunView.h"

#include "core/UiHook.h"

namespace quillmere {

RunView::~RunView() = default;

void RunView::note(const std::string& /*text*/) {}

void showRunError(RunView& view, int number, const std::string& message) {
  view.messageBox("実行時エラー '" + std::to_string(number) + "':\n\n" + message,
                  msgbox::kOkOnly | msgbox::kCritical);
}

}  // namespace quillmere
