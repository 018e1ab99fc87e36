#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Main.h"
#include "rename/FileSteps.h"
#include "rename/RenameSettings.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::rename {

class RenameJournal;

// The note a rename run keeps beside a group of related files while they move: its first line
// is the header, then one line per member, "old place<TAB>parked name" (path texts).
inline constexpr const char* kGroupNoteExtension = ".renamegroup";
inline constexpr const char* kGroupNoteHeader = "quillmere rename group";

// Why a file was not handled.
enum class Unhandled {
  Vanished,      // gone between the listing and its step
  NoFreeName,    // every name tried was taken (or a name without extension was taken)
  NoTarget,      // the target folder does not exist
  NotWritable,   // its folder or the disk could not be written (a disk: later files not started)
  Failed,        // another error, after a few tries
  Cancelled,     // the cancel flag stopped the run before the file was done
  CopyLeftOver,  // Copy mode: an older intermediate copy with other contents holds its name
};

struct FileProblem {
  std::string path;  // where the file is now (a parked file keeps its "Temp" name)
  Unhandled reason;
  int error = 0;  // errno, where one applies
};

// A source file left where it is because the target tree holds a file with its bytes.
struct SkippedFile {
  std::string path;        // the source file, untouched
  std::string importedAs;  // the file of the target tree with the same bytes
};

// Why a run stopped before touching any file.
enum class Refusal { None, NoSourceFolder, SystemRoot, NoSpace };

// How a run ended.
struct RunReport {
  bool cancelled = false;
  bool refused = false;  // stopped before touching any file (no space, no source folder)
  Refusal refusal = Refusal::None;
  bool failed = false;  // an unexpected error ended the run (shown through the view)
  std::string message;  // the reason for a refusal or a failure
  std::int64_t handled = 0;
  std::vector<FileProblem> problems;
  // Files already imported (the skip option): dealt with, not counted in handled.
  std::vector<SkippedFile> skipped;
};

// The batch rename: survey, capacity check, ordering, park, settle, closing steps. The options
// are read from the settings file once, as the run starts (RenameOptions); the screen is reached
// only through the view.
class RenameEngine {
 public:
  RenameEngine(const RenameSettings& settings, RunView& view);
  RunReport run();
  // What a run would do now, decided by the run's own survey, numbering and clash handling
  // without touching a file or the settings: one step per file (old path to final path, a copy
  // in Copy mode) and the folders it would make. A refusal comes back in report.
  static RunPlan plan(const RenameSettings& settings, RunReport* report = nullptr);
  // Records every file that gets its final name, so that the run can be taken back.
  void keepJournal(RenameJournal& journal) { m_journal = &journal; }

  // Bounds on the retry loops: clash letters per file (18278 = "zzz"), and further attempts
  // of a step that failed for another reason.
  static constexpr int kMaxClashes = 18278;
  static constexpr int kMaxRetries = 3;

 private:
  struct Record;
  class Run;
  const RenameSettings& m_settings;
  RunView& m_view;
  RenameJournal* m_journal = nullptr;
};

// The repair of an interrupted rename: every file of the tree whose extension ends in "Temp"
// (any case) gets its name without that ending. A name that is taken stays parked and is
// reported; nothing is ever replaced.
class RecoveryEngine {
 public:
  RecoveryEngine(std::string folder, RunView& view);
  RunReport run();
  // What a run on the folder would do now, without touching a file: one move per parked file.
  static RunPlan plan(const std::string& folder);

 private:
  // The one decision of the run: which listed files are parked, and their plain names.
  static RunPlan planOf(const StringArray& list);
  void carryOut(const RunPlan& plan, RunReport& report);
  std::string m_folder;
  RunView& m_view;
  FileSteps m_steps;
};

}  // namespace quillmere::rename
