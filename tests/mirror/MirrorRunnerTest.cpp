#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "core/Main.h"
#include "mirror/MirrorJournal.h"
#include "mirror/MirrorSettings.h"
#include "support/TempTree.h"

namespace quillmere::mirror {
namespace {

struct Outcome {
  int status;
  std::string output;
};

Outcome runner(const std::string& arguments) {
  const std::string command =
      std::string(QUILLMERE_BIN_DIR) + "/quillmere-run " + arguments + " 2>&1";
  Outcome o{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return o;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) o.output.append(buffer, n);
  const int status = ::pclose(pipe);
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return o;
}

class MirrorRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(std::string(QUILLMERE_BIN_DIR) + "/quillmere-run"))
      GTEST_SKIP() << "quillmere-run is not built";
    settings.load();
    settings.put(key::kDustBox, "0");
    settings.put(key::kInDir, tree.pathText("master"));
    settings.put(key::kOutDir, tree.pathText("mirror"));
    tree.write("master/a.jpg", "a");
    tree.mkdir("mirror");
  }
  std::string ini() const { return "--ini '" + tree.path("quillmere.ini") + "' "; }

  test::TempTree tree;
  MirrorSettings settings{tree.pathText("quillmere.ini"), "c:\\"};
};

TEST_F(MirrorRunnerTest, SetChoosesPresetsAsTheButtonsDoAndRefusesOthers) {
  Outcome o = runner(ini() + "--set OptionSelect=12 Mirrorring");
  EXPECT_EQ(o.status, 2) << o.output;
  o = runner(ini() + "--set Mirror1=maybe Mirrorring");
  EXPECT_EQ(o.status, 2) << o.output;
  EXPECT_FALSE(tree.exists("mirror/a.jpg"));

  // Preset 7 deletes master-only files: with an empty mirror that is every master file, which
  // the runner does only when told to.
  o = runner(ini() + "--set OptionSelect=7 Mirrorring");
  EXPECT_EQ(o.status, 1) << o.output;
  EXPECT_NE(o.output.find("マスター側のファイル 1 件のうち 1 件（すべて）"), std::string::npos)
      << o.output;
  EXPECT_NE(o.output.find("--allow-mass-delete"), std::string::npos) << o.output;
  // A run that stopped before changing anything leaves no --set value behind.
  EXPECT_EQ(settings.get(key::kMaster1, ""), "False");
  EXPECT_TRUE(tree.exists("master/a.jpg"));
  o = runner(ini() + "--set OptionSelect=7 --allow-mass-delete Mirrorring");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_FALSE(tree.exists("master/a.jpg"));

  tree.write("master/b.jpg", "b");
  o = runner(ini() + "--set OptionSelect=6 --set BinCheck=1 Mirrorring");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(settings.get(key::kOptionSelect, ""), "0");
  EXPECT_EQ(tree.read("mirror/b.jpg"), "b");
}

TEST_F(MirrorRunnerTest, ScheduledRunsOnlyWhenTheScheduleEnablesThisMoment) {
  // Timer off: nothing happens whatever the other keys say.
  std::array<bool, kWeekCount> week;
  week.fill(true);
  std::array<bool, kHourCount> hours;
  hours.fill(true);
  std::array<bool, kMinuteCount> minutes;
  minutes.fill(true);
  settings.setWeek(week);
  settings.setHours(hours);
  settings.setMinutes(minutes);
  Outcome o = runner(ini() + "--scheduled");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_FALSE(tree.exists("mirror/a.jpg"));

  settings.setCheck(key::kTimer, true);
  // The whole minute of a five-minute mark enables the run; a run that straddles a minute's
  // end may see either minute, so only the outcome is checked then.
  auto minuteNow = [] {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_min;
  };
  const int before = minuteNow();
  o = runner(ini() + "--scheduled");
  const int after = minuteNow();
  EXPECT_EQ(o.status, 0) << o.output;
  if (before == after) {
    if (before % 5 == 0)
      EXPECT_EQ(tree.read("mirror/a.jpg"), "a");
    else
      EXPECT_FALSE(tree.exists("mirror/a.jpg")) << "minute " << before;
  }

  o = runner(ini() + "--scheduled ReName");
  EXPECT_NE(o.status, 0);
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST_F(MirrorRunnerTest, RefusedRunsExitWithStatusOneAndSayWhyOnce) {
  settings.put(key::kOutDir, tree.pathText("nowhere"));
  Outcome o = runner(ini() + "Mirrorring");
  EXPECT_EQ(o.status, 1);
  EXPECT_EQ(occurrences(o.output, "ミラー側のディレクトリが見つかりません"), 1u) << o.output;
  EXPECT_EQ(o.output.find("マスター "), std::string::npos) << "no plan for a refused run";

  // A run that goes ahead says first what it will do, with native paths.
  settings.put(key::kOutDir, tree.pathText("mirror"));
  o = runner(ini() + "--set OptionSelect=5 Mirrorring");
  EXPECT_EQ(o.status, 0) << o.output;
  const auto plan = o.output.find("マスター " + tree.path("master") + " → ミラー " +
                                  tree.path("mirror") + "\nマスターだけのファイル: ミラーへコピー");
  EXPECT_NE(plan, std::string::npos) << o.output;
  EXPECT_LT(plan, o.output.find("ファイルのコピー中")) << o.output;
}

// The program's main timer and a crontab line may both start the schedule at the same minute:
// every mirroring run takes the run lock first, so the second one touches nothing.
TEST_F(MirrorRunnerTest, ARunWhileAnotherHoldsTheRunLockTouchesNothing) {
  const std::string data = tree.path("data");
  const char* before = std::getenv("XDG_DATA_HOME");
  const std::string saved = before ? before : "";
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  {
    MirrorJournal other(data + "/quillmere");
    ASSERT_EQ(other.lock(), MirrorJournal::Lock::Taken);
    const Outcome o = runner(ini() + "--set OptionSelect=5 Mirrorring");
    EXPECT_EQ(o.status, 1) << o.output;
    EXPECT_NE(o.output.find("another mirroring run"), std::string::npos) << o.output;
    EXPECT_FALSE(tree.exists("mirror/a.jpg"));
  }
  const Outcome o = runner(ini() + "--set OptionSelect=5 Mirrorring");
  if (before)
    ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
  else
    ::unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(o.status, 0) << o.output;
  EXPECT_EQ(tree.read("mirror/a.jpg"), "a");
}

}  // namespace
}  // namespace quillmere::mirror
