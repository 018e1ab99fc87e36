#include "shell/run/RunAction.h"

#include <QCoreApplication>

#include <algorithm>

#include "platform/Text.h"
#include "shell/core/SettingsLocation.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::run {

const std::vector<RunAction>& runActions() {
  static const std::vector<RunAction> actions = [] {
    std::vector<RunAction> list = {renameAction(),   recoveryAction(), duplicateDeleteAction(),
                                   fileBackAction(), backupAction(),   mirrorAction(),
                                   jobAction(),      undoAction()};
    std::sort(list.begin(), list.end(),
              [](const RunAction& x, const RunAction& y) { return x.name < y.name; });
    return list;
  }();
  return actions;
}

const RunAction* findAction(const std::string& name) {
  for (const auto& a : runActions())
    if (a.name == name) return &a;
  return nullptr;
}

const RunAction* findActionIgnoringCase(const std::string& name) {
  for (const auto& a : runActions())
    if (text::equalsNoCase(a.name, name)) return &a;
  return nullptr;
}

std::string programDrive() {
  return programDriveOf(QCoreApplication::applicationDirPath().toStdString());
}

}  // namespace quillmere::run
