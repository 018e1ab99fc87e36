#pragma once

#include <string>

#include "shell/run/RunAction.h"

namespace quillmere::run {

// Runs the action of that name on the options stored in the settings file, as its panel's run
// button would: the panel's start-up writes first (one write of the file), then the run. An
// action that needs a FOLDER refuses, as the settings file keeps none for it; an unexpected
// error is shown through the view and ends only this run.
RunOutcome runStoredAction(const std::string& name, const std::string& iniPath, RunView& view);

}  // namespace quillmere::run
