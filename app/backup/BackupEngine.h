#pragma once

#include <string>

#include "backup/BackupSettings.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::backup {

// How a backup run ended.
struct BackupReport {
  bool cancelled = false;
  bool refused = false;      // nothing was done: no folder chosen, or a folder is missing
  bool failed = false;       // an unexpected error ended the run (shown through the view)
  bool archiveMade = false;  // the archiver made an archive in the folder
  bool placed = false;       // it was moved to the destination (otherwise it was removed)
  std::string archive;       // path text of the file made in the backed-up folder
  std::string destination;   // path text it was to be moved to
  std::string message;       // why it was refused or not placed
};

// The destination path of the archive: the output folder plus a name by date and time, by the
// folder's own name ("E_Drive" for a drive root) or the given text, plus ".exe" or ".lzh".
// Date and time texts as DLL_Date and DLL_Time give them.
std::string destinationPath(const BackupOptions& options, const std::string& outDir,
                            const std::string& yyyy, const std::string& mm, const std::string& dd,
                            const std::string& hh, const std::string& mi, const std::string& ss);

// What a backup run would do now, without touching a file: one copy step per file packed, into
// the archive under its destination name (named by the time of the preview when named by time).
// When the run would refuse, refusal holds why and the plan is empty.
RunPlan planBackup(const BackupSettings& settings, std::string& refusal);

// The backup run: reads its options once, stores "FileName" as the given name when none is
// stored (a settings file that cannot take it refuses the run before any file is touched), then
// packs the folder of "BackUP-InDir" into an LZH archive inside it (with
// sub-folders when "BackUP-SubDir"), makes it a self-extracting program when "BackUP-Exe" is 1,
// and moves the result into "BackUP-OutDir" under its name without replacing an existing file.
// No file that was there before the run is updated, replaced or removed, and no archive is left
// in the backed-up folder: one that cannot be placed (the destination is taken) or whose run
// is cancelled is removed, and the report says why. The cancel flag is looked at before the
// archiving, the naming and the move. The view's controls are disabled during the run and the
// completion step follows a run that was not cancelled.
BackupReport runBackup(const BackupSettings& settings, RunView& view);

}  // namespace quillmere::backup
