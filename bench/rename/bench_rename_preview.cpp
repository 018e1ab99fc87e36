// The rename run's preview against the run's own decision phase (listing, survey, sort and
// numbering, up to the moment the first file is parked), on a generated tree of Stay-mode
// pictures. The preview makes the same decisions and then plans the park and settle steps on
// its picture of the files, so its time is compared with that phase alone.
//
//   bench_rename_preview [FILES]     (20000 by default; the tree is made and removed in /tmp)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/DriveMap.h"
#include "rename/RenameEngine.h"
#include "rename/RenameSettings.h"

namespace {

using Clock = std::chrono::steady_clock;

// Prints nothing and never cancels; notes the moment the run starts parking.
class PhaseView final : public quillmere::RunView {
 public:
  void setLabel(std::string_view name, const std::string& text, int) override {
    if (name == "Command" && (text == "移動中・・・" || text == "コピー中・・・") &&
        parkStart == Clock::time_point())
      parkStart = Clock::now();
  }
  void yield() override {}
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string&) override { return 1; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
  Clock::time_point parkStart;
};

// A picture head with an Exif date, one second apart per file, a hundred files a folder.
void makeTree(const std::filesystem::path& root, int files) {
  for (int i = 0; i < files; ++i) {
    const auto folder = root / ("d" + std::to_string(i / 100));
    if (i % 100 == 0) std::filesystem::create_directories(folder);
    char date[32];
    std::snprintf(date, sizeof date, "2003:05:%02d %02d:%02d:%02d", 1 + i / 86400 % 28,
                  i / 3600 % 24, i / 60 % 60, i % 60);
    std::ofstream(folder / ("DSC" + std::to_string(10000 + i) + ".JPG"), std::ios::binary)
        << std::string("\xFF\xD8\xFF\xE1 Exif ", 10) << date << " picture " << i << "\n";
  }
}

double since(Clock::time_point start, Clock::time_point end) {
  return std::chrono::duration<double>(end - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  using namespace quillmere;
  const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
  const fs::path root = fs::temp_directory_path() / "bench_rename_preview";
  fs::remove_all(root);
  makeTree(root / "in", files);
  const auto& map = platform::DriveMap::current();
  const rename::RenameSettings settings(map.toPathText((root / "q.ini").string()), "c:\\");
  settings.normaliseOnLoad();
  settings.chooseMode(rename::Mode::Stay);
  settings.setInDir(map.toPathText((root / "in").string()));

  auto start = Clock::now();
  const RunPlan plan = rename::RenameEngine::plan(settings);
  const double preview = since(start, Clock::now());

  PhaseView view;
  start = Clock::now();
  const rename::RunReport report = rename::RenameEngine(settings, view).run();
  const auto end = Clock::now();
  const double decisions =
      since(start, view.parkStart == Clock::time_point() ? end : view.parkStart);
  fs::remove_all(root);

  std::printf(
      "%d files: preview %.3f s (%zu steps), run %.3f s of which decisions %.3f s; "
      "preview / decisions = %.2f\n",
      files, preview, plan.steps().size(), since(start, end), decisions,
      decisions > 0 ? preview / decisions : 0.0);
  return report.failed || report.refused ? 1 : 0;
}
