#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere {

// The eight managed windows, in the fixed panel order every shell routine walks.
enum class Panel : int { ReName, WFileDel, BackUP, Mirroring, FileBack, Recovery, Job, Version };
inline constexpr int kPanelCount = 8;

// The panel word used in settings keys ("Window-FlagReName", "Window-ReName-Top").
const char* panelWord(Panel panel);
Panel panelAt(int index);
// The panel of a section word ("Mirrorring"); nothing for a word that names no panel.
std::optional<Panel> panelOf(std::string_view word);

// Panel state numbers: 0 closed, 1 open, 2 open and asked to re-read its folder, 3 or more
// asked to open.
inline constexpr std::int32_t kPanelClosed = 0;
inline constexpr std::int32_t kPanelOpen = 1;
inline constexpr std::int32_t kPanelReread = 2;
inline constexpr std::int32_t kPanelAskedToOpen = 3;

// The program-wide state of the shell: one instance, read and written by all panels.
struct ShellState {
  std::string iniPath;           // the settings file as a path text, passed to every settings call
  std::string registrySection;   // the program name in lower case ("quillmere")
  std::string settingsFileName;  // "\" + program name + ".ini", lower case
  std::string programDrive;      // drive root of the program folder, lower case ("c:\")
  std::array<std::int32_t, kPanelCount> panelStates{};
  bool loading = false;
  bool ready = false;
  std::int32_t busy = 0;
  bool cancel = false;
  bool mirroringRunning = false;
  bool themedMetrics = false;
  std::int32_t timerLoop = 0;

  std::int32_t& state(Panel panel) { return panelStates[static_cast<int>(panel)]; }
};

ShellState& shell();

// Reads the eight panel state numbers from section "Main" (default "0"; a value that is not a
// number reads as 0).
void readPanelStates(ShellState& state);

// The exit routine's storage: each panel state number times 3 as decimal text, in panel order,
// so an open panel (1) comes back as 3 and reopens at the next start.
void storePanelStates(const ShellState& state);

}  // namespace quillmere
