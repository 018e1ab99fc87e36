#include <gtest/gtest.h>

#include "run/ProgressEstimate.h"

namespace quillmere {
namespace {

using namespace std::chrono_literals;

// A clock the test moves by hand.
struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  ProgressEstimate::Clock clock() {
    return [this] { return now; };
  }
};

TEST(ProgressEstimate, RateAndTimeLeftFollowThePlanTotals) {
  FakeClock clock;
  ProgressEstimate estimate(clock.clock());
  estimate.start(100, 100 * 1024 * 1024);  // 100 files of 1 MB
  EXPECT_EQ(estimate.text(), "0/100 ファイル  0 B/100.0 MB");

  clock.now += 10s;
  estimate.update(25);
  // Bytes in proportion to the files: a quarter of the plan in 10 s.
  EXPECT_EQ(estimate.bytesDone(), 25 * 1024 * 1024);
  EXPECT_DOUBLE_EQ(*estimate.filesPerSecond(), 2.5);
  EXPECT_EQ(estimate.timeLeft(), 30s);
  EXPECT_EQ(estimate.text(), "25/100 ファイル  25.0 MB/100.0 MB  2.5 MB/s  残り 30秒");

  // Given bytes win over the proportion: half the bytes in 20 s leaves 20 s.
  clock.now += 10s;
  estimate.update(30, 50 * 1024 * 1024);
  EXPECT_EQ(estimate.timeLeft(), 20s);
}

TEST(ProgressEstimate, WithoutAPlanTheRunsOwnCountGivesTheTimeLeft) {
  FakeClock clock;
  ProgressEstimate estimate(clock.clock());
  estimate.start();
  estimate.update(5);
  EXPECT_EQ(estimate.text(), "5 ファイル");  // no total, no rate yet
  EXPECT_FALSE(estimate.timeLeft());

  estimate.learnTotalFiles(2000);
  clock.now += 500ms;
  estimate.update(10);
  EXPECT_FALSE(estimate.filesPerSecond()) << "under a second the rate is start-up noise";

  clock.now += 1500ms;  // 2 s for 100 files
  estimate.update(100);
  EXPECT_EQ(estimate.timeLeft(), 38s);
  EXPECT_EQ(estimate.text(), "100/2000 ファイル  50.0 ファイル/s  残り 38秒");

  // Files beyond the total leave no negative time.
  estimate.update(2500);
  EXPECT_EQ(estimate.timeLeft(), 0s);
}

TEST(ProgressEstimate, TakesTheCountsFromTheEnginesLabels) {
  FakeClock clock;
  ProgressEstimate estimate(clock.clock());
  estimate.start(10, 4096);  // a plan of 10 files
  EXPECT_TRUE(estimate.takeLabel("FileMax", "20/ "));
  EXPECT_EQ(estimate.totalFiles(), 20) << "the run's own count replaces the plan's";
  EXPECT_EQ(estimate.totalBytes(), 4096);
  EXPECT_TRUE(estimate.takeLabel("FileNo", "5"));
  EXPECT_EQ(estimate.filesDone(), 5);
  EXPECT_FALSE(estimate.takeLabel("No", "Check中"));
  EXPECT_FALSE(estimate.takeLabel("Command", "12"));
  EXPECT_FALSE(estimate.takeLabel("Run", "57/120Files", 1));

  ProgressEstimate mirror(clock.clock());
  EXPECT_TRUE(mirror.takeLabel("MaxNo", "/ 120"));
  EXPECT_TRUE(mirror.started()) << "a count starts an estimate nobody started";
  EXPECT_TRUE(mirror.takeLabel("No", "30"));
  EXPECT_EQ(mirror.text(), "30/120 ファイル");

  ProgressEstimate duplicates(clock.clock());
  EXPECT_TRUE(duplicates.takeLabel("Run", "57/120Files", 2));  // 57 still to go
  EXPECT_EQ(duplicates.filesDone(), 63);
  EXPECT_EQ(duplicates.totalFiles(), 120);
}

TEST(ProgressEstimate, TextsOfBytesAndDurations) {
  EXPECT_EQ(byteText(512), "512 B");
  EXPECT_EQ(byteText(1536), "1.5 KB");
  EXPECT_EQ(byteText(3.0 * 1024 * 1024 * 1024), "3.0 GB");
  EXPECT_EQ(durationText(45s), "45秒");
  EXPECT_EQ(durationText(117s), "1分57秒");
  EXPECT_EQ(durationText(7380s), "2時間03分");
  EXPECT_EQ(ProgressEstimate().text(), "") << "nothing before the start";
}

}  // namespace
}  // namespace quillmere
