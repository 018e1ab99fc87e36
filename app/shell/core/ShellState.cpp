#include "shell/core/ShellState.h"

#include <cmath>
#include <cstdlib>

#include "core/Main.h"
#include "platform/Text.h"

namespace quillmere {

namespace {
constexpr std::array<const char*, kPanelCount> kPanelWords = {
    "ReName", "WFileDel", "BackUP", "Mirrorring", "FileBack", "Recovery", "Job", "Version"};

std::string flagKey(int index) {
  return std::string("Window-Flag") + kPanelWords[index];
}
}  // namespace

const char* panelWord(Panel panel) {
  return kPanelWords[static_cast<int>(panel)];
}
Panel panelAt(int index) {
  return static_cast<Panel>(index);
}

ShellState& shell() {
  static ShellState state;
  return state;
}

double settingsNumber(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || !std::isfinite(v)) return 0;
  return v;
}

bool settingsBool(const std::string& text, bool fallback) {
  std::string t = text;
  while (!t.empty() && t.front() == ' ') t.erase(t.begin());
  while (!t.empty() && t.back() == ' ') t.pop_back();
  if (text::equalsNoCase(t, "true")) return true;
  if (text::equalsNoCase(t, "false")) return false;
  const char* begin = t.c_str();
  char* end = nullptr;
  const double v = std::strtod(begin, &end);
  if (end == begin || *end != '\0') return fallback;
  return v != 0;
}

void readPanelStates(ShellState& state) {
  for (int i = 0; i < kPanelCount; ++i) {
    const double v =
        settingsNumber(dll().DLL_GetStringFromINI(state.iniPath, "Main", flagKey(i), "0"));
    state.panelStates[i] =
        (v >= -2147483648.0 && v <= 2147483647.0) ? static_cast<std::int32_t>(std::lround(v)) : 0;
  }
}

void storePanelStates(const ShellState& state) {
  for (int i = 0; i < kPanelCount; ++i) {
    const std::int64_t stored = static_cast<std::int64_t>(state.panelStates[i]) * 3;
    dll().DLL_WriteStringINI(state.iniPath, "Main", flagKey(i), std::to_string(stored));
  }
}

}  // namespace quillmere
