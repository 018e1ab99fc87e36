#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <cerrno>
#include <ctime>
#include <filesystem>
#include <map>

#include "RenameFixture.h"

#include "platform/FileOps.h"

namespace quillmere::rename::test {
namespace {

using Names = std::vector<std::string>;
const std::string kShot = "2002:03:15 14:23:05";
const std::string kShotName = "20020315_142305";

class RenameEngineTest : public RenameFixture {};

TEST_F(RenameEngineTest, SameSecondPicturesGetLettersAndASecondStayRunChangesNothing) {
  options(Mode::Stay);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0002.JPG", picture(kShot, "two"));
  tree.write("in/DSC0003.JPG", picture("2003:05:09 07:03:02", "three"));
  const RunReport first = rename();
  EXPECT_EQ(first.handled, 3);
  EXPECT_TRUE(first.problems.empty());
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".JPG", kShotName + "a.JPG", "20030509_070302.JPG"}));
  EXPECT_EQ(tree.read("in/" + kShotName + ".JPG"), picture(kShot, "one"));
  EXPECT_EQ(view.textsOf("FileMax").at(1), "3/ ");

  const auto before = contents("in");
  const RunReport second = rename();
  EXPECT_EQ(second.handled, 3);
  EXPECT_EQ(contents("in"), before);
}

TEST_F(RenameEngineTest, ABurstOfOneSecondRunsThroughTheLettersPastZ) {
  options(Mode::Stay);
  for (int i = 0; i < 28; ++i)
    tree.write("in/DSC" + std::to_string(1000 + i) + ".JPG", picture(kShot, std::to_string(i)));
  EXPECT_EQ(rename().handled, 28);
  EXPECT_TRUE(tree.exists("in/" + kShotName + ".JPG"));
  EXPECT_TRUE(tree.exists("in/" + kShotName + "z.JPG"));
  EXPECT_TRUE(tree.exists("in/" + kShotName + "aa.JPG"));
  EXPECT_EQ(tree.files().size(), 29u);  // 28 pictures and the settings file
}

// A folder large enough for the survey to read heads on two threads: every file still gets the
// name of its own date, and a file gone since the listing is reported, not taken for another.
TEST_F(RenameEngineTest, ALargeFolderIsSurveyedOnTwoThreadsFileByFile) {
  options(Mode::Stay);
  std::map<std::string, std::string> want;  // new name -> contents
  for (int i = 0; i < 300; ++i) {
    char date[20], name[20];
    std::snprintf(date, sizeof date, "2004:%02d:%02d %02d:%02d:%02d", 1 + i % 12, 1 + i % 28,
                  i % 24, i % 60, (i * 7) % 60);
    std::snprintf(name, sizeof name, "2004%02d%02d_%02d%02d%02d", 1 + i % 12, 1 + i % 28, i % 24,
                  i % 60, (i * 7) % 60);
    const std::string contents = picture(date, std::to_string(i));
    tree.write("in/DSC" + std::to_string(10000 + i) + ".JPG", contents);
    want[i == 150 ? "DSC10150.JPG" : std::string(name) + ".JPG"] = contents;
  }
  int opens = 0;
  platform::fileops::ScopedFault vanish([&](platform::fileops::Call call, const std::string& path) {
    // The survey's open of one file finds it gone.
    if (call == platform::fileops::Call::Open && path.find("DSC10150.JPG") != std::string::npos) {
      ++opens;
      return ENOENT;
    }
    return 0;
  });
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 299);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].path.find("DSC10150.JPG"), std::string::npos);
  EXPECT_EQ(report.problems[0].reason, Unhandled::Vanished);
  EXPECT_EQ(opens, 1);
  ASSERT_EQ(namesIn("in").size(), want.size());
  for (const auto& [name, contents] : want) EXPECT_EQ(tree.read("in/" + name), contents) << name;
}

TEST_F(RenameEngineTest, FilesExchangeNamesWithoutOverwritingEachOther) {
  options(Mode::Stay);
  tree.write("in/20030101_000000.JPG", picture(kShot, "shot in 2002"));
  tree.write("in/" + kShotName + ".JPG", picture("2003:01:01 00:00:00", "shot in 2003"));
  EXPECT_EQ(rename().handled, 2);
  EXPECT_EQ(tree.read("in/" + kShotName + ".JPG"), picture(kShot, "shot in 2002"));
  EXPECT_EQ(tree.read("in/20030101_000000.JPG"), picture("2003:01:01 00:00:00", "shot in 2003"));
}

TEST_F(RenameEngineTest, FilesWithoutDateOrExtensionKeepTheirNamesInTheirFolders) {
  options(Mode::Stay);
  tree.write("in/IMG_0001.JPG", picture("", "no date"));
  tree.write("in/README", "no extension");
  tree.write("in/sub/NOTES", "no extension either");
  tree.write("in/sub/DSC0001.JPG", picture(kShot, "dated"));
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 4);
  EXPECT_EQ(namesIn("in"),
            (Names{"IMG_0001.JPG", "README", "sub/" + kShotName + ".JPG", "sub/NOTES"}));
}

TEST_F(RenameEngineTest, NumbersWidenAndAutoIncrementStoresTheNextNumber) {
  options(Mode::Stay, NameFormat::Number);
  for (int i = 1; i <= 12; ++i)
    tree.write("in/P" + std::to_string(100 + i) + ".JPG", "x" + std::to_string(i));
  set("ReName-StartNo", "1");
  set("ReName-Namber", "0");
  EXPECT_EQ(rename().handled, 12);
  const Names names = namesIn("in");
  EXPECT_EQ(names.front(), "01.JPG");
  EXPECT_EQ(names.back(), "12.JPG");
  EXPECT_EQ(tree.read("in/01.JPG"), "x1");  // numbers follow the source paths

  TempTree other;
  RenameSettings s(ini(), "c:\\");
  other.write("a.JPG", "a");
  other.write("b.JPG", "b");
  other.write("sub/c.JPG", "c");
  other.write("sub/d.JPG", "d");
  s.setInDir(other.pathText());
  set("ReName-StartNo", "10");
  set("ReName-Namber", "2");
  set("ReName-AutoIncrement", "1");
  EXPECT_EQ(RenameEngine(s, view).run().handled, 4);
  EXPECT_EQ(other.files(), (Names{"010.JPG", "011.JPG", "sub/001.JPG", "sub/002.JPG"}));
  EXPECT_EQ(other.read("sub/002.JPG"), "d");
  EXPECT_EQ(s.text("ReName-StartNo"), "3");  // the last number given plus one
}

// The options are read once as the run starts: a settings file changed while files are handled
// (the panel's options, another program) changes nothing in the run under way.
TEST_F(RenameEngineTest, OptionsChangedDuringTheRunAreNotRead) {
  options(Mode::Stay);
  set("ReName-TimeStamp", "0");
  set("ReName-Attribute", "0");
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0002.JPG", picture("2003:05:09 07:03:02", "two"));
  view.onYield = [&](int) {
    if (view.current["Command"] != "ファイルのチェック中・・・") return;
    set("ReName-MojiS", "True");
    set("ReName-MojiNot", "False");
    set("ReName-TimeStamp", "1");
    set("ReName-TimeStampChange", "1");
    set("ReName-Attribute", "1");
    set("ReName-Read", "1");
  };
  const auto before = ::time(nullptr);
  EXPECT_EQ(rename().handled, 2);
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".JPG", "20030509_070302.JPG"}));
  struct stat st {};
  ASSERT_EQ(::stat(tree.path("in/20030509_070302.JPG").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IWUSR, 0u);  // not made read-only
  EXPECT_GE(st.st_mtime, before - 5);   // its own time, not the given one of 2000
}

TEST_F(RenameEngineTest, RunOptionsTakeTheDefaultsOfTheKeyTable) {
  const RenameOptions o = RenameSettings(tree.pathText("none.ini"), "c:\\").runOptions();
  EXPECT_EQ(o.mode, Mode::Stay);
  EXPECT_EQ(o.format, NameFormat::Date);
  EXPECT_EQ(o.caseOption, CaseOption::AsBuilt);
  EXPECT_EQ(o.inDir, "c:\\");
  EXPECT_EQ(o.outDir, o.inDir);
  EXPECT_TRUE(o.lookSubDir && o.makeSubDir && o.removeEmptyInDirs && o.removeEmptyOutDirs);
  EXPECT_EQ(o.headLines, 256);
  EXPECT_FALSE(o.setTimes || o.givenTime || o.autoIncrement || o.setAttribute || o.readOnly);
  EXPECT_EQ(o.startNumber, 0);
  EXPECT_EQ(o.minimumDigits, 3);

  options(Mode::Move);
  set("ReName-File_Byte", "14");
  set("ReName-TimeStamp", "1");
  set("ReName-TimeStampChange", "1");
  set("ReName-YYYYDay", "2001");
  set("ReName-MMDay", "1");
  set("ReName-DDDay", "30");  // February has 28 days in 2001
  const RenameOptions m = settings.runOptions();
  EXPECT_EQ(m.outDir, out());
  EXPECT_EQ(m.headLines, 2048);
  EXPECT_EQ(std::vector<int>(m.given, m.given + 6), (std::vector<int>{2001, 2, 28, 0, 0, 0}));
}

TEST_F(RenameEngineTest, CaseOptionChangesTheNameWhenItSettles) {
  options(Mode::Stay, NameFormat::Date, CaseOption::Lower);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  EXPECT_EQ(rename().handled, 1);
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".jpg"}));
}

// Two pictures of one second that are not neighbours in the listing meet while parking; with
// upper case the second is parked under a name that differs in case from the one the record
// holds. The run must still find it.
TEST_F(RenameEngineTest, UpperCaseClashWhileParkingKeepsTrackOfTheParkedFile) {
  options(Mode::Stay, NameFormat::Date, CaseOption::Upper);
  tree.write("in/A.jpg", picture(kShot, "a"));
  tree.write("in/M.jpg", picture("2003:05:09 07:03:02", "m"));
  tree.write("in/Z.jpg", picture(kShot, "z"));
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 3);
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".JPG", kShotName + "A.JPG", "20030509_070302.JPG"}));
  EXPECT_EQ(tree.read("in/" + kShotName + "A.JPG"), picture(kShot, "z"));
}

TEST_F(RenameEngineTest, CopyModeLeavesTheSourcesAndBuildsTheTargetTree) {
  options(Mode::Copy);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/day2/DSC0002.JPG", picture("2003:05:09 07:03:02", "two"));
  const auto sources = contents("in");
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 2);
  EXPECT_EQ(contents("in"), sources);
  EXPECT_EQ(namesIn("out"), (Names{kShotName + ".JPG", "day2/20030509_070302.JPG"}));
  EXPECT_EQ(tree.read("out/day2/20030509_070302.JPG"), picture("2003:05:09 07:03:02", "two"));
  EXPECT_NE(
      std::find(view.textsOf("Command").begin(), view.textsOf("Command").end(), "コピー中・・・"),
      view.textsOf("Command").end());
}

TEST_F(RenameEngineTest, NothingIsCopiedThroughAFolderLinkInTheTargetTree) {
  options(Mode::Copy);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/day2/DSC0002.JPG", picture("2003:05:09 07:03:02", "two"));
  tree.mkdir("out");
  tree.mkdir("elsewhere");
  ASSERT_EQ(::symlink(tree.path("elsewhere").c_str(), tree.path("out/day2").c_str()), 0);
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 1);
  EXPECT_TRUE(std::filesystem::is_empty(tree.path("elsewhere")));
  EXPECT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(tree.exists("in/day2/DSC0002.JPG"));
}

TEST_F(RenameEngineTest, MoveModeMovesReadOnlyFilesAndRemovesTheEmptiedSource) {
  options(Mode::Move);
  const std::string src = tree.write("in/sub/DSC0001.JPG", picture(kShot, "one"));
  ::chmod(src.c_str(), 0444);
  EXPECT_EQ(rename().handled, 1);
  EXPECT_EQ(namesIn("out"), (Names{"sub/" + kShotName + ".JPG"}));
  struct stat st {};
  ASSERT_EQ(::stat(tree.path("out/sub/" + kShotName + ".JPG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);
  EXPECT_TRUE(namesIn("in").empty());
  EXPECT_FALSE(tree.exists("in/sub"));
}

TEST_F(RenameEngineTest, MoveModeAcrossFileSystemsCopiesChecksAndRemoves) {
  struct stat here {
  }, there{};
  if (::stat("/dev/shm", &there) != 0 || ::stat(tree.root().c_str(), &here) != 0 ||
      here.st_dev == there.st_dev)
    GTEST_SKIP() << "no second file system at /dev/shm";
  QTemporaryDir shm("/dev/shm/quillmere-rename-XXXXXX");
  ASSERT_TRUE(shm.isValid());
  options(Mode::Move);
  settings.setOutDir(quillmere::test::toPathText(shm.path().toStdString()));
  const std::string src = tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  ::chmod(src.c_str(), 0444);
  tree.write("in/DSC0002.JPG", picture(kShot, "two"));
  EXPECT_EQ(rename().handled, 2);
  EXPECT_TRUE(namesIn("in").empty());
  const std::string moved = shm.path().toStdString() + "/" + kShotName;
  struct stat st {};
  ASSERT_EQ(::stat((moved + ".JPG").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0222, 0u);  // still read-only on the other side
  ASSERT_EQ(::stat((moved + "a.JPG").c_str(), &st), 0);
}

TEST_F(RenameEngineTest, TooLittleSpaceRefusesBeforeAnyFileIsTouched) {
  options(Mode::Copy);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/huge.MOV", std::string(300, '\n'));  // the date search stops after its lines
  // A sparse file far larger than any free space.
  if (::truncate(tree.path("in/huge.MOV").c_str(), 8LL << 40) != 0)
    GTEST_SKIP() << "no sparse 8 TiB file here: " << std::strerror(errno);
  const auto before = tree.files();
  const RunReport report = rename();
  EXPECT_TRUE(report.refused);
  EXPECT_EQ(report.handled, 0);
  EXPECT_EQ(tree.files(), before);
  EXPECT_EQ(report.message, "出力先のディスク容量が足りません");
  const auto commands = view.textsOf("Command");
  EXPECT_NE(std::find(commands.begin(), commands.end(), report.message), commands.end());
  EXPECT_EQ(view.timerLoop, 10);
}

TEST_F(RenameEngineTest, GivenTimeStampAndReadOnlyAreAppliedToEveryFile) {
  options(Mode::Stay);
  set("ReName-TimeStamp", "1");
  set("ReName-TimeStampChange", "1");
  set("ReName-Attribute", "1");
  set("ReName-Read", "1");
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/IMG.JPG", picture("", "no date"));
  EXPECT_EQ(rename().handled, 2);
  std::tm tm{};
  tm.tm_year = 100;
  tm.tm_mday = 1;
  tm.tm_isdst = -1;
  const std::time_t expected = std::mktime(&tm);  // 2000-01-01 00:00:00 local time
  for (const std::string& name : {kShotName + ".JPG", std::string("IMG.JPG")}) {
    struct stat st {};
    ASSERT_EQ(::stat(tree.path("in/" + name).c_str(), &st), 0) << name;
    EXPECT_EQ(st.st_mtime, expected) << name;
    EXPECT_EQ(st.st_atime, expected) << name;
    EXPECT_EQ(st.st_mode & 0222, 0u) << name;
  }
}

TEST_F(RenameEngineTest, ShootingDateTimeStampLeavesUndatedFilesTheirOwnTime) {
  options(Mode::Stay);
  set("ReName-TimeStamp", "1");
  tree.write("in/DSC0001.JPG", picture(kShot, "one"), 1500000000);
  tree.write("in/IMG.JPG", picture("", "no date"), 1500000000);
  EXPECT_EQ(rename().handled, 2);
  struct stat st {};
  ::stat(tree.path("in/IMG.JPG").c_str(), &st);
  EXPECT_EQ(st.st_mtime, 1500000000);
  ::stat(tree.path("in/" + kShotName + ".JPG").c_str(), &st);
  std::tm tm{};
  tm.tm_year = 102;
  tm.tm_mon = 2;
  tm.tm_mday = 15;
  tm.tm_hour = 14;
  tm.tm_min = 23;
  tm.tm_sec = 5;
  tm.tm_isdst = -1;
  EXPECT_EQ(st.st_mtime, std::mktime(&tm));
}

TEST_F(RenameEngineTest, NamesThatAreNotUtf8SurviveByteForByte) {
  options(Mode::Stay, NameFormat::Name);
  tree.write("in/\xff\xfe\x41.JPG", "latin-1 name");
  tree.write("in/\x83\x41\x83\x43.jpg", picture(kShot, "cp932 name"));
  EXPECT_EQ(rename().handled, 2);
  EXPECT_EQ(tree.read("in/\xff\xfe\x41.JPG"), "latin-1 name");
  settings.chooseFormat(NameFormat::Date);
  EXPECT_EQ(rename().handled, 2);
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".jpg", "\xff\xfe\x41.JPG"}));
  // Names that are not UTF-8 cannot be removed through the temporary folder's own cleanup.
  ::unlink(tree.path("in/" + kShotName + ".jpg").c_str());
  ::unlink(tree.path("in/\xff\xfe\x41.JPG").c_str());
}

TEST_F(RenameEngineTest, CancelDuringSettleLeavesParkedFilesForRecovery) {
  options(Mode::Stay);
  for (int i = 0; i < 5; ++i)
    tree.write("in/DSC000" + std::to_string(i) + ".JPG",
               picture("2002:03:15 14:23:0" + std::to_string(i), std::to_string(i)));
  view.onYield = [&](int) {
    const auto c = view.current.find("Command");
    if (c != view.current.end() && c->second == "リネーム中・・・" && view.current["FileNo"] == "2")
      view.cancelled = true;
  };
  const RunReport report = rename();
  EXPECT_TRUE(report.cancelled);
  EXPECT_EQ(report.handled, 2);
  ASSERT_EQ(report.problems.size(), 3u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::Cancelled);
  EXPECT_EQ(report.problems[0].path, in("20020315_142302.JPGTemp"));
  EXPECT_TRUE(tree.exists("in/20020315_142304.JPGTemp"));

  RecordingRunView again;
  const RunReport repaired = RecoveryEngine(in(), again).run();
  EXPECT_EQ(repaired.handled, 3);
  EXPECT_EQ(namesIn("in").size(), 5u);
  EXPECT_EQ(tree.read("in/20020315_142304.JPG"), picture("2002:03:15 14:23:04", "4"));
}

TEST_F(RenameEngineTest, ADiskThatCannotBeWrittenStopsParkingAndSettlesWhatWasParked) {
  options(Mode::Stay);
  for (int i = 0; i < 4; ++i)
    tree.write("in/DSC000" + std::to_string(i) + ".JPG",
               picture("2002:03:15 14:23:0" + std::to_string(i), std::to_string(i)));
  int renames = 0;
  platform::fileops::ScopedFault fault([&](platform::fileops::Call call, const std::string&) {
    return call == platform::fileops::Call::Rename && ++renames == 3 ? EROFS : 0;
  });
  const RunReport report = rename();
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "ディスクに書きこめません");
  EXPECT_EQ(report.handled, 2);
  ASSERT_EQ(report.problems.size(), 2u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::NotWritable);
  EXPECT_EQ(namesIn("in"),
            (Names{"20020315_142300.JPG", "20020315_142301.JPG", "DSC0002.JPG", "DSC0003.JPG"}));
}

// A folder the user may not write (permission denied) keeps its own files and reports them;
// the files of every other folder are renamed.
TEST_F(RenameEngineTest, OneFolderThatCannotBeWrittenLeavesOnlyItsOwnFiles) {
  for (const Mode mode : {Mode::Stay, Mode::Move}) {
    SCOPED_TRACE(static_cast<int>(mode));
    std::filesystem::remove_all(tree.path("in"));
    std::filesystem::remove_all(tree.path("out"));
    options(mode);
    set("ReName-LookSubDir", "1");
    set("ReName-MakeSubDir", "1");
    tree.write("in/DSC0001.JPG", picture("2002:03:15 14:23:01", "1"));
    tree.write("in/locked/DSC0002.JPG", picture("2002:03:15 14:23:02", "2"));
    tree.write("in/locked/DSC0003.JPG", picture("2002:03:15 14:23:03", "3"));
    tree.write("in/open/DSC0004.JPG", picture("2002:03:15 14:23:04", "4"));
    tree.write("in/zz/DSC0005.JPG", picture("2002:03:15 14:23:05", "5"));
    const std::string locked = tree.path("in/locked/");
    // The folder can be read, but no name in it can be made or removed.
    using platform::fileops::Call;
    platform::fileops::ScopedFault fault([&](Call call, const std::string& path) {
      const bool write = call == Call::Rename || call == Call::RenameNoReplace ||
                         call == Call::Link || call == Call::Create || call == Call::Unlink;
      return write && path.rfind(locked, 0) == 0 ? EACCES : 0;
    });
    view.messages.clear();
    const RunReport report = rename();
    EXPECT_EQ(report.handled, 3);
    ASSERT_EQ(report.problems.size(), 2u);
    for (const auto& p : report.problems) {
      EXPECT_EQ(p.reason, Unhandled::NotWritable);
      EXPECT_NE(p.path.find("\\locked\\DSC000"), std::string::npos) << p.path;
    }
    EXPECT_EQ(view.messages.size(), 1u);  // told once
    EXPECT_EQ(namesIn("in/locked"), (Names{"DSC0002.JPG", "DSC0003.JPG"}));
    const std::string done = mode == Mode::Stay ? "in" : "out";
    EXPECT_TRUE(tree.exists(done + "/20020315_142301.JPG"));
    EXPECT_TRUE(tree.exists(done + "/open/20020315_142304.JPG"));
    EXPECT_TRUE(tree.exists(done + "/zz/20020315_142305.JPG"));
  }
}

TEST_F(RenameEngineTest, ATakenNameWithoutExtensionEndsTheRetriesAndIsReported) {
  options(Mode::Stay, NameFormat::Name);
  tree.write("in/README", "mine");
  tree.write("in/READMETemp", "also mine");
  const RunReport report = rename();
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::NoFreeName);
  EXPECT_EQ(report.problems[0].path, in("README"));
  EXPECT_EQ(tree.read("in/README"), "mine");
  EXPECT_EQ(tree.read("in/READMETemp"), "also mine");
}

TEST_F(RenameEngineTest, MissingTargetSubfoldersLeaveTheFilesWhereTheyAre) {
  options(Mode::Move);
  set("ReName-MakeSubDir", "0");
  set("ReName-SubDirDel1", "0");
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/sub/DSC0002.JPG", picture("2003:05:09 07:03:02", "two"));
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 1);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::NoTarget);
  EXPECT_EQ(tree.read("in/sub/DSC0002.JPG"), picture("2003:05:09 07:03:02", "two"));
}

TEST_F(RenameEngineTest, AMissingSourceFolderIsRefused) {
  options(Mode::Stay);
  settings.setInDir(tree.pathText("gone"));
  const RunReport report = rename();
  EXPECT_TRUE(report.refused);
  EXPECT_EQ(report.handled, 0);
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
}

TEST_F(RenameEngineTest, TheSystemRootIsNeverASourceFolder) {
  options(Mode::Stay);
  settings.setInDir("c:\\");
  const RunReport report = rename();
  EXPECT_TRUE(report.refused);
  EXPECT_EQ(report.handled, 0);
}

TEST_F(RenameEngineTest, AFileThatVanishesBeforeParkingIsReported) {
  options(Mode::Stay);
  tree.write("in/DSC0001.JPG", picture(kShot, "one"));
  tree.write("in/DSC0002.JPG", picture("2003:05:09 07:03:02", "two"));
  view.onYield = [&](int) {
    if (view.current["Command"] == "移動中・・・") ::unlink(tree.path("in/DSC0002.JPG").c_str());
  };
  const RunReport report = rename();
  EXPECT_EQ(report.handled, 1);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_EQ(report.problems[0].reason, Unhandled::Vanished);
  EXPECT_EQ(namesIn("in"), (Names{kShotName + ".JPG"}));
}

}  // namespace
}  // namespace quillmere::rename::test
