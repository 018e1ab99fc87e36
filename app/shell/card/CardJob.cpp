#include "shell/card/CardJob.h"

#include <cctype>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "settings/IniStore.h"
#include "shell/card/CardSettings.h"
#include "shell/job/JobPlan.h"
#include "shell/run/RunAction.h"
#include "shell/run/StoredRun.h"

namespace quillmere::card {

namespace {

RunOutcome refused(const std::string& why) {
  RunOutcome result;
  result.refused = true;
  result.message = why;
  return result;
}

char upper(char c) {
  return static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
}

// Whether the path text lies on drive `letter` ("E:" alone or "E:\...").
bool onDrive(const std::string& pathText, char letter) {
  return pathText.size() >= 2 && upper(pathText[0]) == letter && pathText[1] == ':' &&
         (pathText.size() == 2 || pathText[2] == '\\');
}

}  // namespace

char driveLetterOf(const std::string& mountPoint) {
  std::string root = mountPoint;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  for (const platform::Drive& drive : platform::DriveMap::current().drives())
    if (drive.nativeRoot == root) return drive.letter;
  return '\0';
}

std::string putCardDrive(const std::string& iniPath, char from, char to) {
  from = upper(from);
  to = upper(to);
  if (from == to) return {};
  settings::IniBatch batch(settings::iniNativePath(iniPath));
  for (const job::PlannedStep& step : job::plannedSteps(job::readJobChoices(iniPath))) {
    const run::RunAction* action = run::findAction(job::actionName(step.action));
    if (action == nullptr || !action->keys) continue;
    for (const settings::KeyDescription& key : action->keys()) {
      if (key.form != settings::ValueForm::Folder) continue;
      std::string value = dll().DLL_GetStringFromINI(iniPath, action->section, key.key, "");
      if (!onDrive(value, from)) continue;
      value[0] = to;
      dll().DLL_WriteStringINI(iniPath, action->section, key.key, value);
    }
  }
  dll().DLL_WriteStringINI(iniPath, kSection, kDriveKey, std::string(1, to));
  if (!batch.commit()) return settings::IniStore::lastWriteError();
  return {};
}

RunOutcome runJobForCard(const std::string& iniPath, const Volume& volume, RunView& view) {
  // The settings are changed only for a run that is going to start.
  if (!view.claimRun(job::kSection)) return refused("another run of the job is under way");
  RunOutcome result;
  const CardSettings settings = readCardSettings(iniPath);
  const char letter = settings.drive == '\0' ? '\0' : driveLetterOf(volume.mountPoint);
  if (settings.drive != '\0' && letter == '\0') {
    result = refused("the card at " + volume.mountPoint + " has no drive letter");
  } else if (const std::string error =
                 letter == '\0' ? std::string() : putCardDrive(iniPath, settings.drive, letter);
             !error.empty()) {
    result = refused(error);
  } else {
    result = run::runStoredAction("Job", iniPath, view);
  }
  view.releaseRun(job::kSection);
  return result;
}

}  // namespace quillmere::card
