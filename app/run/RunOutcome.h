#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

// How a run ended, in the one form every caller reads (the runner's exit status, the job runner).
struct RunOutcome {
  bool cancelled = false;    // the cancel flag stopped the run
  bool refused = false;      // the run stopped before touching any file (no space, no folder)
  bool failed = false;       // an unexpected error ended the run (already shown, once)
  std::int64_t handled = 0;  // files the run dealt with
  std::vector<std::string> unhandled;  // path texts of the files it could not deal with
  std::string message;                 // why it was refused, or a closing remark
  std::vector<std::string> skipped;    // files dealt with by leaving them, with the reason
};

// Exit statuses of a run.
namespace exitstatus {
inline constexpr int kAllHandled = 0;
inline constexpr int kNotAllHandled = 1;  // files left as they were, or the run refused to start
inline constexpr int kUsage = 2;
inline constexpr int kError = 3;  // an unexpected error ended the run
inline constexpr int kCancelled = 130;
}  // namespace exitstatus

// The one mapping of an outcome to an exit status: an error first, then a cancel, then files
// left or a refusal.
int exitStatusOf(const RunOutcome& outcome);

}  // namespace quillmere
