#include <QMdiSubWindow>
#include <QTimer>

#include <tuple>
#include <vector>

#include "frmMain.h"
#include "shell/core/ShellState.h"
#include "shell/panels/mirror/frmMirrorring.h"
#include "shell/timer/MainTimer.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::mirror::panel::test {
namespace {

using quillmere::test::TempTree;

// A mirroring panel on its own settings file, open as the window manager has it.
class MirrorPanel : public quillmere::test::PanelHarness<frmMirrorring> {
 protected:
  MirrorPanel() : PanelHarness("Mirrorring", QSize(635, 438), kPanelOpen) {}
};

// Samples the progress labels at every pass of the event loop during a run.
class LabelWatch {
 public:
  explicit LabelWatch(QWidget& panel) : m_panel(panel) {
    m_timer.setInterval(0);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { sample(); });
    m_timer.start();
  }
  void sample() {
    auto text = [this](const char* name) {
      return m_panel.findChild<QLabel*>(name)->text().toStdString();
    };
    const auto now = std::make_tuple(text("No"), text("MaxNo"), text("Command"));
    if (seen.empty() || seen.back() != now) seen.push_back(now);
    if (!std::get<2>(now).empty())
      lockedDuringRun = lockedDuringRun &&
                        !m_panel.findChild<QWidget*>("Mirrorring")->isVisible() &&
                        m_panel.findChild<QWidget*>("Cancel")->isVisible() &&
                        !m_panel.findChild<QWidget*>("Setting")->isVisible() &&
                        !m_panel.findChild<QWidget*>("InDir")->isEnabled();
  }
  bool showed(const std::string& command) const {
    for (const auto& s : seen)
      if (std::get<2>(s) == command) return true;
    return false;
  }
  bool counted(const std::string& maxNo) const {
    for (const auto& s : seen)
      if (std::get<1>(s) == maxNo) return true;
    return false;
  }
  std::vector<std::tuple<std::string, std::string, std::string>> seen;
  bool lockedDuringRun = true;

 private:
  QWidget& m_panel;
  QTimer m_timer;
};

class MirrorPanelRun : public MirrorPanel {
 protected:
  void folders() {
    tree.write("card/DCIM/P001.JPG", "one");
    tree.write("card/DCIM/P002.JPG", "two");
    tree.write("card/P003.JPG", "three");
    tree.mkdir("disk");
    store(key::kInDir, tree.pathText("card"));
    store(key::kOutDir, tree.pathText("disk"));
  }
};

TEST_F(MirrorPanelRun, ARunCopiesThroughTheEngineWithItsLabelsAndAsksToReopen) {
  folders();
  tree.write("disk/OLD.JPG", "old");
  open();
  click("SettingOpen");
  click("OptionSelect_4");
  click("SettingClose");
  // The line says what preset 4 does before anything runs.
  EXPECT_TRUE(label("RunPlan").contains(QString::fromUtf8("ミラーだけのファイル: 削除")))
      << label("RunPlan").toStdString();
  EXPECT_TRUE(label("RunPlan").contains(QString::fromUtf8("ごみ箱へ")));

  LabelWatch watch(panel);
  hook.answer(msgbox::kYes);  // the only mirror file goes: the whole side, so it is asked
  click("Mirrorring");
  EXPECT_EQ(tree.read("disk/DCIM/P001.JPG"), "one");
  EXPECT_EQ(tree.read("disk/P003.JPG"), "three");
  EXPECT_FALSE(tree.exists("disk/OLD.JPG"));
  EXPECT_TRUE(watch.showed("ファイルリスト作成中・・・"));
  EXPECT_TRUE(watch.showed("ファイルのコピー中・・・"));
  EXPECT_TRUE(watch.counted("/ 3"));
  EXPECT_TRUE(watch.lockedDuringRun);
  // Closing steps: labels cleared, controls back, the window manager asked to reopen.
  EXPECT_EQ(label("Command"), "");
  EXPECT_EQ(label("No"), "");
  EXPECT_TRUE(control("Mirrorring")->isVisible());
  EXPECT_TRUE(control("Setting")->isVisible());
  EXPECT_FALSE(control("Cancel")->isVisible());
  EXPECT_FALSE(shell().mirroringRunning);
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelAskedToOpen);
}

TEST_F(MirrorPanelRun, EmptyingAWholeSideIsAskedWithNoAsTheDefault) {
  tree.mkdir("card");
  tree.write("disk/A.JPG", "a");
  tree.write("disk/B.JPG", "b");
  store(key::kInDir, tree.pathText("card"));
  store(key::kOutDir, tree.pathText("disk"));
  open();
  click("SettingOpen");
  click("OptionSelect_4");
  click("SettingClose");
  click("Mirrorring");  // answered No
  ASSERT_FALSE(hook.shown.empty());
  const auto& question = hook.shown.back();
  EXPECT_EQ(question.style & 7, msgbox::kYesNo);
  EXPECT_NE(question.style & msgbox::kDefaultButton2, 0);
  EXPECT_NE(question.text.find("ミラー側"), std::string::npos) << question.text;
  EXPECT_NE(question.text.find("2 件"), std::string::npos) << question.text;
  EXPECT_TRUE(tree.exists("disk/A.JPG"));
  EXPECT_TRUE(tree.exists("disk/B.JPG"));
}

TEST_F(MirrorPanelRun, TheTimerRunsTheMirroringAtItsMinuteWithThePanelClosed) {
  folders();
  store(key::kTimer, "1");
  store("Mirrorring-Week3", "1");  // 2024-05-15 is a Wednesday
  store("Mirrorring-Hour10", "1");
  store("Mirrorring-Minute6", "1");
  shell().state(Panel::Mirroring) = kPanelClosed;

  frmMain window;
  bool panelShownDuringRun = false;
  MainTimerSteps steps;
  steps.clock = [] { return ClockTexts{"2024", "05", "15", "10", "30", "00"}; };
  steps.windowManagerPass = [&] {
    if (shell().mirroringRunning && window.windows().panel(Panel::Mirroring) != nullptr)
      panelShownDuringRun = true;
  };
  window.setTimerSteps(steps);
  window.timer().tick();
  QTest::qWait(50);
  while (window.timer().scheduledRunUnderWay()) QTest::qWait(20);
  EXPECT_EQ(tree.read("disk/DCIM/P002.JPG"), "two");
  EXPECT_FALSE(panelShownDuringRun);
  EXPECT_EQ(window.windows().panel(Panel::Mirroring), nullptr);
  // After the run the window manager is asked to open the panel.
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelAskedToOpen);

  // The same minute does not start a second run.
  tree.write("card/P004.JPG", "four");
  window.timer().tick();
  QTest::qWait(50);
  EXPECT_FALSE(tree.exists("disk/P004.JPG"));
}

}  // namespace
}  // namespace quillmere::mirror::panel::test
