#include <gtest/gtest.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "core/DllError.h"
#include "run/RunFrame.h"
#include "run/RunOutcome.h"
#include "support/RecordingRunView.h"

namespace {

using namespace quillmere;
using test::RecordingRunView;

TEST(RunFrame, ShowsTheFirstErrorOnceAndStillCloses) {
  RecordingRunView view;
  {
    RunFrame frame(view);
    EXPECT_TRUE(frame.guarded([] {}));
    EXPECT_FALSE(frame.guarded([] { throw DllError(76, "path not found"); }));
    EXPECT_FALSE(frame.guarded([] { throw std::runtime_error("second"); }));
    EXPECT_TRUE(frame.failed());
    EXPECT_EQ(frame.errorNumber(), 76);
    EXPECT_EQ(frame.errorText(), "path not found");
    frame.end("ReName");
    frame.end("ReName");  // a second end changes nothing
  }
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0].text, "実行時エラー '76':\n\npath not found");
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
  EXPECT_EQ(view.completed, std::vector<std::string>{"ReName"});
}

TEST(RunFrame, LeavingWithoutAnEndRestoresTheControlsWithoutCompletion) {
  RecordingRunView view;
  { RunFrame frame(view); }
  EXPECT_EQ(view.runningChanges, (std::vector<bool>{true, false}));
  EXPECT_TRUE(view.completed.empty());
}

TEST(RunOutcome, OneMappingToExitStatuses) {
  RunOutcome o;
  EXPECT_EQ(exitStatusOf(o), 0);
  o.unhandled.push_back("C:\\a.jpg");
  EXPECT_EQ(exitStatusOf(o), 1);
  o.cancelled = true;
  EXPECT_EQ(exitStatusOf(o), 130);
  o.failed = true;  // an unexpected error wins over everything else
  EXPECT_EQ(exitStatusOf(o), 3);
  RunOutcome refused;
  refused.refused = true;
  EXPECT_EQ(exitStatusOf(refused), 1);
}

// The pacer shows the file number and yields at every file for a view without an interval, and
// only once the interval has passed for a view that has one.
class PacedView final : public RunView {
 public:
  std::chrono::milliseconds yieldInterval() const override { return std::chrono::milliseconds(30); }
  void setLabel(std::string_view name, const std::string& text, int) override {
    if (name == "FileNo") shown = text;
  }
  void yield() override { ++yields; }
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string&) override { return 1; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
  int yields = 0;
  std::string shown;
};

TEST(YieldPacer, YieldsPerFileWithoutAnIntervalAndByTimeWithOne) {
  RecordingRunView every;
  YieldPacer eachFile(every);
  for (std::size_t i = 1; i <= 5; ++i) eachFile.fileDone(i);
  EXPECT_EQ(every.yields, 5);
  EXPECT_EQ(every.current["FileNo"], "5");

  PacedView paced;
  YieldPacer byTime(paced);
  for (std::size_t i = 1; i <= 1000; ++i) byTime.fileDone(i);
  // A thousand quick files fall within the first interval (a busy machine may stall once).
  EXPECT_LE(paced.yields, 1);
  const int before = paced.yields;
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  byTime.fileDone(1001);
  EXPECT_EQ(paced.yields, before + 1);
  EXPECT_EQ(paced.shown, "1001");
}

}  // namespace
