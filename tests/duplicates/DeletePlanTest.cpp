// The duplicate delete's plan against the run it describes.
#include <gtest/gtest.h>

#include "core/Main.h"
#include "duplicates/DuplicateDelete.h"
#include "support/Census.h"
#include "support/Fakes.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::duplicates {
namespace {

using quillmere::test::afterPlan;
using quillmere::test::asExpected;
using quillmere::test::censusOf;
using quillmere::test::withoutTimes;

class DeletePlanTest : public ::testing::Test {
 protected:
  DeleteRunOptions options(const std::string& comparison, const std::string& deletion) const {
    DeleteRunOptions o;
    o.comparisonDir = tree.pathText(comparison);
    o.deletionDir = tree.pathText(deletion);
    o.comparisonSubDirs = o.deletionSubDirs = true;
    o.removeEmptyComparisonDirs = o.removeEmptyDeletionDirs = false;
    o.recycleOnFixedDrive = false;  // for good: the trash lies outside the tree
    o.confirmOnRemovable = false;
    return o;
  }

  // Runs the plan and then the run, and checks that the run did exactly what was planned.
  RunPlan planThenRun(const DeleteRunOptions& o) {
    const auto before = censusOf(tree.root());
    const RunPlan plan = planDuplicateDelete(o);
    EXPECT_EQ(censusOf(tree.root()), before) << "the plan touched the tree";
    const DeleteRunReport report = runDuplicateDelete(o, view);
    const auto expected = afterPlan(before, plan, tree.root());
    EXPECT_EQ(asExpected(expected, censusOf(tree.root())), withoutTimes(expected));
    EXPECT_EQ(static_cast<std::size_t>(plan.summary().deleted), report.deleted.size());
    return plan;
  }

  quillmere::test::TempTree tree;
  quillmere::test::RecordingRunView view;
  quillmere::test::ScriptedUiHook hook;
};

const std::string kPictureA = "\xFF\xD8\xFF\xE1 picture A of the trip";
const std::string kPictureB = "\xFF\xD8\xFF\xE1 picture B of the trip";

TEST_F(DeletePlanTest, TheDeletionsAreThoseOfTheRunWhicheverListDrivesTheLoop) {
  // Fewer deletion candidates than originals: the deletion list drives the loop.
  tree.write("orig/a/IMG_0001.JPG", kPictureA);
  tree.write("orig/b/IMG_0001.JPG", kPictureA);
  tree.write("orig/IMG_0002.JPG", kPictureB);
  tree.write("card/one.JPG", kPictureA);
  tree.write("card/two.JPG", kPictureB.substr(0, kPictureB.size() - 1) + "C");
  EXPECT_EQ(planThenRun(options("orig", "card")).summary().deleted, 1);

  // Fewer originals than copies: the originals drive it, and every copy goes once.
  tree.write("card2/x/1.JPG", kPictureA);
  tree.write("card2/y/2.JPG", kPictureA);
  tree.write("card2/3.JPG", kPictureB);
  tree.write("card2/4.JPG", "another picture");
  EXPECT_EQ(planThenRun(options("orig/a", "card2")).summary().deleted, 2);
}

TEST_F(DeletePlanTest, AFileThePlanDeletedIsNoLongerAnOriginalForLaterFiles) {
  // The deletion folder lies inside the comparison folder: a copy deleted by the plan is listed
  // as an original too, and must not be taken for one afterwards.
  tree.write("pics/dup/1.JPG", kPictureA);
  tree.write("pics/dup/2.JPG", kPictureA);
  tree.write("pics/dup/3.JPG", kPictureA);
  tree.write("pics/dup/4.JPG", kPictureB);
  const RunPlan plan = planThenRun(options("pics", "pics/dup"));
  EXPECT_EQ(plan.summary().deleted, 2);
  EXPECT_TRUE(tree.exists("pics/dup/4.JPG"));
}

}  // namespace
}  // namespace quillmere::duplicates
