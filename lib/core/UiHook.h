#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
inline constexpr int kDefaultButton2 = 256;  // the second button (No of Yes/No) is the default

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

  // The program's visible top-level windows that have a title, front-most first.
  struct Window {
    std::int32_t hwnd;
    std::string title;
  };
  virtual std::vector<Window> topLevelWindows() { return {}; }
  // Asks the window to close (as the close box would). Returns false when there is none.
  virtual bool closeWindow(std::int32_t /*hwnd*/) { return false; }
  // Resizes a window without moving it; for a combo box the height is its dropped-down
  // extent. Returns non-zero on success.
  virtual std::int32_t resizeWindow(std::int32_t /*hwnd*/, std::int32_t /*width*/,
                                    std::int32_t /*height*/) {
    return 0;
  }

  // Combo-box metrics and state, in pixels; -1 (or false) when hwnd is no combo box.
  struct ComboMetrics {
    std::int32_t itemHeight = -1;
    std::int32_t clientWidth = 0;
    std::int32_t clientHeight = 0;
    std::int32_t itemCount = 0;
    std::int32_t firstEmptyItem = -1;
    bool droppedDown = false;
  };
  virtual ComboMetrics comboMetrics(std::int32_t /*hwnd*/) { return {}; }
  virtual bool showComboList(std::int32_t /*hwnd*/) { return false; }

  // Takes the maximize button (position 4) or the resizing frame (position 2) away from a
  // window, the items of its system menu.
  virtual bool removeSystemMenuItem(std::int32_t /*hwnd*/, std::int32_t /*position*/) {
    return false;
  }

  // Lets the event loop run once (used while the library waits).
  virtual void yield() {}
};

void setUiHook(UiHook* hook);
UiHook* uiHook();

// Shows a message box through the installed hook (or answers as above without one).
int showMessage(const std::string& text, int style, const std::string& title = "");
// Asks a yes/no question; True only on an explicit Yes.
bool confirm(const std::string& text, const std::string& title = "");

}  // namespace quillmere
