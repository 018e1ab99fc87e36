// The backup options and the backup run, through the settings file and a recording view.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>
#include <stdexcept>

#include "backup/BackupEngine.h"
#include "backup/BackupSettings.h"
#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "support/Census.h"
#include "support/DriveTable.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere;
using namespace quillmere::backup;
using quillmere::test::RecordingRunView;
using quillmere::test::TempTree;

namespace {

class Backup : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("QUILLMERE_ARCHIVER_DIR");
    ini = tree.pathText("quillmere.ini");
  }
  void TearDown() override { ::unsetenv("QUILLMERE_ARCHIVER_DIR"); }
  BackupSettings settings() const { return BackupSettings(ini, "c:\\"); }
  std::string value(const char* key) const {
    return dll().DLL_GetStringFromINI(ini, kSection, key, "<missing>");
  }
  void set(const char* key, const std::string& v) const {
    dll().DLL_WriteStringINI(ini, kSection, key, v);
  }
  // Every file below a folder, relative and sorted.
  std::vector<std::string> files(const std::string& rel) const {
    std::vector<std::string> out;
    for (auto it = fs::recursive_directory_iterator(tree.path(rel));
         it != fs::recursive_directory_iterator(); ++it)
      if (it->is_regular_file()) out.push_back(it->path().lexically_relative(tree.path(rel)));
    std::sort(out.begin(), out.end());
    return out;
  }
  // The member names of an archive (or self-extracting program), through 7zz.
  std::vector<std::string> members(const std::string& rel) const {
    const std::string out = tree.path("listed-" + std::to_string(++listed));
    const std::string cmd = "7zz x -y -o'" + out + "' '" + tree.path(rel) + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << rel;
    std::vector<std::string> names;
    for (auto it = fs::recursive_directory_iterator(out); it != fs::recursive_directory_iterator();
         ++it)
      if (it->is_regular_file()) names.push_back(it->path().lexically_relative(out));
    std::sort(names.begin(), names.end());
    return names;
  }
  TempTree tree;
  std::string ini;
  mutable int listed = 0;
};

TEST_F(Backup, SettingsDefaultsGroupAndWriteBack) {
  const BackupSettings s = settings();
  EXPECT_EQ(s.inDir(), "c:\\");
  EXPECT_FALSE(s.inDirChosen());
  EXPECT_EQ(s.nameBy(), NameBy::Time);
  EXPECT_EQ(s.fileNameText(), "FileName");
  EXPECT_TRUE(s.exe());
  EXPECT_TRUE(s.subDir());
  EXPECT_EQ(s.extension(), ".exe");
  EXPECT_EQ(s.nameCaption(), "YYYYMMDD_HHMMSS");
  s.writeBackOnLoad();
  EXPECT_EQ(value(key::kFileName), "False");
  EXPECT_EQ(value(key::kExe), "1");
  EXPECT_EQ(value(key::kSubDir), "1");
  EXPECT_EQ(value(key::kShutDown), "0");
  EXPECT_EQ(value(key::kWinShutDown), "0");
  EXPECT_EQ(value(key::kTime), "<missing>");

  EXPECT_EQ(s.applyControl("BackUP-Dir", "True"), "");
  EXPECT_EQ(value(key::kTime), "False");
  EXPECT_EQ(value(key::kDir), "True");
  EXPECT_EQ(value(key::kFileName), "False");
  EXPECT_EQ(s.nameBy(), NameBy::Dir);
  EXPECT_EQ(s.applyControl("BackUP-Exe", "0"), "");
  EXPECT_EQ(s.extension(), ".lzh");
  EXPECT_NE(s.applyControl("BackUP-Exe", "yes"), "");
  EXPECT_NE(s.applyControl("BackUP-Time", "1"), "");
  EXPECT_NE(s.applyControl("BackUP-Colour", "red"), "");
  // A garbled option value falls back to naming by date and time.
  set(key::kTime, "garbage");
  set(key::kDir, "garbage");
  set(key::kFileName, "garbage");
  EXPECT_EQ(s.nameBy(), NameBy::Time);
}

TEST_F(Backup, DestinationNames) {
  tree.mkdir("Photos/2004");
  tree.mkdir("Photos/2003.05.01");
  tree.mkdir("card");
  const test::DriveTable drives({{'E', tree.path("card"), 2, "CARD"}});
  const BackupSettings s = settings();
  set(key::kExe, "0");
  EXPECT_EQ(destinationPath(s.runOptions(), "D:\\Backup", "2004", "03", "15", "09", "30", "05"),
            "D:\\Backup\\20040315_093005.lzh");
  s.setNameBy(NameBy::Dir);
  s.setInDir(tree.pathText("Photos/2004"));
  set(key::kExe, "1");
  EXPECT_EQ(destinationPath(s.runOptions(), "D:\\Backup", "2004", "03", "15", "09", "30", "05"),
            "D:\\Backup\\2004.exe");
  s.setInDir(tree.pathText("Photos/2003.05.01"));
  EXPECT_EQ(s.nameCaption(), "2003.05.01");
  s.setInDir("E:\\");
  set(key::kExe, "0");
  EXPECT_EQ(s.nameCaption(), "E_Drive");
  EXPECT_EQ(destinationPath(s.runOptions(), "D:\\Backup", "2004", "03", "15", "09", "30", "05"),
            "D:\\Backup\\E_Drive.lzh");
  s.setNameBy(NameBy::FileName);
  set(key::kFileNameText, "Holiday");
  EXPECT_EQ(destinationPath(s.runOptions(), "D:\\", "2004", "03", "15", "09", "30", "05"),
            "D:\\Holiday.lzh");
}

TEST_F(Backup, TimeNamedArchiveLeavesTheBackedUpFolder) {
  tree.write("Photos/2004/a.jpg", std::string(5000, 'a'));
  tree.write("Photos/2004/sub/b.jpg", "b");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("Photos/2004"));
  s.setOutDir(tree.pathText("out"));
  set(key::kExe, "0");
  RecordingRunView view;
  const BackupReport r = runBackup(s, view);
  EXPECT_TRUE(r.placed) << r.message;
  const auto made = files("out");
  ASSERT_EQ(made.size(), 1u);
  EXPECT_TRUE(std::regex_match(made[0], std::regex("20[0-9]{6}_[0-9]{6}\\.lzh"))) << made[0];
  EXPECT_EQ(files("Photos/2004"), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
  EXPECT_EQ(members("out/" + made[0]), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.completed, std::vector<std::string>{"BackUP"});
}

TEST_F(Backup, FolderNamedProgramAndTheSecondRunThatFindsItsNameTaken) {
  tree.write("Photos/2003.05.01/a.jpg", "a");
  tree.write("Photos/2003.05.01/sub/b.jpg", "b");
  tree.write("Photos/parent-only.jpg", "not part of the backup");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("Photos/2003.05.01"));
  s.setOutDir(tree.pathText("out"));
  s.setNameBy(NameBy::Dir);
  set(key::kSubDir, "0");
  RecordingRunView view;
  BackupReport r = runBackup(s, view);
  ASSERT_TRUE(r.placed) << r.message;
  EXPECT_EQ(files("out"), std::vector<std::string>{"2003.05.01.exe"});
  EXPECT_EQ(files("Photos/2003.05.01"), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
  EXPECT_EQ(members("out/2003.05.01.exe"), std::vector<std::string>{"a.jpg"});  // SubDir 0
  // Again: the destination exists. It stays as it was, and the new program is removed rather
  // than left in the backed-up folder, where the next backup would pack it.
  tree.write("out/2003.05.01.exe", "the older backup");
  r = runBackup(s, view);
  EXPECT_FALSE(r.placed);
  EXPECT_EQ(files("out"), std::vector<std::string>{"2003.05.01.exe"});
  EXPECT_EQ(tree.read("out/2003.05.01.exe"), "the older backup");
  EXPECT_EQ(files("Photos/2003.05.01"), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
  EXPECT_NE(r.message.find(tree.path("out/2003.05.01.exe") + " already exists"), std::string::npos)
      << r.message;
  EXPECT_NE(r.message.find(tree.path("Photos/2003.05.01/2003.05.01.exe") + " was removed"),
            std::string::npos)
      << r.message;
  // A cancel after the packing leaves no archive behind either.
  RecordingRunView cancelling;
  cancelling.cancelAfterYields = 2;  // the yield after the packing
  tree.mkdir("out2");
  s.setOutDir(tree.pathText("out2"));
  r = runBackup(s, cancelling);
  EXPECT_TRUE(r.cancelled);
  EXPECT_TRUE(files("out2").empty());
  EXPECT_EQ(files("Photos/2003.05.01"), (std::vector<std::string>{"a.jpg", "sub/b.jpg"}));
}

// The user's own archive or program of the folder's name, in the folder: packed like any other
// file, never updated, converted, moved or removed.
TEST_F(Backup, TheUsersOwnArchiveOfTheFolderNameIsNeverTouched) {
  // An older trip.lzh that holds the only copy of an earlier p1.jpg.
  tree.write("old/trip/p1.jpg", "the earlier picture");
  const std::string older = dll().DLL_LZHMake(0, tree.pathText("old/trip"), false, true);
  ASSERT_EQ(older, tree.pathText("old/trip") + "\\trip.lzh");
  const std::string userArchive = tree.read("old/trip/trip.lzh");
  tree.write("trip/p1.jpg", "the new picture");
  tree.write("trip/trip.lzh", userArchive);
  tree.write("trip/trip.exe", "the user's own program");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("trip"));
  s.setOutDir(tree.pathText("out"));
  s.setNameBy(NameBy::Dir);
  for (const char* exe : {"1", "0"}) {
    SCOPED_TRACE(exe);
    set(key::kExe, exe);
    fs::remove_all(tree.path("out"));
    tree.mkdir("out");
    RecordingRunView view;
    const BackupReport r = runBackup(s, view);
    ASSERT_TRUE(r.placed) << r.message;
    EXPECT_EQ(files("trip"), (std::vector<std::string>{"p1.jpg", "trip.exe", "trip.lzh"}));
    EXPECT_EQ(tree.read("trip/trip.lzh"), userArchive);
    EXPECT_EQ(tree.read("trip/trip.exe"), "the user's own program");
    const std::string placed = std::string("out/trip.") + (exe[0] == '1' ? "exe" : "lzh");
    EXPECT_EQ(files("out"), std::vector<std::string>{placed.substr(4)});
    EXPECT_EQ(members(placed), (std::vector<std::string>{"p1.jpg", "trip.exe", "trip.lzh"}));
    EXPECT_EQ(tree.read("listed-" + std::to_string(listed) + "/p1.jpg"), "the new picture");
  }
  // The library method alone: with the name taken, the new archive keeps a fresh name.
  const std::string fresh = dll().DLL_LZHMake(0, tree.pathText("trip"), false, true);
  EXPECT_NE(fresh, tree.pathText("trip") + "\\trip.lzh");
  EXPECT_TRUE(dll().DLL_FileCheck(fresh));
  EXPECT_EQ(tree.read("trip/trip.lzh"), userArchive);
}

// The run shows the files and bytes packed so far while the archiver works, not only its end.
TEST_F(Backup, PackingShowsFilesAndBytesAsItGoes) {
  std::string big;
  std::mt19937 rng(7);
  for (int i = 0; i < 12 * 1024 * 1024; ++i) big += static_cast<char>('a' + rng() % 12);
  tree.write("2004/a.jpg", "a");
  tree.write("2004/big.mov", big);
  tree.write("2004/sub/b.jpg", "b");
  fs::create_symlink("a.jpg", tree.path("2004/link.jpg"));  // not packed, not counted
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("2004"));
  s.setOutDir(tree.pathText("out"));
  set(key::kExe, "0");
  RecordingRunView view;
  const BackupReport r = runBackup(s, view);
  ASSERT_TRUE(r.placed) << r.message;
  EXPECT_EQ(view.textsOf("FileMax"), std::vector<std::string>{"3/ "});
  const auto done = view.textsOf("FileNo");
  ASSERT_FALSE(done.empty());
  EXPECT_EQ(done.front(), "0");
  EXPECT_EQ(done.back(), "3");
  const auto commands = view.textsOf("Command");
  ASSERT_GE(commands.size(), 3u);  // the start, at least one step while packing, the end
  EXPECT_EQ(commands.front(), "圧縮中・・・0.0 / 12.0 MB");
  EXPECT_EQ(commands.back(), "圧縮中・・・12.0 / 12.0 MB");
  std::vector<double> packed;
  for (const auto& c : commands)
    packed.push_back(std::stod(c.substr(std::string("圧縮中・・・").size())));
  EXPECT_TRUE(std::is_sorted(packed.begin(), packed.end())) << ::testing::PrintToString(commands);
}

TEST_F(Backup, EmptiedFileNameAndDriveRoot) {
  tree.write("card/DCIM/100/a.jpg", "a");
  tree.mkdir("out");
  const test::DriveTable drives({{'E', tree.path("card"), 2, "CARD"}});
  const BackupSettings s = settings();
  s.setOutDir(tree.pathText("out"));
  set(key::kExe, "0");
  s.setInDir("E:\\");
  s.setNameBy(NameBy::Dir);
  RecordingRunView view;
  BackupReport r = runBackup(s, view);
  ASSERT_TRUE(r.placed) << r.message;
  EXPECT_EQ(r.destination, tree.pathText("out") + "\\E_Drive.lzh");
  EXPECT_EQ(members("out/E_Drive.lzh"), std::vector<std::string>{"DCIM/100/a.jpg"});

  s.setNameBy(NameBy::FileName);
  set(key::kFileNameText, "");
  r = runBackup(s, view);
  EXPECT_EQ(value(key::kFileNameText), "FileName");
  EXPECT_TRUE(r.placed) << r.message;
  EXPECT_TRUE(tree.exists("out/FileName.lzh"));
}

// The run's one settings write (an empty given name becomes "FileName") comes before any file is
// touched: a settings file that cannot take it refuses the run, and a run that has nothing to
// store leaves the file as it was.
TEST_F(Backup, TheSettingsFileIsWrittenBeforeTheFilesOrNotAtAll) {
  tree.write("in/a.jpg", "a");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("in"));
  s.setOutDir(tree.pathText("out"));
  s.setNameBy(NameBy::FileName);
  set(key::kExe, "0");
  set(key::kFileNameText, "");
  RecordingRunView view;
  {
    const platform::fileops::ScopedFault full([](platform::fileops::Call call,
                                                 const std::string& path) {
      return call == platform::fileops::Call::Write && path.ends_with("quillmere.ini") ? ENOSPC : 0;
    });
    const BackupReport r = runBackup(s, view);
    EXPECT_TRUE(r.refused);
    EXPECT_NE(r.message.find(tree.path("quillmere.ini")), std::string::npos) << r.message;
  }
  EXPECT_EQ(files("in"), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(files("out").empty());

  set(key::kFileNameText, "Card");
  const std::string before = tree.read("quillmere.ini");
  struct stat was {};
  ASSERT_EQ(::stat(tree.path("quillmere.ini").c_str(), &was), 0);
  const BackupReport r = runBackup(s, view);
  EXPECT_TRUE(r.placed) << r.message;
  struct stat now {};
  ASSERT_EQ(::stat(tree.path("quillmere.ini").c_str(), &now), 0);
  EXPECT_EQ(now.st_ino, was.st_ino);  // not replaced by a rewrite
  EXPECT_EQ(tree.read("quillmere.ini"), before);
}

TEST_F(Backup, MissingFoldersNoArchiverAndCancel) {
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setOutDir(tree.pathText("out"));
  RecordingRunView view;
  BackupReport r = runBackup(s, view);  // nothing chosen: never the program drive
  EXPECT_TRUE(r.refused);
  s.setInDir(tree.pathText("gone/away"));
  r = runBackup(s, view);
  EXPECT_TRUE(r.refused);
  EXPECT_NE(r.message.find("not there"), std::string::npos);
  s.setInDir("C:\\");  // the system's root
  r = runBackup(s, view);
  EXPECT_TRUE(r.refused);
  EXPECT_NE(r.message.find("root folder"), std::string::npos) << r.message;
  EXPECT_TRUE(files("out").empty());

  tree.write("in/a.jpg", "a");
  s.setInDir(tree.pathText("in"));
  ::setenv("QUILLMERE_ARCHIVER_DIR", tree.path("no-archiver").c_str(), 1);
  r = runBackup(s, view);
  EXPECT_FALSE(r.placed);
  EXPECT_FALSE(r.archiveMade);
  EXPECT_EQ(files("in"), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(files("out").empty());
  ::unsetenv("QUILLMERE_ARCHIVER_DIR");

  RecordingRunView cancelled;
  cancelled.cancelled = true;
  r = runBackup(s, cancelled);
  EXPECT_TRUE(r.cancelled);
  EXPECT_EQ(files("in"), std::vector<std::string>{"a.jpg"});
  EXPECT_TRUE(files("out").empty());
  EXPECT_EQ(cancelled.completed, std::vector<std::string>{"BackUP"});  // also after a cancel
  EXPECT_EQ(cancelled.runningChanges, (std::vector<bool>{true, false}));
}

}  // namespace

namespace {

TEST(BackupRunner, QuillmereRunBackUpPlacesTheArchiveAndReportsATakenName) {
  TempTree tree;
  tree.write("2004/a.jpg", "a");
  tree.mkdir("out");
  const std::string run = std::string(QUILLMERE_BIN_DIR) + "/quillmere-run --ini '" +
                          tree.path("q.ini") + "' --set Dir=True --set Exe=0 --set OutDir='" +
                          tree.path("out") + "' BackUP '" + tree.path("2004") + "' 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(run.c_str())), 0);
  EXPECT_TRUE(tree.exists("out/2004.lzh"));
  // The name is taken now: the older backup stays, no archive is left in the folder, and one
  // line names both files as native paths.
  const std::string again = run.substr(0, run.size() - std::string("2>/dev/null").size()) + "2>'" +
                            tree.path("err") + "'";
  EXPECT_EQ(WEXITSTATUS(std::system(again.c_str())), 1);
  EXPECT_EQ(tree.files(), (std::vector<std::string>{"2004/a.jpg", "err", "out/2004.lzh", "q.ini"}));
  EXPECT_NE(tree.read("err").find(tree.path("out/2004.lzh") +
                                  " already exists and was left as it "
                                  "was; the new archive " +
                                  tree.path("2004/2004.lzh") + " was removed\n"),
            std::string::npos)
      << tree.read("err");
  const std::string bad = std::string(QUILLMERE_BIN_DIR) + "/quillmere-run --ini '" +
                          tree.path("q.ini") + "' --set Exe=maybe BackUP 2>/dev/null";
  EXPECT_EQ(WEXITSTATUS(std::system(bad.c_str())), 2);
}

}  // namespace

// An unexpected error inside the run is shown once, as the shared run error, and reported as a
// failure (the runner's status 3), not as a file left over; the run still closes.
TEST_F(Backup, AnUnexpectedErrorIsShownOnceAndReportedAsAFailure) {
  tree.write("Photos/a.jpg", "a");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("Photos"));
  s.setOutDir(tree.pathText("out"));
  RecordingRunView view;
  view.onYield = [](int n) {
    if (n == 2) throw std::runtime_error("boom");
  };
  const BackupReport r = runBackup(s, view);
  EXPECT_TRUE(r.failed);
  EXPECT_FALSE(r.placed);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "実行時エラー '51':\n\nboom");
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
  EXPECT_TRUE(files("out").empty());
  EXPECT_EQ(files("Photos"), std::vector<std::string>{"a.jpg"});
}

namespace {

TEST_F(Backup, ThePlanNamesTheArchiveAndTheFilesTheRunPacksAndTouchesNothing) {
  tree.write("Photos/2003.05.01/a.jpg", "a");
  tree.write("Photos/2003.05.01/sub/b.jpg", "bb");
  tree.mkdir("out");
  const BackupSettings s = settings();
  s.setInDir(tree.pathText("Photos/2003.05.01"));
  s.setOutDir(tree.pathText("out"));
  s.setNameBy(NameBy::Dir);
  set(key::kExe, "0");
  const auto before = quillmere::test::censusOf(tree.path("Photos"));
  std::string refusal;
  const RunPlan plan = planBackup(s, refusal);
  EXPECT_EQ(refusal, "");
  EXPECT_EQ(quillmere::test::censusOf(tree.path("Photos")), before);
  EXPECT_TRUE(files("out").empty());
  std::vector<std::string> planned;
  for (const auto& step : plan.steps()) {
    EXPECT_EQ(step.kind, PlanStep::Kind::Copy);
    EXPECT_EQ(step.to, tree.pathText("out/2003.05.01.lzh"));
    planned.push_back(fs::path(*platform::nativePathOf(step.from))
                          .lexically_relative(tree.path("Photos/2003.05.01")));
  }
  EXPECT_EQ(plan.summary().bytes, 3);

  RecordingRunView view;
  const BackupReport r = runBackup(s, view);
  ASSERT_TRUE(r.placed) << r.message;
  EXPECT_EQ(r.destination, tree.pathText("out/2003.05.01.lzh"));
  EXPECT_EQ(files("out"), std::vector<std::string>{"2003.05.01.lzh"});
  EXPECT_EQ(members("out/2003.05.01.lzh"), planned);
  EXPECT_EQ(quillmere::test::censusOf(tree.path("Photos")), before);
}

TEST_F(Backup, ThePlanRefusesWhatTheRunRefuses) {
  const BackupSettings s = settings();
  std::string refusal;
  EXPECT_TRUE(planBackup(s, refusal).empty());
  EXPECT_EQ(refusal, "no folder to back up has been chosen (BackUP-InDir)");
  s.setInDir(tree.pathText("missing"));
  planBackup(s, refusal);
  RecordingRunView view;
  EXPECT_EQ(refusal, runBackup(s, view).message);
}

}  // namespace
