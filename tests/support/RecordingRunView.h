#pragma once

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "core/UiHook.h"
#include "run/RunView.h"

namespace quillmere::test {

// A run view that records every label, message box and completion, and can cancel the run
// after a chosen number of yields. Header-only: tests that use it link quillmere_run.
class RecordingRunView final : public RunView {
 public:
  struct Label {
    std::string name;
    int index;
    std::string text;
  };
  struct Message {
    std::string text;
    int style;
    std::string title;
  };

  void setLabel(std::string_view name, const std::string& text, int index = -1) override {
    labels.push_back({std::string(name), index, text});
    current[std::string(name) + (index >= 0 ? "(" + std::to_string(index) + ")" : "")] = text;
  }
  void yield() override {
    ++yields;
    if (cancelAfterYields >= 0 && yields >= cancelAfterYields) cancelled = true;
    if (onYield) onYield(yields);
  }
  bool cancelRequested() const override { return cancelled; }
  int messageBox(const std::string& text, int style, const std::string& title) override {
    messages.push_back({text, style, title});
    if (!answers.empty()) {
      const int reply = answers.front();
      answers.erase(answers.begin());
      return reply;
    }
    return (style & 7) == msgbox::kYesNo ? msgbox::kNo : msgbox::kOk;
  }
  void note(const std::string& text) override { notes.push_back(text); }
  void setTimerLoop(int value) override { timerLoop = value; }
  void setRunning(bool running) override { runningChanges.push_back(running); }
  void runCompleted(std::string_view sectionWord) override { completed.emplace_back(sectionWord); }
  void clearCancel() override { ++cancelClears; }
  bool claimRun(std::string_view sectionWord) override {
    if (busy || refuseClaim) return false;
    busy = true;
    claimed.emplace_back(sectionWord);
    return true;
  }
  void releaseRun(std::string_view /*sectionWord*/) override { busy = false; }
  void reopenAfterRun(std::string_view sectionWord) override { reopened.emplace_back(sectionWord); }

  // Every text a label showed, in order, for one label name.
  std::vector<std::string> textsOf(std::string_view name) const {
    std::vector<std::string> out;
    for (const auto& l : labels)
      if (l.name == name) out.push_back(l.text);
    return out;
  }

  std::vector<Label> labels;
  std::map<std::string, std::string> current;
  std::vector<Message> messages;
  std::vector<std::string> notes;
  std::vector<int> answers;
  std::vector<bool> runningChanges;
  std::vector<std::string> completed;
  std::vector<std::string> claimed;   // sections whose busy state a run claimed
  std::vector<std::string> reopened;  // sections asked to open again after the run
  std::function<void(int)> onYield;
  int yields = 0;
  int cancelAfterYields = -1;
  int timerLoop = 0;
  bool cancelled = false;
  int cancelClears = 0;
  bool busy = false;         // a claimed run has not been released yet
  bool refuseClaim = false;  // another run of that kind is under way
};

}  // namespace quillmere::test
