#include "ProgramPanels.h"

#include <memory>

#include "Completion.h"
#include "WindowManager.h"
#include "shell/panels/backup/frmBackUP.h"
#include "shell/panels/duplicates/frmFileBack.h"
#include "shell/panels/duplicates/frmWFileDel.h"
#include "shell/panels/mirror/frmMirrorring.h"
#include "shell/panels/rename/frmReName.h"
#include "shell/panels/rename/frmRecovery.h"

namespace quillmere {

namespace {

PanelBase* makeToolPanel(Panel panel) {
  switch (panel) {
    case Panel::ReName:
      return new frmReName;
    case Panel::Mirroring:
      return new frmMirrorring;
    case Panel::Recovery:
      return new frmRecovery;
    case Panel::WFileDel:
      return new frmWFileDel;
    case Panel::FileBack:
      return new frmFileBack;
    case Panel::BackUP:
      return new frmBackUP;
    case Panel::Job:
    case Panel::Version:
      break;
  }
  return nullptr;
}

void setProgramCompletion(PanelBase& tool, QWidget* mainWindow) {
  tool.setCompletionStep([mainWindow](std::string_view sectionWord) {
    runCompletionStep(sectionWord, programCompletionActions(mainWindow));
  });
}

}  // namespace

PanelWindow* makeProgramPanel(Panel panel, QWidget* mainWindow) {
  PanelBase* tool = makeToolPanel(panel);
  if (tool != nullptr) setProgramCompletion(*tool, mainWindow);
  return tool;
}

void runScheduledMirroring(WindowManager& windows, QWidget* mainWindow) {
  if (auto* open = qobject_cast<frmMirrorring*>(windows.panel(Panel::Mirroring))) {
    open->runMirroring();
    return;
  }
  // The window object exists for the run only; the timer does not show it.
  const auto hidden = std::make_unique<frmMirrorring>();
  setProgramCompletion(*hidden, mainWindow);
  hidden->runMirroring();
}

}  // namespace quillmere
