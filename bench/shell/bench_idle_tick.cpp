// The main timer's idle tick with four open panels: ticks per second and the settings-file
// writes they cause (none are expected: an unchanged position touches no file).
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "frmMain.h"
#include "platform/DriveMap.h"
#include "shell/core/ShellState.h"
#include "shell/timer/MainTimer.h"

using namespace quillmere;

namespace {

// Counts files written or moved into the folder since the watch began.
int countWrites(int watch) {
  char buffer[64 * 1024];
  int writes = 0;
  while (true) {
    const ssize_t n = ::read(watch, buffer, sizeof buffer);
    if (n <= 0) return writes;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) ++writes;
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  QTemporaryDir folder;
  ShellState& state = shell();
  state.iniPath =
      platform::DriveMap::current().toPathText(folder.filePath("quillmere.ini").toStdString());
  state.ready = true;

  frmMain window;
  window.show();
  for (Panel p : {Panel::ReName, Panel::BackUP, Panel::Mirroring, Panel::Job})
    state.state(p) = kPanelAskedToOpen;
  window.timer().tick();
  window.timer().tick();

  const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  inotify_add_watch(watch, folder.path().toLocal8Bit().constData(), IN_CLOSE_WRITE | IN_MOVED_TO);
  const int ticks = argc > 1 ? std::atoi(argv[1]) : 2000;
  QElapsedTimer clock;
  clock.start();
  for (int i = 0; i < ticks; ++i) window.timer().tick();
  const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
  const int writes = countWrites(watch);
  ::close(watch);
  std::printf(
      "idle tick, 4 open panels: %d ticks, %.3f ms per tick, %.0f ticks/s, %d file writes\n", ticks,
      seconds * 1000 / ticks, ticks / seconds, writes);
  return writes == 0 ? 0 : 1;
}
