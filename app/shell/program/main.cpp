#include <QApplication>
#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include "QtUiHook.h"
#include "StartUp.h"
#include "frmMain.h"

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
  QApplication app(argc, argv);
  QApplication::setApplicationName("quillmere");

  QLockFile lock(lockPath());
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0)) return 0;

  quillmere::frmMain window;
  quillmere::QtUiHook hook(&window);
  quillmere::setUiHook(&hook);
  if (!quillmere::startUp(window, QCoreApplication::applicationFilePath().toStdString())) return 1;
  window.show();
  const int status = QApplication::exec();
  quillmere::setUiHook(nullptr);
  return status;
}
