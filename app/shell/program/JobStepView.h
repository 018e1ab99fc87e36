#pragma once

#include <QString>

#include <functional>
#include <string>

#include "shell/core/ShellRunView.h"

namespace quillmere {

// The run view of a job step that runs a stored action for a panel that has no run of its
// own: progress in one line of the job panel, message boxes through the program's hook, the
// shell's shared run state and its completion step.
class JobStepView final : public ShellRunView {
 public:
  struct Hooks {
    std::function<void(const QString&)> showProgress;
    std::function<void(std::string_view sectionWord)> completed;
  };
  JobStepView(QString stepName, Hooks hooks);

  void setLabel(std::string_view name, const std::string& text, int index = -1) override;
  void yield() override;
  int messageBox(const std::string& text, int style, const std::string& title = "") override;
  // The job closes each step's panel after its run; a mirroring step does not reopen it.
  void reopenAfterRun(std::string_view) override {}
  void setRunning(bool running) override;
  void runCompleted(std::string_view sectionWord) override;

 private:
  QString m_stepName;
  Hooks m_hooks;
  QString m_command;
  QString m_fileMax;
  QString m_fileNo;
};

}  // namespace quillmere
