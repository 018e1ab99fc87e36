#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "duplicates/DuplicateDelete.h"
#include "run/RunPlan.h"
#include "support/Census.h"
#include "support/Fakes.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::duplicates::test_support {

// Relative paths of the files of the home trash (the test's private home).
std::vector<std::string> trashedNames();

// Two small pictures that differ in their last bytes.
inline const std::string kPictureA = "\xFF\xD8\xFF\xE1 picture A of the trip";
inline const std::string kPictureB = "\xFF\xD8\xFF\xE1 picture B of the trip";

// A tree of folders, the run view and scripted message boxes of one engine test.
class EngineTest : public ::testing::Test {
 protected:
  // Duplicate delete of the deletion folder's copies of the comparison folder's files,
  // subfolders included, nothing tidied, nothing asked, deleted for good.
  DeleteRunOptions deleteOptions(const std::string& comparison, const std::string& deletion) const {
    DeleteRunOptions o;
    o.comparisonDir = tree.pathText(comparison);
    o.deletionDir = tree.pathText(deletion);
    o.comparisonSubDirs = o.deletionSubDirs = true;
    o.removeEmptyComparisonDirs = o.removeEmptyDeletionDirs = false;
    o.recycleOnFixedDrive = false;  // the trash lies outside the tree
    o.confirmOnRemovable = false;
    return o;
  }

  // Makes the plan, checks that it left the tree alone, runs, and checks that the run did
  // exactly what was planned.
  template <typename Plan, typename Run>
  RunPlan planThenRun(Plan plan, Run run) {
    const auto before = quillmere::test::censusOf(tree.root());
    const RunPlan planned = plan();
    EXPECT_EQ(quillmere::test::censusOf(tree.root()), before) << "the plan touched the tree";
    run();
    const auto expected = quillmere::test::afterPlan(before, planned, tree.root());
    EXPECT_EQ(quillmere::test::asExpected(expected, quillmere::test::censusOf(tree.root())),
              quillmere::test::withoutTimes(expected));
    return planned;
  }

  quillmere::test::TempTree tree;
  quillmere::test::RecordingRunView view;
  quillmere::test::ScriptedUiHook hook;
};

}  // namespace quillmere::duplicates::test_support
