// The duplicate-delete run on real folders, through the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include <gmock/gmock.h>

#include "EngineSupport.h"
#include "core/Main.h"
#include "duplicates/DuplicateDelete.h"
#include "support/DriveTable.h"
#include "support/ScratchMount.h"

namespace quillmere::duplicates {
namespace {

using quillmere::test::DriveTable;
using test_support::kPictureA;
using test_support::kPictureB;
using test_support::trashedNames;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

class DeleteRunTest : public test_support::EngineTest {
 protected:
  DeleteRunOptions options(const std::string& comparison, const std::string& deletion) const {
    return deleteOptions(comparison, deletion);
  }
  // The deleted files relative to the tree, in order.
  std::vector<std::string> relative(const std::vector<std::string>& texts) const {
    std::vector<std::string> out;
    const std::string root = tree.pathText() + "\\";
    for (const auto& t : texts) out.push_back(t.substr(root.size()));
    return out;
  }
};

TEST_F(DeleteRunTest, CardCopiesGoWhateverTheirNamesAndOneByteDifferentStays) {
  tree.write("orig/2003/IMG_0001.JPG", kPictureA);
  tree.write("orig/2004/IMG_0002.JPG", kPictureB);
  tree.write("card/DCIM/100/renamed.JPG", kPictureA);
  tree.write("card/DCIM/101/IMG_0002.JPG", kPictureB.substr(0, kPictureB.size() - 1) + "C");
  tree.write("card/a/copy1.JPG", kPictureA);
  tree.write("card/b/copy2.JPG", kPictureA);

  const auto report = runDuplicateDelete(options("orig", "card"), view);

  // The comparison list is the shorter one: its first file finds all three copies in list order.
  EXPECT_THAT(relative(report.deleted), ElementsAre("card\\DCIM\\100\\renamed.JPG",
                                                    "card\\a\\copy1.JPG", "card\\b\\copy2.JPG"));
  EXPECT_TRUE(tree.exists("card/DCIM/101/IMG_0002.JPG"));
  EXPECT_TRUE(tree.exists("orig/2003/IMG_0001.JPG"));
  EXPECT_TRUE(tree.exists("orig/2004/IMG_0002.JPG"));
  EXPECT_THAT(trashedNames(), IsEmpty());  // the trash option was off
  EXPECT_EQ(report.ending, RunEnding::Completed);
  EXPECT_EQ(report.remaining, 1);
  EXPECT_THAT(view.runningChanges, ElementsAre(true, false));
  EXPECT_THAT(view.completed, ElementsAre("WFileDel"));
  EXPECT_THAT(view.textsOf("Run").front(), "Original File検索中");
  EXPECT_EQ(view.current["Run(1)"], "2Files");
  const auto run3 = view.textsOf("Run");
  EXPECT_NE(
      std::find(run3.begin(), run3.end(), "1番目の比較対象Fileを、1番目の削除対象Fileと比較中"),
      run3.end());
  EXPECT_NE(std::find(run3.begin(), run3.end(), "4/4Files"), run3.end());
}

TEST_F(DeleteRunTest, SubfoldersOfTheDeletionSideStayWhenLeftOut) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("card/top.jpg", kPictureA);
  tree.write("card/sub/deep.jpg", kPictureA);
  auto o = options("orig", "card");
  o.deletionSubDirs = false;
  const auto report = runDuplicateDelete(o, view);
  EXPECT_THAT(relative(report.deleted), ElementsAre("card\\top.jpg"));
  EXPECT_TRUE(tree.exists("card/sub/deep.jpg"));
}

TEST_F(DeleteRunTest, EmptyOrMissingComparisonFolderDeletesNothing) {
  tree.mkdir("orig");
  tree.write("card/a.jpg", kPictureA);
  auto report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_THAT(report.deleted, IsEmpty());
  EXPECT_EQ(view.current["Run(1)"], "Original File検索中");
  EXPECT_EQ(view.current["Run(2)"], "1Files");
  EXPECT_EQ(view.current["Run(3)"], "");
  EXPECT_THAT(view.completed, ElementsAre("WFileDel"));

  report = runDuplicateDelete(options("gone", "card"), view);
  EXPECT_EQ(report.ending, RunEnding::Completed);
  DeleteRunOptions unset = options("orig", "card");
  unset.comparisonDir.clear();  // a key never written: no listing of any drive root
  report = runDuplicateDelete(unset, view);
  EXPECT_EQ(report.comparisonFiles, 0);
  EXPECT_TRUE(tree.exists("card/a.jpg"));
}

TEST_F(DeleteRunTest, CancelStopsAtTheNextOuterFileAndStillRemovesEmptyFolders) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("orig/b.jpg", kPictureB);
  tree.write("card/1/a.jpg", kPictureA);
  tree.write("card/2/b.jpg", kPictureB);
  tree.write("card/3/other.jpg", "something else");
  tree.mkdir("card/empty/deeper");
  auto o = options("orig", "card");
  o.removeEmptyDeletionDirs = true;
  view.onYield = [&](int) {
    if (!view.current["Run(3)"].empty()) view.cancelled = true;  // at the first comparison
  };
  const auto report = runDuplicateDelete(o, view);
  EXPECT_EQ(report.ending, RunEnding::Cancelled);
  EXPECT_THAT(relative(report.deleted), ElementsAre("card\\1\\a.jpg"));  // the first outer file
  EXPECT_TRUE(tree.exists("card/2/b.jpg"));
  EXPECT_FALSE(tree.exists("card/empty"));
  EXPECT_FALSE(tree.exists("card/1"));
  EXPECT_THAT(view.completed, IsEmpty());
  EXPECT_THAT(view.runningChanges, ElementsAre(true, false));
}

TEST_F(DeleteRunTest, OneFolderAsBothSidesKeepsOneCopyOfEachSet) {
  tree.write("p/a.jpg", kPictureA);
  tree.write("p/b.jpg", kPictureB);
  tree.write("p/c.jpg", kPictureA);
  tree.write("p/d.jpg", kPictureA);
  tree.write("p/e.jpg", kPictureB);
  tree.write("p/f.jpg", "unique");
  const auto report = runDuplicateDelete(options("p", "p"), view);
  EXPECT_THAT(relative(report.deleted), ElementsAre("p\\a.jpg", "p\\b.jpg", "p\\c.jpg"));
  EXPECT_EQ(tree.files(), (std::vector<std::string>{"p/d.jpg", "p/e.jpg", "p/f.jpg"}));
}

TEST_F(DeleteRunTest, ALinkOnTheOriginalSideNeverDeletesTheCardFileItNames) {
  tree.write("card/IMG_1.JPG", kPictureA);
  tree.write("card/IMG_2.JPG", kPictureB);
  tree.mkdir("orig");
  std::filesystem::create_symlink(tree.path("card/IMG_1.JPG"), tree.path("orig/IMG_1.JPG"));
  std::filesystem::create_hard_link(tree.path("card/IMG_2.JPG"), tree.path("orig/IMG_2.JPG"));
  const auto report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_THAT(report.deleted, IsEmpty());
  EXPECT_EQ(tree.read("card/IMG_1.JPG"), kPictureA);
  EXPECT_EQ(tree.read("card/IMG_2.JPG"), kPictureB);
}

// A link is never a copy: never kept in place of a deleted file, never deleted as one, and the
// file it points to stays, so no kept link is left dangling.
TEST_F(DeleteRunTest, LinksAreNeverCopiesAndTheirTargetsStay) {
  tree.write("p/a.jpg", kPictureA);
  tree.write("p/b.jpg", kPictureA);
  std::filesystem::create_symlink("a.jpg", tree.path("p/l.jpg"));
  auto report = runDuplicateDelete(options("p", "p"), view);
  EXPECT_THAT(relative(report.deleted), ElementsAre("p\\b.jpg"));
  EXPECT_EQ(tree.read("p/l.jpg"), kPictureA);
  EXPECT_TRUE(std::filesystem::is_symlink(tree.path("p/l.jpg")));

  // The link on the card side is not deleted as a copy of the original.
  tree.write("orig/a.jpg", kPictureA);
  tree.write("elsewhere/x.jpg", kPictureA);
  tree.mkdir("card");
  std::filesystem::create_symlink(tree.path("elsewhere/x.jpg"), tree.path("card/l.jpg"));
  report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_THAT(report.deleted, IsEmpty());
  EXPECT_TRUE(std::filesystem::is_symlink(tree.path("card/l.jpg")));
  EXPECT_EQ(tree.read("elsewhere/x.jpg"), kPictureA);

  // Nor is a card file deleted because a link on the original side shows the same bytes.
  tree.write("card/c.jpg", kPictureB);
  tree.write("elsewhere/y.jpg", kPictureB);
  std::filesystem::create_symlink(tree.path("elsewhere/y.jpg"), tree.path("orig/l.jpg"));
  report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_THAT(report.deleted, IsEmpty());
  EXPECT_EQ(tree.read("card/c.jpg"), kPictureB);
}

TEST_F(DeleteRunTest, ANameWithWildcardCharactersIsNeverHandedToTheDelete) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("card/a?.jpg", kPictureA);  // a duplicate, but its name reads as a pattern
  tree.write("card/ab.jpg", "the only copy of another picture");
  const auto report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_EQ(tree.read("card/ab.jpg"), "the only copy of another picture");
  EXPECT_TRUE(tree.exists("card/a?.jpg"));
  EXPECT_THAT(relative(report.notDeleted), ElementsAre("card\\a?.jpg"));
}

TEST_F(DeleteRunTest, NamesThatAreNotUtf8AreComparedAndDeletedByteForByte) {
  const std::string copy = "card/\x83\x4a\x83\x81\x83\x89.jpg";  // CP932 bytes, not UTF-8
  const std::string unique = "card/\xff\xfe.jpg";
  tree.write("orig/a.jpg", kPictureA);
  tree.write(copy, kPictureA);
  tree.write(unique, "only copy");
  const auto report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_THAT(relative(report.deleted), ElementsAre("card\\\x83\x4a\x83\x81\x83\x89.jpg"));
  EXPECT_FALSE(tree.exists(copy));
  EXPECT_EQ(tree.read(unique), "only copy");
  std::filesystem::remove(tree.path(unique));  // the temporary folder cannot remove such names
}

TEST_F(DeleteRunTest, TrashOptionOnAFixedDriveSendsDuplicatesToTheTrash) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("card/dup_in_trash_test.jpg", kPictureA);
  auto o = options("orig", "card");
  o.recycleOnFixedDrive = true;
  const auto report = runDuplicateDelete(o, view);
  EXPECT_EQ(report.deleted.size(), 1u);
  const auto trashed = trashedNames();
  EXPECT_NE(std::find(trashed.begin(), trashed.end(), "dup_in_trash_test.jpg"), trashed.end());
  EXPECT_THAT(hook.shown, IsEmpty());
}

// The trash asked for on a volume where none can be made: the duplicate stays and the run
// reports it, rather than deleting it for good.
TEST_F(DeleteRunTest, TrashThatCannotBeMadeKeepsTheDuplicateAndReportsIt) {
  quillmere::test::ScratchMount card("1m");
  if (!card.mounted()) GTEST_SKIP() << "cannot mount a second file system here";
  std::ofstream(card.root() + "/.Trash-" + std::to_string(::getuid())) << "not a folder";
  std::filesystem::create_directories(card.root() + "/DCIM");
  std::ofstream(card.root() + "/DCIM/IMG_0001.JPG") << kPictureA;
  tree.write("orig/a.jpg", kPictureA);
  auto o = options("orig", "card");
  o.deletionDir = quillmere::test::toPathText(card.root() + "/DCIM");
  o.recycleOnFixedDrive = true;
  const auto report = runDuplicateDelete(o, view);
  EXPECT_THAT(report.deleted, IsEmpty());
  EXPECT_THAT(report.notDeleted, ElementsAre(o.deletionDir + "\\IMG_0001.JPG"));
  std::ifstream in(card.root() + "/DCIM/IMG_0001.JPG");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), kPictureA);
}

TEST_F(DeleteRunTest, RemovableDriveConfirmsEachDeletionAndNeverUsesTheTrash) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("orig/b.jpg", kPictureB);
  tree.write("orig/c.jpg", "third picture");
  tree.write("card/DCIM/removable_a.jpg", kPictureA);
  tree.write("card/DCIM/removable_b.jpg", kPictureB);
  const DriveTable drive({{'E', tree.path("card"), 2, "CARD"}});
  auto o = options("orig", "card");
  o.deletionDir = "E:\\DCIM";
  o.recycleOnFixedDrive = true;  // ignored on a removable drive
  o.confirmOnRemovable = true;
  hook.answer(msgbox::kNo);
  hook.answer(msgbox::kYes);
  const auto report = runDuplicateDelete(o, view);
  EXPECT_EQ(hook.shown.size(), 2u);
  EXPECT_THAT(report.notDeleted, ElementsAre("E:\\DCIM\\removable_a.jpg"));
  EXPECT_THAT(report.deleted, ElementsAre("E:\\DCIM\\removable_b.jpg"));
  EXPECT_TRUE(tree.exists("card/DCIM/removable_a.jpg"));
  for (const auto& name : trashedNames()) EXPECT_EQ(name.find("removable_"), std::string::npos);

  // Without the confirmation option the duplicate goes silently, still not to the trash.
  o.confirmOnRemovable = false;
  const auto second = runDuplicateDelete(o, view);
  EXPECT_THAT(second.deleted, ElementsAre("E:\\DCIM\\removable_a.jpg"));
  EXPECT_EQ(hook.shown.size(), 2u);
  for (const auto& name : trashedNames()) EXPECT_EQ(name.find("removable_"), std::string::npos);
}

TEST_F(DeleteRunTest, AFileThatVanishesDuringTheRunIsPassedOver) {
  tree.write("orig/a.jpg", kPictureA);
  tree.write("card/1.jpg", kPictureA);
  tree.write("card/2.jpg", kPictureA);
  tree.write("card/3.jpg", kPictureA);
  view.onYield = [&](int) {
    if (!view.current["Run(3)"].empty()) std::filesystem::remove(tree.path("card/3.jpg"));
  };
  const auto report = runDuplicateDelete(options("orig", "card"), view);
  EXPECT_EQ(report.ending, RunEnding::Completed);
  EXPECT_THAT(relative(report.deleted), ElementsAre("card\\1.jpg", "card\\2.jpg"));
  EXPECT_THAT(view.messages, IsEmpty());
}

// The plain loop over every pair, through the same library calls, as the reference.
std::vector<std::string> everyPairRun(const std::vector<std::string>& c,
                                      const std::vector<std::string>& d) {
  std::vector<std::string> deleted;
  auto pair = [&](const std::string& ci, const std::string& dj) {
    if (dll().DLL_BinFileCheck(ci, dj)) {
      dll().DLL_FileDelete(0, dj, false, false);
      deleted.push_back(dj);
    }
  };
  if (c.size() < d.size()) {
    for (const auto& ci : c)
      if (dll().DLL_FileCheck(ci))
        for (const auto& dj : d) pair(ci, dj);
  } else {
    for (const auto& dj : d)
      if (dll().DLL_FileCheck(dj))
        for (const auto& ci : c) pair(ci, dj);
  }
  return deleted;
}

std::vector<std::string> listOf(const std::string& folder) {
  StringArray list;
  std::vector<std::string> out;
  if (dll().DLL_FileNameList(folder, list, 1))
    for (std::int32_t i = list.lbound(); i <= list.ubound(); ++i) out.push_back(list(i));
  return out;
}

TEST_F(DeleteRunTest, ManyEqualSizesAndFewEqualContentsGiveTheEveryPairResult) {
  // Two identical trees: the run on one, the every-pair loop on the other.
  quillmere::test::TempTree plain;
  std::mt19937 rng(42);
  auto bytes = [&](std::size_t size, unsigned seed) {
    std::string b(size, '\0');
    std::mt19937 g(seed);
    for (char& ch : b) ch = static_cast<char>(g());
    return b;
  };
  auto both = [&](const std::string& rel, const std::string& content) {
    tree.write(rel, content);
    plain.write(rel, content);
  };
  for (int i = 0; i < 60; ++i)  // originals: three sizes only
    both("orig/" + std::to_string(1000 + i) + ".jpg", bytes(100 + 50 * (i % 3), 1 + i));
  for (int j = 0; j < 90; ++j) {  // card: the same sizes; a few copies, decoys and repeats
    const int kind = static_cast<int>(rng() % 10);
    const int i = static_cast<int>(rng() % 60);
    std::string content = bytes(100 + 50 * (j % 3), 500 + j);
    if (kind == 0) content = bytes(100 + 50 * (i % 3), 1 + i);  // a copy
    if (kind == 1) {                                            // a one-byte decoy
      content = bytes(100 + 50 * (i % 3), 1 + i);
      content[content.size() / 2] ^= 1;
    }
    both("card/" + std::to_string(j % 7) + "/" + std::to_string(2000 + j) + ".jpg", content);
  }
  for (const bool shorterCard : {false, true}) {
    const auto report = shorterCard ? runDuplicateDelete(options("card", "orig"), view)
                                    : runDuplicateDelete(options("orig", "card"), view);
    const auto expected =
        shorterCard ? everyPairRun(listOf(plain.pathText("card")), listOf(plain.pathText("orig")))
                    : everyPairRun(listOf(plain.pathText("orig")), listOf(plain.pathText("card")));
    std::vector<std::string> expectedRelative;
    for (const auto& e : expected)
      expectedRelative.push_back(e.substr(plain.pathText().size() + 1));
    EXPECT_EQ(relative(report.deleted), expectedRelative);
    EXPECT_EQ(tree.files(), plain.files());
  }
}

}  // namespace
}  // namespace quillmere::duplicates
