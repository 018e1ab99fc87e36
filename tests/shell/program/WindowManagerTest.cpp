#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QThread>

#include <sys/stat.h>

#include "StartUp.h"
#include "core/Main.h"
#include "frmMain.h"
#include "settings/IniStore.h"
#include "shell/core/ShellState.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

class Windows : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
    shell().ready = true;
    shell().themedMetrics = true;
  }
  std::string stored(const std::string& key) {
    return dll().DLL_GetStringFromINI(shell().iniPath, "Main", key, "absent");
  }
  void store(const std::string& key, const std::string& value) {
    dll().DLL_WriteStringINI(shell().iniPath, "Main", key, value);
  }
  // 15 twips to the pixel on the offscreen screen (96 dpi).
  int px(int twips) { return window.windows().scale().toPixels(twips); }

  test::TempTree tree;
  frmMain window;
};

TEST_F(Windows, PanelsOpenAtTheirStoredPlacesAndClose) {
  ASSERT_EQ(window.screen()->logicalDotsPerInch(), 96);
  store("Window-BackUP-Top", "300");
  store("Window-BackUP-Left", "450");
  shell().state(Panel::BackUP) = 3;
  window.windows().pass();
  QMdiSubWindow* backup = window.windows().subWindow(Panel::BackUP);
  ASSERT_NE(backup, nullptr);
  EXPECT_EQ(shell().state(Panel::BackUP), kPanelOpen);
  EXPECT_EQ(backup->pos(), QPoint(30, 20));
  EXPECT_EQ(backup->size(), QSize(635, 438));  // 9525 x 6575 twips
  EXPECT_EQ(backup->widget()->objectName(), "frmBackUP");
  EXPECT_EQ(shell().busy, 0);

  backup->move(90, 60);
  window.windows().pass();
  EXPECT_EQ(stored("Window-BackUP-Top"), "900");
  EXPECT_EQ(stored("Window-BackUP-Left"), "1350");

  shell().state(Panel::BackUP) = 0;
  window.windows().pass();
  EXPECT_EQ(window.windows().subWindow(Panel::BackUP), nullptr);
  EXPECT_TRUE(window.area()->subWindowList().isEmpty());
}

TEST_F(Windows, NothingOpensBeforeReadyAndNoPlaceIsStoredWhileBusy) {
  shell().ready = false;
  shell().state(Panel::Job) = 3;
  window.windows().pass();
  EXPECT_EQ(window.windows().subWindow(Panel::Job), nullptr);
  shell().ready = true;
  window.windows().pass();
  ASSERT_NE(window.windows().subWindow(Panel::Job), nullptr);
  window.windows().raiseBusy();
  EXPECT_FALSE(window.windows().shellIdlePointer());
  window.windows().subWindow(Panel::Job)->move(15, 15);
  window.windows().pass();
  EXPECT_EQ(stored("Window-Job-Top"), "0");
  window.windows().lowerBusy();
  window.windows().pass();
  EXPECT_EQ(stored("Window-Job-Top"), "225");
}

TEST_F(Windows, StateTwoAsksThePanelToRereadItsFolders) {
  struct CountingPanel : PanelWindow {
    using PanelWindow::PanelWindow;
    void Path() override { ++rereads; }
    int rereads = 0;
  };
  CountingPanel* made = nullptr;
  window.windows().setPanelFactory([&](Panel p) { return made = new CountingPanel(p); });
  shell().state(Panel::Mirroring) = 3;
  window.windows().pass();
  shell().state(Panel::Mirroring) = 2;
  window.windows().pass();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->rereads, 1);
  EXPECT_EQ(shell().state(Panel::Mirroring), kPanelOpen);
}

TEST_F(Windows, AnIdlePassWritesNothing) {
  shell().state(Panel::ReName) = 3;
  shell().state(Panel::Job) = 3;
  window.windows().pass();
  window.windows().pass();
  struct stat before {};
  ASSERT_EQ(::stat(tree.path("quillmere.ini").c_str(), &before), 0);
  for (int i = 0; i < 50; ++i) window.windows().pass();
  struct stat after {};
  ASSERT_EQ(::stat(tree.path("quillmere.ini").c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);
  EXPECT_EQ(before.st_mtim.tv_nsec, after.st_mtim.tv_nsec);
  EXPECT_EQ(before.st_mtim.tv_sec, after.st_mtim.tv_sec);
}

TEST_F(Windows, CascadeAndTileFollowPanelOrderAndFitTheMainWindow) {
  for (Panel p : {Panel::Job, Panel::ReName, Panel::BackUP}) shell().state(p) = 3;
  window.windows().pass();
  window.menuItem("Win0")->trigger();
  EXPECT_EQ(window.windows().subWindow(Panel::ReName)->pos(), QPoint(0, 0));
  EXPECT_EQ(window.windows().subWindow(Panel::BackUP)->pos(), QPoint(20, 20));
  EXPECT_EQ(window.windows().subWindow(Panel::Job)->pos(), QPoint(40, 40));
  EXPECT_EQ(stored("Window-Menu-Height"), std::to_string(600 + 7433));
  EXPECT_EQ(stored("Window-Menu-Width"), std::to_string(600 + 9700));
  EXPECT_EQ(window.size(), QSize(px(10300), px(8033)));

  window.menuItem("Win3")->trigger();
  EXPECT_EQ(window.windows().subWindow(Panel::ReName)->pos(), QPoint(0, 0));
  EXPECT_EQ(window.windows().subWindow(Panel::BackUP)->pos(), QPoint(635, 0));
  EXPECT_EQ(window.windows().subWindow(Panel::Job)->pos(), QPoint(0, 438));
}

TEST_F(Windows, CloseAllAndClassicFitWithoutPanels) {
  shell().state(Panel::Recovery) = 3;
  window.windows().pass();
  window.menuItem("Win4")->trigger();
  for (std::int32_t s : shell().panelStates) EXPECT_EQ(s, 0);
  EXPECT_EQ(stored("Window-Menu-Height"), "7433");
  EXPECT_EQ(stored("Window-Menu-Width"), "9700");
  window.windows().pass();
  EXPECT_EQ(window.windows().subWindow(Panel::Recovery), nullptr);
  window.menuItem("Classic")->trigger();  // stored True -> False: classic metrics
  EXPECT_EQ(stored("Window-Menu-Height"), "7315");
}

TEST_F(Windows, StartGeometryIsCutDownToTheScreen) {
  const QSize screen = window.screen()->geometry().size();
  const int screenWidth = screen.width() * 15;
  store("Window-Menu-Width", std::to_string(screenWidth + 4640));
  store("Window-Menu-Top", "-300");
  store("Window-Menu-Left", "oops");
  window.windows().applyStartGeometry();
  EXPECT_EQ(stored("Window-Menu-Width"), std::to_string(screenWidth - 1));
  EXPECT_EQ(stored("Window-Menu-Top"), "0");
  EXPECT_EQ(window.pos(), QPoint(0, 0));
  EXPECT_EQ(window.width(), px(screenWidth - 1));
}

TEST_F(Windows, ThePanelTallerThanTheMainWindowCanBeScrolledIntoView) {
  window.windows().applyStartGeometry();  // the first size: 9525 x 6575 twips
  window.show();
  shell().state(Panel::Job) = 3;
  window.windows().pass();
  QCoreApplication::processEvents();
  const QMdiSubWindow* job = window.windows().subWindow(Panel::Job);
  ASSERT_NE(job, nullptr);
  const QWidget* room = window.area()->viewport();
  ASSERT_GT(job->geometry().bottom(), room->height());
  QScrollBar* bar = window.area()->verticalScrollBar();
  ASSERT_TRUE(bar->isVisible());
  bar->setValue(bar->maximum());
  QCoreApplication::processEvents();
  EXPECT_LE(job->geometry().bottom(), room->height());
}

TEST_F(Windows, MenuOpensAPanelAndAClosedBoxClosesItsState) {
  window.menuItem("Duplication_File_Delete")->trigger();
  QMdiSubWindow* panel = window.windows().subWindow(Panel::WFileDel);
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(window.area()->activeSubWindow(), panel);
  panel->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(shell().state(Panel::WFileDel), kPanelClosed);
}

TEST_F(Windows, HelpOpensTheFileFoundBelowTheHelpFolder) {
  tree.write("doc/html/QuMere_Help.html", "<html></html>");
  const std::string opener =
      // The record is written whole under another name first: the test may look at any moment.
      tree.write("bin/xdg-open",
                 "#!/bin/sh\nd=\"$(dirname \"$0\")\"\necho \"$1\" > \"$d/opening\" && "
                 "mv \"$d/opening\" \"$d/opened\"\n");
  ::chmod(opener.c_str(), 0755);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (tree.path("bin") + ":" + oldPath).c_str(), 1);
  store("Help", tree.pathText("doc"));
  window.menuItem("Help")->trigger();
  for (int i = 0; i < 200 && !tree.exists("bin/opened"); ++i) QThread::msleep(10);
  ::setenv("PATH", oldPath.c_str(), 1);
  ASSERT_TRUE(tree.exists("bin/opened"));
  EXPECT_NE(tree.read("bin/opened").find("QuMere_Help.html"), std::string::npos);
  EXPECT_EQ(window.menuItem("Help")->shortcut(), QKeySequence(Qt::Key_F1));
}

}  // namespace
}  // namespace quillmere
