// The mirroring run's plan against the run it describes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <filesystem>
#include <string>

#include "core/Main.h"
#include "mirror/MirrorEngine.h"
#include "mirror/MirrorSettings.h"
#include "support/Census.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::mirror {
namespace {

using quillmere::test::afterPlan;
using quillmere::test::asExpected;
using quillmere::test::censusOf;
using quillmere::test::fileHash;
using quillmere::test::withoutTimes;

constexpr std::time_t kBase = 1700000000;

class MirrorPlanTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.mkdir("master");
    tree.mkdir("mirror");
    settings.load();
    settings.put(key::kInDir, tree.pathText("master"));
    settings.put(key::kOutDir, tree.pathText("mirror"));
    settings.put(key::kDustBox, "0");  // for good: the trash lies outside the tree
  }
  void TearDown() override { ::chdir("/"); }

  void write(const std::string& rel, const std::string& bytes, std::time_t mtime) {
    const std::string native = tree.write(rel, bytes);
    const timespec times[2] = {{mtime, 0}, {mtime, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), times, 0), 0);
  }

  // The plan, checked to leave the tree and the settings file as they were.
  RunPlan plan(MirrorReport* report = nullptr, bool allowMassDelete = false) {
    const auto before = censusOf(tree.root());
    const std::string settingsBefore = fileHash(tree.path("quillmere.ini"));
    RunPlan p;
    MirrorEngine engine(settings, view);
    engine.allowMassDelete(allowMassDelete);
    const MirrorReport r = engine.plan(p);
    if (report) *report = r;
    EXPECT_EQ(censusOf(tree.root()), before) << "the plan touched the tree";
    EXPECT_EQ(fileHash(tree.path("quillmere.ini")), settingsBefore);
    EXPECT_TRUE(view.messages.empty()) << "a plan asks nothing";
    return p;
  }

  // Plans, runs, and checks that the run did exactly what was planned.
  RunPlan planThenRun() {
    const auto before = censusOf(tree.root());
    const RunPlan p = plan();
    MirrorEngine engine(settings, view);
    const MirrorReport report = engine.run();
    EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
    const auto expected = afterPlan(before, p, tree.root());
    EXPECT_EQ(asExpected(expected, censusOf(tree.root())), withoutTimes(expected));
    return p;
  }

  test::TempTree tree;
  MirrorSettings settings{tree.pathText("quillmere.ini"), "c:\\"};
  test::RecordingRunView view;
};

TEST_F(MirrorPlanTest, EveryPresetPlansTheCopiesReplacementsAndDeletionsOfItsRun) {
  for (int preset = 1; preset <= 9; ++preset) {
    SCOPED_TRACE("preset " + std::to_string(preset));
    std::error_code ec;
    std::filesystem::remove_all(tree.path("master"), ec);
    std::filesystem::remove_all(tree.path("mirror"), ec);
    tree.mkdir("master");
    tree.mkdir("mirror");
    write("master/same.jpg", "same", kBase);
    write("mirror/same.jpg", "same", kBase);
    write("master/sub/mnew.jpg", "master new", kBase + 100);
    write("mirror/sub/mnew.jpg", "mirror old", kBase);
    write("master/rnew.jpg", "master old", kBase);
    write("mirror/rnew.jpg", "mirror new!", kBase + 100);
    write("master/sneaky.jpg", "AAAA", kBase);  // same details, other bytes
    write("mirror/sneaky.jpg", "BBBB", kBase);
    write("master/deep/er/monly.jpg", "m only", kBase);
    write("mirror/ronly.jpg", "r only", kBase);
    write("mirror/r2.jpg", "r two", kBase);
    write("mirror/r3.jpg", "r three", kBase);
    settings.choosePreset(preset);
    const RunPlan p = planThenRun();
    EXPECT_GE(p.summary().copies, 2);
  }
}

TEST_F(MirrorPlanTest, AMassDeleteIsPlannedAsTheRefusalItWouldBe) {
  settings.choosePreset(4);  // mirror-only files are deleted
  for (int i = 0; i < 3; ++i) write("mirror/m" + std::to_string(i) + ".jpg", "copy", kBase);
  MirrorReport report;
  RunPlan p = plan(&report);
  EXPECT_EQ(report.outcome, MirrorOutcome::MassDelete);
  EXPECT_NE(report.massDeleteText.find("3 件のうち 3 件"), std::string::npos)
      << report.massDeleteText;
  EXPECT_TRUE(p.empty());

  // Allowed ahead, the deletions are listed.
  p = plan(&report, true);
  EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
  EXPECT_EQ(p.summary().deleted, 3);
}

}  // namespace
}  // namespace quillmere::mirror
