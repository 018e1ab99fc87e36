#pragma once

#include "shell/run/RunAction.h"

// The runner's faces of the engines, one source file per subsystem.
namespace quillmere::run {

RunAction renameAction();
RunAction recoveryAction();
RunAction duplicateDeleteAction();
RunAction fileBackAction();
RunAction backupAction();
RunAction mirrorAction();
RunAction jobAction();
RunAction undoAction();

}  // namespace quillmere::run
