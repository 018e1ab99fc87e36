#include <gtest/gtest.h>

#include <stdexcept>

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

}  // namespace
