#pragma once

#include <QWidget>

#include "core/UiHook.h"

namespace quillmere {

// The program's UI hook: message boxes with the program's texts, windows kept on top.
class QtUiHook final : public UiHook {
 public:
  explicit QtUiHook(QWidget* owner) : m_owner(owner) {}
  int messageBox(const std::string& text, int style, const std::string& title) override;
  std::int32_t setWindowTopmost(std::int32_t hwnd, bool topmost) override;

 private:
  QWidget* m_owner;
};

// The handle of a window as the library's methods take it.
std::int32_t windowHandle(const QWidget* window);

}  // namespace quillmere
