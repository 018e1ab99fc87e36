#include <gtest/gtest.h>

#include "run/RunPlan.h"

namespace quillmere {
namespace {

RunPlan samplePlan() {
  RunPlan plan;
  plan.add(PlanStep::Kind::FolderMade, "", "C:\\pics\\Used");
  plan.add(PlanStep::Kind::Move, "C:\\work\\a.jpg", "C:\\pics\\Used\\a.jpg", 100);
  plan.add(PlanStep::Kind::Copy, "C:\\work\\b\tc.jpg", "C:\\out\\b.jpg", 20);
  plan.add(PlanStep::Kind::Trash, "C:\\pics\\a.jpg", "", 7);
  plan.add(PlanStep::Kind::Delete, "C:\\pics\\d.jpg", "", 3);
  plan.add(PlanStep::Kind::FolderGone, "C:\\work\\old", "");
  return plan;
}

TEST(RunPlan, SummaryCountsEachKindAndAddsTheBytes) {
  const PlanSummary s = samplePlan().summary();
  EXPECT_EQ(s.moves, 1);
  EXPECT_EQ(s.copies, 1);
  EXPECT_EQ(s.trashed, 1);
  EXPECT_EQ(s.deleted, 1);
  EXPECT_EQ(s.foldersMade, 1);
  EXPECT_EQ(s.foldersGone, 1);
  EXPECT_EQ(s.bytes, 130);
}

TEST(RunPlan, TextHasNativePathsOneStepALineAndTheSummary) {
  RunPlan plan = samplePlan();
  plan.setNote("a note");
  EXPECT_EQ(plan.asText(),
            "mkdir  /pics/Used\n"
            "move  /work/a.jpg -> /pics/Used/a.jpg  (100 bytes)\n"
            "copy  /work/b\tc.jpg -> /out/b.jpg  (20 bytes)\n"
            "trash  /pics/a.jpg  (7 bytes)\n"
            "delete  /pics/d.jpg  (3 bytes)\n"
            "rmdir  /work/old\n"
            "6 steps: 1 move, 1 copy, 1 trash, 1 delete, 1 mkdir, 1 rmdir; 130 bytes\n"
            "a note\n");
}

TEST(RunPlan, TsvKeepsFourFieldsPerLineWhateverTheNames) {
  EXPECT_EQ(samplePlan().asTsv(),
            "mkdir\t\t/pics/Used\t0\n"
            "move\t/work/a.jpg\t/pics/Used/a.jpg\t100\n"
            "copy\t/work/b\\tc.jpg\t/out/b.jpg\t20\n"
            "trash\t/pics/a.jpg\t\t7\n"
            "delete\t/pics/d.jpg\t\t3\n"
            "rmdir\t/work/old\t\t0\n");
  EXPECT_EQ(RunPlan().asTsv(), "");
}

}  // namespace
}  // namespace quillmere
