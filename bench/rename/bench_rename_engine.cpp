// The rename run inside one process, without the process around it: reads the options of a
// settings file (as quillmere-run would), points the source folder at FOLDER and times
// RenameEngine::run alone. rename_e2e.py prints its figure beside the whole-process ratios.
//
//   bench_rename_engine SETTINGS FOLDER     (the settings file is left as it was)
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/DriveMap.h"
#include "rename/RenameEngine.h"
#include "rename/RenameSettings.h"

namespace {

// Prints nothing and never cancels.
class QuietView final : public quillmere::RunView {
 public:
  std::chrono::milliseconds yieldInterval() const override { return std::chrono::milliseconds(25); }
  void setLabel(std::string_view, const std::string&, int) override {}
  void yield() override {}
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string&) override { return 1; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
};

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using namespace quillmere;
  if (argc != 3) {
    std::fprintf(stderr, "usage: bench_rename_engine SETTINGS FOLDER\n");
    return 2;
  }
  const fs::path copy = fs::temp_directory_path() / "bench_rename_engine.ini";
  fs::copy_file(argv[1], copy, fs::copy_options::overwrite_existing);
  const auto& map = platform::DriveMap::current();
  const rename::RenameSettings settings(map.toPathText(copy.string()), "c:\\");
  settings.setInDir(map.toPathText(fs::absolute(argv[2]).lexically_normal().string()));
  QuietView view;
  const auto start = std::chrono::steady_clock::now();
  const rename::RunReport report = rename::RenameEngine(settings, view).run();
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  fs::remove(copy);
  std::printf("%.4f %lld %zu\n", seconds, static_cast<long long>(report.handled),
              report.problems.size());
  return report.failed || report.refused ? 1 : 0;
}
