#include "frmJob.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>

#include "core/Main.h"
#include "shell/card/CardSettings.h"
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
  grid->addWidget(buildCardFrame(), kStepCount, 0, 1, 2);
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
  grid->addLayout(bottom, kStepCount + 1, 0, 1, 2);
  grid->setRowStretch(kStepCount + 2, 1);
}

QGroupBox* frmJob::buildCardFrame() {
  auto* frame = new QGroupBox(QString::fromUtf8("カード"), this);
  frame->setObjectName("Card");
  auto* layout = new QGridLayout(frame);
  layout->setContentsMargins(4, 1, 4, 1);
  layout->setVerticalSpacing(0);
  m_cardRun = new QCheckBox(QString::fromUtf8("カード挿入時にJobを実行"), frame);
  m_cardRun->setObjectName("CardRun");
  connect(m_cardRun, &QCheckBox::clicked, this,
          [this](bool on) { writeCard(card::kRunKey, on ? "1" : "0"); });
  layout->addWidget(m_cardRun, 0, 0, 1, 2);
  const char* captions[] = {"リムーバブルメディアすべて", "DCIMフォルダのあるメディア",
                            "ボリュームラベル"};
  for (int i = 0; i < 3; ++i) {
    auto* option = new QRadioButton(QString::fromUtf8(captions[i]), frame);
    option->setObjectName(QString("CardFilter_%1").arg(i));
    connect(option, &QRadioButton::clicked, this,
            [this, i] { writeCard(card::kFilterKey, std::to_string(i)); });
    layout->addWidget(option, 1, i);
    m_cardFilter[i] = option;
  }
  m_cardLabel = new QLineEdit(frame);
  m_cardLabel->setObjectName("CardLabel");
  connect(m_cardLabel, &QLineEdit::editingFinished, this,
          [this] { writeCard(card::kLabelKey, m_cardLabel->text().trimmed().toStdString()); });
  layout->addWidget(m_cardLabel, 1, 3);
  auto* driveCaption = new QLabel(QString::fromUtf8("Jobの中のカードのドライブ"), frame);
  m_cardDrive = new QComboBox(frame);
  m_cardDrive->setObjectName("CardDrive");
  m_cardDrive->setToolTip(QString::fromUtf8(
      "このドライブのフォルダを、挿入されたカードのドライブに置き換えてJobを実行します。"));
  m_cardDrive->addItem(QString());
  for (char letter = 'D'; letter <= 'Z'; ++letter) m_cardDrive->addItem(QString(QChar(letter)));
  connect(m_cardDrive, &QComboBox::activated, this,
          [this] { writeCard(card::kDriveKey, m_cardDrive->currentText().toStdString()); });
  // Two rows, so the job panel keeps close to the size of the other panels.
  auto* drive = new QHBoxLayout;
  drive->addWidget(driveCaption);
  drive->addWidget(m_cardDrive);
  drive->addStretch();
  layout->addLayout(drive, 0, 2, 1, 2);
  return frame;
}

void frmJob::writeCard(const char* key, const std::string& value) {
  if (shell().loading) return;
  dll().DLL_WriteStringINI(shell().iniPath, card::kSection, key, value);
}

// Shows section "Card" without writing it: a settings file without the section stays so until
// the user changes a control.
void frmJob::loadCard() {
  const card::CardSettings stored = card::readCardSettings(shell().iniPath);
  m_cardRun->setChecked(stored.run);
  m_cardFilter[static_cast<int>(stored.filter)]->setChecked(true);
  m_cardLabel->setText(QString::fromStdString(stored.label));
  m_cardDrive->setCurrentIndex(stored.drive == '\0' ? 0 : std::max(0, stored.drive - 'D' + 1));
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
  loadCard();
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
