#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "core/Main.h"
#include "core/UiHook.h"

// System information and window services that the program relies on.
namespace quillmere {

std::int32_t Main::DLL_SetFormTop(std::int32_t hwnd, std::int32_t Palam) const {
  if (Palam != 0 && Palam != 1) return 0;
  UiHook* hook = uiHook();
  return hook == nullptr ? 0 : hook->setWindowTopmost(hwnd, Palam == 1);
}

// Linux desktops always offer the themed window metrics that the NT family stood for.
bool Main::DLL_WindowsNT() const {
  return true;
}

std::string Main::DLL_GetUserName() const {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return {};
}

}  // namespace quillmere
