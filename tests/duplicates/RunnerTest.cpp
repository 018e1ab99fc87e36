// quillmere-run WFileDel and FileBack: options through --set, the result in the exit status.
#include <gtest/gtest.h>

#include <QProcess>
#include <QStringList>

#include "EngineSupport.h"

namespace quillmere::duplicates {
namespace {

struct Outcome {
  int exitCode;
  std::string errors;
};

Outcome runner(const QStringList& arguments) {
  QProcess p;
  p.start(QStringLiteral(QUILLMERE_BIN_DIR "/quillmere-run"), arguments);
  p.waitForFinished(60000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          p.readAllStandardError().toStdString()};
}

class RunnerTest : public ::testing::Test {
 protected:
  QString native(const std::string& relative) const {
    return QString::fromStdString(tree.path(relative));
  }
  quillmere::test::TempTree tree;
};

TEST_F(RunnerTest, WFileDelDeletesTheCardCopies) {
  tree.write("orig/a.jpg", "picture");
  tree.write("card/DCIM/copy.jpg", "picture");
  tree.write("card/DCIM/new.jpg", "new picture");
  const Outcome r = runner({"--ini", native("q.ini"), "--set", "InDir=" + native("orig"), "--set",
                            "OutDir=" + native("card"), "--set", "OutFileDel=0", "WFileDel"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_FALSE(tree.exists("card/DCIM/copy.jpg"));
  EXPECT_TRUE(tree.exists("card/DCIM/new.jpg"));
  EXPECT_TRUE(tree.exists("orig/a.jpg"));
  EXPECT_NE(r.errors.find("1 handled"), std::string::npos) << r.errors;
}

TEST_F(RunnerTest, WFileDelRefusesAMissingFolderAndABadFlag) {
  tree.write("card/copy.jpg", "picture");
  Outcome r = runner({"--ini", native("q.ini"), "--set", "InDir=" + native("nowhere"), "--set",
                      "OutDir=" + native("card"), "WFileDel"});
  EXPECT_EQ(r.exitCode, 1) << r.errors;
  EXPECT_NE(r.errors.find("WFileDel-InDir"), std::string::npos) << r.errors;
  EXPECT_TRUE(tree.exists("card/copy.jpg"));

  r = runner({"--ini", native("q.ini"), "--set", "InSubDir=yes", "WFileDel"});
  EXPECT_EQ(r.exitCode, 2) << r.errors;
}

TEST_F(RunnerTest, FileBackMovesTheEditedPictureIntoUsed) {
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/2003/IMG_0001.JPG", "original");
  const Outcome r = runner({"--ini", native("q.ini"), "--set", "InDir=" + native("work"), "--set",
                            "OutDir=" + native("pics"), "--set", "OutDelFile=0", "FileBack"});
  EXPECT_EQ(r.exitCode, 0) << r.errors;
  EXPECT_EQ(tree.read("pics/2003/Used/IMG_0001.JPG"), "edited");
  EXPECT_EQ(tree.read("pics/2003/IMG_0001.JPG"), "original");
}

}  // namespace
}  // namespace quillmere::duplicates
