#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QThread>

#include <sys/stat.h>

#include <algorithm>

#include <cstdlib>

#include "Completion.h"
#include "core/Main.h"
#include "frmWinEnd.h"
#include "shell/core/ShellState.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

// Every shutdown request goes to a fake command that counts its calls in a file.
class Completion : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    const std::string fake =
        tree.write("fake-shutdown", "#!/bin/sh\necho called >> \"$(dirname \"$0\")/requests\"\n");
    ::chmod(fake.c_str(), 0755);
    ::setenv("QUILLMERE_SHUTDOWN_COMMAND", fake.c_str(), 1);
  }
  void TearDown() override { ::setenv("QUILLMERE_SHUTDOWN_COMMAND", "/bin/true", 1); }

  void setKeys(const char* shutDown, const char* winShutDown) {
    dll().DLL_WriteStringINI(shell().iniPath, "BackUP", "BackUP-ShutDown", shutDown);
    dll().DLL_WriteStringINI(shell().iniPath, "BackUP", "BackUP-WinShutDown", winShutDown);
  }
  std::string outcome() {
    std::string what;
    CompletionActions actions;
    actions.endProgramAtOnce = [&] { what = "end"; };
    actions.showCountdown = [&] { what = "countdown"; };
    runCompletionStep("BackUP", actions);
    return what;
  }
  // Shutdown requests seen by the fake, after giving a started one time to arrive.
  int requests(int expectedAtLeast) {
    for (int i = 0; i < 300 && requestLines() < expectedAtLeast; ++i) QThread::msleep(10);
    return requestLines();
  }
  int requestLines() {
    if (!tree.exists("requests")) return 0;
    const std::string text = tree.read("requests");
    return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
  }

  test::TempTree tree;
};

TEST_F(Completion, TheTwoKeysChooseNothingEndOrCountdown) {
  setKeys("0", "1");
  EXPECT_EQ(outcome(), "");
  setKeys("1", "0");
  EXPECT_EQ(outcome(), "end");
  setKeys("1", "1");
  EXPECT_EQ(outcome(), "countdown");
  setKeys("1.0", "01");
  EXPECT_EQ(outcome(), "countdown");
}

TEST_F(Completion, CountdownDialogHasItsTextsSizeAndPlace) {
  QWidget main;
  main.setGeometry(100, 50, 800, 600);
  frmWinEnd themed(&main, true);
  frmWinEnd classic(&main, false);
  EXPECT_EQ(themed.windowTitle(), QString::fromUtf8("確認"));
  EXPECT_EQ(themed.findChild<QLabel*>("Text")->text(), QString::fromUtf8("終了しますか？"));
  EXPECT_EQ(themed.findChild<QPushButton*>("Yes")->text(), QString::fromUtf8("はい"));
  EXPECT_EQ(themed.findChild<QPushButton*>("No")->text(), QString::fromUtf8("いいえ"));
  EXPECT_EQ(themed.size(), QSize(267, 133));  // 4000 x 2000 twips
  EXPECT_EQ(classic.height(), 125);           // 118 twips lower
  EXPECT_EQ(themed.pos(), QPoint(100 + (800 - 267) / 2, 50 + (600 - 133) / 2));
}

TEST_F(Completion, NoAtThirtySevenLeavesTheMachineAlone) {
  QWidget main;
  auto* dialog = new frmWinEnd(&main, true);
  dialog->tick();
  EXPECT_EQ(dialog->timeMessage(), QString::fromUtf8("自動終了まで 120 秒!!"));
  for (int i = 0; i < 83; ++i) dialog->tick();
  EXPECT_EQ(dialog->timeMessage(), QString::fromUtf8("自動終了まで 37 秒!!"));
  QPointer<frmWinEnd> guard(dialog);
  dialog->findChild<QPushButton*>("No")->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
  QThread::msleep(200);
  EXPECT_EQ(requests(0), 0);
  // A later completion starts again from 120.
  frmWinEnd again(&main, true);
  again.tick();
  EXPECT_EQ(again.timeMessage(), QString::fromUtf8("自動終了まで 120 秒!!"));
}

TEST_F(Completion, ZeroAndYesRequestTheShutdown) {
  QWidget main;
  frmWinEnd dialog(&main, true);
  for (int i = 0; i < 120; ++i) dialog.tick();
  EXPECT_EQ(dialog.timeMessage(), QString::fromUtf8("自動終了まで 1 秒!!"));
  QThread::msleep(100);
  EXPECT_EQ(requests(0), 0);
  dialog.tick();
  EXPECT_EQ(dialog.timeMessage(), QString::fromUtf8("自動終了まで 0 秒!!"));
  EXPECT_EQ(requests(1), 1);
  frmWinEnd other(&main, true);
  other.findChild<QPushButton*>("Yes")->click();
  EXPECT_EQ(requests(2), 2);
}

TEST_F(Completion, ProgramCountdownIsShownOnTop) {
  QWidget main;
  main.show();
  setKeys("1", "1");
  runCompletionStep("BackUP", programCompletionActions(&main));
  auto* dialog = main.findChild<frmWinEnd*>("frmWinEnd");
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->isModal());
  delete dialog;
}

}  // namespace
}  // namespace quillmere
