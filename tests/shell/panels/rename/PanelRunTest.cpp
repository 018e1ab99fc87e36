#include <QApplication>
#include <QListWidget>
#include <QMdiSubWindow>
#include <QTimer>

#include <filesystem>
#include <set>
#include <tuple>

#include "frmMain.h"
#include "rename/RenameFixture.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/rename/frmReName.h"
#include "shell/panels/rename/frmRecovery.h"
#include "shell/widgets/FolderWidgets.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::panel::test {
namespace {

using quillmere::test::TempTree;

// A rename panel on its own settings file, shown at the size the window manager gives it.
class RenamePanel : public quillmere::test::PanelHarness<frmReName> {
 protected:
  RenamePanel() : PanelHarness("ReName", QSize(635, 410)) {}
};

using rename::test::picture;

// Samples the progress labels at every pass of the event loop during a run (the run yields
// after each file), and can act at a chosen sample.
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
    const auto now = std::make_tuple(text("FileMax"), text("FileNo"), text("Command"));
    if (seen.empty() || seen.back() != now) seen.push_back(now);
    const auto* run = m_panel.findChild<QWidget*>("Run");
    const auto* cancel = m_panel.findChild<QWidget*>("Cancel");
    const auto* inDir = m_panel.findChild<QWidget*>("InDir");
    if (!std::get<2>(now).empty())
      lockedDuringRun =
          lockedDuringRun && !run->isVisible() && cancel->isVisible() && !inDir->isEnabled();
    if (onSample) onSample(std::get<2>(now));
  }
  bool showed(const std::string& command) const {
    for (const auto& s : seen)
      if (std::get<2>(s) == command) return true;
    return false;
  }
  std::vector<std::tuple<std::string, std::string, std::string>> seen;
  bool lockedDuringRun = true;
  std::function<void(const std::string& command)> onSample;

 private:
  QWidget& m_panel;
  QTimer m_timer;
};

class RenamePanelRun : public RenamePanel {
 protected:
  void pictures(const std::string& folder, int count) {
    for (int i = 0; i < count; ++i) {
      char date[32];
      std::snprintf(date, sizeof date, "2002:03:15 14:%02d:%02d", i / 60, i % 60);
      tree.write(folder + "/DSC" + std::to_string(1000 + i) + ".JPG",
                 picture(date, "body" + std::to_string(i)));
    }
  }
  std::vector<std::string> filesIn(const std::string& folder) {
    std::vector<std::string> out;
    for (const std::string& f : tree.files())
      if (f.rfind(folder + "/", 0) == 0) out.push_back(f.substr(folder.size() + 1));
    return out;
  }
  std::multiset<std::string> bodies() {
    std::multiset<std::string> out;
    for (const std::string& f : tree.files())
      if (f != "quillmere.ini") {
        const std::string bytes = tree.read(f);
        out.insert(bytes.substr(bytes.rfind("body")));
      }
    return out;
  }
};

TEST_F(RenamePanelRun, EachModeRunsThroughTheEngineWithItsLabels) {
  pictures("card", 3);
  tree.mkdir("copy");
  tree.mkdir("moved");
  store("ReName-InDir", tree.pathText("card"));
  open();
  std::vector<std::string> completed;
  panel.setCompletionStep([&](std::string_view s) { completed.emplace_back(s); });

  // Stay: the pictures take their shooting dates where they are.
  {
    LabelWatch watch(panel);
    click("Run");
    EXPECT_TRUE(watch.showed("リネーム中・・・"));
    EXPECT_TRUE(watch.lockedDuringRun);
    bool counted = false;
    for (const auto& [max, no, command] : watch.seen) counted = counted || max == "3/ ";
    EXPECT_TRUE(counted);
  }
  EXPECT_EQ(filesIn("card"), (std::vector<std::string>{"20020315_140000.JPG", "20020315_140001.JPG",
                                                       "20020315_140002.JPG"}));
  EXPECT_TRUE(control("Run")->isVisible());
  EXPECT_FALSE(control("Cancel")->isVisible());
  EXPECT_TRUE(label("Command").isEmpty());
  EXPECT_FALSE(control("OutDir")->isEnabled());  // Stay mode's rule comes back after the run

  // Copy, numbered: the source stays, the copies get running numbers.
  click("Copy_Mode");
  control<FolderSide>("OutDirFrame")->folders()->setPath(tree.pathText("copy"));
  openDetails();
  click("FileNameFormat_No");
  click("SettingClose");
  {
    LabelWatch watch(panel);
    click("Run");
    EXPECT_TRUE(watch.showed("コピー中・・・") || watch.showed("ファイルのコピー中・・・"));
  }
  EXPECT_EQ(filesIn("copy"), (std::vector<std::string>{"000.JPG", "001.JPG", "002.JPG"}));
  EXPECT_EQ(filesIn("card").size(), 3u);
  EXPECT_TRUE(control("OutDir")->isEnabled());

  // Move, lower case: the card is emptied into the target.
  click("Move_Mode");
  control<FolderSide>("OutDirFrame")->folders()->setPath(tree.pathText("moved"));
  openDetails();
  click("MojiS");
  click("FileNameFormat_Date");
  click("SettingClose");
  click("Run");
  EXPECT_EQ(filesIn("moved"),
            (std::vector<std::string>{"20020315_140000.jpg", "20020315_140001.jpg",
                                      "20020315_140002.jpg"}));
  EXPECT_TRUE(filesIn("card").empty());
  EXPECT_EQ(completed, (std::vector<std::string>{"ReName", "ReName", "ReName"}));
}

// A refused run says why: the drive's root is the whole system, not a missing folder.
TEST_F(RenamePanelRun, ARefusedRunNamesItsReason) {
  store("ReName-InDir", "C:\\");
  open();
  click("Run");
  ASSERT_FALSE(hook.shown.empty());
  EXPECT_NE(hook.shown.back().text.find("ルート"), std::string::npos) << hook.shown.back().text;
  EXPECT_EQ(hook.shown.back().text.find("見つかりません"), std::string::npos);

  hook.shown.clear();
  tree.mkdir("gone");
  control<FolderSide>("InDirFrame")->folders()->setPath(tree.pathText("gone"));
  std::filesystem::remove(tree.path("gone"));
  click("Run");
  ASSERT_FALSE(hook.shown.empty());
  EXPECT_NE(hook.shown.back().text.find("見つかりません"), std::string::npos)
      << hook.shown.back().text;
}

TEST_F(RenamePanelRun, CancelDuringARunLeavesEveryPictureRecoverable) {
  pictures("card", 40);
  tree.mkdir("target");
  const std::multiset<std::string> before = bodies();
  store("ReName-InDir", tree.pathText("card"));
  store("ReName-OutDir", tree.pathText("target"));
  store("ReName-Move_Mode", "True");
  store("ReName-Stay_Mode", "False");
  open();
  std::vector<std::string> completed;
  panel.setCompletionStep([&](std::string_view s) { completed.emplace_back(s); });
  {
    LabelWatch watch(panel);
    bool pressed = false;
    watch.onSample = [&](const std::string& command) {
      // Cancel half-way through the park step, as a person pressing Cancel would.
      if (pressed || command != "移動中・・・") return;
      if (panel.findChild<QLabel*>("FileNo")->text().toInt() < 20) return;
      pressed = true;
      QTest::mouseClick(panel.findChild<QAbstractButton*>("Cancel"), Qt::LeftButton);
    };
    click("Run");
  }
  ASSERT_TRUE(shell().cancel);
  int parked = 0;
  for (const std::string& f : tree.files()) parked += f.find("Temp") != std::string::npos;
  EXPECT_GE(parked, 10);           // cancelled between park and settle
  EXPECT_TRUE(completed.empty());  // no completion step after a cancel
  EXPECT_EQ(bodies(), before);     // nothing lost on the way

  shell().cancel = false;
  frmRecovery recovery;
  recovery.show();
  recovery.load();
  for (const char* folder : {"card", "target"}) {
    ASSERT_TRUE(recovery.findChild<FolderSide*>("InDirFrame")->showFolder(tree.pathText(folder)));
    QTest::mouseClick(recovery.findChild<QAbstractButton*>("Run"), Qt::LeftButton);
  }
  EXPECT_EQ(bodies(), before);
  for (const std::string& f : tree.files())
    EXPECT_EQ(f.find("Temp"), std::string::npos) << f << " still parked";
  EXPECT_TRUE(recovery.findChild<QWidget*>("Run")->isVisible());
}

TEST_F(RenamePanelRun, RecoveryListsTheParkedFilesWhoseNameIsTaken) {
  tree.write("pics/DSC2002.NEFTemp", "parked");
  tree.write("pics/sub/DSC2003.JPGtemp", "parked2");
  tree.write("pics/taken.JPGTemp", "parked3");
  tree.write("pics/taken.JPG", "other");
  tree.write("pics/DSC2004.NEFTemp1", "copy");
  frmRecovery recovery;
  recovery.show();
  recovery.load();
  EXPECT_EQ(recovery.windowTitle(), QString::fromUtf8("[Temp削除]"));
  EXPECT_TRUE(recovery.findChild<QLabel*>("Label1")->text().contains("DSC2002.NEFTemp"));
  ASSERT_TRUE(recovery.findChild<FolderSide*>("InDirFrame")->showFolder(tree.pathText("pics")));
  LabelWatch watch(recovery);
  QTest::mouseClick(recovery.findChild<QAbstractButton*>("Run"), Qt::LeftButton);
  EXPECT_TRUE(watch.showed("リネーム中・・・"));
  EXPECT_EQ(tree.read("pics/DSC2002.NEF"), "parked");
  EXPECT_EQ(tree.read("pics/sub/DSC2003.JPG"), "parked2");
  EXPECT_EQ(tree.read("pics/taken.JPG"), "other");
  EXPECT_EQ(tree.read("pics/taken.JPGTemp"), "parked3");
  EXPECT_TRUE(tree.exists("pics/DSC2004.NEFTemp1"));
  auto* left = recovery.findChild<QListWidget*>("NotRecovered");
  ASSERT_EQ(left->count(), 1);
  EXPECT_TRUE(left->item(0)->text().contains("taken.JPGTemp"));
  EXPECT_TRUE(left->isVisible());
}

// A panel asked to close in the middle of its run stays until the run has returned: the run's
// frame lives on the panel.
TEST_F(RenamePanelRun, APanelClosedDuringItsRunClosesAfterIt) {
  pictures("card", 5);
  store("ReName-InDir", tree.pathText("card"));
  frmMain window;
  shell().state(Panel::ReName) = kPanelAskedToOpen;
  window.windows().pass();
  auto* rename = qobject_cast<frmReName*>(window.windows().panel(Panel::ReName));
  ASSERT_NE(rename, nullptr);
  QPointer<QMdiSubWindow> sub = window.windows().subWindow(Panel::ReName);
  bool asked = false;
  LabelWatch watch(*rename);
  watch.onSample = [&](const std::string& command) {
    if (command.empty() || asked) return;
    asked = true;
    EXPECT_FALSE(sub->close());          // the close box
    window.menuItem("Win4")->trigger();  // close all
    window.windows().pass();
  };
  rename->runRename();
  EXPECT_TRUE(asked);
  EXPECT_EQ(filesIn("card").size(), 5u);
  ASSERT_FALSE(sub.isNull());
  window.windows().pass();
  EXPECT_TRUE(sub.isNull());
}

}  // namespace
}  // namespace quillmere::panel::test
