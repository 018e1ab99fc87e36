#include <gtest/gtest.h>

#include "core/Main.h"
#include "shell/job/JobPlan.h"
#include "support/TempTree.h"

namespace quillmere::job {
namespace {

std::vector<std::pair<int, StepAction>> asPairs(const std::vector<PlannedStep>& steps) {
  std::vector<std::pair<int, StepAction>> out;
  for (const PlannedStep& s : steps) out.emplace_back(s.step, s.action);
  return out;
}

JobChoices choose(std::initializer_list<std::pair<int, int>> checkedSteps) {
  JobChoices c;
  for (const auto& [step, choice] : checkedSteps) {
    c.checked[step - 1] = true;
    c.chosen[optionIndex(step, choice) - 1] = true;
  }
  return c;
}

TEST(JobPlan, OptionIndexesCaptionsAndActionsFollowTheTenPerStepRule) {
  EXPECT_EQ(optionIndex(2, 7), 17);
  EXPECT_EQ(stepOfOption(17), 2);
  EXPECT_EQ(choiceOfOption(17), 7);
  EXPECT_EQ(stepOfOption(80), 8);
  EXPECT_EQ(choiceOfOption(80), 10);
  const char* captions[] = {"スキャンディスク",
                            "リネーム",
                            "重複ファイル削除",
                            "バックアップ",
                            "ミラーリング",
                            "ファイル書き戻し",
                            "リカバリー",
                            "予約",
                            "予約",
                            "予約"};
  for (int k = 1; k <= 10; ++k) EXPECT_STREQ(choiceCaption(k), captions[k - 1]) << k;
  EXPECT_EQ(actionOfChoice(1), StepAction::None);
  EXPECT_EQ(actionOfChoice(7), StepAction::Recovery);
  for (int k = 8; k <= 10; ++k) EXPECT_EQ(actionOfChoice(k), StepAction::None);
  EXPECT_EQ(keyTable().size(), 88u);
}

TEST(JobPlan, OnlyCheckedStepsRunInAscendingOrderWithOneActionEach) {
  // Steps 1 and 3 checked with rename and backup, step 2 unchecked with mirroring chosen.
  JobChoices c = choose({{1, 2}, {3, 4}});
  c.chosen[optionIndex(2, 5) - 1] = true;
  EXPECT_EQ(asPairs(plannedSteps(c)), (std::vector<std::pair<int, StepAction>>{
                                          {1, StepAction::ReName}, {3, StepAction::BackUP}}));

  // Scan disk, the reserved choices and a checked step without a choice run nothing.
  c = choose({{1, 1}, {2, 8}, {3, 10}, {5, 6}});
  c.checked[6] = true;
  EXPECT_EQ(asPairs(plannedSteps(c)),
            (std::vector<std::pair<int, StepAction>>{{5, StepAction::FileBack}}));

  // A hand-edited file with two choices in one step still runs one action: the last one, as
  // loading the buttons one by one leaves the group.
  c = choose({{4, 2}});
  c.chosen[optionIndex(4, 5) - 1] = true;
  EXPECT_EQ(c.chosenChoice(4), 5);
  EXPECT_EQ(asPairs(plannedSteps(c)),
            (std::vector<std::pair<int, StepAction>>{{4, StepAction::Mirroring}}));
}

TEST(JobPlan, ChoosingAButtonRewritesOnlyItsOwnStep) {
  test::TempTree tree;
  const std::string ini = tree.pathText("q.ini");
  writeOptionChoice(ini, 3);   // step 1
  writeOptionChoice(ini, 12);  // step 2, rename
  writeOptionChoice(ini, 27);  // step 3
  writeOptionChoice(ini, 17);  // step 2, recovery
  for (int i = 11; i <= 20; ++i)
    EXPECT_EQ(dll().DLL_GetStringFromINI(ini, kSection, optionKey(i), ""),
              i == 17 ? "True" : "False")
        << i;
  EXPECT_EQ(dll().DLL_GetStringFromINI(ini, kSection, optionKey(3), ""), "True");
  EXPECT_EQ(dll().DLL_GetStringFromINI(ini, kSection, optionKey(27), ""), "True");

  dll().DLL_WriteStringINI(ini, kSection, checkKey(2), "1");
  const JobChoices read = readJobChoices(ini);
  EXPECT_FALSE(read.isChecked(1));
  EXPECT_TRUE(read.isChecked(2));
  EXPECT_EQ(read.chosenChoice(2), 7);
  EXPECT_EQ(read.chosenChoice(3), 7);
}

TEST(JobPlan, ACancelOrTheProgramsEndStopsTheJobAfterThatStep) {
  const std::vector<PlannedStep> steps{
      {1, StepAction::ReName}, {2, StepAction::WFileDel}, {3, StepAction::BackUP}};
  std::vector<int> ran;
  const auto runner = [&](StepOutcome second) {
    return [&ran, second](const PlannedStep& s) {
      ran.push_back(s.step);
      return s.step == 2 ? second : StepOutcome{};
    };
  };

  JobReport report = runJob(steps, runner({1, false, false}));
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3})) << "a failed step is followed by the next";
  EXPECT_FALSE(report.stoppedEarly);
  EXPECT_EQ(report.firstFailedStatus(), 1);

  for (const StepOutcome& stop : {StepOutcome{130, true, false}, StepOutcome{0, false, true}}) {
    ran.clear();
    report = runJob(steps, runner(stop));
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
    EXPECT_TRUE(report.stoppedEarly);
    EXPECT_EQ(report.ran.size(), 2u);
  }

  ran.clear();
  bool cancel = false;
  report = runJob(
      steps,
      [&](const PlannedStep& s) {
        ran.push_back(s.step);
        cancel = true;
        return StepOutcome{};
      },
      [&] { return cancel; });
  EXPECT_EQ(ran, (std::vector<int>{1}));
  EXPECT_EQ(report.firstFailedStatus(), 0);
}

}  // namespace
}  // namespace quillmere::job
