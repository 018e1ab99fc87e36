#include <gtest/gtest.h>

#include <QCoreApplication>
#ifdef QUILLMERE_TEST_WIDGETS
#include <QApplication>
#endif
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cstdlib>

// Every test program starts here: one QCoreApplication, and a private home for all per-user
// files (configuration, data, trash), so no test touches the user's own settings.
int main(int argc, char** argv) {
  QTemporaryDir home(QDir::tempPath() + "/quillmere-test-home-XXXXXX");
  const QByteArray homePath = home.path().toUtf8();
  setenv("HOME", homePath.constData(), 1);
  setenv("XDG_CONFIG_HOME", (homePath + "/.config").constData(), 1);
  setenv("XDG_DATA_HOME", (homePath + "/.local/share").constData(), 1);
  setenv("XDG_CACHE_HOME", (homePath + "/.cache").constData(), 1);
  if (!getenv("QUILLMERE_SHUTDOWN_COMMAND")) setenv("QUILLMERE_SHUTDOWN_COMMAND", "/bin/true", 1);
  QStandardPaths::setTestModeEnabled(true);
#ifdef QUILLMERE_TEST_WIDGETS
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
#else
  QCoreApplication app(argc, argv);
#endif
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
