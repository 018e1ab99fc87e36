#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QProcess>
#include <QThread>

#include <sys/stat.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "core/Main.h"
#include "core/UiHook.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using test::TempTree;

// A hook with a scripted set of windows and one combo box, recording what the library asks.
class FakeWindows final : public UiHook {
 public:
  FakeWindows() { setUiHook(this); }
  ~FakeWindows() override { setUiHook(nullptr); }

  int messageBox(const std::string&, int, const std::string&) override { return msgbox::kOk; }
  std::int32_t setWindowTopmost(std::int32_t hwnd, bool topmost) override {
    topmostCalls.emplace_back(hwnd, topmost);
    return 1;
  }
  std::vector<Window> topLevelWindows() override { return windows; }
  bool closeWindow(std::int32_t hwnd) override {
    closed.push_back(hwnd);
    return true;
  }
  std::int32_t resizeWindow(std::int32_t hwnd, std::int32_t w, std::int32_t h) override {
    resized = {hwnd, w, h};
    return 1;
  }
  ComboMetrics comboMetrics(std::int32_t hwnd) override {
    return hwnd == kCombo ? combo : ComboMetrics{};
  }
  bool removeSystemMenuItem(std::int32_t, std::int32_t position) override {
    removedPositions.push_back(position);
    return true;
  }

  static constexpr std::int32_t kCombo = 77;
  std::vector<Window> windows;
  ComboMetrics combo;
  std::vector<std::pair<std::int32_t, bool>> topmostCalls;
  std::vector<std::int32_t> closed;
  std::vector<std::int32_t> removedPositions;
  std::tuple<std::int32_t, std::int32_t, std::int32_t> resized{0, 0, 0};
};

TEST(SystemWindows, SetFormTopActsOnlyForZeroAndOne) {
  FakeWindows hook;
  EXPECT_EQ(dll().DLL_SetFormTop(5, 2), 0);
  EXPECT_TRUE(hook.topmostCalls.empty());
  EXPECT_EQ(dll().DLL_SetFormTop(5, 1), 1);
  EXPECT_EQ(dll().DLL_SetFormTop(5, 0), 1);
  ASSERT_EQ(hook.topmostCalls.size(), 2u);
  EXPECT_TRUE(hook.topmostCalls[0].second);
  EXPECT_FALSE(hook.topmostCalls[1].second);
}

TEST(SystemWindows, WindowListAndTitleChecks) {
  FakeWindows hook;
  hook.windows = {{1, "quillmere"}, {2, "確認"}};
  StringArray list;
  dll().DLL_WindowList(list);
  ASSERT_EQ(list.lbound(), 0);
  ASSERT_EQ(list.ubound(), 2);
  EXPECT_EQ(list(0), "");
  EXPECT_EQ(list(1), "quillmere");
  EXPECT_EQ(list(2), "確認");
  EXPECT_FALSE(dll().DLL_WindowRunCheck(""));
  EXPECT_TRUE(dll().DLL_WindowRunCheck("QUILLMERE"));
  EXPECT_FALSE(dll().DLL_HandleNameCheck("QUILLMERE"));
  EXPECT_TRUE(dll().DLL_HandleNameCheck("quillmere"));
  dll().DLL_AppEnd("Quillmere");
  EXPECT_EQ(hook.closed, std::vector<std::int32_t>{1});
  dll().DLL_AppEnd("absent");
  EXPECT_EQ(hook.closed.size(), 1u);
}

TEST(SystemWindows, ComboListRowsAndLookups) {
  FakeWindows hook;
  hook.combo.itemHeight = 16;
  hook.combo.clientHeight = 20;
  hook.combo.clientWidth = 150;
  hook.combo.itemCount = 3;
  hook.combo.firstEmptyItem = 2;
  dll().DLL_YSetComboListRows(FakeWindows::kCombo, 14);
  EXPECT_EQ(hook.resized, std::make_tuple(FakeWindows::kCombo, 150, 246));
  EXPECT_EQ(dll().DLL_GetitemHeight(FakeWindows::kCombo), 16);
  EXPECT_EQ(dll().DLL_FindString(FakeWindows::kCombo), 0);
  EXPECT_EQ(dll().DLL_FindStringExact(FakeWindows::kCombo), 2);
  EXPECT_EQ(dll().DLL_GetitemHeight(1), -1);
  EXPECT_EQ(dll().DLL_FindString(1), -1);
  hook.combo.itemCount = 0;
  EXPECT_EQ(dll().DLL_FindString(FakeWindows::kCombo), -1);
}

TEST(SystemWindows, MenuItemsGoFromTheLastEntryToTheFirst) {
  FakeWindows hook;
  LongArray target = LongArray::fromList({2, 4, 6});
  dll().DLL_DeleteMenu(9, target);
  EXPECT_EQ(hook.removedPositions, (std::vector<std::int32_t>{6, 4, 2}));
  hook.removedPositions.clear();
  dll().DLL_DeleteMenuResize(9);
  EXPECT_EQ(hook.removedPositions, (std::vector<std::int32_t>{4, 2}));
  LongArray none;
  dll().DLL_DeleteMenu(9, none);  // an undimensioned list removes nothing
}

TEST(SystemWindows, WithoutAHookNothingIsReportedAsDone) {
  EXPECT_EQ(dll().DLL_SetFormTop(5, 1), 0);
  EXPECT_FALSE(dll().DLL_WindowRunCheck("quillmere"));
  StringArray list;
  dll().DLL_WindowList(list);
  EXPECT_EQ(list.ubound(), 0);
}

TEST(SystemInfo, VersionMarkerIsReadFromOurFilesOnly) {
  TempTree tree;
  std::string none = tree.pathText("plain.bin");
  tree.write("plain.bin", std::string(5000, 'Q') + "QUILLMERE-FILEVERSION:x");
  EXPECT_EQ(dll().DLL_GetVer(none), "0");
  // A marker cut by the reader's buffer boundary is still found.
  std::string marked = tree.pathText("marked.bin");
  tree.write("marked.bin", std::string((1 << 20) - 10, '\0') + "QUILLMERE-FILEVERSION:1.2.0.5");
  EXPECT_EQ(dll().DLL_GetVer(marked), "1.2.0.5");
  std::string library = test::toPathText(std::string(QUILLMERE_BIN_DIR) + "/libquillmereDLL.so");
  EXPECT_NE(dll().DLL_GetVer(library), "0");
  std::string missing = tree.pathText("missing.exe");
  EXPECT_EQ(dll().DLL_GetVer(missing), "0");
}

TEST(SystemInfo, UserNameAndPlatform) {
  EXPECT_FALSE(dll().DLL_GetUserName().empty());
  EXPECT_TRUE(dll().DLL_WindowsNT());
}

bool waitForFile(const std::string& path) {
  for (int i = 0; i < 100; ++i) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::string script(TempTree& tree, const std::string& name, const std::string& body) {
  const std::string path = tree.write(name, "#!/bin/sh\n" + body + "\n");
  ::chmod(path.c_str(), 0755);
  return path;
}

TEST(SystemProcesses, ShutdownRunsTheConfiguredCommandOnly) {
  TempTree tree;
  const std::string marker = tree.path("shutdown.txt");
  const std::string command = script(tree, "fake-poweroff", "echo requested > " + marker);
  const char* previous = std::getenv("QUILLMERE_SHUTDOWN_COMMAND");
  const std::string saved = previous ? previous : "";
  ::setenv("QUILLMERE_SHUTDOWN_COMMAND", command.c_str(), 1);
  dll().DLL_WinEnd();
  ::setenv("QUILLMERE_SHUTDOWN_COMMAND", saved.c_str(), 1);
  EXPECT_TRUE(waitForFile(marker));
}

TEST(SystemProcesses, DocumentsAndAddressesGoToTheDesktopOpener) {
  TempTree tree;
  const std::string log = tree.path("opened.txt");
  script(tree, "bin/xdg-open", "echo \"$1\" >> " + log);
  const std::string oldPath = std::getenv("PATH");
  ::setenv("PATH", (tree.path("bin") + ":" + oldPath).c_str(), 1);
  tree.write("docs/help.html", "<html/>");
  dll().DLL_OpenFile(0, "\"" + tree.pathText("docs\\help.html") + "\"", "", 5);
  ASSERT_TRUE(waitForFile(log));
  dll().DLL_OpenFile(0, "https://quillmere.example/update", "", 5);
  for (int i = 0; i < 100 && tree.read("opened.txt").find("https") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ::setenv("PATH", oldPath.c_str(), 1);
  EXPECT_EQ(tree.read("opened.txt"),
            tree.path("docs/help.html") + "\nhttps://quillmere.example/update\n");
}

TEST(SystemProcesses, AppWaitWaitsForTheProgramWhenAsked) {
  TempTree tree;
  const std::string done = tree.path("done.txt");
  script(tree, "slow.sh", "sleep 0.3; echo done > " + done);
  bool wait = true;
  dll().DLL_AppWait(tree.pathText("slow.sh"), wait);
  EXPECT_EQ(tree.read("done.txt"), "done\n");
  EXPECT_THROW(dll().DLL_AppWait(tree.pathText("no-such-program")), DllError);
}

TEST(SystemProcesses, OpenAndTerminateAProcess) {
  QProcess sleeper;
  sleeper.start("sleep", {"30"});
  ASSERT_TRUE(sleeper.waitForStarted());
  const auto pid = static_cast<std::int32_t>(sleeper.processId());
  const std::int32_t handle = dll().DLL_OpenProcess(pid);
  EXPECT_NE(handle, 0);
  EXPECT_NE(dll().DLL_TerminateProcess(handle), 0);
  EXPECT_TRUE(sleeper.waitForFinished(5000));
  dll().DLL_CloseHandle(handle);
  EXPECT_EQ(dll().DLL_OpenProcess(0), 0);
}

TEST(SystemScreenSaver, NameIsStoredAndCleared) {
  EXPECT_EQ(dll().DLL_SCRGet(), "");
  dll().DLL_SCRWrite("notasaver.exe");
  EXPECT_EQ(dll().DLL_SCRGet(), "");
  dll().DLL_SCRWrite("Stars.SCR");
  EXPECT_NE(dll().DLL_SCRGet().find("stars.scr"), std::string::npos);
  dll().DLL_SCR_ON_OFF(false);
  EXPECT_EQ(dll().DLL_SCRGet(), "");
}

}  // namespace
}  // namespace quillmere
