// The runner's --preview, and Undo of the last rename run, through the program itself.
#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>

#include <fstream>

#include "support/Census.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using test::censusOf;
using test::TempTree;

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

class PreviewTest : public ::testing::Test {
 protected:
  Outcome run(const std::vector<std::string>& args) const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUILLMERE_INI", QString::fromStdString(tree.path("q.ini")));
    env.insert("HOME", QString::fromStdString(tree.path("home")));
    env.insert("XDG_CONFIG_HOME", QString::fromStdString(tree.path("home/.config")));
    env.insert("XDG_DATA_HOME", QString::fromStdString(tree.path("home/.local/share")));
    QProcess p;
    p.setProcessEnvironment(env);
    QStringList list;
    for (const auto& a : args) list << QString::fromStdString(a);
    p.start(QUILLMERE_BIN_DIR "/quillmere-run", list);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            p.readAllStandardOutput().toStdString(), p.readAllStandardError().toStdString()};
  }

  // Everything but the per-user folder the runner may use for itself.
  test::Census census() const {
    test::Census c = censusOf(tree.root());
    std::erase_if(c, [](const auto& e) { return e.first.rfind("home", 0) == 0; });
    return c;
  }

  TempTree tree;
};

TEST_F(PreviewTest, APreviewPrintsThePlanAndChangesNoFileNorTheSettingsFile) {
  tree.write("pic/DSC0001.JPGTemp", "parked");
  tree.write("work/IMG_0001.JPG", "edited");
  tree.write("pics/IMG_0001.JPG", "original");
  tree.write("q.ini", "[Other]\nKey=Value\n");
  const auto before = census();  // the settings file's bytes and time are part of it

  Outcome o = run({"--preview", "Recovery", tree.path("pic")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "move  " + tree.path("pic/DSC0001.JPGTemp") + " -> " +
                       tree.path("pic/DSC0001.JPG") +
                       "  (6 bytes)\n1 steps: 1 move, 0 copy, 0 trash, 0 delete, 0 mkdir, 0 "
                       "rmdir; 6 bytes\na name that is taken when its step comes keeps the file "
                       "parked\n");

  // The --set values count for the preview: without them FileBack has no folders at all.
  o = run({"--preview", "--format=tsv", "--set", "InDir=" + tree.path("work"), "--set",
           "OutDir=" + tree.path("pics"), "--set", "MoveSubDir=0", "--set", "OutDelFile=0",
           "FileBack"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "") << "the namesake holds the name and is not deleted: nothing to do";
  o = run({"--preview", "--format=tsv", "--set", "InDir=" + tree.path("work"), "--set",
           "OutDir=" + tree.path("pics"), "FileBack"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "mkdir\t\t" + tree.path("pics/Used") + "\t0\ntrash\t" +
                       tree.path("pics/IMG_0001.JPG") + "\t\t8\nmove\t" +
                       tree.path("work/IMG_0001.JPG") + "\t" + tree.path("pics/Used/IMG_0001.JPG") +
                       "\t6\n");

  o = run({"--preview", "--set", "OutDir=" + tree.path("pics"), "--set", "FileName=True", "--set",
           "FileNameText=saved", "--set", "Exe=0", "BackUP", tree.path("pic")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("copy  " + tree.path("pic/DSC0001.JPGTemp") + " -> " +
                       tree.path("pics/saved.lzh")),
            std::string::npos)
      << o.out;
  EXPECT_EQ(census(), before);
}

TEST_F(PreviewTest, RenameDuplicateDeleteAndMirroringPreviewWithoutChangingAnything) {
  tree.write("master/a.jpg", "a");
  tree.mkdir("mirror");
  tree.write("pic/DSC0001.JPG", "\xFF\xD8 Exif 2002:03:15 14:23:05 one");
  tree.write("orig/IMG_0001.JPG", "picture");
  tree.write("card/copy.JPG", "picture");
  tree.write("q.ini", "[Other]\nKey=Value\n");
  const auto before = census();

  Outcome o = run({"--preview", "--set", "InDir=" + tree.path("master"), "--set",
                   "OutDir=" + tree.path("mirror"), "Mirrorring"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_NE(o.out.find("copy  " + tree.path("master/a.jpg") + " -> " + tree.path("mirror/a.jpg")),
            std::string::npos)
      << o.out;

  o = run({"--preview", "--format=tsv", "ReName", tree.path("pic")});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "move\t" + tree.path("pic/DSC0001.JPG") + "\t" +
                       tree.path("pic/20020315_142305.JPG") + "\t31\n");

  o = run({"--preview", "--format=tsv", "--set", "InDir=" + tree.path("orig"), "--set",
           "OutDir=" + tree.path("card"), "WFileDel"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(o.out, "delete\t" + tree.path("card/copy.JPG") + "\t\t7\n");
  EXPECT_EQ(census(), before);
}

TEST_F(PreviewTest, ActionsWithoutAPlanSaySoAndRunNothing) {
  const Outcome o = run({"--preview", "Job"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("Job has no preview yet; nothing was run"), std::string::npos) << o.err;
  EXPECT_EQ(run({"--format=tsv", "Recovery", tree.path("master")}).status, 2);
  EXPECT_EQ(run({"--preview", "--format=csv", "Recovery", tree.path("master")}).status, 2);
}

TEST_F(PreviewTest, UndoTakesBackTheLastRenameRunAndRefusesAnEditedFile) {
  tree.write("pic/DSC0001.JPG", "\xFF\xD8 Exif 2002:03:15 14:23:05 one");
  tree.write("pic/DSC0002.JPG", "\xFF\xD8 Exif 2003:05:09 07:03:02 two");
  auto pictures = [&] {
    auto c = census();
    c.erase("q.ini");
    return c;
  };
  const auto before = pictures();
  ASSERT_EQ(run({"ReName", tree.path("pic")}).status, 0);
  ASSERT_TRUE(tree.exists("pic/20020315_142305.JPG"));
  Outcome o = run({"Undo"});
  EXPECT_EQ(o.status, 0) << o.err;
  EXPECT_EQ(pictures(), before);
  o = run({"Undo"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("no rename run to take back"), std::string::npos) << o.err;

  ASSERT_EQ(run({"ReName", tree.path("pic")}).status, 0);
  tree.write("pic/20020315_142305.JPG", "edited after the run");
  o = run({"Undo"});
  EXPECT_EQ(o.status, 1);
  EXPECT_NE(o.err.find("not handled: " + tree.path("pic/20020315_142305.JPG") +
                       " (changed since the run)"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(tree.read("pic/20020315_142305.JPG"), "edited after the run");
  EXPECT_TRUE(tree.exists("pic/DSC0002.JPG"));
}

}  // namespace
}  // namespace quillmere
