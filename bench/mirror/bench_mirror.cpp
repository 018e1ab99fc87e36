// The mirroring run against rsync on generated picture corpora, each side on its own identical
// copy of the corpus (the run compares last-access times, so one tool's reads must not disturb
// the other's tree). Four cases, in an order that keeps last-access times meaningful:
//   changed  originals -> the corpus's older mirror (stale, missing and extra files), preset 5
//            against rsync -a --delete
//   bytes    the same pair again with the byte comparison (preset 4: silently different files)
//            against rsync -a -c --delete
//   first    originals -> an empty folder, preset 5, against rsync -a --delete
//   nochange the same again, nothing to do
// usage: bench_mirror [--files N] [--scale S] [--work DIR] [--keep] [--corpus-script PATH]
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "core/Main.h"
#include "core/UiHook.h"
#include "mirror/MirrorEngine.h"
#include "mirror/MirrorSettings.h"
#include "platform/DriveMap.h"

namespace {

using namespace quillmere;

class NullView final : public RunView {
 public:
  void setLabel(std::string_view, const std::string&, int) override {}
  void yield() override {}
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string& text, int, const std::string&) override {
    std::fprintf(stderr, "message: %s\n", text.c_str());
    return msgbox::kOk;
  }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
};

int runCommand(const std::vector<std::string>& args) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool haveProgram(const char* name) {
  return runCommand({"sh", "-c", std::string("command -v ") + name + " >/dev/null"}) == 0;
}

// Sets every file's last-access time to its last-write time.
void restoreAccessTimes(const std::string& folder) {
  std::error_code ec;
  for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
       it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    struct stat st {};
    if (::lstat(it->path().c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    const timespec times[2] = {st.st_mtim, {0, UTIME_OMIT}};
    ::utimensat(AT_FDCWD, it->path().c_str(), times, AT_SYMLINK_NOFOLLOW);
  }
}

template <typename F>
double timed(F&& f) {
  const auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Case {
  const char* name;
  double ours;
  double peer;
  double target;  // the ratio we aim for
  mirror::MirrorReport report;
};

// Stores the run's options (outside the timed part: each settings write is flushed to disk).
void prepareRun(const std::string& ini, const std::string& master, const std::string& target,
                int preset) {
  // Whatever earlier steps left unwritten (the corpus itself, the peer's copies) is written out
  // first, so that the run's one flush at its end does not pay for it.
  ::sync();
  const auto& map = platform::DriveMap::current();
  mirror::MirrorSettings settings(ini, "c:\\");
  settings.choosePreset(preset);
  settings.put(mirror::key::kDustBox, "0");
  settings.put(mirror::key::kInDir, map.toPathText(master));
  settings.put(mirror::key::kOutDir, map.toPathText(target));
}

mirror::MirrorReport mirrorRun(const std::string& ini) {
  mirror::MirrorSettings settings(ini, "c:\\");
  NullView view;
  mirror::MirrorEngine engine(settings, view);
  return engine.run();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int files = 20000;
  std::string scale = "0.012";
  std::string work;
  std::string script = "/work/shared/bench/make_corpus.py";
  bool keep = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      files = std::atoi(argv[++i]);
    else if (a == "--scale" && i + 1 < argc)
      scale = argv[++i];
    else if (a == "--work" && i + 1 < argc)
      work = argv[++i];
    else if (a == "--corpus-script" && i + 1 < argc)
      script = argv[++i];
    else if (a == "--keep")
      keep = true;
    else {
      std::fprintf(stderr,
                   "usage: bench_mirror [--files N] [--scale S] [--work DIR] [--keep] "
                   "[--corpus-script PATH]\n");
      return 2;
    }
  }
  const bool rsync = haveProgram("rsync");
  if (!rsync) std::printf("rsync is not installed: the peer columns are skipped\n");

  QTemporaryDir temp(QString::fromStdString(
      (work.empty() ? std::filesystem::temp_directory_path().string() : work) +
      "/bench-mirror-XXXXXX"));
  temp.setAutoRemove(!keep);
  const std::string root = temp.path().toStdString();
  const std::string ini = platform::DriveMap::current().toPathText(root + "/quillmere.ini");
  const std::string ours = root + "/ours", peer = root + "/peer";

  std::printf("generating two identical corpora of %d files (scale %s) in %s ...\n", files,
              scale.c_str(), root.c_str());
  std::fflush(stdout);
  for (const std::string& out : {ours, peer}) {
    if (runCommand({"sh", "-c",
                    "python3 \"$0\" \"$1\" --files \"$2\" --scale \"$3\" --card-pct 0 "
                    ">/dev/null",
                    script, out, std::to_string(files), scale}) != 0) {
      std::fprintf(stderr, "corpus generation failed\n");
      return 1;
    }
  }
  // The generator reads the originals to make the mirror, which moves their last-access times
  // (relatime); the corpus means them to be equal to the mirror's, as a mirror made by a copy
  // that keeps times would leave them.
  for (const std::string& corpus : {ours, peer}) restoreAccessTimes(corpus + "/originals");
  std::filesystem::create_directories(ours + "/first");
  std::filesystem::create_directories(peer + "/first");

  auto rsyncRun = [&](std::vector<std::string> args) {
    ::sync();
    return timed([&] {
      if (runCommand(args) != 0) std::fprintf(stderr, "rsync failed\n");
    });
  };
  std::vector<Case> cases;
  {
    Case c{"changed re-run", 0, 0, 1.0, {}};
    prepareRun(ini, ours + "/originals", ours + "/mirror", 5);
    c.ours = timed([&] { c.report = mirrorRun(ini); });
    if (rsync)
      c.peer = rsyncRun({"rsync", "-a", "--delete", peer + "/originals/", peer + "/mirror/"});
    cases.push_back(c);
  }
  {
    Case c{"byte comparison", 0, 0, 1.0, {}};
    prepareRun(ini, ours + "/originals", ours + "/mirror", 4);
    c.ours = timed([&] { c.report = mirrorRun(ini); });
    if (rsync)
      c.peer = rsyncRun({"rsync", "-a", "-c", "--delete", peer + "/originals/", peer + "/mirror/"});
    cases.push_back(c);
  }
  {
    Case c{"first copy", 0, 0, 1.1, {}};
    prepareRun(ini, ours + "/originals", ours + "/first", 5);
    c.ours = timed([&] { c.report = mirrorRun(ini); });
    if (rsync)
      c.peer = rsyncRun({"rsync", "-a", "--delete", peer + "/originals/", peer + "/first/"});
    cases.push_back(c);
  }
  {
    Case c{"no-change re-run", 0, 0, 0.8, {}};
    prepareRun(ini, ours + "/originals", ours + "/first", 5);
    c.ours = timed([&] { c.report = mirrorRun(ini); });
    if (rsync)
      c.peer = rsyncRun({"rsync", "-a", "--delete", peer + "/originals/", peer + "/first/"});
    cases.push_back(c);
  }

  std::printf("\n%-18s %10s %10s %8s %7s   %s\n", "case", "ours s", "rsync s", "ratio", "target",
              "ours: replaced/copied/deleted/unchanged, problems");
  for (const Case& c : cases) {
    char ratio[32] = "-";
    if (rsync && c.peer > 0) std::snprintf(ratio, sizeof ratio, "%.2fx", c.ours / c.peer);
    std::printf("%-18s %10.3f %10.3f %8s %6.1fx   %lld/%lld/%lld/%lld, %zu\n", c.name, c.ours,
                c.peer, ratio, c.target, static_cast<long long>(c.report.replaced),
                static_cast<long long>(c.report.copied), static_cast<long long>(c.report.deleted),
                static_cast<long long>(c.report.unchanged), c.report.problems.size());
  }
  // Both tools must have produced the same trees.
  const int diff = runCommand({"diff", "-r", "-q", ours + "/mirror", peer + "/mirror"}) |
                   runCommand({"diff", "-r", "-q", ours + "/first", peer + "/first"});
  std::printf("\ntrees equal to rsync's: %s\n", rsync ? (diff == 0 ? "yes" : "NO") : "-");
  return 0;
}
