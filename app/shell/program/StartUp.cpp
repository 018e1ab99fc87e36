#include "StartUp.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QSettings>

#include "core/Main.h"
#include "core/UiHook.h"
#include "frmMain.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "settings/ValueText.h"
#include "shell/core/SettingsLocation.h"
#include "shell/core/ShellState.h"
#include "shell/timer/MainTimer.h"
#include "shell/widgets/frmMessage.h"

namespace quillmere {

namespace {

// Start-up steps run with errors ignored: a failing step is skipped.
template <typename Step>
void ignoringErrors(Step&& step) {
  try {
    step();
  } catch (const DllError&) {
  }
}

// The per-user application settings of the runtime (GetSetting/SaveSetting), kept under the
// application name "Q_Works".
QSettings userSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "Q_Works");
}

// The runtime components the program needs beside the library; on Linux the loader has
// already found the toolkit, so the check looks for the library's own files.
const char* const kRuntimeFiles[] = {"libquillmereDLL.so"};

bool runtimeFilesPresent(frmMain& window) {
  const QString checking = QString::fromUtf8("VB& DLLのチェック中です。");
  frmMessage message(&window);
  message.setText(checking);
  message.showCentred();
  const std::string folder = dll().DLL_GetFolderPath(37);
  bool allFound = true;
  for (const char* file : kRuntimeFiles) {
    message.setText(checking + "\n" + file + QString::fromUtf8("チェック中・・・"));
    QApplication::processEvents();
    std::string name = file;
    if (!dll().DLL_FileSerch(folder, name, false)) {
      allFound = false;
      break;
    }
  }
  message.close();
  return allFound;
}

// The Classic item and the themed-metrics flag: shown with the stored choice where the
// system has the two metrics, hidden with the classic metrics elsewhere.
void applyWindowMetrics(frmMain& window, ShellState& state) {
  QAction* classic = window.menuItem("Classic");
  if (dll().DLL_WindowsNT()) {
    state.themedMetrics = settings::flagOr(
        dll().DLL_GetStringFromINI(state.iniPath, "Main", "Window-Classic", "True"), true);
    classic->setChecked(!state.themedMetrics);
    classic->setVisible(true);
  } else {
    classic->setVisible(false);
    state.themedMetrics = false;
  }
}

void showRuntimeMissing() {
  const std::string text =
      std::string("　　　　　　　　VB6 DLLがインストールされていません。　　　　　　　　\n") +
      "　 ホームページからVB6 DLLをDownLoad後、インストールを実施して下さい。 \n" +
      "ホームページは　https://quillmere.example/　から入れます。\n" +
      "　　　　　　　　　　　　　　　　　　　　　　　　　　　(2002/02/01現在)";
  showMessage(text, msgbox::kCritical);
}

}  // namespace

bool startUp(frmMain& window, const std::string& programPath) {
  ShellState& state = shell();
  window.setWindowState(Qt::WindowMinimized);

  const QFileInfo program(QString::fromStdString(programPath));
  const std::string name = program.completeBaseName().toLower().toStdString();
  state.registrySection = name;
  state.settingsFileName = "\\" + name + ".ini";

  state.busy = 0;
  state.loading = true;
  state.panelStates.fill(kPanelClosed);
  state.ready = false;

  const std::string programFolderNative = program.absolutePath().toStdString();
  const auto& drives = platform::DriveMap::current();
  const std::string programFolder = drives.toPathText(programFolderNative);
  state.iniPath = drives.toPathText(settingsFileLocation(programFolderNative));

  bool runtimeOk = true;
  ignoringErrors([&] { state.programDrive = programDriveOf(programFolderNative); });
  ignoringErrors([&] {
    QSettings store = userSettings();
    store.setValue(QString::fromStdString(name) + "/SetupDir",
                   QString::fromStdString(dll().DLL_DirName(programFolder, 1)));
  });
  ignoringErrors([&] {
    QSettings store = userSettings();
    const QString flag = store.value("VB6DLL/VB6DLL-Flag").toString();
    if (flag.isEmpty() || !settings::flagOr(flag.toStdString(), false)) {
      const bool found = runtimeFilesPresent(window);
      store.setValue("VB6DLL/VB6DLL-Flag", found ? "True" : "False");
      if (!found) runtimeOk = false;
    }
  });
  if (!runtimeOk) {
    showRuntimeMissing();
    return false;
  }

  window.setWindowState(Qt::WindowNoState);
  for (QAction* action : window.findChildren<QAction*>()) action->setEnabled(true);
  ignoringErrors([&] { readPanelStates(state); });
  ignoringErrors([&] { window.windows().applyStartGeometry(); });
  QApplication::processEvents();
  window.timer().start();
  ignoringErrors([&] { applyWindowMetrics(window, state); });
  ignoringErrors([&] {
    window.windows().pass();
    window.windows().focusPass();
  });
  ignoringErrors([&] {
    if (!dll().DLL_FileCheck(state.settingsFileName)) window.windows().fit();
  });
  state.loading = false;
  QApplication::processEvents();
  return true;
}

}  // namespace quillmere
