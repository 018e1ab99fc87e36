#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <optional>

#include "core/Main.h"
#include "frmJob.h"
#include "shell/card/CardNotice.h"
#include "shell/core/ShellState.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

void wait(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

class JobCardFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().state(Panel::Job) = kPanelOpen;
  }
  std::string stored(const std::string& key) {
    return dll().DLL_GetStringFromINI(shell().iniPath, "Card", key, "absent");
  }
  template <typename T>
  T* control(QWidget& panel, const char* name) {
    T* found = panel.findChild<T*>(name);
    EXPECT_NE(found, nullptr) << name;
    return found;
  }

  test::TempTree tree;
};

TEST_F(JobCardFrame, OffWithoutTheSectionAndEachControlWritesItsKey) {
  frmJob panel;
  panel.load();
  auto* run = control<QCheckBox>(panel, "CardRun");
  EXPECT_EQ(run->text(), QString::fromUtf8("カード挿入時にJobを実行"));
  EXPECT_FALSE(run->isChecked());
  EXPECT_TRUE(control<QRadioButton>(panel, "CardFilter_0")->isChecked());
  EXPECT_EQ(stored("Card-Run"), "absent") << "loading writes nothing of section Card";

  run->click();
  EXPECT_EQ(stored("Card-Run"), "1");
  control<QRadioButton>(panel, "CardFilter_2")->click();
  EXPECT_EQ(stored("Card-Filter"), "2");
  auto* label = control<QLineEdit>(panel, "CardLabel");
  label->setText(" EOS_DIGITAL ");
  emit label->editingFinished();
  EXPECT_EQ(stored("Card-Label"), "EOS_DIGITAL");
  auto* drive = control<QComboBox>(panel, "CardDrive");
  drive->setCurrentText("F");
  emit drive->activated(drive->currentIndex());
  EXPECT_EQ(stored("Card-Drive"), "F");

  frmJob again;
  again.load();
  EXPECT_TRUE(control<QCheckBox>(again, "CardRun")->isChecked());
  EXPECT_TRUE(control<QRadioButton>(again, "CardFilter_2")->isChecked());
  EXPECT_EQ(control<QLineEdit>(again, "CardLabel")->text(), "EOS_DIGITAL");
  EXPECT_EQ(control<QComboBox>(again, "CardDrive")->currentText(), "F");
}

TEST_F(JobCardFrame, TheNoticeAnswersOnceAndRunsWhenTheTimeIsUp) {
  int answers = 0;
  std::optional<bool> answer;
  auto* cancelled = new card::CardNotice("CARD", [&](bool run) {
    ++answers;
    answer = run;
  });
  cancelled->show();
  auto* runButton = cancelled->findChild<QPushButton*>("CardRun");
  auto* cancelButton = cancelled->findChild<QPushButton*>("CardCancel");
  ASSERT_TRUE(runButton && cancelButton);
  EXPECT_EQ(runButton->text(), QString::fromUtf8("実行"));
  EXPECT_EQ(cancelButton->text(), QString::fromUtf8("中止"));
  cancelButton->click();
  EXPECT_EQ(answer, false);

  answer.reset();
  auto* waited = new card::CardNotice(
      "CARD",
      [&](bool run) {
        ++answers;
        answer = run;
      },
      1);
  waited->show();
  QElapsedTimer t;
  t.start();
  while (!answer && t.elapsed() < 5000) wait(50);
  EXPECT_EQ(answer, true);
  wait(1200);
  EXPECT_EQ(answers, 2);
}

}  // namespace
}  // namespace quillmere
