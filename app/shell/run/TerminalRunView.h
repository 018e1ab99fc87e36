#pragma once

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>

#include "run/ProgressEstimate.h"
#include "run/RunView.h"

namespace quillmere::run {

// The runner's view: progress labels on standard error. On a terminal the labels share one
// line, cut to the terminal's width and redrawn at most ten times a second ("[#####     ] 1234/
// 2000 ファイル  52.0 ファイル/s  残り 15秒  リネーム中・・・"); otherwise every change of Command
// and FileMax is one plain line and FileNo is left out. Message boxes are printed; a question is
// answered No, anything else OK.
class TerminalRunView final : public RunView {
 public:
  // cancelFlag is set from the SIGINT handler.
  TerminalRunView(std::FILE* out, bool terminal, const std::atomic<bool>& cancelFlag);
  ~TerminalRunView() override;

  void setLabel(std::string_view name, const std::string& text, int index = -1) override;
  void yield() override;
  // Between yields a run handles files for 25 ms: often enough for the screen and Cancel.
  std::chrono::milliseconds yieldInterval() const override { return std::chrono::milliseconds(25); }
  bool cancelRequested() const override;
  int messageBox(const std::string& text, int style, const std::string& title = "") override;
  void note(const std::string& text) override;
  void setTimerLoop(int value) override;
  void setRunning(bool running) override;
  void runCompleted(std::string_view sectionWord) override;

  // Ends the progress line so that later output starts on a fresh line.
  void finishLine();

 private:
  void redraw(bool force);

  std::FILE* m_out;
  bool m_terminal;
  const std::atomic<bool>& m_cancel;
  std::string m_command;
  std::string m_fileMax;
  std::string m_fileNo;
  ProgressEstimate m_estimate;
  bool m_lineOpen = false;
  std::chrono::steady_clock::time_point m_lastDraw{};
};

// The text with each path text in it ("C:\\home\\me\\a.jpg") given as its native path
// (/home/me/a.jpg), line by line. A path runs to the end of its line, or to the last " (" of
// a line that ends with ")" (a reason after the path).
std::string withNativePaths(const std::string& text);

}  // namespace quillmere::run
