#pragma once

#include <string>
#include <string_view>

namespace quillmere {

// How an engine talks to the screen during a run. The panel implements it with widgets, the
// headless runner with the terminal, tests with a recording fake. Engines include no widget
// header and never reach a panel any other way.
class RunView {
 public:
  virtual ~RunView();

  // Sets a progress label by its control name ("Command", "FileMax", "FileNo"); label arrays
  // (the duplicate panels' "Run") pass the element index.
  virtual void setLabel(std::string_view name, const std::string& text, int index = -1) = 0;

  // Lets the event loop run (repainting, Cancel, the main timer).
  virtual void yield() = 0;

  // The program-wide cancel flag, set by the panel's Cancel button.
  virtual bool cancelRequested() const = 0;

  // A modal message box; returns one of the msgbox answers of core/UiHook.h.
  virtual int messageBox(const std::string& text, int style, const std::string& title = "") = 0;

  // A remark for the user that is no progress label and asks nothing (what a run is about to
  // do). The headless runner prints it; a view without a place for it leaves it out.
  virtual void note(const std::string& text);

  // The main window's TimmerLoop counter (set to 10 after a disk-space message).
  virtual void setTimmerLoop(int value) = 0;

  // The run's controls are disabled (true) at its start and restored (false) at its end.
  virtual void setRunning(bool running) = 0;

  // The completion step at the end of a run; sectionWord names the panel's section ("ReName",
  // "WFileDel", "BackUP", "Mirrorring", "FileBack"). Most runs skip it after a cancel; the
  // backup still takes it.
  virtual void runCompleted(std::string_view sectionWord) = 0;
};

// The run-time error message of an unexpected error inside a run (number and text), after
// which the run goes through its normal closing steps.
void showRunError(RunView& view, int number, const std::string& message);

}  // namespace quillmere
