#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "core/Main.h"
#include "run/RunFrame.h"
#include "run/RunView.h"

namespace quillmere::duplicates {

// How a run ended.
enum class RunEnding {
  Completed,  // every step ran; the completion step followed
  Cancelled,  // the cancel flag ended the comparisons; the closing steps still ran
  Failed,     // an unexpected error ended the run; it was shown, the closing steps still ran
};

// How a run in that frame ended: failed, else cancelled when the cancel flag is set.
RunEnding endingOf(const RunFrame& frame, const RunView& view);

// The progress texts the two duplicate panels share.
namespace labels {
inline constexpr char kSearchingOriginals[] = "Original File検索中";
inline constexpr char kSearchingDeletions[] = "Delete File検索中";
std::string files(int count);                     // "120Files"
std::string remaining(int remaining, int total);  // "57/120Files"
std::string comparisonFirst(int comparisonPos, int deletionPos);
std::string deletionFirst(int deletionPos, int comparisonPos);
}  // namespace labels

// The file list of a folder (full path texts in list order); empty when the folder text is
// empty, does not exist, is on a drive that is not ready or cannot be listed.
std::vector<std::string> listFiles(const std::string& folder, bool subFolders);

// Lets the event loop run (and progress show) every 25 ms or so while a loop goes over many
// files quickly, without paying for a label update and a yield per file. The first call of
// due() is always due.
class YieldPacer {
 public:
  explicit YieldPacer(RunView& view) : m_view(view) {}
  bool due() const;
  void yieldNow();

 private:
  RunView& m_view;
  std::chrono::steady_clock::time_point m_last{};
};

// True when the file-name part of a path text holds "*" or "?". Such a name is legal on Linux,
// but the library's file operations read it as a pattern and would act on every file it
// matches: the runs never hand such a file to a delete or a move.
bool nameHasWildcard(const std::string& pathText);

// True when deletions on the drive of this folder go through the removable-drive rule
// (confirmation when asked for, never the trash).
bool onRemovableDrive(const std::string& folder);

}  // namespace quillmere::duplicates
