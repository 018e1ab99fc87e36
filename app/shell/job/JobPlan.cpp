#include "shell/job/JobPlan.h"

#include "core/Main.h"
#include "settings/ValueText.h"
#include "shell/core/ShellState.h"

namespace quillmere::job {

namespace {

struct Choice {
  const char* caption;
  StepAction action;
};

const Choice kChoices[kChoicesPerStep] = {
    {"スキャンディスク", StepAction::None},
    {"リネーム", StepAction::ReName},
    {"重複ファイル削除", StepAction::WFileDel},
    {"バックアップ", StepAction::BackUP},
    {"ミラーリング", StepAction::Mirroring},
    {"ファイル書き戻し", StepAction::FileBack},
    {"リカバリー", StepAction::Recovery},
    {"予約", StepAction::None},
    {"予約", StepAction::None},
    {"予約", StepAction::None},
};

}  // namespace

int optionIndex(int step, int choice) {
  return (step - 1) * kChoicesPerStep + choice;
}

int stepOfOption(int option) {
  return (option - 1) / kChoicesPerStep + 1;
}

int choiceOfOption(int option) {
  return (option - 1) % kChoicesPerStep + 1;
}

const char* choiceCaption(int choice) {
  return kChoices[choice - 1].caption;
}

StepAction actionOfChoice(int choice) {
  return kChoices[choice - 1].action;
}

const char* actionCaption(StepAction action) {
  for (const Choice& c : kChoices)
    if (c.action == action) return c.caption;
  return "";
}

const char* actionName(StepAction action) {
  switch (action) {
    case StepAction::ReName:
      return "ReName";
    case StepAction::WFileDel:
      return "WFileDel";
    case StepAction::BackUP:
      return "BackUP";
    case StepAction::Mirroring:
      return "Mirrorring";
    case StepAction::FileBack:
      return "FileBack";
    case StepAction::Recovery:
      return "Recovery";
    case StepAction::None:
      break;
  }
  return "";
}

std::string checkKey(int step) {
  return "Job-Check" + std::to_string(step);
}

std::string optionKey(int option) {
  return "Job-Option" + std::to_string(option);
}

int JobChoices::chosenChoice(int step) const {
  int chosenOne = 0;
  for (int k = 1; k <= kChoicesPerStep; ++k)
    if (isChosen(optionIndex(step, k))) chosenOne = k;
  return chosenOne;
}

JobChoices readJobChoices(const std::string& iniPath) {
  JobChoices choices;
  for (int s = 1; s <= kStepCount; ++s)
    choices.checked[s - 1] = settings::numberOrZero(dll().DLL_GetStringFromINI(
                                 iniPath, kSection, checkKey(s), "0")) != 0;
  for (int i = 1; i <= kOptionCount; ++i)
    choices.chosen[i - 1] =
        settings::flagOr(dll().DLL_GetStringFromINI(iniPath, kSection, optionKey(i), "0"), false);
  return choices;
}

std::vector<PlannedStep> plannedSteps(const JobChoices& choices) {
  std::vector<PlannedStep> steps;
  for (int s = 1; s <= kStepCount; ++s) {
    if (!choices.isChecked(s)) continue;
    const int chosen = choices.chosenChoice(s);
    if (chosen == 0 || actionOfChoice(chosen) == StepAction::None) continue;
    steps.push_back({s, actionOfChoice(chosen)});
  }
  return steps;
}

int JobReport::firstFailedStatus() const {
  for (const StepRecord& r : ran)
    if (r.outcome.status != 0) return r.outcome.status;
  return 0;
}

JobReport runJob(const std::vector<PlannedStep>& steps, const StepRunner& runStep,
                 const std::function<bool()>& cancelRequested) {
  JobReport report;
  for (const PlannedStep& step : steps) {
    const StepOutcome outcome = runStep(step);
    report.ran.push_back({step, outcome});
    if (outcome.cancelled || outcome.endsProgram || (cancelRequested && cancelRequested())) {
      report.stoppedEarly = report.ran.size() < steps.size();
      break;
    }
  }
  return report;
}

void writeOptionChoice(const std::string& iniPath, int option) {
  const int step = stepOfOption(option);
  for (int i = optionIndex(step, 1); i <= optionIndex(step, kChoicesPerStep); ++i)
    dll().DLL_WriteStringINI(iniPath, kSection, optionKey(i), i == option ? "True" : "False");
}

const settings::KeyTable& keyTable() {
  static const settings::KeyTable table = [] {
    settings::KeyTable keys;
    for (int s = 1; s <= kStepCount; ++s)
      keys.push_back({.key = checkKey(s),
                      .form = settings::ValueForm::Check,
                      .defaultValue = "0",
                      .meaning = "Step" + std::to_string(s) + " is part of the job"});
    for (int i = 1; i <= kOptionCount; ++i) {
      const int s = stepOfOption(i);
      keys.push_back(
          {.key = optionKey(i),
           .form = settings::ValueForm::Option,
           .defaultValue = "0",
           .meaning =
               "Step" + std::to_string(s) + " runs " + choiceCaption(choiceOfOption(i)) +
               (actionOfChoice(choiceOfOption(i)) == StepAction::None
                    ? " (nothing)"
                    : std::string(" (") + actionName(actionOfChoice(choiceOfOption(i))) + ")"),
           .group = "Step" + std::to_string(s)});
    }
    return keys;
  }();
  return table;
}

}  // namespace quillmere::job
