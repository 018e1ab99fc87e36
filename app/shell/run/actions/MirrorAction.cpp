// The "Mirrorring" action of quillmere-run: the mirroring panel's run without a window, and the
// schedule check behind --scheduled.

#include <ctime>
#include <string>

#include "core/Main.h"
#include "mirror/MirrorEngine.h"
#include "mirror/MirrorSettings.h"
#include "platform/Text.h"
#include "run/QuietRunView.h"
#include "settings/ValueText.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::run {
using namespace quillmere::mirror;

namespace {

// The mirroring panel names its counters "No" and "MaxNo" ("/ 120"); the runner's progress line
// reads "FileNo" and "FileMax" ("120/ ").
class CounterNames final : public RunView {
 public:
  explicit CounterNames(RunView& inner) : m_inner(inner) {}
  void setLabel(std::string_view name, const std::string& text, int index) override {
    // The counters show "Check中" while the files are listed: only numbers reach the bar.
    const auto number = [](const std::string& t) {
      return !t.empty() && t.find_first_not_of("0123456789") == std::string::npos;
    };
    if (name == "No") return m_inner.setLabel("FileNo", number(text) ? text : "", index);
    if (name == "MaxNo") {
      const std::string count = text.rfind("/ ", 0) == 0 ? text.substr(2) : text;
      return m_inner.setLabel("FileMax", number(count) ? count + "/ " : "", index);
    }
    if (name == "FileName") return;  // the progress line has no room for it
    m_inner.setLabel(name, text, index);
  }
  void yield() override { m_inner.yield(); }
  bool cancelRequested() const override { return m_inner.cancelRequested(); }
  int messageBox(const std::string& text, int style, const std::string& title) override {
    return m_inner.messageBox(text, style, title);
  }
  void note(const std::string& text) override { m_inner.note(text); }
  void setTimerLoop(int value) override { m_inner.setTimerLoop(value); }
  void setRunning(bool running) override { m_inner.setRunning(running); }
  void clearCancel() override { m_inner.clearCancel(); }
  bool claimRun(std::string_view sectionWord) override { return m_inner.claimRun(sectionWord); }
  void releaseRun(std::string_view sectionWord) override { m_inner.releaseRun(sectionWord); }
  void reopenAfterRun(std::string_view sectionWord) override {
    m_inner.reopenAfterRun(sectionWord);
  }
  void runCompleted(std::string_view sectionWord) override { m_inner.runCompleted(sectionWord); }

 private:
  RunView& m_inner;
};

std::string applySet(const std::string& iniPath, const std::string& keyName,
                     const std::string& value) {
  const MirrorSettings settings(iniPath, programDrive());
  auto is = [&](const char* k) { return text::equalsNoCase(keyName, k); };
  if (is(key::kOptionSelect)) {
    const double index = settings::numberOrZero(value);
    if (value.empty() || index < 0 || index > 9 || index != static_cast<int>(index))
      return "a preset is a number from 0 to 9";
    settings.choosePreset(static_cast<int>(index));
    return {};
  }
  for (const char* check : {key::kMaster, key::kMirror, key::kBinCheck}) {
    if (is(check)) {
      settings.setCheck(check, settings::flagOr(value, false));
      return {};
    }
  }
  for (const char* pair : {key::kMaster1, key::kMirror1, key::kBinCheck1}) {
    if (is(pair)) {
      const std::string t = value;
      if (!text::equalsNoCase(t, "true") && !text::equalsNoCase(t, "false") && t != "1" && t != "0")
        return "the value is True or False";
      settings.setOptionPair(pair, settings::flagOr(value, false));
      return {};
    }
  }
  settings.put(keyName, value);
  return {};
}

RunOutcome runMirror(const RunRequest& request, RunView& view) {
  const MirrorSettings settings(request.iniPath, programDrive());
  CounterNames counters(view);
  MirrorEngine engine(settings, counters);
  engine.allowMassDelete(request.allowMassDelete);
  const MirrorReport report = engine.run();

  RunOutcome result;
  result.handled = report.unchanged + report.replaced + report.copied + report.deleted;
  for (const auto& p : report.problems) result.unhandled.push_back(p.path + " (" + p.reason + ")");
  switch (report.outcome) {
    case MirrorOutcome::Completed:
      break;
    case MirrorOutcome::Cancelled:
      result.cancelled = true;
      break;
    // The engine has shown these refusals through the view already.
    case MirrorOutcome::SameFolder:
    case MirrorOutcome::MasterMissing:
    case MirrorOutcome::MirrorMissing:
      result.refused = true;
      break;
    case MirrorOutcome::MassDelete:
      result.refused = true;
      result.message = "nothing was changed; --allow-mass-delete lets the run delete them";
      break;
    case MirrorOutcome::AlreadyRunning:
      result.refused = true;
      result.message = "another mirroring run is under way";
      break;
    case MirrorOutcome::Error:
      result.failed = true;  // already shown through the view
      break;
  }
  if (report.mirrorSpaceRefused) {
    result.refused = true;
    result.message += std::string(result.message.empty() ? "" : "\n") + msg::kMirrorNoSpace;
  }
  if (report.masterSpaceRefused) {
    result.refused = true;
    result.message += std::string(result.message.empty() ? "" : "\n") + msg::kMasterNoSpace;
  }
  for (const auto& path : report.restored)
    result.message += std::string(result.message.empty() ? "" : "\n") +
                      "put in place after an interrupted run: " + path;
  if (report.outcome == MirrorOutcome::Completed || report.outcome == MirrorOutcome::Cancelled) {
    const std::string counts =
        std::to_string(report.masterFiles) + " master / " + std::to_string(report.mirrorFiles) +
        " mirror files: " + std::to_string(report.unchanged) + " unchanged, " +
        std::to_string(report.replaced) + " replaced, " + std::to_string(report.copied) +
        " copied, " + std::to_string(report.deleted) + " deleted";
    result.message += std::string(result.message.empty() ? "" : "\n") + counts;
  }
  return result;
}

// What the run would do now; a plan that stops where the run would is a refused preview.
RunOutcome previewMirror(const RunRequest& request, RunPlan& plan) {
  const MirrorSettings settings(request.iniPath, programDrive());
  QuietRunView quiet;
  MirrorEngine engine(settings, quiet);
  engine.allowMassDelete(request.allowMassDelete);
  const MirrorReport report = engine.plan(plan);
  RunOutcome result;
  switch (report.outcome) {
    case MirrorOutcome::Completed:
    case MirrorOutcome::Cancelled:
      break;
    case MirrorOutcome::SameFolder:
      result.refused = true;
      result.message = msg::kSameFolder;
      break;
    case MirrorOutcome::MasterMissing:
      result.refused = true;
      result.message = msg::kMasterMissing;
      break;
    case MirrorOutcome::MirrorMissing:
      result.refused = true;
      result.message = msg::kMirrorMissing;
      break;
    case MirrorOutcome::MassDelete:
      result.refused = true;
      result.message =
          report.massDeleteText + "\nthe run would stop here; --allow-mass-delete lets it go on";
      break;
    case MirrorOutcome::AlreadyRunning:
      break;
    case MirrorOutcome::Error:
      result.failed = true;
      result.message = report.errorText;
      break;
  }
  return result;
}

// Why the schedule of the mirroring panel does not enable this moment of local time; empty
// when it does.
std::string notDueNow(const std::string& iniPath) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const MirrorSettings settings(iniPath, programDrive());
  if (settings.scheduleDue(local.tm_wday, local.tm_hour, local.tm_min)) return {};
  auto off = [&](const std::string& k) {
    return settings::numberOrZero(settings.get(k, "0")) == 0;
  };
  if (off(key::kTimer)) return "the schedule is off (Mirrorring-Timer is 0)";
  const std::string week = key::kWeek + std::to_string(local.tm_wday);
  if (off(week)) return "today is not a scheduled weekday (" + week + " is 0)";
  const std::string hour = key::kHour + std::to_string(local.tm_hour);
  if (off(hour)) return "this hour is not scheduled (" + hour + " is 0)";
  if (local.tm_min % 5 != 0)
    return "runs start only at a five-minute mark (the minute is " + std::to_string(local.tm_min) +
           ")";
  const std::string minute = key::kMinute + std::to_string(local.tm_min / 5);
  return "this five-minute mark is not scheduled (" + minute + " is 0)";
}

}  // namespace

RunAction mirrorAction() {
  return {
      .name = "Mirrorring",
      .section = kSection,
      .summary = "bring Mirrorring-OutDir in line with Mirrorring-InDir by the stored preset",
      .folder = FolderArgument::None,
      .folderHelp = "",
      .set = applySet,
      .run = runMirror,
      .due = notDueNow,
      .keys = keyTable,
      .preview = previewMirror,
  };
}

}  // namespace quillmere::run
