#include "frmJobCards.h"

#include <QPointer>

#include <cstdio>
#include <memory>

#include "frmMain.h"
#include "shell/card/CardJob.h"
#include "shell/card/CardNotice.h"
#include "shell/card/CardWatch.h"
#include "shell/card/UdisksVolumeSource.h"
#include "shell/core/ShellState.h"
#include "shell/panels/PanelWindow.h"

namespace quillmere {

namespace {

void logLine(const std::string& text) {
  std::fprintf(stderr, "quillmere: %s\n", text.c_str());
}

bool anotherRunUnderWay(frmMain& window) {
  const ShellState& state = shell();
  if (state.busy != 0 || state.mirroringRunning) return true;
  for (int i = 0; i < kPanelCount; ++i)
    if (const PanelWindow* panel = window.windows().panel(panelAt(i)); panel && panel->running())
      return true;
  return false;
}

// Puts the card's letter into the job's steps; the open panels show the folders anew.
bool prepareSettings(frmMain& window, const card::Volume& volume) {
  const std::string& ini = shell().iniPath;
  const card::CardSettings settings = card::readCardSettings(ini);
  if (settings.drive == '\0') return true;
  const char letter = card::driveLetterOf(volume.mountPoint);
  if (letter == '\0') {
    logLine("the card at " + volume.mountPoint + " has no drive letter; the job is not run");
    return false;
  }
  if (const std::string error = card::putCardDrive(ini, settings.drive, letter); !error.empty()) {
    logLine(error);
    return false;
  }
  for (int i = 0; i < kPanelCount; ++i)
    if (PanelWindow* panel = window.windows().panel(panelAt(i))) panel->load();
  return true;
}

void runJob(frmMain& window, const card::Volume& volume) {
  if (!prepareSettings(window, volume)) return;
  window.windows().raiseBusy();
  shell().cancel = false;
  job::runJob(
      job::plannedSteps(job::readJobChoices(shell().iniPath)),
      [&](const job::PlannedStep& step) { return window.runJobStep(step); },
      [] { return shell().cancel; });
  window.windows().lowerBusy();
}

}  // namespace

void startCardWatch(frmMain& window) {
  auto notice = std::make_shared<QPointer<card::CardNotice>>();
  auto* watch = new card::CardWatch(
      std::make_unique<card::UdisksVolumeSource>(),
      {.settings = [] { return card::readCardSettings(shell().iniPath); },
       .busy = [&window] { return anotherRunUnderWay(window); },
       .confirm =
           [&window, notice](const card::Volume& volume, std::function<void(bool)> answer) {
             const QString name =
                 QString::fromStdString(volume.label.empty() ? volume.mountPoint : volume.label);
             *notice = new card::CardNotice(name, std::move(answer));
             (*notice)->show();
           },
       .withdrawn =
           [notice](const card::Volume&) {
             if (*notice) (*notice)->withdraw();
           },
       .run = [&window](const card::Volume& volume) { runJob(window, volume); },
       .log = logLine},
      &window);
  const std::string error = watch->start();
  // Without a system bus there are no cards to watch; say so only to a user who asked for it.
  if (!error.empty() && card::readCardSettings(shell().iniPath).run) logLine(error);
}

}  // namespace quillmere
