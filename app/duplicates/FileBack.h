#pragma once

#include <string>
#include <vector>

#include "duplicates/DuplicateSettings.h"
#include "duplicates/RunSupport.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::duplicates {

// A source file the file back left where it was, and why.
struct FileBackProblem {
  enum class Kind {
    SubDirUnavailable,  // the subfolder could not be created (read-only medium, a file of that
                        // name)
    TargetOccupied,     // another file already has the target name (it is never replaced)
    NameNotUsable,      // a name holds "*" or "?", which file operations read as a pattern
    MoveFailed,         // the move was asked for but the file is still in its place
  };
  Kind kind;
  std::string source;
  std::string target;
};

struct FileBackReport {
  RunEnding ending = RunEnding::Completed;
  int sourceFiles = 0;
  int destFiles = 0;
  int remaining = 0;
  std::vector<std::pair<std::string, std::string>> moved;  // (source, target) in order
  std::vector<std::string> namesakesDeleted;  // destination files deleted before a move
  std::vector<FileBackProblem> problems;
  int errorNumber = 0;
  std::string errorText;
};

// The file-back run: every source file is moved beside the first destination file of the same
// name (with or without extension, as set; a name without an extension matches only the whole
// name), or into a subfolder of that file's folder; the namesake of exactly the same name can be
// deleted first. An existing file is never replaced by a move. Files that stay where they were
// for a reason other than having no namesake are shown in one message at the end.
FileBackReport runFileBack(const FileBackRunOptions& options, RunView& view);

// What the run would do now, decided by its own code without touching a file: the subfolders
// made, the namesakes deleted and the moves, in the run's order.
RunPlan planFileBack(const FileBackRunOptions& options);

// The same run with its options read from the settings file.
FileBackReport runFileBack(const std::string& iniPath, RunView& view);

// The message that lists the problems of a run (empty when there are none).
std::string describeProblems(const std::vector<FileBackProblem>& problems);

}  // namespace quillmere::duplicates
