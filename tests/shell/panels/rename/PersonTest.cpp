#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QListWidget>
#include <QMdiSubWindow>

#include <cstdlib>

#include "frmMain.h"
#include "rename/RenameFixture.h"
#include "shell/core/ShellState.h"
#include "shell/panels/FolderSide.h"
#include "shell/panels/rename/frmReName.h"
#include "shell/widgets/FolderWidgets.h"
#include "support/PanelHarness.h"

namespace quillmere::panel::test {
namespace {

using quillmere::test::openFolderLine;
using quillmere::test::screenshot;
using rename::test::picture;

// A rename panel on its own settings file, shown at the size the window manager gives it.
class RenamePerson : public quillmere::test::PanelHarness<frmReName> {
 protected:
  RenamePerson() : PanelHarness("ReName", QSize(635, 410)) {}
};

TEST_F(RenamePerson, APhotographerCopiesACardIntoDatedNamesFromTheMenu) {
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

  openFolderLine(*rename->findChild<QListWidget*>("InDir"), "card");
  EXPECT_EQ(key("ReName-InDir"), tree.pathText("card"));
  QTest::mouseClick(rename->findChild<QAbstractButton*>("Copy_Mode"), Qt::LeftButton);
  // Stay mode kept the target on the source: up one folder, then into the album.
  auto* outDir = rename->findChild<QListWidget*>("OutDir");
  openFolderLine(*outDir, QDir(QString::fromStdString(tree.root())).dirName());
  openFolderLine(*outDir, "album");
  EXPECT_EQ(key("ReName-OutDir"), tree.pathText("album"));
  QTest::qWait(50);
  screenshot(window, "rename-folder-view");

  QTest::mouseClick(rename->findChild<QAbstractButton*>("SettingOpen"), Qt::LeftButton);
  QTest::mouseClick(rename->findChild<QAbstractButton*>("FileNameFormat_Date"), Qt::LeftButton);
  QTest::mouseClick(rename->findChild<QAbstractButton*>("TimeStamp"), Qt::LeftButton);
  // The card-import options: off at first, each caption whole inside the settings frame.
  for (const char* name : {"MediaDate", "SkipImported", "Sidecars"}) {
    auto* box = rename->findChild<QCheckBox*>(name);
    ASSERT_NE(box, nullptr) << name;
    EXPECT_FALSE(box->isChecked()) << name;
    EXPECT_GE(box->width(), box->sizeHint().width()) << name;
    EXPECT_TRUE(box->parentWidget()->rect().contains(box->geometry())) << name;
    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_EQ(key(std::string("ReName-") + name), "1") << name;
  }
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
