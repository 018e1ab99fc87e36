#include "shell/run/StoredRun.h"

#include <exception>

#include "core/Main.h"
#include "settings/IniStore.h"

namespace quillmere::run {

namespace {

RunOutcome refusedRun(const std::string& why) {
  RunOutcome result;
  result.refused = true;
  result.message = why;
  return result;
}

RunOutcome failedRun() {
  RunOutcome result;
  result.failed = true;
  return result;
}

}  // namespace

RunOutcome runStoredAction(const std::string& name, const std::string& iniPath, RunView& view) {
  const RunAction* action = findAction(name);
  if (action == nullptr || !action->run) return refusedRun(name + " is not an action");
  if (action->folder == FolderArgument::Required)
    return refusedRun(name + " needs a folder, and the settings file keeps none for it");
  try {
    if (action->prepare) {
      settings::IniBatch batch(settings::iniNativePath(iniPath));
      action->prepare(iniPath);
      if (!batch.commit()) return refusedRun(settings::IniStore::lastWriteError());
    }
    RunRequest request;
    request.iniPath = iniPath;
    return action->run(request, view);
  } catch (const DllError& e) {
    showRunError(view, static_cast<int>(e.number()), e.what());
    return failedRun();
  } catch (const std::exception& e) {
    showRunError(view, 0, e.what());
    return failedRun();
  }
}

}  // namespace quillmere::run
