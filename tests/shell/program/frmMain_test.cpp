#include <gtest/gtest.h>

#include <QAction>
#include <QCloseEvent>
#include <QMenu>
#include <QSettings>

#include "StartUp.h"
#include "core/Main.h"
#include "frmMain.h"
#include "shell/core/ShellState.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

class MainWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    shell() = ShellState{};
    shell().iniPath = tree.pathText("quillmere.ini");
  }
  std::string stored(const std::string& key) {
    return dll().DLL_GetStringFromINI(shell().iniPath, "Main", key, "absent");
  }

  test::TempTree tree;
};

TEST_F(MainWindow, MenuHoldsEveryItemWithItsCaption) {
  frmMain window;
  const std::pair<const char*, const char*> items[] = {
      {"ReName", "リネーム"},
      {"Duplication_File_Delete", "重複ファイル削除"},
      {"BackUP", "バックアップ"},
      {"Mirrorring", "ミラーリング"},
      {"FileBack", "ファイル書き戻し"},
      {"Recovery", "リカバリー"},
      {"Job", "Job"},
      {"Menu2", "Window整列"},
      {"Win0", "重ねて表示"},
      {"Win1", "左右に表示"},
      {"Win2", "上下に表示"},
      {"Win3", "並べて表示"},
      {"Win4", "全て閉じる"},
      {"Classic", "クラシック表示"},
      {"Version", "Version"},
      {"End", "終了"}};
  for (const auto& [name, caption] : items) {
    QAction* action = window.menuItem(name);
    ASSERT_NE(action, nullptr) << name;
    EXPECT_EQ(action->text(), QString::fromUtf8(caption)) << name;
  }
}

TEST_F(MainWindow, MenuOpensPanelsOnlyWhenNotLoading) {
  frmMain window;
  shell().loading = true;
  window.menuItem("BackUP")->trigger();
  EXPECT_EQ(shell().state(Panel::BackUP), 0);
  shell().loading = false;
  window.menuItem("BackUP")->trigger();
  window.menuItem("Version")->trigger();
  EXPECT_EQ(shell().state(Panel::BackUP), kPanelAskedToOpen);
  EXPECT_EQ(shell().state(Panel::Version), kPanelAskedToOpen);
  window.menuItem("Win4")->trigger();
  for (std::int32_t s : shell().panelStates) EXPECT_EQ(s, 0);
}

TEST_F(MainWindow, EndAndCloseBoxStoreThePanelStatesTimesThree) {
  for (bool viaCloseBox : {false, true}) {
    shell().panelStates = {1, 0, 3, 2, 0, 1, 0, 1};
    {
      frmMain window;
      if (viaCloseBox) {
        window.close();
      } else {
        window.menuItem("End")->trigger();
      }
    }
    EXPECT_EQ(stored("Window-FlagReName"), "3");
    EXPECT_EQ(stored("Window-FlagWFileDel"), "0");
    EXPECT_EQ(stored("Window-FlagBackUP"), "9");
    EXPECT_EQ(stored("Window-FlagMirrorring"), "6");
    EXPECT_EQ(stored("Window-FlagFileBack"), "0");
    EXPECT_EQ(stored("Window-FlagRecovery"), "3");
    EXPECT_EQ(stored("Window-FlagJob"), "0");
    EXPECT_EQ(stored("Window-FlagVersion"), "3");
    shell().panelStates.fill(0);
    readPanelStates(shell());
    EXPECT_EQ(shell().state(Panel::BackUP), 9);  // 3 or more: reopens at the next start
  }
}

TEST_F(MainWindow, ClassicItemInvertsTheStoredValueAndShowsTheOpposite) {
  frmMain window;
  window.menuItem("Classic")->trigger();
  EXPECT_EQ(stored("Window-Classic"), "False");
  EXPECT_TRUE(window.menuItem("Classic")->isChecked());
  EXPECT_FALSE(shell().themedMetrics);
  window.menuItem("Classic")->trigger();
  EXPECT_EQ(stored("Window-Classic"), "True");
  EXPECT_FALSE(window.menuItem("Classic")->isChecked());
}

TEST_F(MainWindow, StartUpReadsStoredStatesAndClearsLoading) {
  ::setenv("QUILLMERE_INI", tree.path("quillmere.ini").c_str(), 1);
  dll().DLL_WriteStringINI(shell().iniPath, "Main", "Window-FlagJob", "3");
  dll().DLL_WriteStringINI(shell().iniPath, "Main", "Window-FlagReName", "garbage");
  dll().DLL_WriteStringINI(shell().iniPath, "Main", "Window-Classic", "False");
  {
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "Q_Works");
    store.setValue("VB6DLL/VB6DLL-Flag", "True");  // the runtime-file check is skipped
  }
  frmMain window;
  ASSERT_TRUE(startUp(window, tree.path("quillmere")));
  ::unsetenv("QUILLMERE_INI");
  EXPECT_FALSE(shell().loading);
  EXPECT_EQ(shell().registrySection, "quillmere");
  EXPECT_EQ(shell().settingsFileName, "\\quillmere.ini");
  EXPECT_NE(shell().state(Panel::Job), 0);  // asked to open, or opened by a first tick
  EXPECT_EQ(shell().state(Panel::ReName), 0);
  EXPECT_FALSE(shell().themedMetrics);
  EXPECT_TRUE(window.menuItem("Classic")->isChecked());
}

TEST_F(MainWindow, FirstStartWithoutSettingsOpensNoPanel) {
  ::setenv("QUILLMERE_INI", tree.path("quillmere.ini").c_str(), 1);
  frmMain window;
  startUp(window, tree.path("quillmere"));
  ::unsetenv("QUILLMERE_INI");
  for (std::int32_t s : shell().panelStates) EXPECT_EQ(s, 0);
}

}  // namespace
}  // namespace quillmere
