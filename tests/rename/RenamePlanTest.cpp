// The rename run's plan against the run it describes.
#include "RenameFixture.h"
#include "support/Census.h"

namespace quillmere::rename::test {
namespace {

using quillmere::test::afterPlan;
using quillmere::test::asExpected;
using quillmere::test::censusOf;
using quillmere::test::fileHash;
using quillmere::test::withoutTimes;

const std::string kShot = "2002:03:15 14:23:05";
const std::string kShotName = "20020315_142305";
const std::string kLater = "2003:05:09 07:03:02";

class RenamePlanTest : public RenameFixture {
 protected:
  // Plans, runs, and checks that the run did exactly what was planned and that the plan
  // changed neither the tree nor the settings file.
  RunPlan planThenRun() {
    set("ReName-SubDirDel1", "0");
    set("ReName-SubDirDel2", "0");
    const auto before = censusOf(tree.root());
    const std::string settingsBefore = fileHash(tree.path("quillmere.ini"));
    RunReport planned;
    const RunPlan plan = RenameEngine::plan(settings, &planned);
    EXPECT_EQ(censusOf(tree.root()), before) << "the plan touched the tree";
    EXPECT_EQ(fileHash(tree.path("quillmere.ini")), settingsBefore);
    EXPECT_FALSE(planned.refused) << planned.message;
    const RunReport report = rename();
    auto expected = afterPlan(before, plan, tree.root());
    auto actual = asExpected(expected, censusOf(tree.root()));
    expected.erase("quillmere.ini");  // a numbering run stores its next number
    actual.erase("quillmere.ini");
    EXPECT_EQ(actual, withoutTimes(expected));
    EXPECT_EQ(report.problems.size(), 0u);
    return plan;
  }
  // The final paths the plan gives, relative to the tree.
  std::vector<std::string> targets(const RunPlan& plan) const {
    std::vector<std::string> out;
    const std::string root = tree.pathText() + "\\";
    for (const PlanStep& s : plan.steps())
      if (s.kind == PlanStep::Kind::Move || s.kind == PlanStep::Kind::Copy)
        out.push_back(s.to.substr(root.size()));
    return out;
  }
};

TEST_F(RenamePlanTest, StayPlansTheClashLettersAndExchangedNamesOfTheRun) {
  options(Mode::Stay);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0002.JPG", picture(kShot, "two"));
  tree.write("in/20030509_070302.JPG", picture(kShot, "holds a name it gives up"));
  tree.write("in/DSC0003.JPG", picture(kLater, "takes that name"));
  tree.write("in/sub/IMG_0001.JPG", picture("", "no date: keeps its name"));
  tree.write("in/sub/README", "no extension");
  const RunPlan plan = planThenRun();
  EXPECT_EQ(plan.summary().moves, 4) << "the two files that keep their names are no steps";
  EXPECT_EQ(plan.summary().foldersMade, 0);
}

TEST_F(RenamePlanTest, MoveMakesTheFoldersAndLettersAroundFilesAlreadyThere) {
  options(Mode::Move, NameFormat::Date, CaseOption::Lower);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/day2/DSC0002.JPG", picture(kLater, "two"));
  tree.write("in/day2/deeper/DSC0003.JPG", picture(kLater, "three"));
  tree.write("out/" + kShotName + ".jpg", picture(kShot, "an earlier run's file"));
  const RunPlan plan = planThenRun();
  EXPECT_EQ(plan.summary().foldersMade, 2);
  EXPECT_EQ(targets(plan), (std::vector<std::string>{"out\\" + kShotName + "a.jpg",
                                                     "out\\day2\\20030509_070302.jpg",
                                                     "out\\day2\\deeper\\20030509_070302.jpg"}));
}

TEST_F(RenamePlanTest, CopyAndNumberingPlanCopiesAndLeaveTheNextNumberUnwritten) {
  options(Mode::Copy, NameFormat::Number);
  set("ReName-AutoIncrement", "1");
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0002.JPG", picture(kLater, "two"));
  tree.write("in/day2/DSC0003.JPG", picture(kLater, "three"));
  const RunPlan plan = planThenRun();
  EXPECT_EQ(plan.summary().copies, 3);
  EXPECT_EQ(plan.summary().moves, 0);
}

}  // namespace
}  // namespace quillmere::rename::test
