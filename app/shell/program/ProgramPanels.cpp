#include "ProgramPanels.h"

#include "Completion.h"
#include "backup/panel/frmBackUP.h"
#include "duplicates/panel/frmFileBack.h"
#include "duplicates/panel/frmWFileDel.h"
#include "rename/panel/frmReName.h"
#include "rename/panel/frmRecovery.h"

namespace quillmere {

namespace {

PanelBase* makeToolPanel(Panel panel) {
  switch (panel) {
    case Panel::ReName:
      return new frmReName;
    case Panel::Recovery:
      return new frmRecovery;
    case Panel::WFileDel:
      return new frmWFileDel;
    case Panel::FileBack:
      return new frmFileBack;
    case Panel::BackUP:
      return new frmBackUP;
    default:
      return nullptr;
  }
}

}  // namespace

PanelWindow* makeProgramPanel(Panel panel, QWidget* mainWindow) {
  PanelBase* tool = makeToolPanel(panel);
  if (tool == nullptr) return makePlaceholderPanel(panel);
  tool->setCompletionStep([mainWindow](std::string_view sectionWord) {
    runCompletionStep(sectionWord, programCompletionActions(mainWindow));
  });
  return tool;
}

}  // namespace quillmere
