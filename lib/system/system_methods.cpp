#include <QDBusConnection>
#include <QDBusMessage>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QThread>

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "settings/RegistryStore.h"
#include "system/FileVersion.h"

// Processes, windows, system information and the screen saver. Windows are the program's own:
// the library reaches them through the UI hook that the program installs.
namespace quillmere {

namespace {

bool looksLikeAddress(const std::string& text) {
  const std::size_t colon = text.find("://");
  if (colon != std::string::npos && colon > 1) return true;
  return text.rfind("mailto:", 0) == 0;
}

void yieldOnce() {
  if (UiHook* hook = uiHook()) hook->yield();
}

bool processRuns(std::int32_t pid) {
  return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

std::vector<UiHook::Window> windows() {
  UiHook* hook = uiHook();
  return hook == nullptr ? std::vector<UiHook::Window>{} : hook->topLevelWindows();
}

UiHook::ComboMetrics combo(std::int32_t hwnd) {
  UiHook* hook = uiHook();
  return hook == nullptr ? UiHook::ComboMetrics{} : hook->comboMetrics(hwnd);
}

bool sameTitleIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// Starts a program given as a path text, with its arguments; the process id, or 0.
qint64 startProgram(const std::string& commandLine) {
  QStringList parts = QProcess::splitCommand(QString::fromStdString(commandLine));
  if (parts.isEmpty()) return 0;
  const std::string program =
      platform::nativePathOf(parts.takeFirst().toStdString()).value_or(std::string());
  if (program.empty()) return 0;
  const QFileInfo info(QString::fromStdString(program));
  qint64 pid = 0;
  if (!QProcess::startDetached(info.absoluteFilePath(), parts, info.absolutePath(), &pid)) return 0;
  return pid;
}

// The screen-saver entries kept in the per-user store, as the desktop settings keep them.
constexpr const char* kDesktopKey = "Control Panel\\Desktop";
constexpr const char* kDisplaySettingsTitle = "画面のプロパティ";

void setDesktopValue(const char* name, const QString& value) {
  auto store = settings::registryStore();
  store->setValue(settings::registryGroup(settings::kCurrentUser, kDesktopKey) + "/" + name, value);
  store->sync();
}

QString desktopValue(const char* name) {
  auto store = settings::registryStore();
  return store->value(settings::registryGroup(settings::kCurrentUser, kDesktopKey) + "/" + name)
      .toString();
}

std::string themeFile(const Main& m) {
  return m.DLL_PathAdd(m.DLL_GetFolderPath(26), "Microsoft\\Windows\\Themes\\Custom.theme");
}

void runDesktopCommand(const QStringList& arguments) {
  QProcess::startDetached("xdg-screensaver", arguments);
}

}  // namespace

// ---- processes and documents --------------------------------------------------------------

void Main::DLL_OpenFile(std::int32_t /*hwnd*/, const std::string& InFileName,
                        const std::string& CmdLine, std::int32_t /*Window*/) const {
  std::string target = InFileName;
  DLL_DelrSpace(target);
  if (looksLikeAddress(target)) {
    QProcess::startDetached("xdg-open", {QString::fromStdString(target)});
    return;
  }
  const std::string native = platform::nativePathOf(target).value_or(std::string());
  if (native.empty()) return;
  const QFileInfo info(QString::fromStdString(native));
  if (info.isFile() && info.isExecutable()) {
    QProcess::startDetached(info.absoluteFilePath(),
                            QProcess::splitCommand(QString::fromStdString(CmdLine)),
                            info.absolutePath());
    return;
  }
  // Documents and folders go to the desktop's opener, without a shell in between.
  QProcess::startDetached("xdg-open", {info.absoluteFilePath()}, info.absolutePath());
}

void Main::DLL_AppWait(const std::string& FileName) const {
  bool waitFlag = false;
  DLL_AppWait(FileName, waitFlag);
}

void Main::DLL_AppWait(const std::string& FileName, bool& WaitFlag) const {
  const qint64 pid = startProgram(FileName);
  if (pid == 0) throw DllError(dllerr::kFileNotFound, "File not found");
  do {
    yieldOnce();
    QThread::msleep(100);
  } while (WaitFlag && processRuns(static_cast<std::int32_t>(pid)));
}

void Main::DLL_AppEnd(const std::string& WindowTitle) const {
  if (!DLL_WindowRunCheck(WindowTitle)) return;
  for (const UiHook::Window& w : windows()) {
    if (sameTitleIgnoringCase(w.title, WindowTitle)) {
      uiHook()->closeWindow(w.hwnd);
      return;
    }
  }
}

// Process handles are the process ids themselves.
std::int32_t Main::DLL_OpenProcess(std::int32_t Shell) const {
  return processRuns(Shell) ? Shell : 0;
}

std::int32_t Main::DLL_TerminateProcess(std::int32_t hProcess) const {
  return hProcess > 0 && ::kill(hProcess, SIGKILL) == 0 ? 1 : 0;
}

void Main::DLL_CloseHandle(std::int32_t /*hObject*/) const {}

void Main::DLL_CloseHandleName(const std::string& /*Name*/) const {}

// ---- windows ------------------------------------------------------------------------------

void Main::DLL_WindowList(StringArray& WindowList) const {
  const auto list = windows();
  WindowList.redim(0, static_cast<std::int32_t>(list.size()));
  std::int32_t i = 1;
  for (const UiHook::Window& w : list) {
    WindowList(i++) = w.title.substr(0, w.title.find('\0'));
  }
}

bool Main::DLL_WindowRunCheck(const std::string& WindowTitle) const {
  if (WindowTitle.empty()) return false;
  for (const UiHook::Window& w : windows())
    if (sameTitleIgnoringCase(w.title, WindowTitle)) return true;
  return false;
}

bool Main::DLL_HandleNameCheck(const std::string& Name) const {
  for (const UiHook::Window& w : windows())
    if (w.title == Name) return true;
  return false;
}

std::string Main::DLL_WindowName(const std::string& ExeName) const {
  try {
    StringArray before;
    StringArray after;
    DLL_WindowList(before);
    DLL_AppWait(ExeName);
    yieldOnce();
    DLL_WindowList(after);
    DLL_DimWFileDel_W(before, after);
    if (!DLL_XBoundString(after)) return {};
    for (std::int32_t i = after.lbound(); i <= after.ubound(); ++i) {
      if (after(i).empty()) continue;
      const std::string title = after(i);
      DLL_AppEnd(title);
      return title;
    }
  } catch (const DllError&) {
  }
  return {};
}

std::int32_t Main::DLL_ComboHight(std::int32_t hwnd, std::int32_t Palam, std::int32_t Hight) const {
  UiHook* hook = uiHook();
  return hook == nullptr ? 0 : hook->resizeWindow(hwnd, Palam, Hight);
}

void Main::DLL_YSetComboListRows(std::int32_t hwnd, std::int32_t Rows) const {
  const UiHook::ComboMetrics m = combo(hwnd);
  if (m.itemHeight < 0) return;
  DLL_ComboHight(hwnd, m.clientWidth, Rows * m.itemHeight + m.clientHeight + 2);
}

std::int32_t Main::DLL_GetitemHeight(std::int32_t hwnd) const {
  return combo(hwnd).itemHeight;
}

std::int32_t Main::DLL_GetDroppEdstate(std::int32_t hwnd) const {
  return combo(hwnd).droppedDown ? 1 : 0;
}

std::int32_t Main::DLL_ShowDoropDown(std::int32_t hwnd) const {
  UiHook* hook = uiHook();
  return hook != nullptr && hook->showComboList(hwnd) ? 1 : 0;
}

std::int32_t Main::DLL_DropDownComboClose(std::int32_t hwnd) const {
  if (UiHook* hook = uiHook()) hook->closeWindow(hwnd);
  return 0;
}

std::int32_t Main::DLL_FindString(std::int32_t hwnd) const {
  const UiHook::ComboMetrics m = combo(hwnd);
  return m.itemHeight >= 0 && m.itemCount > 0 ? 0 : -1;
}

std::int32_t Main::DLL_FindStringExact(std::int32_t hwnd) const {
  const UiHook::ComboMetrics m = combo(hwnd);
  return m.itemHeight >= 0 ? m.firstEmptyItem : -1;
}

void Main::DLL_DeleteMenu(std::int32_t hObject, LongArray& Target) const {
  UiHook* hook = uiHook();
  if (hook == nullptr || !Target.isDimensioned()) return;
  for (std::int32_t i = Target.ubound(); i >= Target.lbound(); --i)
    hook->removeSystemMenuItem(hObject, Target(i));
}

void Main::DLL_DeleteMenuResize(std::int32_t hObject) const {
  if (UiHook* hook = uiHook()) {
    hook->removeSystemMenuItem(hObject, 4);
    hook->removeSystemMenuItem(hObject, 2);
  }
}

std::int32_t Main::DLL_SetFormTop(std::int32_t hwnd, std::int32_t Palam) const {
  if (Palam != 0 && Palam != 1) return 0;
  UiHook* hook = uiHook();
  return hook == nullptr ? 0 : hook->setWindowTopmost(hwnd, Palam == 1);
}

// ---- system information -------------------------------------------------------------------

// Linux desktops always offer the themed window metrics that the NT family stood for.
bool Main::DLL_WindowsNT() const {
  return true;
}

std::string Main::DLL_GetUserName() const {
  std::vector<char> buffer(16384);
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found)
    return found->pw_name;
  return {};
}

std::string Main::DLL_GetVer(std::string& TargetFileName) const {
  const std::string native = platform::nativePathOf(TargetFileName).value_or(std::string());
  return native.empty() ? "0" : system::fileVersionOf(native);
}

// Shutdown: the program named by QUILLMERE_SHUTDOWN_COMMAND when set, else logind's power-off
// request on the system bus (an ordinary request that the system may refuse). Never a forced
// power-off and never a command of its own.
void Main::DLL_WinEnd() const {
  const char* command = std::getenv("QUILLMERE_SHUTDOWN_COMMAND");
  if (command != nullptr && *command != '\0') {
    QStringList parts = QProcess::splitCommand(QString::fromLocal8Bit(command));
    if (!parts.isEmpty()) {
      const QString program = parts.takeFirst();
      QProcess::startDetached(program, parts);
    }
    return;
  }
  QDBusMessage request =
      QDBusMessage::createMethodCall("org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "PowerOff");
  request << false;  // not interactive
  QDBusConnection::systemBus().call(request, QDBus::NoBlock);
}

// ---- screen saver -------------------------------------------------------------------------

std::string Main::DLL_SCRGet() const {
  return desktopValue("SCRNSAVE.EXE").toStdString();
}

void Main::DLL_SCRWrite(const std::string& SCRName) const {
  if (SCRName.size() < 3 || !text::equalsNoCase(SCRName.substr(SCRName.size() - 3), "scr")) return;
  DLL_AppEnd(kDisplaySettingsTitle);
  const std::string saver = DLL_PathAdd(DLL_GetFolderPath(37), text::asciiLower(SCRName));
  setDesktopValue("SCRNSAVE.EXE", QString::fromStdString(saver));
  DLL_WriteStringINI(themeFile(*this), "boot", "SCRNSAVE.EXE", saver);
}

void Main::DLL_SCRClr() const {
  DLL_AppEnd(kDisplaySettingsTitle);
  setDesktopValue("SCRNSAVE.EXE", "");
  DLL_WriteStringINI(themeFile(*this), "boot", "SCRNSAVE.EXE", "");
}

void Main::DLL_SCR_ON_OFF(bool SCRON) const {
  if (SCRON) {
    if (!DLL_SCRGet().empty()) setDesktopValue("ScreenSaveActive", "1");
    return;
  }
  DLL_SCRClr();
  setDesktopValue("ScreenSaveActive", "0");
}

// Linux desktops share no screen-saver settings page to open.
void Main::DLL_SCRPropatey() const {}

void Main::DLL_SCRRun() const {
  runDesktopCommand({"activate"});
}

}  // namespace quillmere
