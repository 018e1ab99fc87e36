#include <gtest/gtest.h>

#include <QProcess>

#include "support/JobScenario.h"

namespace quillmere {
namespace {

struct Outcome {
  int status = -1;
  std::string err;
};

Outcome runJob(const test::TempTree& tree) {
  QProcess p;
  p.start(QUILLMERE_BIN_DIR "/quillmere-run",
          {"--ini", QString::fromStdString(tree.path("quillmere.ini")), "Job"});
  p.waitForFinished(120000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
          p.readAllStandardError().toStdString()};
}

std::size_t lineAt(const std::string& text, const std::string& start) {
  return text.find("\n" + start) != std::string::npos
             ? text.find("\n" + start)
             : (text.rfind(start, 0) == 0 ? 0 : std::string::npos);
}

TEST(JobRunner, RunsTheStoredStepsInOrderWithOneLineEach) {
  test::TempTree tree;
  test::CardJob job(tree);
  const Outcome o = runJob(tree);
  EXPECT_EQ(o.status, 0) << o.err;
  const std::size_t rename = lineAt(o.err, "Step1 ReName: 2 handled, 0 not handled, status 0");
  const std::size_t remove = lineAt(o.err, "Step3 WFileDel: 2 handled");
  const std::size_t backup = lineAt(o.err, "Step5 BackUP: 1 handled");
  const std::size_t mirror = lineAt(o.err, "Step8 Mirrorring:");
  ASSERT_NE(rename, std::string::npos) << o.err;
  ASSERT_NE(remove, std::string::npos) << o.err;
  ASSERT_NE(backup, std::string::npos) << o.err;
  ASSERT_NE(mirror, std::string::npos) << o.err;
  EXPECT_LT(rename, remove);
  EXPECT_LT(remove, backup);
  EXPECT_LT(backup, mirror);
  EXPECT_EQ(o.err.find("Step2"), std::string::npos) << "an unchecked step never runs";

  EXPECT_EQ(job.filesIn("archive"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_TRUE(job.filesIn("card").empty());
  EXPECT_EQ(job.filesIn("backups"), std::vector<std::string>{"archive.lzh"});
  EXPECT_EQ(job.filesIn("mirror2"), (std::vector<std::string>{"a.jpg", "b.jpg"}));
  EXPECT_EQ(tree.read("mirror2/b.jpg"), "picture bb");
}

TEST(JobRunner, ExitsWithTheFirstStatusThatWasNotZeroAndRunsEveryStep) {
  test::TempTree tree;
  test::CardJob job(tree);
  ASSERT_EQ(runJob(tree).status, 0);
  // Again: the card is empty now and archive.lzh is taken, so the backup leaves its archive
  // unplaced (1); the mirror after it still runs.
  tree.write("archive/c.jpg", "picture c");
  const Outcome o = runJob(tree);
  EXPECT_EQ(o.status, 1) << o.err;
  EXPECT_NE(lineAt(o.err, "Step5 BackUP: 0 handled, 1 not handled, status 1"), std::string::npos)
      << o.err;
  EXPECT_NE(lineAt(o.err, "Step8 Mirrorring:"), std::string::npos) << o.err;
  EXPECT_EQ(tree.read("mirror2/c.jpg"), "picture c");
}

}  // namespace
}  // namespace quillmere
