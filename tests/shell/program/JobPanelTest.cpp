#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>

#include <cstdlib>

#include "core/Main.h"
#include "frmJob.h"
#include "frmMain.h"
#include "shell/core/ShellState.h"
#include "support/Fakes.h"
#include "support/JobScenario.h"

namespace quillmere {
namespace {

template <typename T>
T* control(QWidget& panel, const QString& name) {
  T* found = panel.findChild<T*>(name);
  EXPECT_NE(found, nullptr) << name.toStdString();
  return found;
}

class JobPanel : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().state(Panel::Job) = kPanelOpen;
  }
  std::string stored(const std::string& key) {
    return dll().DLL_GetStringFromINI(shell().iniPath, "Job", key, "absent");
  }
  void put(const std::string& key, const std::string& value) {
    dll().DLL_WriteStringINI(shell().iniPath, "Job", key, value);
  }

  test::TempTree tree;
};

TEST_F(JobPanel, HoldsEightStepsOfTenChoicesAndTheRunButton) {
  frmJob panel;
  EXPECT_EQ(panel.windowTitle(), "[Job]");
  for (int s = 1; s <= 8; ++s) {
    EXPECT_EQ(control<QCheckBox>(panel, QString("Check_%1").arg(s))->text(),
              QString("Step%1").arg(s));
    auto* frame = control<QGroupBox>(panel, QString("Step_%1").arg(s));
    for (int k = 1; k <= 10; ++k) {
      auto* option = control<QRadioButton>(panel, QString("Option_%1").arg((s - 1) * 10 + k));
      EXPECT_EQ(option->text(), QString::fromUtf8(job::choiceCaption(k)));
      EXPECT_EQ(option->parentWidget(), frame);
    }
  }
  auto* run = control<QPushButton>(panel, "JobRun");
  EXPECT_EQ(run->text(), "Job Run");
  EXPECT_EQ(run->toolTip(),
            QString::fromUtf8("チェックマークの入ったStepのみ番号の若い順に実行します。"));
}

TEST_F(JobPanel, LoadRestoresEveryStepsChoiceCheckedOrNot) {
  put("Job-Check1", "1");
  put("Job-Option12", "True");  // step 2: rename, the step not checked
  put("Job-Option4", "True");   // step 1: backup, the step checked
  frmJob panel;
  panel.load();
  EXPECT_TRUE(control<QRadioButton>(panel, "Option_4")->isChecked());
  EXPECT_TRUE(control<QRadioButton>(panel, "Option_12")->isChecked());
  EXPECT_TRUE(control<QGroupBox>(panel, "Step_1")->isEnabled());
  EXPECT_FALSE(control<QGroupBox>(panel, "Step_2")->isEnabled());
  EXPECT_FALSE(control<QRadioButton>(panel, "Option_12")->isEnabled());
  EXPECT_EQ(stored("Job-Check8"), "0") << "load writes every check key back";
  EXPECT_FALSE(shell().loading);

  shell().state(Panel::Job) = kPanelClosed;
  frmJob closed;
  closed.load();
  EXPECT_FALSE(control<QRadioButton>(closed, "Option_4")->isChecked()) << "no load while closed";
}

TEST_F(JobPanel, ClicksWriteTheirKeysAndEnableTheStep) {
  frmJob panel;
  panel.load();
  panel.show();
  auto* check = control<QCheckBox>(panel, "Check_2");
  check->click();
  EXPECT_EQ(stored("Job-Check2"), "1");
  EXPECT_TRUE(control<QRadioButton>(panel, "Option_17")->isEnabled());
  control<QRadioButton>(panel, "Option_12")->click();
  control<QRadioButton>(panel, "Option_17")->click();
  for (int i = 11; i <= 20; ++i)
    EXPECT_EQ(stored("Job-Option" + std::to_string(i)), i == 17 ? "True" : "False");
  EXPECT_EQ(stored("Job-Option1"), "absent");
  EXPECT_EQ(stored("Job-Option21"), "absent");
  check->click();
  EXPECT_EQ(stored("Job-Check2"), "0");
  EXPECT_FALSE(control<QGroupBox>(panel, "Step_2")->isEnabled());
}

TEST_F(JobPanel, JobRunRunsTheCheckedStepsThroughTheSeamWhileBusy) {
  put("Job-Check1", "1");
  put("Job-Option2", "True");   // rename
  put("Job-Option15", "True");  // step 2 unchecked: mirroring
  put("Job-Check3", "1");
  put("Job-Option21", "True");  // scan disk: nothing
  put("Job-Check4", "1");
  put("Job-Option34", "True");  // backup
  std::vector<std::string> calls;
  int busy = 0;
  frmJob panel({.runStep =
                    [&](const job::PlannedStep& s) {
                      calls.push_back("Step" + std::to_string(s.step) + " " +
                                      job::actionName(s.action) + " busy " + std::to_string(busy));
                      return job::StepOutcome{};
                    },
                .raiseBusy = [&] { ++busy; },
                .lowerBusy = [&] { --busy; }});
  panel.load();
  control<QPushButton>(panel, "JobRun")->click();
  EXPECT_EQ(calls, (std::vector<std::string>{"Step1 ReName busy 1", "Step4 BackUP busy 1"}));
  EXPECT_EQ(busy, 0);
  EXPECT_EQ(panel.lastReport().ran.size(), 2u);
  EXPECT_EQ(control<QLabel>(panel, "StepProgress")->text(),
            QString::fromUtf8("実行: Step1 リネーム, Step4 バックアップ"));
}

// Saves a picture of the window when QUILLMERE_SCREENSHOT_DIR names a folder (the Xvfb run).
void screenshot(QWidget& window, const QString& name) {
  const char* folder = std::getenv("QUILLMERE_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') return;
  QDir().mkpath(folder);
  window.grab().save(QString(folder) + "/" + name + ".png");
}

TEST_F(JobPanel, AJobOfTheRealEnginesEmptiesTheCardStepByStep) {
  test::ScriptedUiHook hook;
  test::CardJob scenario(tree);
  shell().state(Panel::Job) = kPanelClosed;
  shell().ready = true;
  frmMain window;
  window.resize(700, 560);
  window.show();
  window.menuItem("Job")->trigger();
  auto* panel = qobject_cast<frmJob*>(window.windows().panel(Panel::Job));
  ASSERT_NE(panel, nullptr);
  // The steps run through the program's own seam; the files are checked after each one.
  std::vector<std::string> afterEach;
  panel->setStepRunner([&](const job::PlannedStep& step) {
    const job::StepOutcome outcome = window.runJobStep(step);
    EXPECT_EQ(outcome.status, 0) << job::actionName(step.action);
    EXPECT_EQ(window.windows().panel(Panel::Job), panel);
    switch (step.action) {
      case job::StepAction::ReName:
        EXPECT_EQ(scenario.filesIn("archive"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
        EXPECT_EQ(scenario.filesIn("card"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
        break;
      case job::StepAction::WFileDel:
        EXPECT_TRUE(scenario.filesIn("card").empty());
        break;
      case job::StepAction::BackUP:
        EXPECT_EQ(scenario.filesIn("backups"), std::vector<std::string>{"archive.lzh"});
        EXPECT_TRUE(scenario.filesIn("mirror2").empty());
        break;
      case job::StepAction::Mirroring:
        EXPECT_EQ(scenario.filesIn("mirror2"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
        break;
      default:
        ADD_FAILURE();
    }
    afterEach.push_back(job::actionName(step.action));
    return outcome;
  });
  screenshot(window, "job-panel-set");
  control<QPushButton>(*panel, "JobRun")->click();
  EXPECT_EQ(afterEach, (std::vector<std::string>{"ReName", "WFileDel", "BackUP", "Mirrorring"}));
  EXPECT_EQ(shell().busy, 0);
  EXPECT_EQ(shell().state(Panel::BackUP), kPanelClosed) << "each step's panel is asked to close";
  EXPECT_TRUE(hook.shown.empty()) << hook.shown.front().text;
  window.windows().pass();  // the last step's panel closes
  EXPECT_EQ(window.windows().subWindow(Panel::Mirroring), nullptr);
  screenshot(window, "job-panel-run");
}

}  // namespace
}  // namespace quillmere
