#include "frmJob.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "core/Main.h"
#include "shell/core/ShellState.h"

namespace quillmere {

using job::kChoicesPerStep;
using job::kStepCount;

frmJob::frmJob(Hooks hooks, QWidget* parent)
    : PanelWindow(Panel::Job, parent), m_hooks(std::move(hooks)) {
  setWindowTitle("[Job]");
  buildControls();
}

void frmJob::buildControls() {
  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(6, 6, 6, 6);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(2);
  for (int s = 1; s <= kStepCount; ++s) {
    auto* check = new QCheckBox(QString("Step%1").arg(s), this);
    check->setObjectName(QString("Check_%1").arg(s));
    connect(check, &QCheckBox::clicked, this, [this, s] { checkClicked(s); });
    m_check[s - 1] = check;

    // The frame keeps its ten buttons one group: choosing one clears the others.
    auto* frame = new QGroupBox(this);
    frame->setObjectName(QString("Step_%1").arg(s));
    auto* buttons = new QGridLayout(frame);
    buttons->setContentsMargins(4, 1, 4, 1);
    buttons->setHorizontalSpacing(4);
    buttons->setVerticalSpacing(0);
    for (int k = 1; k <= kChoicesPerStep; ++k) {
      const int i = job::optionIndex(s, k);
      auto* option = new QRadioButton(QString::fromUtf8(job::choiceCaption(k)), frame);
      option->setObjectName(QString("Option_%1").arg(i));
      connect(option, &QRadioButton::clicked, this, [this, i] { optionClicked(i); });
      buttons->addWidget(option, (k - 1) / 5, (k - 1) % 5);
      m_option[i - 1] = option;
    }
    m_step[s - 1] = frame;
    grid->addWidget(check, s - 1, 0, Qt::AlignTop | Qt::AlignLeft);
    grid->addWidget(frame, s - 1, 1);
  }
  m_jobRun = new QPushButton("Job Run", this);
  m_jobRun->setObjectName("JobRun");
  m_jobRun->setToolTip(
      QString::fromUtf8("チェックマークの入ったStepのみ番号の若い順に実行します。"));
  connect(m_jobRun, &QPushButton::clicked, this, &frmJob::jobRun);
  m_progress = new QLabel(this);
  m_progress->setObjectName("StepProgress");
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_jobRun);
  bottom->addWidget(m_progress, 1);
  grid->addLayout(bottom, kStepCount, 0, 1, 2);
  grid->setRowStretch(kStepCount + 1, 1);
}

void frmJob::load() {
  ShellState& state = shell();
  if (state.state(Panel::Job) == kPanelClosed) return;
  state.loading = true;
  const std::string& ini = state.iniPath;
  const job::JobChoices stored = job::readJobChoices(ini);
  for (int s = 1; s <= kStepCount; ++s) {
    const std::string value = dll().DLL_GetStringFromINI(ini, job::kSection, job::checkKey(s), "0");
    dll().DLL_WriteStringINI(ini, job::kSection, job::checkKey(s), value);
    m_check[s - 1]->setChecked(stored.isChecked(s));
    if (const int choice = stored.chosenChoice(s); choice != 0)
      m_option[job::optionIndex(s, choice) - 1]->setChecked(true);
    enableStep(s, stored.isChecked(s));
  }
  state.loading = false;
  QApplication::processEvents();
}

void frmJob::enableStep(int step, bool enabled) {
  m_step[step - 1]->setEnabled(enabled);
  for (int k = 1; k <= kChoicesPerStep; ++k)
    m_option[job::optionIndex(step, k) - 1]->setEnabled(enabled);
}

void frmJob::checkClicked(int step) {
  const bool checked = m_check[step - 1]->isChecked();
  enableStep(step, checked);
  dll().DLL_WriteStringINI(shell().iniPath, job::kSection, job::checkKey(step),
                           checked ? "1" : "0");
}

void frmJob::optionClicked(int option) {
  job::writeOptionChoice(shell().iniPath, option);
}

job::JobChoices frmJob::choicesOnScreen() const {
  job::JobChoices choices;
  for (int s = 1; s <= kStepCount; ++s) choices.checked[s - 1] = m_check[s - 1]->isChecked();
  for (int i = 1; i <= job::kOptionCount; ++i) choices.chosen[i - 1] = m_option[i - 1]->isChecked();
  return choices;
}

void frmJob::jobRun() {
  if (!m_hooks.runStep) return;
  // The job yields inside its steps: a second click meanwhile must not start a second job.
  m_jobRun->setEnabled(false);
  if (m_hooks.raiseBusy) m_hooks.raiseBusy();
  m_progress->clear();
  m_lastReport = job::runJob(job::plannedSteps(choicesOnScreen()), m_hooks.runStep,
                             [] { return shell().cancel; });
  if (m_hooks.lowerBusy) m_hooks.lowerBusy();
  m_jobRun->setEnabled(true);
  m_progress->setText(reportText(m_lastReport));
}

QString frmJob::reportText(const job::JobReport& report) const {
  if (report.ran.empty()) return QString::fromUtf8("実行したStepはありません。");
  QStringList parts;
  for (const job::StepRecord& r : report.ran) {
    QString part = QString("Step%1 %2")
                       .arg(r.step.step)
                       .arg(QString::fromUtf8(job::actionCaption(r.step.action)));
    if (r.outcome.status != 0) part += QString(" (%1)").arg(r.outcome.status);
    parts << part;
  }
  QString text = QString::fromUtf8("実行: ") + parts.join(", ");
  if (report.stoppedEarly) text += QString::fromUtf8(" 中止");
  return text;
}

}  // namespace quillmere
