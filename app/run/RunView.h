#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace quillmere {

// How an engine talks to the screen during a run. The panel implements it with widgets, the
// headless runner with the terminal, tests with a recording fake. Engines include no widget
// header and reach the program's state only through these calls.
class RunView {
 public:
  virtual ~RunView();

  // Sets a progress label by its control name ("Command", "FileMax", "FileNo"); label arrays
  // (the duplicate panels' "Run") pass the element index.
  virtual void setLabel(std::string_view name, const std::string& text, int index = -1) = 0;

  // Lets the event loop run (repainting, Cancel, the main timer).
  virtual void yield() = 0;

  // How long a run that handles many small files goes between yields (see YieldPacer). Zero
  // yields at every file: the default, for views that act at a given file.
  virtual std::chrono::milliseconds yieldInterval() const;

  // The program-wide cancel flag, set by the panel's Cancel button.
  virtual bool cancelRequested() const = 0;

  // Clears the cancel flag as a run starts, so that a Cancel pressed before it does not stop
  // it. A view whose flag belongs to one run only leaves it as it is.
  virtual void clearCancel();

  // A modal message box; returns one of the msgbox answers of core/UiHook.h.
  virtual int messageBox(const std::string& text, int style, const std::string& title = "") = 0;

  // A remark for the user that is no progress label and asks nothing (what a run is about to
  // do). The headless runner prints it; a view without a place for it leaves it out.
  virtual void note(const std::string& text);

  // The main window's timer-loop counter (set to 10 after a disk-space message).
  virtual void setTimerLoop(int value) = 0;

  // The run's controls are disabled (true) at its start and restored (false) at its end.
  virtual void setRunning(bool running) = 0;

  // The busy state of a run that must never run twice at once (the mirroring run, which the
  // main timer may also start): claimRun answers false when such a run of that section is
  // already under way, else marks it busy until releaseRun.
  virtual bool claimRun(std::string_view sectionWord);
  virtual void releaseRun(std::string_view sectionWord);

  // Asks for the panel of the section to be opened again and reloaded after the run.
  virtual void reopenAfterRun(std::string_view sectionWord);

  // The completion step at the end of a run; sectionWord names the panel's section ("ReName",
  // "WFileDel", "BackUP", "Mirrorring", "FileBack"). Most runs skip it after a cancel; the
  // backup still takes it.
  virtual void runCompleted(std::string_view sectionWord) = 0;
};

// Lets the event loop run by time, not per file: a run calls fileDone once per file, and the
// file number is shown and the view yields only once the view's interval has passed since the
// last yield (at every file when the interval is zero).
class YieldPacer {
 public:
  // counter: the label that shows the file number.
  explicit YieldPacer(RunView& view, std::string counter = "FileNo");
  void fileDone(std::size_t number);

 private:
  RunView& m_view;
  std::string m_counter;
  std::chrono::steady_clock::duration m_interval;
  std::chrono::steady_clock::time_point m_last;
};

// The run-time error text of an unexpected error inside a run (number and text).
std::string runErrorText(int number, const std::string& message);

// Shows that text as a critical message box, after which the run goes through its normal
// closing steps.
void showRunError(RunView& view, int number, const std::string& message);

}  // namespace quillmere
