#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>

#include <map>

#include "shell/core/ShellState.h"
#include "shell/timer/Countdown.h"
#include "shell/timer/MainTimer.h"

namespace quillmere {
namespace {

// 2024-05-15 is a Wednesday (weekday 3).
ClockTexts at(const char* hour, const char* minute, const char* second = "00") {
  return ClockTexts{"2024", "05", "15", hour, minute, second};
}

class Schedule : public ::testing::Test {
 protected:
  void SetUp() override {
    keys = {{"Mirrorring-Timer", "1"},
            {"Mirrorring-Week3", "1"},
            {"Mirrorring-Hour9", "1"},
            {"Mirrorring-Minute6", "1"}};
  }
  MirrorSchedule::KeyReader reader() {
    return [this](const std::string& key) {
      ++reads;
      const auto it = keys.find(key);
      return it == keys.end() ? std::string("0") : it->second;
    };
  }

  std::map<std::string, std::string> keys;
  int reads = 0;
};

TEST_F(Schedule, RunsAtTheFirstTickOfAnEnabledMinuteOnly) {
  MirrorSchedule schedule;
  EXPECT_TRUE(schedule.due(at("09", "30"), false, reader()));
  // Many ticks within the same minute start nothing more, and read no key.
  const int readsBefore = reads;
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(schedule.due(at("09", "30", "01"), false, reader()));
  EXPECT_EQ(reads, readsBefore);
  EXPECT_FALSE(schedule.due(at("09", "31"), false, reader()));
  EXPECT_FALSE(schedule.due(at("09", "35"), false, reader()));
  keys["Mirrorring-Minute7"] = "1";
  EXPECT_FALSE(schedule.due(at("09", "35", "30"), false, reader()));  // minute 35 was handled
  MirrorSchedule fresh;
  EXPECT_TRUE(fresh.due(at("09", "35"), false, reader()));
}

TEST_F(Schedule, EveryKeyFamilyMustAgree) {
  const auto dueWith = [&](const char* key, const char* value, ClockTexts now) {
    SetUp();
    keys[key] = value;
    MirrorSchedule schedule;
    return schedule.due(now, false, reader());
  };
  EXPECT_FALSE(dueWith("Mirrorring-Timer", "0", at("09", "30")));
  EXPECT_FALSE(dueWith("Mirrorring-Week3", "0", at("09", "30")));
  EXPECT_FALSE(dueWith("Mirrorring-Hour9", "0", at("09", "30")));
  EXPECT_FALSE(dueWith("Mirrorring-Minute6", "0", at("09", "30")));
  EXPECT_FALSE(dueWith("Mirrorring-Timer", "1", at("10", "30")));  // hour 10 is off
  // A minute that is no multiple of five has no key, whatever the file holds.
  EXPECT_FALSE(dueWith("Mirrorring-Minute1.4", "1", at("09", "07")));
  EXPECT_FALSE(dueWith("Mirrorring-Minute1", "1", at("09", "07")));
  // Clock texts that are not numbers start nothing.
  EXPECT_FALSE(dueWith("Mirrorring-Timer", "1", at("xx", "yy")));
}

TEST_F(Schedule, NoRunWhileOneIsUnderWay) {
  MirrorSchedule schedule;
  EXPECT_FALSE(schedule.due(at("09", "30"), true, reader()));
  // The minute counts as handled: the run's end within it starts nothing.
  EXPECT_FALSE(schedule.due(at("09", "30", "40"), false, reader()));
  keys["Mirrorring-Minute7"] = "1";
  EXPECT_TRUE(schedule.due(at("09", "35"), false, reader()));
}

class Timer : public ::testing::Test {
 protected:
  void SetUp() override { state = ShellState{}; }
  MainTimerSteps steps() {
    MainTimerSteps s;
    s.clock = [this] { return now; };
    s.readScheduleKey = [this](const std::string& key) {
      static const std::map<std::string, std::string> on = {{"Mirrorring-Timer", "1"},
                                                            {"Mirrorring-Week3", "1"},
                                                            {"Mirrorring-Hour9", "1"},
                                                            {"Mirrorring-Minute6", "1"},
                                                            {"Mirrorring-Minute7", "1"}};
      const auto it = on.find(key);
      return it == on.end() ? std::string("0") : it->second;
    };
    s.windowManagerPass = [this] { order += "W"; };
    s.clearNoSpaceMessage = [this] { ++cleared; };
    s.exitRoutine = [this] { order += "X"; };
    s.startScheduledMirroringRun = [this] {
      ++runs;
      // The run yields: ticks go on meanwhile, and later enabled minutes start nothing.
      state.mirroringRunning = true;
      now = at("09", "35");
      for (int i = 0; i < 3; ++i) timer->tick();
      state.mirroringRunning = false;
    };
    return s;
  }
  void settle() { QCoreApplication::processEvents(); }

  ShellState state;
  ClockTexts now = at("09", "29");
  MainTimer* timer = nullptr;
  std::string order;
  int cleared = 0;
  int runs = 0;
};

TEST_F(Timer, ScheduledRunStartsOnceAndNeverTwiceAtOnce) {
  MainTimer t(state, steps());
  timer = &t;
  t.tick();
  settle();
  EXPECT_EQ(runs, 0);
  now = at("09", "30");
  for (int i = 0; i < 50; ++i) t.tick();
  EXPECT_TRUE(t.scheduledRunUnderWay());
  settle();  // the run starts from its own event
  EXPECT_EQ(runs, 1);
  EXPECT_FALSE(t.scheduledRunUnderWay());
  // Minute 35 passed during the run: nothing more until the next enabled minute.
  t.tick();
  settle();
  EXPECT_EQ(runs, 1);
}

TEST_F(Timer, TicksTakeTheirStepsInOrder) {
  MainTimer t(state, steps());
  timer = &t;
  state.loading = true;
  t.tick();
  EXPECT_FALSE(state.ready);
  state.loading = false;
  state.busy = 1;
  t.tick();
  EXPECT_FALSE(state.ready);
  state.busy = 0;
  t.tick();
  EXPECT_TRUE(state.ready);
  EXPECT_EQ(order, "WWW");
  state.cancel = true;
  t.tick();
  EXPECT_EQ(order, "WWWWX");
}

TEST_F(Timer, TransientMessageIsClearedOnTheEleventhIdleTick) {
  MainTimer t(state, steps());
  timer = &t;
  state.state(Panel::ReName) = kPanelOpen;
  state.timerLoop = 10;
  state.busy = 1;
  t.tick();
  EXPECT_EQ(state.timerLoop, 10);  // not counted down while busy
  state.busy = 0;
  cleared = 0;
  for (int i = 0; i < 10; ++i) t.tick();
  EXPECT_EQ(cleared, 0);
  EXPECT_EQ(state.timerLoop, 0);
  t.tick();
  EXPECT_EQ(cleared, 1);
}

TEST_F(Timer, PendingUpdateIsHandedOverOnce) {
  MainTimerSteps s = steps();
  std::vector<std::string> handed;
  s.updateHandOver = [&](const std::string& path) { handed.push_back(path); };
  MainTimer t(state, s);
  timer = &t;
  t.tick();
  t.requestUpdate("C:\\tmp\\update.bin");
  t.tick();
  t.tick();
  EXPECT_EQ(handed, std::vector<std::string>{"C:\\tmp\\update.bin"});
}

TEST(Countdown, ShowsOneHundredTwentyDownToZeroThenAsksEverySecond) {
  CountdownMarks marks;
  std::vector<int> shown;
  int shutdowns = 0;
  for (int tick = 1; tick <= 123; ++tick) {
    const auto step = marks.tick();
    if (step.secondsShown) shown.push_back(*step.secondsShown);
    if (step.requestShutdown) ++shutdowns;
    if (tick == 120) {
      EXPECT_EQ(shutdowns, 0);
    }
  }
  ASSERT_EQ(shown.size(), 121u);
  EXPECT_EQ(shown.front(), 120);
  EXPECT_EQ(shown[83], 37);
  EXPECT_EQ(shown.back(), 0);
  EXPECT_EQ(shutdowns, 3);  // the 121st tick and every later one
  marks.clear();
  EXPECT_EQ(*marks.tick().secondsShown, 120);
}

}  // namespace
}  // namespace quillmere
