// The file-back run on real folders, through the library.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "EngineSupport.h"
#include "core/Main.h"
#include "duplicates/FileBack.h"
#include "platform/FileOps.h"

namespace quillmere::duplicates {
namespace {

using test_support::trashedNames;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class FileBackRunTest : public test_support::EngineTest {
 protected:
  // The panel's table defaults (as a loaded panel leaves them), except for the extension switch,
  // which compares whole names here unless a test says otherwise.
  FileBackRunOptions options() const {
    FileBackRunOptions o;
    o.sourceDir = tree.pathText("work");
    o.destDir = tree.pathText("pics");
    o.sourceSubDirs = o.destSubDirs = true;
    o.removeEmptySourceDirs = false;
    o.deleteNamesake = true;
    o.moveIntoSubDir = true;
    o.withExtension = true;
    o.recycleOnFixedDrive = true;
    o.confirmOnRemovable = true;
    return o;
  }
};

TEST_F(FileBackRunTest, EditedPictureReplacesItsNamesakeInTheUsedSubfolder) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/2003/IMG_0001.JPG", "fileback-original");
  const auto report = runFileBack(options(), view);
  EXPECT_EQ(tree.read("pics/2003/Used/IMG_0001.JPG"), "edited");
  EXPECT_FALSE(tree.exists("pics/2003/IMG_0001.JPG"));
  EXPECT_FALSE(tree.exists("work/IMG_0001.JPG"));
  const auto trashed = trashedNames();
  EXPECT_NE(std::find(trashed.begin(), trashed.end(), "IMG_0001.JPG"), trashed.end());
  EXPECT_EQ(report.moved.size(), 1u);
  EXPECT_THAT(report.problems, IsEmpty());
  EXPECT_THAT(view.completed, ElementsAre("FileBack"));
  EXPECT_EQ(view.current["Run(1)"], "1Files");
  EXPECT_EQ(view.current["Run(3)"], "1番目の比較対象Fileを、1番目の削除対象Fileと比較中");
}

TEST_F(FileBackRunTest, AUsedFolderThatIsALinkOutOfTheTreeTakesNothing) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  tree.mkdir("elsewhere");
  ASSERT_EQ(::symlink(tree.path("elsewhere").c_str(), tree.path("pics/2003/Used").c_str()), 0);
  const auto report = runFileBack(options(), view);
  EXPECT_TRUE(std::filesystem::is_empty(tree.path("elsewhere")));
  EXPECT_EQ(tree.read("work/IMG_0001.JPG"), "edited");
  EXPECT_EQ(tree.read("pics/2003/IMG_0001.JPG"), "original");
  EXPECT_TRUE(report.moved.empty());
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].kind, FileBackProblem::Kind::SubDirUnavailable);
}

TEST_F(FileBackRunTest, WithoutSubfolderTheSourceTakesTheNamesakesPlace) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/2003/IMG_0001.JPG", "old");
  auto o = options();
  o.moveIntoSubDir = false;
  runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/2003/IMG_0001.JPG"), "edited");
  EXPECT_FALSE(tree.exists("pics/2003/Used"));
  EXPECT_FALSE(tree.exists("work/IMG_0001.JPG"));
}

TEST_F(FileBackRunTest, NamesMatchCaseSensitivelyAndOnlyTheFirstNamesakeIsUsed) {
  tree.write("work/IMG_0001.jpg", "lower");
  tree.write("work/IMG_0002.JPG", "two");
  tree.write("work/IMG_0003.JPG", "no namesake");
  tree.write("pics/a/IMG_0001.JPG", "upper");
  tree.write("pics/a/IMG_0002.JPG", "first namesake");
  tree.write("pics/b/IMG_0002.JPG", "second namesake");
  const auto report = runFileBack(options(), view);
  EXPECT_EQ(tree.read("work/IMG_0001.jpg"), "lower");
  EXPECT_EQ(tree.read("pics/a/IMG_0001.JPG"), "upper");
  EXPECT_EQ(tree.read("pics/a/Used/IMG_0002.JPG"), "two");
  EXPECT_EQ(tree.read("pics/b/IMG_0002.JPG"), "second namesake");
  EXPECT_EQ(tree.read("work/IMG_0003.JPG"), "no namesake");
  EXPECT_EQ(report.moved.size(), 1u);
}

TEST_F(FileBackRunTest, WithoutExtensionsTheBaseNameMatchesButOnlyTheWholeNameIsDeleted) {
  tree.write("work/a.jpg", "developed");
  tree.write("pics/2003/a.tif", "raw scan");
  auto o = options();
  o.withExtension = false;
  o.moveIntoSubDir = false;
  runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/2003/a.jpg"), "developed");
  EXPECT_EQ(tree.read("pics/2003/a.tif"), "raw scan");
}

TEST_F(FileBackRunTest, ANameWithoutExtensionMatchesOnlyTheSameWholeName) {
  tree.write("work/README", "notes");
  tree.write("pics/a/LICENSE", "other file without extension");
  tree.write("pics/b/README.txt", "other file");
  tree.write("pics/c/README", "old notes");
  auto o = options();
  o.withExtension = false;
  runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/a/LICENSE"), "other file without extension");
  EXPECT_EQ(tree.read("pics/b/README.txt"), "other file");
  EXPECT_FALSE(tree.exists("pics/a/Used"));
  EXPECT_EQ(tree.read("pics/c/Used/README"), "notes");
  EXPECT_FALSE(tree.exists("pics/c/README"));  // the namesake of the same whole name went
}

TEST_F(FileBackRunTest, WhenTheSubfolderCannotBeMadeTheFileStaysAndTheRunGoesOn) {
  tree.write("work/IMG_0001.JPG", "edited 1");
  tree.write("work/IMG_0002.JPG", "edited 2");
  tree.write("pics/2003/IMG_0001.JPG", "original 1");
  tree.write("pics/2003/Used", "a file where the folder should be");
  tree.write("pics/2004/IMG_0002.JPG", "original 2");
  const auto report = runFileBack(options(), view);
  EXPECT_EQ(tree.read("work/IMG_0001.JPG"), "edited 1");
  EXPECT_EQ(tree.read("pics/2003/IMG_0001.JPG"), "original 1");  // its namesake is kept too
  EXPECT_EQ(tree.read("pics/2004/Used/IMG_0002.JPG"), "edited 2");
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].kind, FileBackProblem::Kind::SubDirUnavailable);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].text.find("IMG_0001.JPG"), std::string::npos);
  EXPECT_THAT(view.completed, ElementsAre("FileBack"));
}

TEST_F(FileBackRunTest, AMoveNeverReplacesAFileThatIsNotTheDeletedNamesake) {
  tree.write("work/x/IMG_0001.JPG", "first edit");
  tree.write("work/y/IMG_0001.JPG", "second edit");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  tree.write("pics/2003/IMG_0002.JPG", "another picture");  // two candidates remain
  auto o = options();
  const auto report = runFileBack(o, view);
  // The first edit went to Used; the second must not replace it.
  EXPECT_EQ(tree.read("pics/2003/Used/IMG_0001.JPG"), "first edit");
  EXPECT_EQ(tree.read("work/y/IMG_0001.JPG"), "second edit");
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].kind, FileBackProblem::Kind::TargetOccupied);

  // Without the namesake deletion, the namesake itself is never replaced either.
  tree.write("work/IMG_0009.JPG", "edit");
  tree.write("pics/2009/IMG_0009.JPG", "keep me");
  o.deleteNamesake = false;
  o.moveIntoSubDir = false;
  runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/2009/IMG_0009.JPG"), "keep me");
  EXPECT_EQ(tree.read("work/IMG_0009.JPG"), "edit");
}

TEST_F(FileBackRunTest, ASecondSourceOfTheSameNameNeverDeletesTheFirstOnesPlace) {
  tree.write("work/x/IMG_0001.JPG", "first edit");
  tree.write("work/y/IMG_0001.JPG", "second edit");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  tree.write("pics/2003/IMG_0002.JPG", "another picture");
  auto o = options();
  o.moveIntoSubDir = false;
  o.recycleOnFixedDrive = false;
  const auto report = runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/2003/IMG_0001.JPG"), "first edit");
  EXPECT_EQ(tree.read("work/y/IMG_0001.JPG"), "second edit");
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].kind, FileBackProblem::Kind::TargetOccupied);
}

TEST_F(FileBackRunTest, AMoveThatFailsOnAFullDiskLeavesTheSourceAndIsReported) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("work/IMG_0002.JPG", "edited too");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  tree.write("pics/2003/IMG_0002.JPG", "original too");
  auto o = options();
  o.deleteNamesake = false;
  // The target lies on another file system that is full: the rename cannot be used, and the
  // copy runs out of space.
  namespace fileops = platform::fileops;
  fileops::ScopedFault full([](fileops::Call call, const std::string&) {
    if (call == fileops::Call::Rename || call == fileops::Call::Link) return EXDEV;
    if (call == fileops::Call::Write) return ENOSPC;
    return 0;
  });
  const auto report = runFileBack(o, view);
  EXPECT_EQ(tree.read("work/IMG_0001.JPG"), "edited");
  EXPECT_EQ(tree.read("work/IMG_0002.JPG"), "edited too");
  EXPECT_FALSE(tree.exists("pics/2003/Used/IMG_0001.JPG"));
  ASSERT_EQ(report.problems.size(), 2u);
  EXPECT_EQ(report.problems[0].kind, FileBackProblem::Kind::MoveFailed);
  EXPECT_EQ(report.ending, RunEnding::Completed);
  EXPECT_EQ(view.messages.size(), 1u);
}

TEST_F(FileBackRunTest, NamesThatAreNotUtf8MatchByteForByte) {
  const std::string name = "\x83\x4a\x83\x81\x83\x89.JPG";  // CP932 bytes, not UTF-8
  tree.write("work/" + name, "edited");
  tree.write("pics/2003/" + name, "original");
  auto o = options();
  o.recycleOnFixedDrive = false;  // the test home's trash could not remove such a name either
  const auto report = runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/2003/Used/" + name), "edited");
  EXPECT_EQ(report.moved.size(), 1u);
  std::filesystem::remove(tree.path("pics/2003/Used/" + name));
}

TEST_F(FileBackRunTest, OneFolderAsBothSidesChangesNothing) {
  tree.write("pics/IMG_0001.JPG", "only copy");
  auto o = options();
  o.sourceDir = o.destDir;
  o.moveIntoSubDir = false;
  const auto report = runFileBack(o, view);
  EXPECT_EQ(tree.read("pics/IMG_0001.JPG"), "only copy");
  EXPECT_THAT(report.moved, IsEmpty());
  EXPECT_THAT(report.namesakesDeleted, IsEmpty());
}

TEST_F(FileBackRunTest, EmptySourceFoldersAreRemovedAfterTheRun) {
  tree.write("work/day1/IMG_0001.JPG", "edited");
  tree.write("pics/IMG_0001.JPG", "old");
  auto o = options();
  o.removeEmptySourceDirs = true;
  runFileBack(o, view);
  EXPECT_FALSE(tree.exists("work/day1"));
  EXPECT_TRUE(tree.exists("pics/Used/IMG_0001.JPG"));
}

TEST_F(FileBackRunTest, CancelTakesEffectAtTheNextSourceFile) {
  tree.write("work/a.jpg", "A");
  tree.write("work/b.jpg", "B");
  tree.write("pics/a.jpg", "old A");
  tree.write("pics/b.jpg", "old B");
  view.onYield = [&](int) {
    if (!view.current["Run(3)"].empty()) view.cancelled = true;
  };
  const auto report = runFileBack(options(), view);
  EXPECT_EQ(report.ending, RunEnding::Cancelled);
  EXPECT_EQ(tree.read("pics/Used/a.jpg"), "A");
  EXPECT_EQ(tree.read("work/b.jpg"), "B");
  EXPECT_THAT(view.completed, IsEmpty());
}

}  // namespace
}  // namespace quillmere::duplicates
