#include <gtest/gtest.h>

#include "shell/core/ShellRunView.h"
#include "shell/core/ShellState.h"

namespace {

using namespace quillmere;

class PanelView final : public ShellRunView {
 public:
  void setLabel(std::string_view, const std::string&, int) override {}
  void yield() override {}
  int messageBox(const std::string&, int, const std::string&) override { return 0; }
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
};

// The engines' calls land in the program's shared state, where the main timer and the window
// manager look.
TEST(ShellRunView, RunCallsSetTheProgramsSharedState) {
  shell() = ShellState{};
  PanelView view;
  shell().cancel = true;
  EXPECT_TRUE(view.cancelRequested());
  view.clearCancel();
  EXPECT_FALSE(shell().cancel);

  EXPECT_TRUE(view.claimRun("Mirrorring"));
  EXPECT_TRUE(shell().mirroringRunning);
  EXPECT_FALSE(view.claimRun("Mirrorring"));  // the main timer's run finds it busy
  view.releaseRun("Mirrorring");
  EXPECT_FALSE(shell().mirroringRunning);
  EXPECT_TRUE(view.claimRun("ReName"));  // only the mirroring run is kept single
  EXPECT_FALSE(shell().mirroringRunning);

  view.reopenAfterRun("Mirrorring");
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelAskedToOpen);
  view.reopenAfterRun("NoSuchPanel");
  view.setTimerLoop(10);
  EXPECT_EQ(shell().timerLoop, 10);
  shell() = ShellState{};
}

}  // namespace
