#include <QAction>
#include <QListWidget>
#include <QMdiSubWindow>

#include <filesystem>

#include "frmMain.h"
#include "shell/panels/backup/frmBackUP.h"
#include "support/PanelHarness.h"

namespace quillmere::test {
namespace {

TEST(PersonAtTheBackupWindow, MakesANamedLzhBackupOfAFolder) {
  TempTree tree;
  shell() = ShellState{};
  shell().iniPath = tree.pathText("quillmere.ini");
  shell().programDrive = "c:\\";
  shell().ready = true;
  shell().themedMetrics = true;
  tree.write("Photos/2004/a.jpg", "first picture");
  tree.mkdir("Backup");
  for (const char* k : {"BackUP-InDir", "BackUP-OutDir"})
    dll().DLL_WriteStringINI(shell().iniPath, "BackUP", k, tree.pathText());
  {
    frmMain window;
    window.resize(700, 540);
    window.show();
    window.menuItem("BackUP")->trigger();
    auto* panel = qobject_cast<frmBackUP*>(window.windows().panel(Panel::BackUP));
    ASSERT_NE(panel, nullptr);
    QTest::qWait(50);
    auto press = [&](const char* name) {
      auto* b = panel->findChild<QAbstractButton*>(name);
      ASSERT_NE(b, nullptr) << name;
      QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(std::min(10, b->width() / 2), 5));
    };
    openFolderLine(*panel->findChild<QListWidget*>("InDir"), "Photos");
    openFolderLine(*panel->findChild<QListWidget*>("InDir"), "2004");
    openFolderLine(*panel->findChild<QListWidget*>("OutDir"), "Backup");
    press("SettingOpen");
    press("Dir");
    press("Exe");
    QTest::qWait(50);
    screenshot(*window.windows().subWindow(Panel::BackUP), "backup-detail-view");
    press("SettingClose");
    QTest::qWait(50);
    screenshot(*window.windows().subWindow(Panel::BackUP), "backup-folder-view");
    EXPECT_EQ(panel->findChild<QLabel*>("FileNameDefolt")->text(), "2004");
    EXPECT_EQ(panel->findChild<QLabel*>("kakuchou")->text(), ".lzh");
    press("lzh");
    QTest::qWait(50);
    screenshot(*window.windows().subWindow(Panel::BackUP), "backup-after-run");
  }
  EXPECT_TRUE(tree.exists("Backup/2004.lzh"));
  EXPECT_FALSE(tree.exists("Photos/2004/2004.lzh"));
  shell() = ShellState{};
}

}  // namespace
}  // namespace quillmere::test
