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
  std::vector<Window> topLevelWindows() override;
  bool closeWindow(std::int32_t hwnd) override;
  std::int32_t resizeWindow(std::int32_t hwnd, std::int32_t width, std::int32_t height) override;
  ComboMetrics comboMetrics(std::int32_t hwnd) override;
  bool showComboList(std::int32_t hwnd) override;
  bool removeSystemMenuItem(std::int32_t hwnd, std::int32_t position) override;
  void yield() override;

 private:
  QWidget* m_owner;
};

// The handle of a window as the library's methods take it.
std::int32_t windowHandle(const QWidget* window);

}  // namespace quillmere
