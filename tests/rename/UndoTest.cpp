// Journals of rename runs and taking the last run back.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <fstream>

#include "RenameFixture.h"
#include "platform/FileOps.h"
#include "rename/RenameJournal.h"
#include "rename/UndoEngine.h"
#include "support/Census.h"

namespace quillmere::rename::test {
namespace {

using quillmere::test::Census;
using quillmere::test::censusOf;

const std::string kShot = "2002:03:15 14:23:05";

class UndoTest : public RenameFixture {
 protected:
  std::string journals() const { return tree.path("journals"); }

  RunReport journalledRename() {
    RenameEngine engine(settings, view);
    RenameJournal journal(settings.mode() == Mode::Copy, journals());
    engine.keepJournal(journal);
    return engine.run();
  }

  // The pictures of the run; the settings file and the journals are no part of the census.
  Census pictures() const {
    Census c = censusOf(tree.root());
    std::erase_if(c, [](const auto& entry) {
      return entry.first == "quillmere.ini" || entry.first.rfind("journals", 0) == 0;
    });
    return c;
  }

  void roundTrip(Mode mode);

  void writePictures() {
    tree.write("in/DSC0001.JPG", picture(kShot, "one"), 1000000000);
    tree.write("in/DSC0002.JPG", picture(kShot, "two"), 1000000100);
    tree.write("in/sub/DSC0003.JPG", picture("2003:05:09 07:03:02", "three"), 1000000200);
  }
};

// A run in the mode, then its undo: the tree is as before, and the run cannot be taken back twice.
void UndoTest::roundTrip(Mode mode) {
  options(mode);
  set("ReName-SubDirDel1", "1");  // a Move run removes the source folders it empties
  writePictures();
  const Census before = pictures();
  ASSERT_EQ(journalledRename().handled, 3);
  ASSERT_NE(pictures(), before);
  const UndoReport undone = undoLastRename(journals());
  EXPECT_EQ(undone.restored, 3);
  EXPECT_TRUE(undone.refused.empty()) << undone.refused.front();
  EXPECT_EQ(pictures(), before);
  EXPECT_TRUE(undoLastRename(journals()).noJournal);
}

TEST_F(UndoTest, UndoAfterACopyRunRestoresTheTreeExactly) {
  roundTrip(Mode::Copy);
}

TEST_F(UndoTest, UndoAfterAMoveRunRestoresTheTreeExactly) {
  roundTrip(Mode::Move);
}

TEST_F(UndoTest, UndoAfterAStayRunRestoresTheTreeExactly) {
  roundTrip(Mode::Stay);
}

TEST_F(UndoTest, FilesThatSwappedNamesGetTheirOwnNamesBack) {
  options(Mode::Stay);
  tree.write("in/20030101_000000.JPG", picture(kShot, "shot in 2002"));
  tree.write("in/20020315_142305.JPG", picture("2003:01:01 00:00:00", "shot in 2003"));
  const Census before = pictures();
  ASSERT_EQ(journalledRename().handled, 2);
  ASSERT_NE(pictures(), before);
  EXPECT_EQ(undoLastRename(journals()).restored, 2);
  EXPECT_EQ(pictures(), before);
}

TEST_F(UndoTest, FilesWaitingForANameHeldByAnotherFileStayWhereTheyAre) {
  // X went from a to b, Y from b to c; then someone put a new file under a. Y waits for X, X for
  // the stranger: no ring, so no file steps aside under a temporary name.
  tree.write("t/b", "X");
  tree.write("t/c", "Y");
  {
    RenameJournal journal(false, journals());
    journal.record(tree.pathText("t/a"), tree.pathText("t/b"));
    journal.record(tree.pathText("t/b"), tree.pathText("t/c"));
  }
  tree.write("t/a", "a stranger");
  const auto before = pictures();
  const UndoReport undone = undoLastRename(journals());
  EXPECT_EQ(undone.restored, 0);
  EXPECT_EQ(undone.refused.size(), 2u);
  EXPECT_EQ(pictures(), before);
}

TEST_F(UndoTest, AJournalFlushedWhileTheRunGoesOnKeepsEveryLineInOrder) {
  // Several flushes run beside the writing; the journal ends by its destructor, as a run that
  // returns early leaves it.
  const int files = 3 * RenameJournal::kSyncEvery + 5;
  {
    RenameJournal journal(false, journals());
    for (int i = 0; i < files; ++i) {
      const std::string name = "t/f" + std::to_string(i);
      tree.write(name, std::to_string(i));
      journal.record(tree.pathText(name + ".old"), tree.pathText(name));
    }
  }
  RenameJournal::Contents contents;
  ASSERT_TRUE(RenameJournal::read(RenameJournal::lastJournal(journals()), contents));
  ASSERT_EQ(contents.entries.size(), static_cast<std::size_t>(files));
  for (int i = 0; i < files; ++i)
    EXPECT_EQ(contents.entries[i].newPath, tree.path("t/f" + std::to_string(i)));
}

TEST_F(UndoTest, AnEditedOrTakenFileIsRefusedAndNothingIsOverwritten) {
  options(Mode::Move);
  writePictures();
  ASSERT_EQ(journalledRename().handled, 3);
  // One renamed file is edited, one old name is taken by a new file.
  tree.write("out/20020315_142305.JPG", "edited after the run");
  tree.write("in/DSC0002.JPG", "a new file under an old name");
  const UndoReport undone = undoLastRename(journals());
  EXPECT_EQ(undone.restored, 1);
  ASSERT_EQ(undone.refused.size(), 2u);
  EXPECT_EQ(tree.read("out/20020315_142305.JPG"), "edited after the run");
  EXPECT_EQ(tree.read("in/DSC0002.JPG"), "a new file under an old name");
  EXPECT_EQ(tree.read("out/20020315_142305a.JPG"), picture(kShot, "two"));
  EXPECT_EQ(tree.read("in/sub/DSC0003.JPG"), picture("2003:05:09 07:03:02", "three"));
  // The journal stays the last one, so that the rest can be taken back once the cause is gone.
  ::unlink(tree.path("in/DSC0002.JPG").c_str());
  const UndoReport again = undoLastRename(journals());
  EXPECT_EQ(again.restored, 1);
  EXPECT_EQ(again.refused.size(), 1u);
  EXPECT_EQ(tree.read("in/DSC0002.JPG"), picture(kShot, "two"));
}

// Related files go back together: one edited member keeps its whole group under the new name.
TEST_F(UndoTest, AGroupOfRelatedFilesGoesBackWholeOrNotAtAll) {
  options(Mode::Move);
  settings.setCheck("ReName-Sidecars", true);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0001.NEF", "raw of one");
  tree.write("in/DSC0001.xmp", "<x:xmpmeta/>");
  tree.write("in/DSC0002.JPG", picture("2003:05:09 07:03:02", "two, on its own"));
  ASSERT_EQ(journalledRename().handled, 4);
  ASSERT_EQ(tree.read("out/20020315_142305.NEF"), "raw of one");
  tree.write("out/20020315_142305.xmp", "<x:xmpmeta>edited</x:xmpmeta>");

  const UndoReport undone = undoLastRename(journals());
  EXPECT_EQ(undone.restored, 1) << "only the file on its own";
  EXPECT_EQ(undone.refused.size(), 3u);
  EXPECT_EQ(tree.read("in/DSC0002.JPG"), picture("2003:05:09 07:03:02", "two, on its own"));
  EXPECT_EQ(tree.read("out/20020315_142305.JPG"), picture(kShot, "one"));
  EXPECT_EQ(tree.read("out/20020315_142305.NEF"), "raw of one");
  EXPECT_FALSE(tree.exists("in/DSC0001.JPG"));
  EXPECT_FALSE(tree.exists("in/DSC0001.NEF"));
}

TEST_F(UndoTest, ACopyWhoseOriginalIsGoneIsKept) {
  options(Mode::Copy);
  writePictures();
  ASSERT_EQ(journalledRename().handled, 3);
  ::unlink(tree.path("in/DSC0001.JPG").c_str());
  const UndoReport undone = undoLastRename(journals());
  EXPECT_EQ(undone.restored, 2);
  ASSERT_EQ(undone.refused.size(), 1u);
  EXPECT_EQ(tree.read("out/20020315_142305.JPG"), picture(kShot, "one"));
}

TEST_F(UndoTest, AJournalCutShortByAKillStillServesTheLinesItHolds) {
  options(Mode::Stay);
  writePictures();
  ASSERT_EQ(journalledRename().handled, 3);
  const std::string journal = RenameJournal::lastJournal(journals());
  ASSERT_FALSE(journal.empty());
  // The last line loses its end, as a kill in the middle of the write would leave it.
  std::ifstream in(journal);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  text.resize(text.size() - 5);
  std::ofstream(journal, std::ios::trunc) << text;
  RenameJournal::Contents contents;
  ASSERT_TRUE(RenameJournal::read(journal, contents));
  EXPECT_EQ(contents.entries.size(), 2u);
  EXPECT_EQ(undoLastRename(journals()).restored, 2);
}

TEST_F(UndoTest, JournalsOlderThanThirtyDaysAreDeletedAndEmptyRunsKeepNone) {
  platform::fileops::makeFolders(journals());
  const std::string old = journals() + "/rename-00000000000000000001-1.journal";
  const std::string recent = journals() + "/rename-00000000000000000002-1.journal";
  std::ofstream(old) << "quillmere rename journal 1\tmove\n";
  std::ofstream(recent) << "quillmere rename journal 1\tmove\n";
  const std::time_t now = std::time(nullptr);
  const timespec oldTimes[2] = {{now - 31 * 24 * 3600, 0}, {now - 31 * 24 * 3600, 0}};
  ::utimensat(AT_FDCWD, old.c_str(), oldTimes, 0);
  RenameJournal::removeOld(journals(), now);
  EXPECT_FALSE(std::ifstream(old).good());
  EXPECT_TRUE(std::ifstream(recent).good());

  options(Mode::Stay);
  tree.mkdir("in");
  journalledRename();  // nothing to rename
  EXPECT_EQ(RenameJournal::lastJournal(journals()), recent);
}

}  // namespace
}  // namespace quillmere::rename::test
