// A rename killed at any point loses no picture: after Recovery every original file's bytes
// exist exactly once, nothing else exists, and no parked file is left but those Recovery
// reports as blocked.

#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <random>
#include <set>

#include "RenameFixture.h"
#include "platform/Text.h"

namespace quillmere::rename::test {
namespace {

constexpr int kFiles = 2000;
constexpr int kKillsPerMode = 10;

// Kills its own process at the chosen point of the run.
class KillingView final : public RunView {
 public:
  enum class Phase { Park, BetweenParkAndSettle, Settle };
  KillingView(Phase phase, int fileNo) : m_phase(phase), m_fileNo(std::to_string(fileNo)) {}

  void setLabel(std::string_view name, const std::string& text, int) override {
    // A clash message ("File名重複！ ...") shows during a step without ending it.
    if (name == "Command" && text.rfind("File名重複", 0) != 0) m_command = text;
    if (name == "FileNo") m_no = text;
  }
  void yield() override {
    const bool parking = m_command == "移動中・・・";
    const bool settling = m_command == "リネーム中・・・";
    if ((m_phase == Phase::Park && parking && m_no == m_fileNo) ||
        (m_phase == Phase::BetweenParkAndSettle && settling) ||
        (m_phase == Phase::Settle && settling && m_no == m_fileNo))
      ::raise(SIGKILL);
  }
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string&) override { return 1; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}

 private:
  Phase m_phase;
  std::string m_fileNo;
  std::string m_command;
  std::string m_no;
};

// Camera-like files: day folders, bursts within one second, raw files, files without a date.
std::set<std::string> makeCards(TempTree& tree, std::mt19937& rng) {
  std::set<std::string> originals;
  int second = 0;
  for (int i = 0; i < kFiles; ++i) {
    if (rng() % 4 != 0) ++second;  // a quarter of the shots share the previous second
    const int day = 1 + (second / 300) % 28;
    char date[32];
    std::snprintf(date, sizeof date, "2019:06:%02d %02d:%02d:%02d", day, 8 + second / 3600 % 12,
                  second / 60 % 60, second % 60);
    const bool undated = rng() % 20 == 0;
    const std::string body = "picture " + std::to_string(i) + " " + std::to_string(rng());
    const std::string bytes = picture(undated ? "" : date, body);
    const char* ext = rng() % 5 == 0 ? ".NEF" : ".JPG";
    char name[64];
    std::snprintf(name, sizeof name, "in/2019_06_%02d/DSC%05d%s", day, i, ext);
    tree.write(name, bytes);
    originals.insert(bytes);
  }
  return originals;
}

bool parkedName(const std::string& path) {
  auto ends = [&](const std::string& e) {
    return path.size() >= e.size() &&
           text::equalsNoCase(std::string_view(path).substr(path.size() - e.size()), e);
  };
  return ends("Temp") || ends("Temp1");
}

class CrashSafetyTest : public ::testing::TestWithParam<Mode> {};

TEST_P(CrashSafetyTest, KilledRenamesAreRepairedWithoutLosingAPicture) {
  const Mode mode = GetParam();
  std::mt19937 rng(mode == Mode::Stay ? 20021 : 20022);
  const KillingView::Phase phases[] = {KillingView::Phase::Park,
                                       KillingView::Phase::BetweenParkAndSettle,
                                       KillingView::Phase::Settle};
  for (int kill = 0; kill < kKillsPerMode; ++kill) {
    const auto phase = phases[kill % 3];
    const int fileNo = 1 + static_cast<int>(rng() % kFiles);
    SCOPED_TRACE("kill " + std::to_string(kill) + ", phase " +
                 std::to_string(static_cast<int>(phase)) + ", file " + std::to_string(fileNo));

    TempTree tree;
    const std::set<std::string> originals = makeCards(tree, rng);
    const RenameSettings settings(tree.pathText("quillmere.ini"), "c:\\");
    settings.normaliseOnLoad();
    settings.setInDir(tree.pathText("in"));
    settings.chooseMode(mode);
    if (mode == Mode::Move) {
      tree.mkdir("out");
      settings.setOutDir(tree.pathText("out"));
    }

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      KillingView view(phase, fileNo);
      RenameEngine(settings, view).run();
      ::_exit(0);  // the kill point was never reached
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the run was not killed";

    RecordingRunView view;
    const RunReport repaired = RecoveryEngine(tree.pathText(), view).run();
    std::set<std::string> blocked;
    for (const auto& p : repaired.problems) {
      EXPECT_EQ(p.reason, Unhandled::NoFreeName) << p.path;
      blocked.insert(p.path);
    }

    std::multiset<std::string> found;
    for (const auto& f : tree.files()) {
      if (f == "quillmere.ini") continue;
      EXPECT_TRUE(f.rfind("in/", 0) == 0 || f.rfind("out/", 0) == 0) << f;
      const std::string bytes = tree.read(f);
      EXPECT_EQ(originals.count(bytes), 1u) << "not an original: " << f;
      found.insert(bytes);
      if (parkedName(f)) {
        EXPECT_EQ(blocked.count(tree.pathText(f)), 1u) << "left parked: " << f;
      }
    }
    for (const auto& bytes : originals) EXPECT_EQ(found.count(bytes), 1u);
    if (HasFailure()) return;
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, CrashSafetyTest, ::testing::Values(Mode::Stay, Mode::Move),
                         [](const auto& info) {
                           return std::string(info.param == Mode::Stay ? "Stay" : "Move");
                         });

}  // namespace
}  // namespace quillmere::rename::test
