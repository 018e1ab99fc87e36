#include "shell/core/ShellState.h"

#include <cmath>

#include "core/Main.h"
#include "settings/ValueText.h"

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
std::optional<Panel> panelOf(std::string_view word) {
  for (int i = 0; i < kPanelCount; ++i)
    if (word == kPanelWords[i]) return panelAt(i);
  return std::nullopt;
}

ShellState& shell() {
  static ShellState state;
  return state;
}

void readPanelStates(ShellState& state) {
  for (int i = 0; i < kPanelCount; ++i) {
    const double v =
        settings::numberOrZero(dll().DLL_GetStringFromINI(state.iniPath, "Main", flagKey(i), "0"));
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
