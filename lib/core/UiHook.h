#pragma once

#include <cstdint>
#include <string>

namespace quillmere {

// Message box styles and answers, with the runtime's numbers.
namespace msgbox {
inline constexpr int kOkOnly = 0;
inline constexpr int kOkCancel = 1;
inline constexpr int kYesNoCancel = 3;
inline constexpr int kYesNo = 4;
inline constexpr int kCritical = 16;
inline constexpr int kQuestion = 32;
inline constexpr int kExclamation = 48;
inline constexpr int kInformation = 64;

inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kYes = 6;
inline constexpr int kNo = 7;
}  // namespace msgbox

// What the library needs from the screen: message boxes and confirmations. The program
// installs one at start-up; tests install a scripted one. Without a hook a message box answers
// OK (or No when it asks a question) and shows nothing.
class UiHook {
 public:
  virtual ~UiHook() = default;
  // Shows a modal message box; returns one of the msgbox answers.
  virtual int messageBox(const std::string& text, int style, const std::string& title) = 0;
  // Puts the window with this handle on top of all others (or ends that) and shows it, neither
  // moved nor sized. Returns non-zero on success.
  virtual std::int32_t setWindowTopmost(std::int32_t /*hwnd*/, bool /*topmost*/) { return 0; }
};

void setUiHook(UiHook* hook);
UiHook* uiHook();

// Shows a message box through the installed hook (or answers as above without one).
int showMessage(const std::string& text, int style, const std::string& title = "");
// Asks a yes/no question; True only on an explicit Yes.
bool confirm(const std::string& text, const std::string& title = "");

}  // namespace quillmere
