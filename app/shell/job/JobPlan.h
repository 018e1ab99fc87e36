#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "settings/KeyTable.h"

namespace quillmere::job {

// The job: up to eight steps, each one of ten choices, kept in section "Job" of the settings
// file. The panel and the headless runner both take their step order from here.
inline constexpr const char* kSection = "Job";
inline constexpr int kStepCount = 8;
inline constexpr int kChoicesPerStep = 10;
inline constexpr int kOptionCount = kStepCount * kChoicesPerStep;

// What a step runs. Scan disk and the reserved choices run nothing.
enum class StepAction { None, ReName, WFileDel, BackUP, Mirroring, FileBack, Recovery };

// Option button i of step s, choice k: i = (s - 1) * 10 + k, all counted from 1.
int optionIndex(int step, int choice);
int stepOfOption(int option);
int choiceOfOption(int option);

// The caption of choice k (1 to 10) and the action it stands for.
const char* choiceCaption(int choice);
StepAction actionOfChoice(int choice);
// The caption of the choice that stands for an action.
const char* actionCaption(StepAction action);
// The action's name as the runner spells it, which is also the panel's word ("ReName").
const char* actionName(StepAction action);

std::string checkKey(int step);     // "Job-Check1"
std::string optionKey(int option);  // "Job-Option1"

// The job's choices as the panel's controls hold them.
struct JobChoices {
  std::array<bool, kStepCount> checked{};
  std::array<bool, kOptionCount> chosen{};  // option i at [i - 1]

  bool isChecked(int step) const { return checked[step - 1]; }
  bool isChosen(int option) const { return chosen[option - 1]; }
  // The one button of the step that is chosen (0 for none). When the file holds several
  // "True" values for one step, the last one wins, as loading them one by one into a group of
  // option buttons leaves it.
  int chosenChoice(int step) const;
};

// Reads "Job-Check1" to "Job-Check8" (default "0") and "Job-Option1" to "Job-Option80"
// (default "0", read as False).
JobChoices readJobChoices(const std::string& iniPath);

struct PlannedStep {
  int step = 0;
  StepAction action = StepAction::None;
};

// The checked steps in ascending order with the action of their chosen button; steps whose
// choice runs nothing are left out. Each step runs at most one action.
std::vector<PlannedStep> plannedSteps(const JobChoices& choices);

// How one step's run ended: the runner's exit status of that run (0 all handled).
struct StepOutcome {
  int status = 0;
  bool cancelled = false;    // the cancel flag stopped the run
  bool endsProgram = false;  // its completion step ends the program
};

struct StepRecord {
  PlannedStep step;
  StepOutcome outcome;
};

struct JobReport {
  std::vector<StepRecord> ran;  // the steps that ran, in order
  bool stoppedEarly = false;    // a cancel or the end of the program ended the job
  // The status of the first step that was not 0; 0 when every step gave 0.
  int firstFailedStatus() const;
};

// Runs one step's panel to its end.
using StepRunner = std::function<StepOutcome(const PlannedStep&)>;

// Runs the steps one after the other. The job does not look at a step's result, except that a
// cancel or the end of the program ends it after that step.
JobReport runJob(const std::vector<PlannedStep>& steps, const StepRunner& runStep,
                 const std::function<bool()>& cancelRequested = {});

// Chooses option button i as its click does: "True" for it and "False" for the other nine
// buttons of its step; the other steps' keys are not touched.
void writeOptionChoice(const std::string& iniPath, int option);

// The keys of section "Job", for the runner's --set and --help.
const settings::KeyTable& keyTable();

}  // namespace quillmere::job
