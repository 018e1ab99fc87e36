#include "Completion.h"

#include <QApplication>

#include "QtUiHook.h"
#include "core/Main.h"
#include "frmMain.h"
#include "frmWinEnd.h"
#include "settings/ValueText.h"
#include "shell/core/ShellState.h"

namespace quillmere {

namespace {

bool keyIsOne(std::string_view section, const std::string& key) {
  const std::string s(section);
  return settings::numberOrZero(dll().DLL_GetStringFromINI(shell().iniPath, s, key, "0")) == 1;
}

}  // namespace

void runCompletionStep(std::string_view sectionWord, const CompletionActions& actions) {
  const std::string s(sectionWord);
  if (!keyIsOne(sectionWord, s + "-ShutDown")) return;
  if (!keyIsOne(sectionWord, s + "-WinShutDown")) {
    if (actions.endProgramAtOnce) actions.endProgramAtOnce();
    return;
  }
  if (actions.showCountdown) actions.showCountdown();
}

frmWinEnd* showShutdownCountdown(QWidget* mainWindow) {
  auto* dialog = new frmWinEnd(mainWindow, shell().themedMetrics);
  dialog->show();
  try {
    dll().DLL_SetFormTop(windowHandle(dialog), 1);
  } catch (const DllError&) {
    // Staying on top is a help to the user; the countdown runs without it.
  }
  dialog->activateWindow();
  dialog->setFocus();
  QApplication::processEvents();
  return dialog;
}

CompletionActions programCompletionActions(QWidget* mainWindow) {
  CompletionActions actions;
  actions.endProgramAtOnce = [mainWindow] {
    if (auto* main = qobject_cast<frmMain*>(mainWindow)) {
      main->endAtOnce();
    } else {
      QApplication::exit(0);
    }
  };
  actions.showCountdown = [mainWindow] { showShutdownCountdown(mainWindow); };
  return actions;
}

}  // namespace quillmere
