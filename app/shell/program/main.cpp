#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include "QtUiHook.h"
#include "StartUp.h"
#include "frmMain.h"
#include "platform/FileOps.h"
#include "run/Allocator.h"
#include "system/FileVersion.h"

QUILLMERE_FILE_VERSION_MARKER(QUILLMERE_VERSION_TEXT);

namespace {

// One running copy per user: a second start ends at once without a message. A lock left by a
// killed copy is taken over.
QString lockPath() {
  QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (dir.isEmpty()) dir = QDir::tempPath();
  return dir + "/quillmere.lock";
}

}  // namespace

int main(int argc, char** argv) {
  quillmere::tuneAllocatorForRuns();
  QApplication app(argc, argv);
  QApplication::setApplicationName("quillmere");

  QLockFile lock(lockPath());
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0)) return 0;

  quillmere::frmMain window;
  quillmere::QtUiHook hook(&window);
  quillmere::setUiHook(&hook);
  // Long copies and comparisons let the event loop run, so Cancel and the timer keep working.
  quillmere::platform::fileops::setYieldHandler([] { QApplication::processEvents(); });
  if (!quillmere::startUp(window, QCoreApplication::applicationFilePath().toStdString())) return 1;
  window.show();
  const int status = QApplication::exec();
  quillmere::platform::fileops::setYieldHandler({});
  quillmere::setUiHook(nullptr);
  return status;
}
