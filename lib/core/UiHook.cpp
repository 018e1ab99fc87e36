#include "core/UiHook.h"

namespace quillmere {

namespace {
UiHook* g_hook = nullptr;

int defaultAnswer(int style) {
  switch (style & 7) {
    case msgbox::kYesNo:
    case msgbox::kYesNoCancel:
      return msgbox::kNo;
    case msgbox::kOkCancel:
      return msgbox::kCancel;
    default:
      return msgbox::kOk;
  }
}
}  // namespace

void setUiHook(UiHook* hook) {
  g_hook = hook;
}
UiHook* uiHook() {
  return g_hook;
}

int showMessage(const std::string& text, int style, const std::string& title) {
  if (g_hook == nullptr) return defaultAnswer(style);
  return g_hook->messageBox(text, style, title);
}

bool confirm(const std::string& text, const std::string& title) {
  return showMessage(text, msgbox::kYesNo | msgbox::kQuestion, title) == msgbox::kYes;
}

}  // namespace quillmere
