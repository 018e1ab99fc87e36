#include "RenameFixture.h"
#include "support/Census.h"

namespace quillmere::rename::test {
namespace {

using Names = std::vector<std::string>;

class RecoveryTest : public RenameFixture {
 protected:
  RunReport recover(const std::string& folder = "pic") {
    return RecoveryEngine(tree.pathText(folder), view).run();
  }
};

TEST_F(RecoveryTest, ParkedFilesGetTheirNamesBackInEveryFolder) {
  tree.write("pic/DSC2002.NEFTemp", "a");
  tree.write("pic/sub/DSC2003.JPGtemp", "b");
  tree.write("pic/20020315_142305.JPEGTemp", "c");
  tree.write("pic/DSC2004.NEFTemp1", "d");
  tree.write("pic/Temp", "e");
  const RunReport report = recover();
  EXPECT_EQ(report.handled, 3);
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(namesIn("pic"), (Names{"20020315_142305.JPEG", "DSC2002.NEF", "DSC2004.NEFTemp1",
                                   "Temp", "sub/DSC2003.JPG"}));
  EXPECT_EQ(view.textsOf("FileMax").at(1), "5/ ");
  EXPECT_EQ(view.current["Command"], "");
}

TEST_F(RecoveryTest, ATakenNameIsNeverReplaced) {
  tree.write("pic/DSC2002.NEF", "the file that has the name");
  tree.write("pic/DSC2002.NEFTemp", "the parked file");
  const RunReport report = recover();
  EXPECT_EQ(report.handled, 0);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::NoFreeName);
  EXPECT_EQ(tree.read("pic/DSC2002.NEF"), "the file that has the name");
  EXPECT_EQ(tree.read("pic/DSC2002.NEFTemp"), "the parked file");
}

TEST_F(RecoveryTest, CancelLeavesTheRestForALaterRun) {
  for (int i = 0; i < 6; ++i) tree.write("pic/F" + std::to_string(i) + ".JPGTemp", "x");
  view.onYield = [&](int) {
    if (view.current["FileNo"] == "3") view.cancelled = true;
  };
  const RunReport report = recover();
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(report.handled, 3);
  RecordingRunView later;
  EXPECT_EQ(RecoveryEngine(tree.pathText("pic"), later).run().handled, 3);
}

TEST_F(RecoveryTest, ThePlanListsExactlyTheStepsTheRunTakesAndTouchesNothing) {
  tree.write("pic/DSC2002.NEFTemp", "a");
  tree.write("pic/sub/DSC2003.JPGtemp", "bb");
  tree.write("pic/DSC2004.NEFTemp1", "c");
  tree.write("pic/DSC2005.JPG", "taken");
  tree.write("pic/DSC2005.JPGTemp", "parked, name taken");
  const auto before = quillmere::test::censusOf(tree.path("pic"));
  const RunPlan plan = RecoveryEngine::plan(tree.pathText("pic"));
  EXPECT_EQ(quillmere::test::censusOf(tree.path("pic")), before);
  EXPECT_EQ(plan.summary().moves, 3);
  EXPECT_EQ(plan.summary().bytes, 1 + 2 + 18);
  // The taken name is in the plan and left by the run, as its note says.
  const RunReport report = recover();
  EXPECT_EQ(report.handled, 2);
  RunPlan done;
  for (const auto& step : plan.steps())
    if (step.to != tree.pathText("pic/DSC2005.JPG")) done.add(step.kind, step.from, step.to);
  EXPECT_EQ(quillmere::test::censusOf(tree.path("pic")),
            quillmere::test::afterPlan(before, done, tree.path("pic")));
}

TEST_F(RecoveryTest, AnEmptyOrMissingFolder) {
  tree.mkdir("pic");
  EXPECT_EQ(recover().handled, 0);
  EXPECT_TRUE(recover("nothing-here").refused);
}

}  // namespace
}  // namespace quillmere::rename::test
