#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "backup/BackupSettings.h"
#include "core/Main.h"
#include "duplicates/DuplicateSettings.h"
#include "mirror/MirrorSettings.h"
#include "rename/RenameSettings.h"
#include "shell/core/SettingsLocation.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using test::TempTree;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class RunnerTest : public ::testing::Test {
 protected:
  QProcessEnvironment environment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QUILLMERE_INI");
    env.insert("HOME", QString::fromStdString(tree.path("home")));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(tree.path("home/.config")));
    return env;
  }

  Outcome run(const std::vector<std::string>& args, const std::string& workingFolder = {}) const {
    QProcess p;
    if (!workingFolder.empty()) p.setWorkingDirectory(QString::fromStdString(workingFolder));
    p.setProcessEnvironment(environment());
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    p.start(QUILLMERE_BIN_DIR "/quillmere-run", list);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
  }

  std::string ini() const { return tree.path("q.ini"); }
  std::string stored(const std::string& key) const {
    return dll().DLL_GetStringFromINI(tree.pathText("q.ini"), "ReName", key, "<absent>");
  }

  TempTree tree;
};

TEST_F(RunnerTest, HelpNamesTheActions) {
  const Outcome o = run({"--help"});
  EXPECT_EQ(o.status, 0);
  EXPECT_NE(o.out.find("ReName"), std::string::npos);
  EXPECT_NE(o.out.find("Recovery"), std::string::npos);
  EXPECT_NE(o.out.find("exit status"), std::string::npos);
}

TEST_F(RunnerTest, BadCommandLinesAreRefusedBeforeAnythingRuns) {
  tree.mkdir("pic");
  for (const auto& args : std::vector<std::vector<std::string>>{
           {},
           {"NoSuchAction"},
           {"Recovery"},
           {"Recovery", tree.path("pic"), "extra"},
           {"--bogus", "Recovery", tree.path("pic")},
           {"--set", "X=1", "Recovery", tree.path("pic")},
           {"--ini", ini(), "--set", "Stay_Mode=False", "ReName"},
           {"--ini", ini(), "--set", "HHTime=25", "ReName"},
           {"--ini", ini(), "--set", "NoEquals", "ReName"},
           {"--ini", ini(), "rename", tree.path("pic")},
           {"--ini", ini(), "--set", "WFileDel-Bogus=1", "WFileDel"},
           {"--ini", ini(), "--set", "Copy_Mode=True", "--set", "Move_Mode=True", "ReName"},
           {"--ini", ini(), "--set", "Copy_Mode=True", "--set", "HHTime=25", "ReName"},
       }) {
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 2) << o.err;
    EXPECT_NE(o.err.find("quillmere-run: "), std::string::npos) << o.err;
  }
  EXPECT_FALSE(tree.exists("q.ini"));
}

TEST_F(RunnerTest, SetWritesLikeThePanelAndTakesNativePaths) {
  tree.mkdir("pic");
  tree.mkdir("out");
  run({"--ini", ini(), "--set", "ReName-InDir=" + tree.path("pic"), "--set", "copy_mode=True",
       "--set", "OutDir=" + tree.path("out"), "--set", "StartNo=42", "ReName"});
  EXPECT_EQ(stored("ReName-InDir"), tree.pathText("pic"));
  EXPECT_EQ(stored("ReName-OutDir"), tree.pathText("out"));
  EXPECT_EQ(stored("ReName-Copy_Mode"), "True");
  EXPECT_EQ(stored("ReName-Stay_Mode"), "False");
  EXPECT_EQ(stored("ReName-StartNo"), "42");
  EXPECT_EQ(stored("ReName-MojiNot"), "True");  // the load writes the twenty option keys
}

TEST_F(RunnerTest, RenameNeverRunsOnADefaultFolder) {
  tree.mkdir("out");
  Outcome o = run({"--ini", ini(), "ReName"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("no source folder"), std::string::npos) << o.err;
  o = run({"--ini", ini(), "--set", "Move_Mode=True", "ReName", tree.path("out")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("no target folder"), std::string::npos) << o.err;
}

TEST_F(RunnerTest, RecoveryRepairsAFolderAndReportsTakenNames) {
  tree.write("pic/DSC0001.JPGTemp", "a");
  tree.write("pic/sub/DSC0002.NEFTemp", "b");
  Outcome o = run({"Recovery", tree.path("pic")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(tree.exists("pic/DSC0001.JPG"));
  EXPECT_TRUE(tree.exists("pic/sub/DSC0002.NEF"));
  EXPECT_NE(o.err.find("Command: リネーム中・・・"), std::string::npos) << o.err;

  tree.write("pic/DSC0001.JPGTemp", "parked");
  o = run({"Recovery", tree.path("pic")});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("not handled: " + tree.path("pic/DSC0001.JPGTemp") + " ("),
            std::string::npos)
      << o.err;
  EXPECT_EQ(tree.read("pic/DSC0001.JPG"), "a");
}

TEST_F(RunnerTest, RenameRunsFromTheSettingsFile) {
  tree.write("pic/DSC0001.JPG", "\xFF\xD8 Exif 2002:03:15 14:23:05 body");
  tree.write("pic/sub/NODATE.JPG", "no date");
  const Outcome o = run({"--ini", ini(), "ReName", tree.path("pic")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_TRUE(tree.exists("pic/20020315_142305.JPG"));
  EXPECT_TRUE(tree.exists("pic/sub/NODATE.JPG"));
  EXPECT_EQ(stored("ReName-OutDir"), tree.pathText("pic"));
}

TEST_F(RunnerTest, CtrlCStopsTheRunAndRecoveryPutsEverythingRight) {
  for (int i = 0; i < 3000; ++i)
    tree.write("pic/DSC" + std::to_string(10000 + i) + ".JPG",
               "Exif 2002:03:15 14:23:05 " + std::to_string(i));
  QProcess p;
  p.setProcessEnvironment(environment());
  p.start(QUILLMERE_BIN_DIR "/quillmere-run", {"--ini", QString::fromStdString(ini()), "ReName",
                                               QString::fromStdString(tree.path("pic"))});
  p.setReadChannel(QProcess::StandardError);
  std::string err;
  while (err.empty() && p.state() != QProcess::NotRunning) {
    p.waitForReadyRead(1000);
    err += p.readAllStandardError().toStdString();
  }
  // The run is far too quick to catch by timing: hold it, interrupt it, let it go on.
  const auto pid = static_cast<pid_t>(p.processId());
  if (p.state() != QProcess::NotRunning && pid > 0) {
    ::kill(pid, SIGSTOP);
    ::kill(pid, SIGINT);
    ::kill(pid, SIGCONT);
  }
  p.waitForFinished(120000);
  err += p.readAllStandardError().toStdString();
  if (p.exitCode() == 0) GTEST_SKIP() << "the run finished before the interrupt arrived";
  EXPECT_EQ(p.exitCode(), 130) << err;
  EXPECT_NE(err.find("cancelled"), std::string::npos) << err;

  const Outcome repaired = run({"Recovery", tree.path("pic")});
  EXPECT_EQ(repaired.status, 0) << repaired.err;
  std::size_t count = 0;
  for (const auto& f : tree.files()) {
    EXPECT_EQ(f.find("Temp"), std::string::npos) << f;
    if (f.rfind("pic/", 0) == 0) ++count;
  }
  EXPECT_EQ(count, 3000u);
}

TEST_F(RunnerTest, UnknownKeysAndActionsNameTheRightSpelling) {
  Outcome o = run({"--ini", ini(), "--set", "Coppy_Mode=True", "ReName"});
  EXPECT_NE(o.err.find("closest: ReName-Copy_Mode"), std::string::npos) << o.err;
  o = run({"--ini", ini(), "rename"});
  EXPECT_NE(o.err.find("write it ReName"), std::string::npos) << o.err;
}

TEST_F(RunnerTest, ASecondImportNamesEachSkippedFileAndEndsWithStatusZero) {
  tree.write("card/DSC0001.JPG", "\xFF\xD8 Exif 2002:03:15 14:23:05 body");
  tree.mkdir("album");
  const std::vector<std::string> args = {"--ini",  ini(),
                                         "--set",  "Copy_Mode=True",
                                         "--set",  "OutDir=" + tree.path("album"),
                                         "--set",  "SkipImported=1",
                                         "ReName", tree.path("card")};
  EXPECT_EQ(run(args).status, 0);
  const Outcome again = run(args);
  EXPECT_EQ(again.status, 0) << again.err;
  EXPECT_NE(again.err.find("skipped: " + tree.path("card/DSC0001.JPG") + " (already imported as " +
                           tree.path("album/20020315_142305.JPG") + ")"),
            std::string::npos)
      << again.err;
  EXPECT_NE(again.err.find("ReName: 1 handled, 0 not handled"), std::string::npos) << again.err;
  EXPECT_FALSE(tree.exists("album/20020315_142305a.JPG"));
}

TEST_F(RunnerTest, SetIsOrderFreeAndTakesRelativeFolders) {
  tree.mkdir("pic");
  tree.mkdir("out");
  const Outcome o = run({"--ini", ini(), "--set", "OutDir=out", "--set", "Copy_Mode=True", "--set",
                         "InDir=pic", "ReName"},
                        tree.root());
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(stored("ReName-OutDir"), tree.pathText("out"));
  EXPECT_EQ(stored("ReName-InDir"), tree.pathText("pic"));
  EXPECT_EQ(stored("ReName-Copy_Mode"), "True");
}

TEST_F(RunnerTest, MissingFolderIsStatusOneAndStoresNothing) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--ini", ini(), "ReName", tree.path("missing")},
           {"--ini", ini(), "--set", "InDir=" + tree.path("missing"), "ReName"},
           {"--ini", ini(), "--set", "WFileDel-OutDir=missing", "WFileDel"},
           {"Recovery", tree.path("missing")},
       }) {
    const Outcome o = run(args, tree.root());
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("folder not found"), std::string::npos) << o.err;
    EXPECT_NE(o.err.find(tree.path("missing")), std::string::npos) << o.err;  // native, not C:\...
  }
  EXPECT_FALSE(tree.exists("q.ini"));

  // A link to a folder is there, but not followed: it is named as a link.
  tree.mkdir("pictures");
  ASSERT_EQ(::symlink(tree.path("pictures").c_str(), tree.path("card").c_str()), 0);
  const Outcome linked =
      run({"--ini", ini(), "--set", "WFileDel-OutDir=card", "WFileDel"}, tree.root());
  EXPECT_EQ(linked.status, 1) << linked.err;
  EXPECT_NE(linked.err.find("a link to a folder, not followed"), std::string::npos) << linked.err;
}

TEST_F(RunnerTest, ReadOnlySettingsFileStopsTheRunBeforeAnyFileIsTouched) {
  tree.write("A/DSC0001.JPG", "Exif 2002:03:15 14:23:05 a");
  tree.write("B/DSC0002.JPG", "Exif 2003:03:15 14:23:05 b");
  ASSERT_EQ(run({"--ini", ini(), "--set", "InDir=" + tree.path("A"), "--set", "LookSubDir=0",
                 "--set", "SubDirDel1=0", "--set", "Copy_Mode=True", "--set",
                 "OutDir=" + tree.path("A"), "ReName"})
                .status,
            0);
  tree.write("A/DSC0001.JPG", "Exif 2002:03:15 14:23:05 a");
  const std::string before = tree.read("q.ini");
  ::chmod(ini().c_str(), 0444);
  for (const auto& args : std::vector<std::vector<std::string>>{
           {"--ini", ini(), "--set", "InDir=" + tree.path("B"), "ReName"},
           {"--ini", ini(), "ReName", tree.path("B")},
       }) {
    const Outcome o = run(args);
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_NE(o.err.find("the settings file " + ini() + " cannot be written: it is read-only"),
              std::string::npos)
        << o.err;
  }
  EXPECT_TRUE(tree.exists("A/DSC0001.JPG"));
  EXPECT_TRUE(tree.exists("B/DSC0002.JPG"));
  EXPECT_EQ(tree.read("q.ini"), before);
}

TEST_F(RunnerTest, RunRefusedForTheCommandLinesValuesKeepsNoneOfThem) {
  tree.mkdir("pic");
  tree.write("q.ini", "[ReName]\nReName-Stay_Mode=True\n");
  const Outcome o = run({"--ini", ini(), "--set", "Move_Mode=True", "ReName", tree.path("pic")});
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_NE(o.err.find("no target folder"), std::string::npos) << o.err;
  EXPECT_EQ(tree.read("q.ini"), "[ReName]\nReName-Stay_Mode=True\n");
}

TEST_F(RunnerTest, ScheduledRunThatIsNotDueIsSilentWithoutATerminal) {
  const Outcome o = run({"--ini", ini(), "--scheduled"});
  EXPECT_EQ(o.status, 0);
  EXPECT_EQ(o.err, "");
  if (::access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no script(1) for a terminal";
  // On a terminal it says in one line why nothing ran.
  QProcess p;
  p.setProcessEnvironment(environment());
  p.start("/usr/bin/script",
          {"-qec",
           QString::fromStdString(std::string(QUILLMERE_BIN_DIR) + "/quillmere-run --ini " + ini() +
                                  " --scheduled"),
           "/dev/null"});
  p.waitForFinished(60000);
  const std::string shown = p.readAllStandardOutput().toStdString();
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_NE(shown.find("Mirrorring not run: the schedule is off"), std::string::npos) << shown;
}

TEST_F(RunnerTest, HelpOfAnActionListsEveryKeyOfItsTable) {
  EXPECT_NE(run({"--help"}).out.find("--help ACTION"), std::string::npos);
  const std::vector<std::pair<std::string, const settings::KeyTable*>> actions = {
      {"ReName", &rename::describedKeys()},
      {"Mirrorring", &mirror::keyTable()},
      {"BackUP", &backup::keyTable()},
      {"WFileDel", &duplicates::deleteKeyTable()},
      {"FileBack", &duplicates::fileBackKeyTable()},
  };
  for (const auto& [action, table] : actions) {
    const Outcome o = run({action, "--help"});
    EXPECT_EQ(o.status, 0) << action;
    EXPECT_EQ(run({"--help", action}).out, o.out);
    for (const auto& k : *table) {
      EXPECT_NE(o.out.find("  " + k.key + "\n      " + k.meaning + "\n"), std::string::npos)
          << k.key;
      EXPECT_NE(o.out.find("default: " + (k.defaultValue.empty() ? "(empty)" : k.defaultValue)),
                std::string::npos)
          << k.key;
    }
  }
}

// The defaults the tables show are the ones each panel's load writes into a fresh file.
TEST_F(RunnerTest, KeyTableDefaultsAreWhatThePanelLoadWrites) {
  const std::string ini = tree.pathText("fresh.ini");
  rename::RenameSettings(ini, "c:\\").normaliseOnLoad();
  mirror::MirrorSettings(ini, "c:\\").load();
  backup::BackupSettings(ini, "c:\\").writeBackOnLoad();
  duplicates::normaliseDeleteSettings(ini);
  duplicates::normaliseFileBackSettings(ini);
  const std::vector<std::pair<std::string, const settings::KeyTable*>> sections = {
      {"ReName", &rename::describedKeys()},
      {"Mirrorring", &mirror::keyTable()},
      {"BackUP", &backup::keyTable()},
      {"WFileDel", &duplicates::deleteKeyTable()},
      {"FileBack", &duplicates::fileBackKeyTable()},
  };
  int written = 0;
  for (const auto& [section, table] : sections)
    for (const auto& k : *table) {
      const std::string value = dll().DLL_GetStringFromINI(ini, section, k.key, "<absent>");
      if (value == "<absent>") continue;
      ++written;
      EXPECT_EQ(value, k.defaultValue) << k.key;
    }
  EXPECT_GE(written, 90);
}

TEST(SettingsLocation, ExplicitThenEnvironmentThenBesideTheProgramThenConfig) {
  TempTree tree;
  tree.mkdir("prog");
  ::unsetenv("QUILLMERE_INI");
  setenv("XDG_CONFIG_HOME", tree.path("config").c_str(), 1);
  EXPECT_EQ(settingsFileLocation(tree.path("prog"), tree.path("x.ini")), tree.path("x.ini"));
  EXPECT_EQ(settingsFileLocation(tree.path("prog")), tree.path("prog/quillmere.ini"));
  EXPECT_EQ(settingsFileLocation(tree.path("no-such-folder")),
            tree.path("config/quillmere/quillmere.ini"));
  EXPECT_TRUE(tree.exists("config/quillmere"));  // ready for the first write
  setenv("QUILLMERE_INI", tree.path("env.ini").c_str(), 1);
  EXPECT_EQ(settingsFileLocation(tree.path("prog")), tree.path("env.ini"));
  EXPECT_EQ(settingsFileLocation(tree.path("prog"), tree.path("x.ini")), tree.path("x.ini"));
  ::unsetenv("QUILLMERE_INI");
  EXPECT_TRUE(tree.files().empty() || tree.files() == std::vector<std::string>{});  // no probe left
}

}  // namespace
}  // namespace quillmere
