#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QMdiSubWindow>

#include <cstdlib>

#include "MirrorPanelFixture.h"
#include "frmMain.h"

namespace quillmere::mirror::panel::test {
namespace {

// Pictures of what a person sees go below the build folder (or QUILLMERE_SCREENSHOT_DIR), to
// be looked at after a run under Xvfb.
void screenshot(QWidget& window, const QString& name) {
  const char* chosen = std::getenv("QUILLMERE_SCREENSHOT_DIR");
  const QString folder = chosen != nullptr && *chosen != '\0'
                             ? QString(chosen)
                             : QString(QUILLMERE_BIN_DIR) + "/../screenshots";
  QDir().mkpath(folder);
  window.grab().save(folder + "/" + name + ".png");
}

// Opens a subfolder the way a person does: a double click on its line in the folder list.
void openSubfolder(QListWidget& list, const QString& name) {
  for (int row = 0; row < list.count(); ++row) {
    QListWidgetItem* item = list.item(row);
    if (item->text().trimmed() != name) continue;
    list.scrollToItem(item);
    const QPoint at = list.visualItemRect(item).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    return;
  }
  ADD_FAILURE() << "no folder " << name.toStdString() << " in " << list.objectName().toStdString();
}

void press(QWidget& panel, const char* name) {
  auto* button = panel.findChild<QAbstractButton*>(name);
  ASSERT_NE(button, nullptr) << name;
  const QPoint at =
      button->inherits("QPushButton") ? button->rect().center() : QPoint(8, button->height() / 2);
  QTest::mouseClick(button, Qt::LeftButton, {}, at);
}

TEST_F(MirrorPanel, APhotographerSetsUpAMirrorOfTheCardFromTheMenu) {
  tree.write("card/DCIM/100CAM/P0001.JPG", "first picture");
  tree.write("card/DCIM/100CAM/P0002.JPG", "second picture");
  tree.mkdir("backup");
  store(key::kInDir, tree.pathText());
  store(key::kOutDir, tree.pathText());
  shell().state(Panel::Mirrorring) = kPanelClosed;
  shell().themedMetrics = true;

  frmMain window;
  window.resize(700, 540);
  window.show();
  window.menuItem("Mirrorring")->trigger();
  auto* mirroring = qobject_cast<frmMirrorring*>(window.windows().panel(Panel::Mirrorring));
  ASSERT_NE(mirroring, nullptr);
  QTest::qWait(50);

  openSubfolder(*mirroring->findChild<QListWidget*>("InDir"), "card");
  openSubfolder(*mirroring->findChild<QListWidget*>("OutDir"), "backup");
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
  EXPECT_EQ(shell().state(Panel::Mirrorring), kPanelOpen);
  QTest::qWait(50);
  screenshot(window, "mirroring-after-run");
}

}  // namespace
}  // namespace quillmere::mirror::panel::test
