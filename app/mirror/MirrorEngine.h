#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mirror/MirrorSettings.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::mirror {

// The status texts of a run.
namespace msg {
inline constexpr const char* kSameFolder = "同一ディレクトリです。";
inline constexpr const char* kMasterMissing = "マスター側のディレクトリが見つかりません";
inline constexpr const char* kMirrorMissing = "ミラー側のディレクトリが見つかりません";
inline constexpr const char* kListing = "ファイルリスト作成中・・・";
inline constexpr const char* kChecking = "ファイルのチェック中・・・";
inline constexpr const char* kBinaryCheck = "バイナリチェック中・・・";
inline constexpr const char* kCopying = "ファイルのコピー中・・・";
inline constexpr const char* kMirrorNoSpace = "ミラー側のディスク容量が足りません";
inline constexpr const char* kMasterNoSpace = "マスター側のディスク容量が足りません";
inline constexpr const char* kChecked = "Check中";
}  // namespace msg

// How a run ended.
enum class MirrorOutcome {
  Completed,       // every phase ran (files it could not handle are listed)
  Cancelled,       // the cancel flag sent it to the closing steps
  SameFolder,      // master and mirror are one folder or lie one inside the other
  MasterMissing,   // the master folder is missing, not ready or cannot be listed
  MirrorMissing,   // the same for the mirror folder
  AlreadyRunning,  // another mirroring run (in this or another process) is under way
  MassDelete,      // it would have deleted most of a side's files, and that was not allowed
  Error,           // an unexpected error ended the run through its closing steps
};

// A file the run left as it was, with the reason.
struct MirrorProblem {
  std::string path;  // path text
  std::string reason;
};

struct MirrorReport {
  MirrorOutcome outcome = MirrorOutcome::Completed;
  std::int64_t masterFiles = 0;
  std::int64_t mirrorFiles = 0;
  std::int64_t unchanged = 0;  // pairs found the same
  std::int64_t replaced = 0;   // pairs brought into line
  std::int64_t copied = 0;     // one-sided files copied
  std::int64_t deleted = 0;    // one-sided files deleted or put in the trash
  bool mirrorSpaceRefused = false;
  bool masterSpaceRefused = false;
  std::vector<MirrorProblem> problems;
  std::vector<std::string> restored;  // new versions a killed run left waiting, now in place
  std::string errorText;              // for Error
  std::string massDeleteText;         // for MassDelete: how many files of which side, and why
};

// The mirroring run: brings the mirror folder tree in line with the master folder tree as the
// "Mirrorring" options say. All input comes from the settings file; all output is file
// operations and the run view's labels ("Command", "No", "MaxNo", "FileName").
//
// Files are replaced safely: the winner is copied to a hidden temporary name beside the loser,
// given its times and read-only flag, and only then swapped in (the loser goes to the trash first
// when the dust box is on). Temporary names are recorded in a per-user journal, so a run that
// was killed is finished or undone by the next run before it lists anything.
class MirrorEngine {
 public:
  MirrorEngine(const MirrorSettings& settings, RunView& view);
  // Deletes that would take every file of a side, or most of them, go ahead without asking
  // (the runner's --allow-mass-delete). Otherwise the run view is asked, and No stops the run.
  void allowMassDelete(bool allow) { m_allowMassDelete = allow; }
  MirrorReport run();
  // What run() would do now, decided by the run's own code, into plan without writing a file:
  // the replacements, copies, deletions and folders made, in the run's order. A run that would
  // stop (a missing side, a mass delete not allowed) says so in the report's outcome.
  MirrorReport plan(RunPlan& plan) const;

 private:
  const MirrorSettings& m_settings;
  RunView& m_view;
  bool m_allowMassDelete = false;
};

// The time steps at which a file system keeps last-write and last-access times, in 100 ns
// ticks: 1 where it keeps them to the tick or finer; 2 s and one day on FAT. nativeFolder is any
// existing folder on that file system.
struct TimePrecision {
  std::int64_t lastWrite = 1;
  std::int64_t lastAccess = 1;
};
TimePrecision timePrecisionOf(const std::string& nativeFolder);

// True when two times agree at the coarser of two precisions.
bool sameTime(std::int64_t a, std::int64_t b, std::int64_t step);

}  // namespace quillmere::mirror
