#pragma once

#include <functional>
#include <string_view>

class QWidget;

namespace quillmere {

class frmWinEnd;

// What the completion step may do besides reading its two keys.
struct CompletionActions {
  std::function<void()> endProgramAtOnce;  // no question, no exit routine
  std::function<void()> showCountdown;     // the shutdown confirmation
};

// The completion step after a run that was not cancelled, for the panel whose section word
// is given: nothing unless S-ShutDown is 1; then the program ends at once, or, with
// S-WinShutDown also 1, the shutdown countdown appears.
void runCompletionStep(std::string_view sectionWord, const CompletionActions& actions);

// The program's actions: the main window ends the program; the countdown stays on top of it.
CompletionActions programCompletionActions(QWidget* mainWindow);

// Shows the countdown as a normal window kept on top, with the focus.
frmWinEnd* showShutdownCountdown(QWidget* mainWindow);

}  // namespace quillmere
