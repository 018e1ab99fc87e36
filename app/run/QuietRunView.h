#pragma once

#include "core/UiHook.h"
#include "run/RunView.h"

namespace quillmere {

// A run view that shows nothing and is never cancelled: for an engine's survey that only plans.
class QuietRunView final : public RunView {
 public:
  void setLabel(std::string_view, const std::string&, int = -1) override {}
  void yield() override {}
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string& = "") override { return msgbox::kOk; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
};

}  // namespace quillmere
