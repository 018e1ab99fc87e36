#include "run/Allocator.h"

#include <malloc.h>

namespace quillmere {

void tuneAllocatorForRuns() {
  // Untouched reserve costs address space only; resident memory grows with use as before.
  constexpr int kGrowBy = 64 << 20;
  constexpr int kKeepUpTo = 256 << 20;
  ::mallopt(M_TOP_PAD, kGrowBy);
  ::mallopt(M_TRIM_THRESHOLD, kKeepUpTo);
}

}  // namespace quillmere
