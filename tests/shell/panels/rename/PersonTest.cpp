#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QMdiSubWindow>

#include <cstdlib>

#include "PanelFixture.h"
#include "frmMain.h"
#include "shell/panels/FolderSide.h"
#include "shell/widgets/FolderWidgets.h"

namespace quillmere::panel::test {
namespace {

using rename::test::picture;

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

TEST_F(RenamePanel, APhotographerCopiesACardIntoDatedNamesFromTheMenu) {
  tree.write("card/DSC0001.JPG", picture("2002:03:15 14:23:05", "one"));
  tree.write("card/DSC0002.JPG", picture("2002:03:16 09:00:00", "two"));
  tree.mkdir("album");
  store("ReName-InDir", tree.pathText());
  store("ReName-OutDir", tree.pathText());
  shell().themedMetrics = true;

  frmMain window;
  window.resize(700, 520);
  window.show();
  window.menuItem("ReName")->trigger();
  auto* rename = qobject_cast<frmReName*>(window.windows().panel(Panel::ReName));
  ASSERT_NE(rename, nullptr);
  EXPECT_EQ(shell().state(Panel::ReName), kPanelOpen);
  QTest::qWait(50);

  openSubfolder(*rename->findChild<QListWidget*>("InDir"), "card");
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("card"));
  QTest::mouseClick(rename->findChild<QAbstractButton*>("Copy_Mode"), Qt::LeftButton);
  // Stay mode kept the target on the source: up one folder, then into the album.
  auto* outDir = rename->findChild<QListWidget*>("OutDir");
  openSubfolder(*outDir, QDir(QString::fromStdString(tree.root())).dirName());
  openSubfolder(*outDir, "album");
  EXPECT_EQ(key("ReName-OutDir"), tree.pathText("album"));
  QTest::qWait(50);
  screenshot(window, "rename-folder-view");

  QTest::mouseClick(rename->findChild<QAbstractButton*>("SettingOpen"), Qt::LeftButton);
  QTest::mouseClick(rename->findChild<QAbstractButton*>("FileNameFormat_Date"), Qt::LeftButton);
  QTest::mouseClick(rename->findChild<QAbstractButton*>("TimeStamp"), Qt::LeftButton);
  QTest::qWait(50);
  screenshot(window, "rename-detail-view");
  QTest::mouseClick(rename->findChild<QAbstractButton*>("SettingClose"), Qt::LeftButton);

  QTest::mouseClick(rename->findChild<QAbstractButton*>("Run"), Qt::LeftButton);
  EXPECT_EQ(tree.read("album/20020315_142305.JPG"), tree.read("card/DSC0001.JPG"));
  EXPECT_EQ(tree.read("album/20020316_090000.JPG"), tree.read("card/DSC0002.JPG"));
  QTest::qWait(50);
  screenshot(window, "rename-after-run");

  window.menuItem("Recovery")->trigger();
  QTest::qWait(50);
  ASSERT_NE(window.windows().panel(Panel::Recovery), nullptr);
  screenshot(*window.windows().subWindow(Panel::Recovery), "recovery");
}

}  // namespace
}  // namespace quillmere::panel::test
