#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiSubWindow>

#include <cstdlib>

#include "frmMain.h"
#include "shell/core/ShellState.h"
#include "shell/panels/mirror/frmMirrorring.h"
#include "support/Fakes.h"
#include "support/PanelHarness.h"

namespace quillmere::mirror::panel::test {
namespace {

using quillmere::test::openFolderLine;
using quillmere::test::screenshot;

// A mirroring panel on its own settings file, open as the window manager has it.
class MirrorPerson : public quillmere::test::PanelHarness<frmMirrorring> {
 protected:
  MirrorPerson() : PanelHarness("Mirrorring", QSize(635, 438), kPanelOpen) {}
};

void press(QWidget& panel, const char* name) {
  auto* button = panel.findChild<QAbstractButton*>(name);
  ASSERT_NE(button, nullptr) << name;
  const QPoint at =
      button->inherits("QPushButton") ? button->rect().center() : QPoint(8, button->height() / 2);
  QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

TEST_F(MirrorPerson, APhotographerSetsUpAMirrorOfTheCardFromTheMenu) {
  tree.write("card/DCIM/100CAM/P0001.JPG", "first picture");
  tree.write("card/DCIM/100CAM/P0002.JPG", "second picture");
  tree.mkdir("backup");
  store(key::kInDir, tree.pathText());
  store(key::kOutDir, tree.pathText());
  shell().state(Panel::Mirroring) = kPanelClosed;
  shell().themedMetrics = true;

  frmMain window;
  window.resize(700, 540);
  window.show();
  window.menuItem("Mirrorring")->trigger();
  auto* mirroring = qobject_cast<frmMirrorring*>(window.windows().panel(Panel::Mirroring));
  ASSERT_NE(mirroring, nullptr);
  QTest::qWait(50);

  openFolderLine(*mirroring->findChild<QListWidget*>("InDir"), "card");
  openFolderLine(*mirroring->findChild<QListWidget*>("OutDir"), "backup");
  EXPECT_EQ(key(key::kInDir), tree.pathText("card"));
  EXPECT_EQ(key(key::kOutDir), tree.pathText("backup"));

  press(*mirroring, "SettingOpen");
  press(*mirroring, "OptionSelect_4");
  press(*mirroring, "Timer");
  press(*mirroring, "Week_0");
  press(*mirroring, "Hour_3");
  press(*mirroring, "Minute_6");
  QTest::qWait(50);
  screenshot(window, "mirroring-detail-view");
  press(*mirroring, "SettingClose");

  auto* setting = mirroring->findChild<QComboBox*>("Setting");
  QTest::mouseClick(setting->lineEdit(), Qt::LeftButton);
  // Japanese text arrives from the input method as one committed string.
  setting->lineEdit()->insert(QString::fromUtf8("カードの控え"));
  hook.answer(msgbox::kYes);
  QTest::keyClick(setting->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(key(key::kSettingList), "1");
  EXPECT_EQ(key("Mirrorring-SettingListTitle_1"), "カードの控え");
  QTest::qWait(50);
  screenshot(window, "mirroring-folder-view");

  press(*mirroring, "Mirrorring");
  EXPECT_EQ(tree.read("backup/DCIM/100CAM/P0001.JPG"), "first picture");
  EXPECT_EQ(tree.read("backup/DCIM/100CAM/P0002.JPG"), "second picture");
  window.windows().pass();  // the run asked the window manager to reopen the panel
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelOpen);
  QTest::qWait(50);
  screenshot(window, "mirroring-after-run");
}

}  // namespace
}  // namespace quillmere::mirror::panel::test
