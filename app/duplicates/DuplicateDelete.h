#pragma once

#include <string>
#include <vector>

#include "duplicates/DuplicateSettings.h"
#include "duplicates/RunSupport.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::duplicates {

struct DeleteRunReport {
  RunEnding ending = RunEnding::Completed;
  int comparisonFiles = 0;              // files listed on the comparison side
  int deletionFiles = 0;                // files listed on the deletion side
  int remaining = 0;                    // deletion candidates left when the comparisons ended
  int comparedPairs = 0;                // pairs compared byte for byte
  std::vector<std::string> deleted;     // in the order of deletion
  std::vector<std::string> notDeleted;  // duplicates still there after their deletion (declined,
                                        // refused by the file system, or a name with * or ?)
  int errorNumber = 0;                  // for RunEnding::Failed
  std::string errorText;
};

// The duplicate-delete run: every file of the deletion folder whose bytes equal those of a file
// of the comparison folder is deleted (to the trash on a fixed drive when asked; on a removable
// drive never to the trash, with a confirmation per file when asked). The comparison side is
// never changed but for the removal of its empty folders when asked. Progress goes to the label
// array "Run" (1 to 3) of the view; the completion step follows a run that was not cancelled.
DeleteRunReport runDuplicateDelete(const DeleteRunOptions& options, RunView& view);

// What the run would do now, decided by its own code without touching a file: the deletions
// (to the trash or for good), in the run's order.
RunPlan planDuplicateDelete(const DeleteRunOptions& options);

// The same run with its options read from the settings file.
DeleteRunReport runDuplicateDelete(const std::string& iniPath, RunView& view);

}  // namespace quillmere::duplicates
