#include "shell/core/ShellRunView.h"

#include "shell/core/ShellState.h"

namespace quillmere {

namespace {
// Only the mirroring run is started by the main timer as well as by its panel.
bool isMirroring(std::string_view sectionWord) {
  return panelOf(sectionWord) == Panel::Mirroring;
}
}  // namespace

bool ShellRunView::cancelRequested() const {
  return shell().cancel;
}

void ShellRunView::clearCancel() {
  shell().cancel = false;
}

void ShellRunView::setTimerLoop(int value) {
  shell().timerLoop = value;
}

bool ShellRunView::claimRun(std::string_view sectionWord) {
  if (!isMirroring(sectionWord)) return true;
  if (shell().mirroringRunning) return false;
  shell().mirroringRunning = true;
  return true;
}

void ShellRunView::releaseRun(std::string_view sectionWord) {
  if (isMirroring(sectionWord)) shell().mirroringRunning = false;
}

void ShellRunView::reopenAfterRun(std::string_view sectionWord) {
  if (const auto panel = panelOf(sectionWord)) shell().state(*panel) = kPanelAskedToOpen;
}

}  // namespace quillmere
