#include "run/RunOutcome.h"

namespace quillmere {

int exitStatusOf(const RunOutcome& outcome) {
  if (outcome.failed) return exitstatus::kError;
  if (outcome.cancelled) return exitstatus::kCancelled;
  if (outcome.refused || !outcome.unhandled.empty()) return exitstatus::kNotAllHandled;
  return exitstatus::kAllHandled;
}

}  // namespace quillmere
