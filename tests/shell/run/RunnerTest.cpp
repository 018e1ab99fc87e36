#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/Main.h"
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

  Outcome run(const std::vector<std::string>& args) const {
    QProcess p;
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
           {"Recovery", tree.path("missing")},
           {"Recovery", tree.path("pic"), "extra"},
           {"--bogus", "Recovery", tree.path("pic")},
           {"--set", "X=1", "Recovery", tree.path("pic")},
           {"--ini", ini(), "--set", "Stay_Mode=False", "ReName"},
           {"--ini", ini(), "--set", "HHTime=25", "ReName"},
           {"--ini", ini(), "--set", "NoEquals", "ReName"},
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
  EXPECT_NE(o.err.find("not handled: " + tree.pathText("pic/DSC0001.JPGTemp")), std::string::npos)
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
