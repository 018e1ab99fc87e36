#pragma once

#include "run/RunView.h"

namespace quillmere {

// The part of a panel's run view that is the program's shared state: the cancel flag, the
// mirroring-running flag, the timer-loop counter and the panel state numbers of ShellState.
// A panel derives from it and adds its labels, yields, message boxes and controls.
class ShellRunView : public RunView {
 public:
  bool cancelRequested() const override;
  void clearCancel() override;
  void setTimerLoop(int value) override;
  bool claimRun(std::string_view sectionWord) override;
  void releaseRun(std::string_view sectionWord) override;
  void reopenAfterRun(std::string_view sectionWord) override;
};

}  // namespace quillmere
