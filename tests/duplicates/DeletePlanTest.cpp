// The duplicate delete's plan against the run it describes.
#include <gtest/gtest.h>

#include "EngineSupport.h"
#include "core/Main.h"
#include "duplicates/DuplicateDelete.h"

namespace quillmere::duplicates {
namespace {

using test_support::kPictureA;
using test_support::kPictureB;

class DeletePlanTest : public test_support::EngineTest {
 protected:
  DeleteRunOptions options(const std::string& comparison, const std::string& deletion) const {
    return deleteOptions(comparison, deletion);
  }
  // The plan and the run of the same options; the run deletes what the plan counts.
  RunPlan planThenRun(const DeleteRunOptions& o) {
    std::size_t deleted = 0;
    const RunPlan plan =
        EngineTest::planThenRun([&] { return planDuplicateDelete(o); },
                                [&] { deleted = runDuplicateDelete(o, view).deleted.size(); });
    EXPECT_EQ(static_cast<std::size_t>(plan.summary().deleted), deleted);
    return plan;
  }
};

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
