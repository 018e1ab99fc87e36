#pragma once

#include <array>
#include <functional>

#include "shell/job/JobPlan.h"
#include "shell/panels/PanelWindow.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace quillmere {

// The job panel: eight steps, each checked or not and with one of ten choices, run one after
// the other by JobRun. Every control writes its key of section "Job" the moment it is clicked.
// A frame below the steps holds the card trigger's keys of section "Card".
class frmJob final : public PanelWindow {
  Q_OBJECT

 public:
  // What the job needs from the shell: a step's panel run to its end, and the busy counter
  // with its pointer.
  struct Hooks {
    job::StepRunner runStep;
    std::function<void()> raiseBusy;
    std::function<void()> lowerBusy;
  };

  explicit frmJob(Hooks hooks = {}, QWidget* parent = nullptr);

  // Fills the controls from section "Job": every step's check box and stored choice (the
  // choice also of a step that is not checked), the buttons of an unchecked step disabled.
  void load() override;

  // Replaces the seam that runs one step (tests watch the files between the steps).
  void setStepRunner(job::StepRunner runStep) { m_hooks.runStep = std::move(runStep); }

  // The steps of the last JobRun that ran, with their outcomes.
  const job::JobReport& lastReport() const { return m_lastReport; }

 private:
  void buildControls();
  QGroupBox* buildCardFrame();
  void loadCard();
  void writeCard(const char* key, const std::string& value);
  void checkClicked(int step);
  void optionClicked(int option);
  void enableStep(int step, bool enabled);
  void jobRun();
  job::JobChoices choicesOnScreen() const;
  QString reportText(const job::JobReport& report) const;

  Hooks m_hooks;
  std::array<QCheckBox*, job::kStepCount> m_check{};
  std::array<QGroupBox*, job::kStepCount> m_step{};
  std::array<QRadioButton*, job::kOptionCount> m_option{};
  // The card frame: section "Card".
  QCheckBox* m_cardRun = nullptr;
  std::array<QRadioButton*, 3> m_cardFilter{};  // by the value of Card-Filter
  QLineEdit* m_cardLabel = nullptr;
  QComboBox* m_cardDrive = nullptr;
  QPushButton* m_jobRun = nullptr;
  QLabel* m_progress = nullptr;
  job::JobReport m_lastReport;
};

}  // namespace quillmere
