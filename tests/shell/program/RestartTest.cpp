#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSettings>

#include <cstdlib>

#include "StartUp.h"
#include "core/Main.h"
#include "frmMain.h"
#include "shell/core/ShellState.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

// Saves a picture of the window when QUILLMERE_SCREENSHOT_DIR names a folder (the Xvfb run).
void screenshot(QWidget& window, const QString& name) {
  const char* folder = std::getenv("QUILLMERE_SCREENSHOT_DIR");
  if (folder == nullptr || *folder == '\0') return;
  QDir().mkpath(folder);
  window.grab().save(QString(folder) + "/" + name + ".png");
}

// Lets the event loop run for a while (the main timer ticks meanwhile).
void wait(int ms) {
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

// Starts the program's main window as the program does and lets the first ticks run.
void start(frmMain& window, const std::string& programPath) {
  ASSERT_TRUE(startUp(window, programPath));
  window.show();
  wait(300);
}

TEST(Restart, PanelsOpenedFromTheMenuComeBackWhereTheyWereLeft) {
  test::TempTree tree;
  ::setenv("QUILLMERE_INI", tree.path("quillmere.ini").c_str(), 1);
  {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "Q_Works");
    store.setValue("VB6DLL/VB6DLL-Flag", "True");
  }
  shell() = ShellState{};
  {
    frmMain window;
    start(window, tree.path("quillmere"));
    window.menuItem("ReName")->trigger();
    window.menuItem("Mirrorring")->trigger();
    QMdiSubWindow* mirror = window.windows().subWindow(Panel::Mirroring);
    ASSERT_NE(mirror, nullptr);
    ASSERT_NE(window.windows().subWindow(Panel::ReName), nullptr);
    window.menuItem("Win1")->trigger();
    wait(50);
    screenshot(window, "side-by-side");
    window.menuItem("Win0")->trigger();
    wait(50);
    screenshot(window, "cascade");
    mirror->move(60, 40);
    wait(100);  // the timer's passes store the new place
    screenshot(window, "moved");
    window.menuItem("End")->trigger();
  }
  EXPECT_EQ(dll().DLL_GetStringFromINI(shell().iniPath, "Main", "Window-FlagMirrorring", ""), "3");
  shell() = ShellState{};
  {
    frmMain window;
    start(window, tree.path("quillmere"));
    QMdiSubWindow* mirror = window.windows().subWindow(Panel::Mirroring);
    ASSERT_NE(mirror, nullptr);
    EXPECT_EQ(mirror->pos(), QPoint(60, 40));
    EXPECT_NE(window.windows().subWindow(Panel::ReName), nullptr);
    screenshot(window, "restarted");
    window.menuItem("Win3")->trigger();
    wait(50);
    screenshot(window, "tile");
    window.menuItem("End")->trigger();
  }
  ::unsetenv("QUILLMERE_INI");
}

}  // namespace
}  // namespace quillmere
