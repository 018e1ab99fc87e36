#include <QAction>
#include <QDir>
#include <QListWidget>
#include <QMdiSubWindow>

#include "frmMain.h"
#include "shell/panels/duplicates/frmFileBack.h"
#include "shell/panels/duplicates/frmWFileDel.h"
#include "support/PanelHarness.h"

namespace quillmere::test {
namespace {

// A person's walk through one panel from the main window's menu.
class PersonAtTheWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().programDrive = "c:\\";
    shell().ready = true;
    shell().themedMetrics = true;
  }
  void TearDown() override { shell() = ShellState{}; }

  template <typename P>
  P* openFromMenu(frmMain& window, const char* item, Panel panel) {
    window.resize(700, 540);
    window.show();
    window.menuItem(item)->trigger();
    auto* opened = qobject_cast<P*>(window.windows().panel(panel));
    EXPECT_NE(opened, nullptr);
    QTest::qWait(50);
    return opened;
  }
  void into(QWidget& panel, const char* list, const char* folder) {
    openFolderLine(*panel.findChild<QListWidget*>(list), folder);
  }
  void press(QWidget& panel, const char* name) {
    auto* button = panel.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(std::min(10, button->width() / 2), 5));
  }
  std::string key(const char* section, const char* name) {
    return dll().DLL_GetStringFromINI(shell().iniPath, section, name, "");
  }

  TempTree tree;
};

TEST_F(PersonAtTheWindow, ClearsTheCardOfPicturesAlreadyOnTheDisk) {
  tree.write("disk/2003/a.jpg", "picture a");
  tree.write("card/DCIM/IMG_0001.JPG", "picture a");
  tree.write("card/DCIM/IMG_0002.JPG", "picture b");
  dll().DLL_WriteStringINI(shell().iniPath, "WFileDel", "WFileDel-InDir", tree.pathText());
  dll().DLL_WriteStringINI(shell().iniPath, "WFileDel", "WFileDel-OutDir", tree.pathText());
  frmMain window;
  auto* panel = openFromMenu<frmWFileDel>(window, "Duplication_File_Delete", Panel::WFileDel);
  ASSERT_NE(panel, nullptr);
  into(*panel, "InDir", "disk");
  into(*panel, "OutDir", "card");
  EXPECT_EQ(key("WFileDel", "WFileDel-InDir"), tree.pathText("disk"));
  EXPECT_EQ(key("WFileDel", "WFileDel-OutDir"), tree.pathText("card"));
  QTest::qWait(50);
  screenshot(*window.windows().subWindow(Panel::WFileDel), "duplicate-delete-folder-view");
  press(*panel, "SettingOpen");
  press(*panel, "OutFileDel");  // straight deletion, no trash
  QTest::qWait(50);
  screenshot(*window.windows().subWindow(Panel::WFileDel), "duplicate-delete-detail-view");
  press(*panel, "SettingClose");
  press(*panel, "Del");
  EXPECT_FALSE(tree.exists("card/DCIM/IMG_0001.JPG"));
  EXPECT_EQ(tree.read("card/DCIM/IMG_0002.JPG"), "picture b");
  EXPECT_EQ(tree.read("disk/2003/a.jpg"), "picture a");
}

TEST_F(PersonAtTheWindow, MovesEditedPicturesBackBesideTheirOriginals) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  dll().DLL_WriteStringINI(shell().iniPath, "FileBack", "FileBack-InDir", tree.pathText());
  dll().DLL_WriteStringINI(shell().iniPath, "FileBack", "FileBack-OutDir", tree.pathText());
  frmMain window;
  auto* panel = openFromMenu<frmFileBack>(window, "FileBack", Panel::FileBack);
  ASSERT_NE(panel, nullptr);
  into(*panel, "InDir", "work");
  into(*panel, "OutDir", "pics");
  QTest::qWait(50);
  screenshot(*window.windows().subWindow(Panel::FileBack), "file-back-folder-view");
  press(*panel, "SettingOpen");
  press(*panel, "OutFileDel");
  QTest::qWait(50);
  screenshot(*window.windows().subWindow(Panel::FileBack), "file-back-detail-view");
  press(*panel, "SettingClose");
  press(*panel, "FileBack");
  EXPECT_EQ(tree.read("pics/2003/Used/IMG_0001.JPG"), "edited");
  EXPECT_FALSE(tree.exists("pics/2003/IMG_0001.JPG"));
  EXPECT_FALSE(tree.exists("work"));  // the emptied source folder went
}

}  // namespace
}  // namespace quillmere::test
