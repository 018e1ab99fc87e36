#include "JobStepView.h"

#include <QApplication>

#include "core/UiHook.h"
#include "shell/core/ShellState.h"

namespace quillmere {

JobStepView::JobStepView(QString stepName, Hooks hooks)
    : m_stepName(std::move(stepName)), m_hooks(std::move(hooks)) {}

void JobStepView::setLabel(std::string_view name, const std::string& text, int /*index*/) {
  const QString value = QString::fromStdString(text);
  if (name == "FileMax") {
    m_fileMax = value;
  } else if (name == "FileNo") {
    m_fileNo = value;
  } else {
    m_command = value;
  }
  if (m_hooks.showProgress)
    m_hooks.showProgress(m_stepName + "  " + m_fileMax + m_fileNo + "  " + m_command);
}

void JobStepView::yield() {
  QApplication::processEvents();
}

int JobStepView::messageBox(const std::string& text, int style, const std::string& title) {
  if (UiHook* hook = uiHook()) return hook->messageBox(text, style, title);
  return (style & 7) == msgbox::kYesNo ? msgbox::kNo : msgbox::kOk;
}

void JobStepView::setRunning(bool /*running*/) {}

void JobStepView::runCompleted(std::string_view sectionWord) {
  if (m_hooks.completed) m_hooks.completed(sectionWord);
}

}  // namespace quillmere
