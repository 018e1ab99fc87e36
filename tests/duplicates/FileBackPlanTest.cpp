// The file back's plan against the run it describes.
#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "core/Main.h"
#include "duplicates/FileBack.h"

namespace quillmere::duplicates {
namespace {

class FileBackPlanTest : public test_support::EngineTest {
 protected:
  FileBackRunOptions options() const {
    FileBackRunOptions o;
    o.sourceDir = tree.pathText("work");
    o.destDir = tree.pathText("pics");
    o.sourceSubDirs = o.destSubDirs = true;
    o.deleteNamesake = true;
    o.recycleOnFixedDrive = false;  // for good: the trash lies outside the tree
    o.confirmOnRemovable = false;
    return o;
  }
  RunPlan planThenRun(const FileBackRunOptions& o) {
    return EngineTest::planThenRun([&] { return planFileBack(o); }, [&] { runFileBack(o, view); });
  }
};

TEST_F(FileBackPlanTest, SubfolderMovesAndDeletedNamesakesAreThoseOfTheRun) {
  tree.write("work/IMG_0001.JPG", "edited one");
  tree.write("work/sub/IMG_0002.JPG", "edited two");
  tree.write("work/IMG_0009.JPG", "no namesake");
  tree.write("pics/2003/IMG_0001.JPG", "original one");
  tree.write("pics/2003/IMG_0002.JPG", "original two");
  tree.write("pics/2004/IMG_0002.JPG", "a second namesake, never used");
  const RunPlan plan = planThenRun(options());
  const PlanSummary s = plan.summary();
  EXPECT_EQ(s.foldersMade, 1);
  EXPECT_EQ(s.deleted, 2);
  EXPECT_EQ(s.moves, 2);
}

TEST_F(FileBackPlanTest, ATakenTargetAndTheSameNameTwiceArePlannedAsTheRunDecides) {
  // Without the subfolder the file takes its namesake's place; a second source of the same name
  // then finds the name taken by the first and stays.
  tree.write("work/a/IMG_0001.JPG", "first");
  tree.write("work/b/IMG_0001.JPG", "second");
  tree.write("work/IMG_0003.JPG", "blocked");
  tree.write("pics/IMG_0001.JPG", "original");
  tree.write("pics/x/IMG_0003.JPG", "original three");
  tree.write("pics/x/Used/IMG_0003.JPG", "already there");
  FileBackRunOptions o = options();
  o.moveIntoSubDir = false;
  const RunPlan plan = planThenRun(o);
  EXPECT_EQ(plan.summary().moves, 2);
  EXPECT_EQ(tree.read("pics/IMG_0001.JPG"), "first");
  EXPECT_EQ(tree.read("work/b/IMG_0001.JPG"), "second");
}

}  // namespace
}  // namespace quillmere::duplicates
