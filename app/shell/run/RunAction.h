#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "run/RunOutcome.h"
#include "run/RunPlan.h"
#include "run/RunView.h"
#include "settings/KeyTable.h"

namespace quillmere::run {

// What the command line hands an action.
struct RunRequest {
  std::string iniPath;                // the settings file, as a path text ("C:\...\quillmere.ini")
  std::optional<std::string> folder;  // the FOLDER argument as a path text, when given
  bool allowMassDelete = false;       // --allow-mass-delete: a mirror may empty most of a side
};

enum class FolderArgument { None, Optional, Required };

// One action of the runner: the headless face of one panel's run.
struct RunAction {
  // Every field has a default, so a registration names only the fields it needs.
  std::string name{};     // as typed on the command line, e.g. "ReName" (matched exactly)
  std::string section{};  // the settings section --set writes into; empty: --set is refused
  std::string summary{};  // one line for --help
  FolderArgument folder = FolderArgument::None;
  std::string folderHelp{};  // what FOLDER means, for --help
  // Applies one --set as the panel's control would (option groups, linked keys). Key is the
  // full key as the key table spells it ("ReName-Stay_Mode"); value is the text, already
  // checked against the key's form, folders already absolute path texts. Returns an error text
  // for a value the control could never hold, else empty. When not given, the runner writes
  // the key as it stands.
  std::function<std::string(const std::string& iniPath, const std::string& key,
                            const std::string& value)>
      set{};
  std::function<RunOutcome(const RunRequest&, RunView&)> run{};
  // For actions with a schedule in the settings file: why the schedule does not enable this
  // moment ("the schedule is off"), empty when it does. --scheduled runs the action only then.
  std::function<std::string(const std::string& iniPath)> due{};
  // Every key of the section: --set accepts only these, --help ACTION lists them.
  std::function<const settings::KeyTable&()> keys{};
  // The run's own start-up writes (the panel's load), done by the runner together with the
  // --set values in one write of the settings file before the run starts.
  std::function<void(const std::string& iniPath)> prepare{};
  // The key FOLDER is stored in, as if given with --set; empty when FOLDER is not stored.
  std::string folderKey{};
  // What run would do, decided by the engine's own code, into plan without touching a file
  // (--preview). Settings writes it makes are discarded by the caller. Answers an outcome that
  // is refused, with the reason, when the run would not start; empty: no preview for the action.
  std::function<RunOutcome(const RunRequest&, RunPlan& plan)> preview{};
};

// The runner's actions, sorted by name: the list in ActionList.cpp.
const std::vector<RunAction>& runActions();
// The action of exactly that name, or nullptr.
const RunAction* findAction(const std::string& name);
// The action whose name differs only in case, or nullptr (to name the right spelling).
const RunAction* findActionIgnoringCase(const std::string& name);

// The default of the folder keys: the drive root of the runner's folder, in lower case.
std::string programDrive();

}  // namespace quillmere::run
