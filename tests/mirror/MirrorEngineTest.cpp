#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/Main.h"
#include "mirror/MirrorEngine.h"
#include "mirror/MirrorJournal.h"
#include "mirror/MirrorPlan.h"
#include "mirror/MirrorSettings.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "support/DriveTable.h"
#include "support/RecordingRunView.h"
#include "support/ScratchMount.h"
#include "support/TempTree.h"

namespace quillmere::mirror {
namespace {

constexpr std::time_t kBase = 1700000000;  // 2023-11-14

void setTimes(const std::string& native, std::time_t mtime, std::time_t atime) {
  const timespec times[2] = {{atime, 0}, {mtime, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), times, 0), 0) << native;
}

timespec accessTime(const std::string& native) {
  struct stat st {};
  ::stat(native.c_str(), &st);
  return st.st_atim;
}

bool readOnly(const std::string& native) {
  struct stat st {};
  ::stat(native.c_str(), &st);
  return (st.st_mode & S_IWUSR) == 0;
}

std::string trashFolder() {
  return std::string(std::getenv("XDG_DATA_HOME")) + "/Trash/files";
}

std::vector<std::string> trashed() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(trashFolder(), ec))
    names.push_back(e.path().filename().string());
  return names;
}

class MirrorEngineTest : public ::testing::Test {
 protected:
  // Reads a file of the tree without moving its last-access time, which the run compares.
  std::string peek(const std::string& rel) const {
    const int fd = ::open(tree.path(rel).c_str(), O_RDONLY | O_NOATIME);
    if (fd < 0) return "<missing>";
    std::string bytes;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
      bytes.append(buffer, static_cast<std::size_t>(n));
    ::close(fd);
    return bytes;
  }
  void TearDown() override { ::chdir("/"); }  // the folder clean-up leaves the run in a tree
  void SetUp() override {
    tree.mkdir("master");
    tree.mkdir("mirror");
    settings.load();
    settings.put(key::kInDir, tree.pathText("master"));
    settings.put(key::kOutDir, tree.pathText("mirror"));
    settings.put(key::kDustBox, "0");
    std::error_code ec;
    std::filesystem::remove_all(trashFolder(), ec);
  }

  // Writes the same bytes and times on both sides.
  void both(const std::string& rel, const std::string& bytes, std::time_t mtime) {
    setTimes(tree.write("master/" + rel, bytes), mtime, mtime);
    setTimes(tree.write("mirror/" + rel, bytes), mtime, mtime);
  }
  void master(const std::string& rel, const std::string& bytes, std::time_t mtime) {
    setTimes(tree.write("master/" + rel, bytes), mtime, mtime);
  }
  void mirror(const std::string& rel, const std::string& bytes, std::time_t mtime) {
    setTimes(tree.write("mirror/" + rel, bytes), mtime, mtime);
  }

  MirrorReport run() {
    MirrorEngine engine(settings, view);
    return engine.run();
  }

  std::vector<std::string> leftovers() const {
    std::vector<std::string> out;
    for (const auto& f : tree.files())
      if (f.find("/.") != std::string::npos) out.push_back(f);
    return out;
  }

  test::TempTree tree;
  MirrorSettings settings{tree.pathText("quillmere.ini"), "c:\\"};
  test::RecordingRunView view;
};

// One prepared pair of trees, run under each of the nine presets.
TEST_F(MirrorEngineTest, EveryPresetCopiesDeletesAndLeavesTheRightFiles) {
  struct Expect {
    int preset;
    bool byteCheck;       // the same-details pair with other bytes is caught
    bool masterOnlyKept;  // false: deleted from the master
    bool mirrorOnlyKept;  // false: deleted from the mirror
  };
  const Expect table[] = {{1, true, true, true},  {2, false, true, true},  {3, false, true, true},
                          {4, true, true, false}, {5, false, true, false}, {6, false, true, false},
                          {7, true, false, true}, {8, false, false, true}, {9, false, false, true}};
  for (const Expect& e : table) {
    SCOPED_TRACE("preset " + std::to_string(e.preset));
    std::error_code ec;
    std::filesystem::remove_all(tree.path("master"), ec);
    std::filesystem::remove_all(tree.path("mirror"), ec);
    tree.mkdir("master");
    tree.mkdir("mirror");
    both("same.jpg", "same", kBase);
    master("sub/mnew.jpg", "master new", kBase + 100);
    mirror("sub/mnew.jpg", "mirror old", kBase);
    master("rnew.jpg", "master old", kBase);
    mirror("rnew.jpg", "mirror new!", kBase + 100);
    master("sneaky.jpg", "AAAA", kBase);
    mirror("sneaky.jpg", "BBBB", kBase);
    master("deep/monly.jpg", "m only", kBase);
    mirror("ronly.jpg", "r only", kBase);
    settings.choosePreset(e.preset);

    const MirrorReport report = run();
    EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
    EXPECT_TRUE(report.problems.empty());

    EXPECT_EQ(peek("mirror/same.jpg"), "same");
    EXPECT_EQ(peek("master/sub/mnew.jpg"), "master new");
    EXPECT_EQ(peek("mirror/sub/mnew.jpg"), "master new");
    EXPECT_EQ(peek("master/rnew.jpg"), "mirror new!");
    EXPECT_EQ(peek("mirror/rnew.jpg"), "mirror new!");
    EXPECT_EQ(peek("master/sneaky.jpg"), "AAAA");
    EXPECT_EQ(peek("mirror/sneaky.jpg"), e.byteCheck ? "AAAA" : "BBBB");

    EXPECT_EQ(tree.exists("master/deep/monly.jpg"), e.masterOnlyKept);
    EXPECT_EQ(tree.exists("mirror/deep/monly.jpg"), e.masterOnlyKept);
    EXPECT_EQ(tree.exists("mirror/ronly.jpg"), e.mirrorOnlyKept);
    EXPECT_EQ(tree.exists("master/ronly.jpg"), e.mirrorOnlyKept);
    if (e.masterOnlyKept) {
      EXPECT_EQ(peek("mirror/deep/monly.jpg"), "m only");
    }
    EXPECT_TRUE(leftovers().empty());

    // A second run finds nothing to do.
    const MirrorReport again = run();
    EXPECT_EQ(again.replaced + again.copied + again.deleted, 0)
        << again.replaced << " " << again.copied << " " << again.deleted;
  }
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.completed.size(), 18u);
}

TEST_F(MirrorEngineTest, SameOrNestedFoldersAreRefusedBeforeAnythingHappens) {
  settings.choosePreset(4);
  master("a.jpg", "a", kBase);
  settings.put(key::kOutDir, tree.pathText("master"));
  EXPECT_EQ(run().outcome, MirrorOutcome::SameFolder);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "同一ディレクトリです。");

  // Inside the other, written differently, or through a link.
  tree.mkdir("master/backup");
  for (const std::string& out :
       {tree.pathText("master") + "\\backup", tree.pathText("master") + "\\", tree.pathText("")}) {
    settings.put(key::kOutDir, out);
    EXPECT_EQ(run().outcome, MirrorOutcome::SameFolder) << out;
  }
  ASSERT_EQ(::symlink(tree.path("master").c_str(), tree.path("link").c_str()), 0);
  settings.put(key::kOutDir, tree.pathText("link"));
  EXPECT_EQ(run().outcome, MirrorOutcome::SameFolder);
  EXPECT_EQ(tree.files(), (std::vector<std::string>{"master/a.jpg", "quillmere.ini"}));
  EXPECT_TRUE(view.completed.empty());
}

TEST_F(MirrorEngineTest, AMissingSideStopsTheRunAndTheOtherSideKeepsItsFiles) {
  settings.choosePreset(4);  // complete copy: mirror-only files would be deleted
  settings.put(key::kDustBox, "1");
  settings.put(key::kClrDustBox, "1");
  mirror("keep.jpg", "only copy", kBase);
  settings.put(key::kInDir, tree.pathText("card"));  // an unplugged card
  EXPECT_EQ(run().outcome, MirrorOutcome::MasterMissing);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "マスター側のディレクトリが見つかりません");
  EXPECT_EQ(peek("mirror/keep.jpg"), "only copy");

  settings.put(key::kInDir, tree.pathText("master"));
  settings.put(key::kOutDir, tree.pathText("mirror/gone"));
  EXPECT_EQ(run().outcome, MirrorOutcome::MirrorMissing);
  EXPECT_EQ(view.messages.back().text, "ミラー側のディレクトリが見つかりません");

  // A drive letter whose folder is not there (a card reader without a card).
  tree.mkdir("cardreader");
  test::DriveTable drives({{'D', tree.path("cardreader/medium"), 2, "EOS_DIGITAL"}});
  settings.put(key::kInDir, "D:\\DCIM");
  settings.put(key::kOutDir, tree.pathText("mirror"));
  EXPECT_EQ(run().outcome, MirrorOutcome::MasterMissing);
  drives.clear();
  EXPECT_EQ(peek("mirror/keep.jpg"), "only copy");
  EXPECT_TRUE(view.runningChanges.empty()) << "the panel never went into its run layout";

  // An existing empty master folder is a legitimate input, once the user agrees to lose every
  // mirror copy.
  settings.put(key::kDustBox, "0");
  settings.put(key::kClrDustBox, "0");
  settings.put(key::kInDir, tree.pathText("master"));
  view.answers = {msgbox::kYes};
  EXPECT_EQ(run().outcome, MirrorOutcome::Completed);
  EXPECT_FALSE(tree.exists("mirror/keep.jpg"));
}

TEST_F(MirrorEngineTest, ReadingOneTreeADayLaterReplacesNothingAndRunsLeaveAccessTimesAlone) {
  settings.choosePreset(5);
  for (int i = 0; i < 5; ++i) both("p" + std::to_string(i) + ".jpg", "same bytes", kBase);
  // A viewer read every mirror copy a day later.
  for (int i = 0; i < 5; ++i)
    setTimes(tree.path("mirror/p" + std::to_string(i) + ".jpg"), kBase, kBase + 86400);
  const MirrorReport first = run();
  EXPECT_EQ(first.replaced, 0);
  EXPECT_EQ(first.unchanged, 5);

  // The byte comparison reads both files and leaves their access times as they were.
  settings.choosePreset(1);
  EXPECT_EQ(run().replaced, 0);
  EXPECT_EQ(accessTime(tree.path("master/p0.jpg")).tv_sec, kBase);
  EXPECT_EQ(accessTime(tree.path("mirror/p0.jpg")).tv_sec, kBase + 86400);
}

TEST_F(MirrorEngineTest, AReplacedFileGetsTheWinnersListedTimesAndTheWinnerIsNotTouched) {
  settings.choosePreset(5);
  setTimes(tree.write("master/a.jpg", "new version"), kBase + 10, kBase + 20);
  mirror("a.jpg", "old", kBase);
  setTimes(tree.write("master/b.jpg", "one-sided"), kBase + 30, kBase + 40);
  const MirrorReport report = run();
  EXPECT_EQ(report.replaced, 1);
  EXPECT_EQ(report.copied, 1);
  for (const char* name : {"a.jpg", "b.jpg"}) {
    SCOPED_TRACE(name);
    struct stat m {
    }, r{};
    ASSERT_EQ(::stat(tree.path(std::string("master/") + name).c_str(), &m), 0);
    ASSERT_EQ(::stat(tree.path(std::string("mirror/") + name).c_str(), &r), 0);
    EXPECT_EQ(m.st_atim.tv_sec, name[0] == 'a' ? kBase + 20 : kBase + 40) << "the read moved it";
    EXPECT_EQ(r.st_atim.tv_sec, m.st_atim.tv_sec);
    EXPECT_EQ(r.st_mtim.tv_sec, m.st_mtim.tv_sec);
  }
}

TEST_F(MirrorEngineTest, RelativePathsThatDifferOnlyInCaseAreOneSided) {
  settings.choosePreset(1);
  master("DCIM/IMG_0001.JPG", "upper", kBase);
  mirror("DCIM/img_0001.jpg", "lower", kBase);
  mirror("dcim/IMG_0001.JPG", "folder", kBase);
  const MirrorReport report = run();
  EXPECT_EQ(report.replaced, 0);
  EXPECT_EQ(report.copied, 3);
  for (const char* side : {"master/", "mirror/"}) {
    EXPECT_EQ(peek(std::string(side) + "DCIM/IMG_0001.JPG"), "upper");
    EXPECT_EQ(peek(std::string(side) + "DCIM/img_0001.jpg"), "lower");
    EXPECT_EQ(peek(std::string(side) + "dcim/IMG_0001.JPG"), "folder");
  }
}

TEST_F(MirrorEngineTest, ACopyPhaseWithoutRoomCopiesNothingAndTheOtherPhaseStillRuns) {
  settings.choosePreset(1);
  // A sparse file larger than any disk here.
  const std::string huge = tree.path("master/huge.mov");
  {
    const int fd = ::open(huge.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, off_t{1} << 43) != 0) {
      ::close(fd);
      GTEST_SKIP() << "this file system cannot hold an 8 TiB sparse file";
    }
    ::close(fd);
  }
  master("small.jpg", "s", kBase);
  mirror("back.jpg", "b", kBase);
  const MirrorReport report = run();
  EXPECT_TRUE(report.mirrorSpaceRefused);
  EXPECT_FALSE(report.masterSpaceRefused);
  EXPECT_FALSE(tree.exists("mirror/small.jpg"));
  EXPECT_FALSE(tree.exists("mirror/huge.mov"));
  EXPECT_EQ(peek("master/back.jpg"), "b");
  EXPECT_EQ(view.timerLoop, 10);
  const auto commands = view.textsOf("Command");
  EXPECT_NE(std::find(commands.begin(), commands.end(), "ミラー側のディスク容量が足りません"),
            commands.end());
}

TEST_F(MirrorEngineTest, CancelDuringListingOrCopyingStopsCopyingButTidiesUp) {
  settings.choosePreset(1);
  settings.put(key::kSubDirDel2, "1");
  tree.mkdir("mirror/empty/inner");
  for (int i = 0; i < 5; ++i) master("f" + std::to_string(i) + ".jpg", "x", kBase);
  view.cancelAfterYields = 1;  // the yield after the master listing
  MirrorReport report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Cancelled);
  EXPECT_EQ(report.copied, 0);
  EXPECT_FALSE(tree.exists("mirror/empty")) << "empty folders are still removed";
  EXPECT_EQ(view.completed, std::vector<std::string>{"Mirrorring"}) << "and so is the completion";
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.current["Command"], "");

  // Cancel once the first file has been copied. (The clean-up took the emptied mirror folder
  // itself away.)
  EXPECT_FALSE(tree.exists("mirror"));
  tree.mkdir("mirror");
  view = test::RecordingRunView{};
  view.onYield = [&](int) {
    if (tree.exists("mirror/f0.jpg")) view.cancelled = true;
  };
  report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Cancelled);
  EXPECT_EQ(report.copied, 1);
  EXPECT_FALSE(tree.exists("mirror/f1.jpg"));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(MirrorEngineTest, TheDustBoxReceivesReplacedAndDeletedFilesOnlyWhenChosen) {
  settings.choosePreset(5);
  master("a.jpg", "new", kBase + 10);
  mirror("a.jpg", "old", kBase);
  mirror("extra.jpg", "extra", kBase);
  run();
  EXPECT_TRUE(trashed().empty());
  EXPECT_FALSE(tree.exists("mirror/extra.jpg"));

  settings.put(key::kDustBox, "1");
  master("b.jpg", "new", kBase + 10);
  mirror("b.jpg", "old b", kBase);
  mirror("extra2.jpg", "extra2", kBase);
  const MirrorReport report = run();
  EXPECT_EQ(report.replaced, 1);
  EXPECT_EQ(report.deleted, 1);
  auto names = trashed();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"b.jpg", "extra2.jpg"}));
  EXPECT_EQ(peek("mirror/b.jpg"), "new");
  std::string old;
  {
    std::ifstream in(trashFolder() + "/b.jpg");
    std::getline(in, old);
  }
  EXPECT_EQ(old, "old b");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(MirrorEngineTest, ReadOnlyFilesOnEitherSideAreReplacedAndKeepTheWinnersFlag) {
  settings.choosePreset(1);
  master("ro_winner.jpg", "new", kBase + 10);
  ::chmod(tree.path("master/ro_winner.jpg").c_str(), 0444);
  mirror("ro_winner.jpg", "old", kBase);
  master("ro_loser.jpg", "old", kBase);
  mirror("ro_loser.jpg", "new", kBase + 10);
  ::chmod(tree.path("master/ro_loser.jpg").c_str(), 0444);
  // Only the flag differs: the master wins (same last-write time).
  master("flag.jpg", "same", kBase);
  mirror("flag.jpg", "same", kBase);
  ::chmod(tree.path("mirror/flag.jpg").c_str(), 0444);
  const MirrorReport report = run();
  EXPECT_EQ(report.replaced, 3);
  EXPECT_EQ(peek("mirror/ro_winner.jpg"), "new");
  EXPECT_TRUE(readOnly(tree.path("mirror/ro_winner.jpg")));
  EXPECT_EQ(peek("master/ro_loser.jpg"), "new");
  EXPECT_FALSE(readOnly(tree.path("master/ro_loser.jpg")));
  EXPECT_FALSE(readOnly(tree.path("mirror/flag.jpg")));
  EXPECT_EQ(run().replaced, 0);
}

TEST_F(MirrorEngineTest, AFileChangedDuringTheRunIsNotOverwritten) {
  settings.choosePreset(5);
  master("a.jpg", "master", kBase + 10);
  mirror("a.jpg", "mirror", kBase);
  mirror("only.jpg", "only", kBase);
  bool changed = false;
  bool mirrorTableBuilt = false;
  view.onYield = [&](int) {
    // Once both tables are built (the mirror table counts 2 rows, the pair step 1), the user
    // saves new versions on the mirror side.
    if (view.current["MaxNo"] == "/ 2") mirrorTableBuilt = true;
    if (!changed && mirrorTableBuilt && view.current["MaxNo"] == "/ 1") {
      changed = true;
      mirror("a.jpg", "edited meanwhile", kBase + 20);
      mirror("only.jpg", "edited too", kBase + 20);
    }
  };
  const MirrorReport report = run();
  ASSERT_TRUE(changed);
  EXPECT_EQ(peek("mirror/a.jpg"), "edited meanwhile");
  EXPECT_EQ(peek("mirror/only.jpg"), "edited too");
  // The edited version is never lost: at most it now wins the pair and reaches the master.
  const std::string masterNow = peek("master/a.jpg");
  EXPECT_TRUE(masterNow == "master" || masterNow == "edited meanwhile") << masterNow;
  ASSERT_FALSE(report.problems.empty());
  EXPECT_EQ(report.problems.back().path, tree.pathText("mirror") + "\\only.jpg");
}

TEST_F(MirrorEngineTest, StatusTextsFollowTheRun) {
  settings.choosePreset(1);
  master("a.jpg", "AAAA", kBase);
  mirror("a.jpg", "BBBB", kBase);
  master("b.jpg", "b", kBase);
  run();
  const auto commands = view.textsOf("Command");
  for (const char* text : {"ファイルリスト作成中・・・", "ファイルのチェック中・・・",
                           "バイナリチェック中・・・", "ファイルのコピー中・・・"})
    EXPECT_NE(std::find(commands.begin(), commands.end(), text), commands.end()) << text;
  const auto no = view.textsOf("No");
  ASSERT_FALSE(no.empty());
  EXPECT_EQ(no.front(), "Check中");
  EXPECT_EQ(view.textsOf("MaxNo").front(), "/ Check中");
  EXPECT_EQ(view.current["No"], "");
  EXPECT_EQ(view.completed, (std::vector<std::string>{"Mirrorring"}));
  EXPECT_EQ(view.claimed, (std::vector<std::string>{"Mirrorring"}));
  EXPECT_FALSE(view.busy);
  EXPECT_EQ(view.reopened, (std::vector<std::string>{"Mirrorring"}));
}

TEST_F(MirrorEngineTest, AFailedCopyLeavesTheOldFileAndNoPartialOne) {
  settings.choosePreset(1);
  master("a.jpg", std::string(100000, 'n'), kBase + 10);
  mirror("a.jpg", "old version", kBase);
  master("b.jpg", "b", kBase);
  {
    // The disk fills up while the new version of a.jpg is written.
    platform::fileops::ScopedFault full([](platform::fileops::Call call, const std::string& path) {
      return call == platform::fileops::Call::Write && path.find("/mirror/") != std::string::npos
                 ? ENOSPC
                 : 0;
    });
    const MirrorReport report = run();
    EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
    EXPECT_EQ(report.replaced, 0);
    EXPECT_EQ(report.problems.size(), 2u);
  }
  EXPECT_EQ(peek("mirror/a.jpg"), "old version");
  EXPECT_FALSE(tree.exists("mirror/b.jpg"));
  EXPECT_TRUE(leftovers().empty());
  EXPECT_EQ(run().replaced, 1);
  EXPECT_EQ(peek("mirror/a.jpg"), std::string(100000, 'n'));
}

TEST_F(MirrorEngineTest, ARunKilledMidSwapIsFinishedByTheNextRunBeforeItLists) {
  settings.choosePreset(5);
  master("a.jpg", "new", kBase + 10);
  // What a run killed after trashing the old mirror file leaves: the new version under its
  // temporary name, recorded in the journal, and no a.jpg.
  const std::string target = tree.path("mirror/a.jpg");
  const std::string temporary = temporaryNameFor(target);
  {
    MirrorJournal killed;
    killed.record(temporary, target);
  }
  ASSERT_TRUE(platform::fileops::copyFile(tree.path("master/a.jpg"), temporary).ok());
  const MirrorReport report = run();
  EXPECT_EQ(report.restored, std::vector<std::string>{tree.pathText("mirror") + "\\a.jpg"});
  EXPECT_EQ(report.copied, 0) << "the master-only pass must not see a.jpg missing";
  EXPECT_EQ(peek("mirror/a.jpg"), "new");
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(MirrorEngineTest, NamesThatAreNotUtf8AreCopiedByteForByte) {
  settings.choosePreset(5);
  const std::string name = "\xff\xfe\x83\x41.jpg";  // CP932 bytes, not UTF-8
  master(name, "picture", kBase);
  const MirrorReport report = run();
  EXPECT_EQ(report.copied, 1);
  EXPECT_EQ(peek("mirror/" + name), "picture");
  EXPECT_EQ(run().copied, 0);
}

TEST_F(MirrorEngineTest, AGarbledDeleteOptionCopiesInsteadAndAVanishedFileIsReported) {
  settings.choosePreset(4);
  settings.put(key::kMirror1, "ja");  // neither True nor a number: not "delete"
  mirror("keep.jpg", "keep", kBase);
  master("gone.jpg", "gone", kBase);
  view.onYield = [&](int) {
    // The card is edited after the listing: a file disappears.
    if (view.current["Command"] == "ファイルのチェック中・・・")
      ::unlink(tree.path("master/gone.jpg").c_str());
  };
  const MirrorReport report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
  EXPECT_EQ(peek("master/keep.jpg"), "keep");
  EXPECT_FALSE(tree.exists("mirror/gone.jpg"));
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].path, tree.pathText("mirror") + "\\gone.jpg");
  EXPECT_NE(report.problems[0].reason.find("copy failed"), std::string::npos);
}

bool hasProblem(const MirrorReport& report, const std::string& path, const std::string& words) {
  for (const auto& p : report.problems)
    if (p.path == path && p.reason.find(words) != std::string::npos) return true;
  return false;
}

// Runs fn in a child process as the unprivileged user 65534 (root ignores permission bits) and
// answers what it returned; "skip" where privileges cannot be dropped.
std::string asNobody(const std::string& home, const std::function<std::string()>& fn) {
  int fds[2];
  if (::pipe(fds) != 0) return "skip";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out = "skip";
    if (::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
        ::setresuid(65534, 65534, 65534) == 0) {
      ::setenv("HOME", home.c_str(), 1);
      ::setenv("XDG_DATA_HOME", (home + "/data").c_str(), 1);
      ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
      ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
      ::setenv("XDG_STATE_HOME", (home + "/state").c_str(), 1);
      out = fn();
    }
    if (::write(fds[1], out.data(), out.size()) < 0) _exit(1);
    _exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buffer[4096];
  for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
    out.append(buffer, static_cast<std::size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

TEST_F(MirrorEngineTest, AFolderThatCannotBeListedKeepsItsTreeOffLimitsOnBothSides) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to run the subject as another user";
  both("top.jpg", "top", kBase);
  both("sub/a.jpg", "a", kBase);
  mirror("sub/b.jpg", "only on the mirror", kBase);
  mirror("sub/deeper/c.jpg", "deeper", kBase);
  master("sub/d.jpg", "only on the master", kBase);
  mirror("extra.jpg", "mirror-only elsewhere", kBase);
  tree.mkdir("home");
  ASSERT_EQ(std::system(("chown -R 65534:65534 '" + tree.root() + "'").c_str()), 0);

  // Preset 4 deletes mirror-only files; the master's "sub" cannot be entered.
  settings.choosePreset(4);
  const std::string masterSub = tree.pathText("master") + "\\sub";
  std::string got = asNobody(tree.path("home"), [&] {
    ::chmod(tree.path("master/sub").c_str(), 0);
    const MirrorReport report = run();
    ::chmod(tree.path("master/sub").c_str(), 0755);
    return std::string(hasProblem(report, masterSub, "could not be listed") ? "reported" : "-") +
           (report.deleted == 1 ? " deleted-one" : " deleted-" + std::to_string(report.deleted));
  });
  if (got == "skip") GTEST_SKIP() << "cannot drop privileges";
  EXPECT_EQ(got, "reported deleted-one");
  EXPECT_EQ(peek("mirror/sub/a.jpg"), "a");
  EXPECT_EQ(peek("mirror/sub/b.jpg"), "only on the mirror");
  EXPECT_EQ(peek("mirror/sub/deeper/c.jpg"), "deeper");
  EXPECT_FALSE(tree.exists("mirror/sub/d.jpg"));
  EXPECT_FALSE(tree.exists("mirror/extra.jpg")) << "the rest of the run goes on";

  // Preset 8 deletes master-only files; now the mirror's "sub" cannot be entered.
  settings.choosePreset(8);
  const std::string mirrorSub = tree.pathText("mirror") + "\\sub";
  got = asNobody(tree.path("home"), [&] {
    ::chmod(tree.path("mirror/sub").c_str(), 0);
    const MirrorReport report = run();
    ::chmod(tree.path("mirror/sub").c_str(), 0755);
    return std::string(hasProblem(report, mirrorSub, "could not be listed") ? "reported" : "-") +
           " deleted-" + std::to_string(report.deleted) + " copied-" +
           std::to_string(report.copied);
  });
  EXPECT_EQ(got, "reported deleted-0 copied-0");
  EXPECT_EQ(peek("master/sub/d.jpg"), "only on the master");
  EXPECT_FALSE(tree.exists("master/sub/b.jpg"));
}

TEST_F(MirrorEngineTest, ARunThatWouldEmptyOrHalveASideAsksFirstAndNoChangesNothing) {
  settings.choosePreset(4);  // mirror-only files are deleted
  settings.put(key::kSubDirDel2, "1");
  tree.mkdir("mirror/empty");
  for (int i = 0; i < 3; ++i) mirror("m" + std::to_string(i) + ".jpg", "copy", kBase);
  // With the trash to be emptied at the start: a picture deleted earlier stays in it too.
  settings.put(key::kDustBox, "1");
  settings.put(key::kClrDustBox, "1");
  std::filesystem::create_directories(trashFolder());
  std::ofstream(trashFolder() + "/wanted.jpg") << "deleted last week";
  MirrorReport report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::MassDelete);
  EXPECT_EQ(trashed(), std::vector<std::string>{"wanted.jpg"});
  settings.put(key::kDustBox, "0");
  settings.put(key::kClrDustBox, "0");
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].style & 7, msgbox::kYesNo);
  EXPECT_NE(view.messages[0].style & msgbox::kDefaultButton2, 0) << "No is the default";
  EXPECT_NE(view.messages[0].text.find("ミラー側のファイル 3 件のうち 3 件（すべて）"),
            std::string::npos)
      << view.messages[0].text;
  EXPECT_EQ(tree.files().size(), 4u) << "three pictures and the settings file";
  EXPECT_TRUE(tree.exists("mirror/empty")) << "not even empty folders are removed";
  EXPECT_TRUE(view.completed.empty());

  // More than half and more than 20: 21 of 40 asks, 20 of 40 does not.
  for (int i = 3; i < 40; ++i) mirror("m" + std::to_string(i) + ".jpg", "copy", kBase);
  for (int i = 0; i < 19; ++i) both("m" + std::to_string(i) + ".jpg", "copy", kBase);
  view = test::RecordingRunView{};
  EXPECT_EQ(run().outcome, MirrorOutcome::MassDelete);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_NE(view.messages[0].text.find("40 件のうち 21 件"), std::string::npos);
  both("m19.jpg", "copy", kBase);
  view = test::RecordingRunView{};
  report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
  EXPECT_EQ(report.deleted, 20);
  EXPECT_TRUE(view.messages.empty());

  // The master side (preset 7 deletes master-only files) with an empty mirror; allowed ahead.
  std::filesystem::remove_all(tree.path("mirror"));
  tree.mkdir("mirror");
  settings.choosePreset(7);
  view = test::RecordingRunView{};
  MirrorEngine engine(settings, view);
  engine.allowMassDelete(true);
  report = engine.run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
  EXPECT_EQ(report.deleted, 20);
  EXPECT_TRUE(view.messages.empty());
  ASSERT_EQ(view.notes.size(), 2u);
  EXPECT_NE(view.notes[1].find("マスター側のファイル 20 件のうち 20 件"), std::string::npos);
}

TEST_F(MirrorEngineTest, NothingIsCopiedOrMadeThroughAFolderLinkInsideATree) {
  settings.choosePreset(1);
  tree.mkdir("outside");
  ASSERT_EQ(::symlink(tree.path("outside").c_str(), tree.path("master/linkdir").c_str()), 0);
  mirror("linkdir/x.jpg", "x", kBase);
  mirror("linkdir/deeper/y.jpg", "y", kBase);
  mirror("plain.jpg", "p", kBase);
  const MirrorReport report = run();
  EXPECT_EQ(report.copied, 1);
  EXPECT_TRUE(std::filesystem::is_empty(tree.path("outside")))
      << "nothing lands outside the master";
  EXPECT_TRUE(hasProblem(report, tree.pathText("master") + "\\linkdir\\x.jpg", "folder link"));
  EXPECT_TRUE(
      hasProblem(report, tree.pathText("master") + "\\linkdir\\deeper\\y.jpg", "folder link"));
  EXPECT_EQ(peek("mirror/linkdir/x.jpg"), "x");
  EXPECT_EQ(peek("master/plain.jpg"), "p");
}

// A mirror folder whose name begins with the master's ("Photos", "Photos2") is a folder of its
// own: its files are copied, replaced and deleted like any other.
TEST_F(MirrorEngineTest, AMirrorNamedLikeTheMasterWithMoreIsMirroredAllTheSame) {
  settings.choosePreset(4);
  settings.put(key::kOutDir, tree.pathText("master2"));
  master("sub/new.jpg", "new", kBase);
  master("changed.jpg", "master's", kBase + 100);
  setTimes(tree.write("master2/changed.jpg", "old"), kBase, kBase);
  setTimes(tree.write("master2/gone.jpg", "gone"), kBase, kBase);
  master("keep1.jpg", "1", kBase);  // enough files that one deletion is no mass delete
  master("keep2.jpg", "2", kBase);
  setTimes(tree.write("master2/keep1.jpg", "1"), kBase, kBase);
  setTimes(tree.write("master2/keep2.jpg", "2"), kBase, kBase);
  const MirrorReport report = run();
  EXPECT_TRUE(report.problems.empty()) << report.problems.front().reason;
  EXPECT_EQ(report.copied, 1);
  EXPECT_EQ(report.replaced, 1);
  EXPECT_EQ(report.deleted, 1);
  EXPECT_EQ(peek("master2/sub/new.jpg"), "new");
  EXPECT_EQ(peek("master2/changed.jpg"), "master's");
  EXPECT_FALSE(tree.exists("master2/gone.jpg"));
}

// The other way round: a master named like the mirror with more. The copies the master takes
// are flushed on the master's side.
TEST_F(MirrorEngineTest, TheSideThatTookTheCopiesIsFlushedWhateverTheFoldersAreNamed) {
  settings.choosePreset(8);  // mirror to master
  settings.put(key::kInDir, tree.pathText("mirror2"));
  setTimes(tree.write("mirror2/keep.jpg", "k"), kBase, kBase);
  mirror("keep.jpg", "k", kBase);
  mirror("sub/only.jpg", "mirror only", kBase);
  std::vector<std::string> flushed;
  {
    platform::fileops::ScopedFault watch(
        [&](platform::fileops::Call call, const std::string& path) {
          if (call == platform::fileops::Call::Sync) flushed.push_back(path);
          return 0;
        });
    const MirrorReport report = run();
    EXPECT_TRUE(report.problems.empty());
    EXPECT_EQ(report.copied, 1);
  }
  EXPECT_EQ(peek("mirror2/sub/only.jpg"), "mirror only");
  EXPECT_EQ(flushed, std::vector<std::string>{tree.path("mirror2")});
}

TEST_F(MirrorEngineTest, WithoutATrashOnTheMirrorsVolumeNothingIsDeletedOrReplaced) {
  test::ScratchMount volume("1m");
  if (!volume.mounted()) GTEST_SKIP() << "cannot mount a scratch file system";
  // A plain file where the volume's trash folder would go: no trash can be made there.
  {
    std::ofstream blocker(volume.root() + "/.Trash-" + std::to_string(::getuid()));
    blocker << "x";
  }
  const std::string mirrorNative = volume.root() + "/mirror";
  ASSERT_EQ(::mkdir(mirrorNative.c_str(), 0755), 0);
  auto write = [&](const std::string& name, const std::string& bytes, std::time_t mtime) {
    std::ofstream(mirrorNative + "/" + name) << bytes;
    setTimes(mirrorNative + "/" + name, mtime, mtime);
  };
  write("keep.jpg", "keep", kBase);
  write("a.jpg", "old", kBase);
  write("extra.jpg", "only copy", kBase);
  master("keep.jpg", "keep", kBase);
  master("a.jpg", "new", kBase + 10);
  settings.put(key::kOutDir, platform::DriveMap::current().toPathText(mirrorNative));
  settings.choosePreset(4);
  settings.put(key::kDustBox, "1");
  const MirrorReport report = run();
  EXPECT_EQ(report.outcome, MirrorOutcome::Completed);
  EXPECT_EQ(report.deleted, 0);
  EXPECT_EQ(report.replaced, 0);
  auto contents = [&](const std::string& name) {
    std::ifstream in(mirrorNative + "/" + name);
    std::string text;
    std::getline(in, text);
    return text;
  };
  EXPECT_EQ(contents("extra.jpg"), "only copy");
  EXPECT_EQ(contents("a.jpg"), "old");
  const std::string mirrorText = platform::DriveMap::current().toPathText(mirrorNative);
  EXPECT_TRUE(hasProblem(report, mirrorText + "\\extra.jpg", "trash"));
  EXPECT_TRUE(hasProblem(report, mirrorText + "\\a.jpg", "trash"));
}

TEST_F(MirrorEngineTest, ASideRenamedAwayAfterTheListingLosesNothingOnTheOtherSide) {
  struct Case {
    int preset;         // 4 deletes mirror-only files, 7 master-only files
    std::string moved;  // the side that goes away
    std::string kept;   // the side whose one-sided file must stay
  };
  for (const Case& c : {Case{4, "master", "mirror"}, Case{7, "mirror", "master"}}) {
    SCOPED_TRACE(c.moved);
    std::filesystem::remove_all(tree.path("master"));
    std::filesystem::remove_all(tree.path("mirror"));
    std::filesystem::remove_all(tree.path("away"));
    both("pair.jpg", "pair", kBase);
    both("pair2.jpg", "pair", kBase);
    tree.write(c.kept + "/one-sided.jpg", "only copy");
    settings.choosePreset(c.preset);
    view = test::RecordingRunView{};
    bool moved = false;
    view.onYield = [&](int) {
      // The first yield after that side's listing: the master's count, or the mirror's.
      const bool listed =
          c.moved == "master" ? view.current["MaxNo"] == "/ 2" : view.current["No"] == "3";
      if (!moved && listed) {
        moved = true;
        std::filesystem::rename(tree.path(c.moved), tree.path("away"));
      }
    };
    const MirrorReport report = run();
    ASSERT_TRUE(moved);
    EXPECT_EQ(report.deleted, 0);
    EXPECT_EQ(peek(c.kept + "/one-sided.jpg"), "only copy");
    EXPECT_EQ(peek(c.kept + "/pair.jpg"), "pair");
  }
}

TEST_F(MirrorEngineTest, TheRunSaysWhatItWillDoBeforeItChangesAnything) {
  settings.choosePreset(4);
  settings.put(key::kDustBox, "1");
  master("a.jpg", "a", kBase);
  bool copiedBeforeNote = false;
  view.onYield = [&](int) {
    if (view.notes.empty() && tree.exists("mirror/a.jpg")) copiedBeforeNote = true;
  };
  run();
  EXPECT_FALSE(copiedBeforeNote);
  ASSERT_EQ(view.notes.size(), 1u);
  EXPECT_EQ(view.notes[0],
            "マスター " + tree.path("master") + " → ミラー " + tree.path("mirror") +
                "\nマスターだけのファイル: ミラーへコピー、ミラーだけのファイル: 削除"
                "\n内容の比較: する、削除・上書きするファイル: ごみ箱へ");
  MirrorOptions options;
  options.master = false;
  options.mirror1 = false;
  options.binCheck1 = true;
  options.dustBox = false;
  const std::string text = describeRun(options, "/a", "/b");
  EXPECT_NE(text.find("マスターだけのファイル: そのまま、ミラーだけのファイル: マスターへコピー"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("内容の比較: しない、削除・上書きするファイル: 完全に削除"),
            std::string::npos)
      << text;
}

}  // namespace
}  // namespace quillmere::mirror
