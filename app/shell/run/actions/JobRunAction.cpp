// The stored job as an action of quillmere-run.

#include <cstdio>
#include <string>

#include "core/Main.h"
#include "shell/job/JobPlan.h"
#include "shell/run/StoredRun.h"
#include "shell/run/TerminalRunView.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::job {

namespace {

// Ends the view's progress line, so the step's own line starts on a fresh one.
void printLine(RunView& view, const std::string& text) {
  if (auto* terminal = dynamic_cast<run::TerminalRunView*>(&view)) terminal->finishLine();
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
}

std::string stepLine(const PlannedStep& step, const RunOutcome& result, int status) {
  std::string line = "Step" + std::to_string(step.step) + " " + actionName(step.action) + ": " +
                     std::to_string(result.handled) + " handled, " +
                     std::to_string(result.unhandled.size()) + " not handled";
  if (result.cancelled) line += ", cancelled";
  line += ", status " + std::to_string(status);
  if (!result.message.empty() && !result.failed)
    line += " (" + run::withNativePaths(result.message) + ")";
  return line;
}

RunOutcome runStoredJob(const run::RunRequest& request, RunView& view) {
  const std::vector<PlannedStep> steps = plannedSteps(readJobChoices(request.iniPath));
  RunOutcome total;
  const StepRunner runStep = [&](const PlannedStep& step) {
    const RunOutcome result = run::runStoredAction(actionName(step.action), request.iniPath, view);
    const int status = exitStatusOf(result);
    printLine(view, stepLine(step, result, status));
    total.handled += result.handled;
    for (const std::string& path : result.unhandled) total.unhandled.push_back(path);
    for (const std::string& line : result.skipped) total.skipped.push_back(line);
    return StepOutcome{status, result.cancelled, false};
  };
  const JobReport report = runJob(steps, runStep, [&] { return view.cancelRequested(); });
  if (steps.empty()) total.message = "the job has no checked step with an action";
  switch (report.firstFailedStatus()) {
    case exitstatus::kError:
      total.failed = true;
      break;
    case exitstatus::kCancelled:
      total.cancelled = true;
      break;
    case exitstatus::kNotAllHandled:
      // A step that refused to start names no file; the job still must not report success.
      if (total.unhandled.empty()) total.unhandled.push_back("a step refused to start (see above)");
      break;
    default:
      break;
  }
  return total;
}

}  // namespace

}  // namespace quillmere::job

namespace quillmere::run {

RunAction jobAction() {
  using namespace job;
  return {
      .name = "Job",
      .section = kSection,
      .summary = "run the checked steps of the stored job in order ([Job])",
      .set =
          [](const std::string& ini, const std::string& key, const std::string& value) {
            const std::string prefix = "Job-Option";
            if (key.rfind(prefix, 0) == 0 && value == "True")
              writeOptionChoice(ini, std::stoi(key.substr(prefix.size())));
            else
              dll().DLL_WriteStringINI(ini, kSection, key, value);
            return std::string();
          },
      .run = runStoredJob,
      .keys = keyTable,
  };
}

}  // namespace quillmere::run
