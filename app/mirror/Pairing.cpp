#include "mirror/Pairing.h"

#include <algorithm>
#include <unordered_map>

namespace quillmere::mirror {

std::vector<Pair> pairByRelativePath(const std::vector<RowKey>& master,
                                     const std::vector<RowKey>& mirror) {
  // Relative path -> the mirror rows that carry it, in row order, and how many of them are
  // taken. Relative paths are unique on one side in practice; the queue keeps the row-by-row
  // result even when they are not.
  // The rows of one path form a chain through nextSame; first is the first row not yet taken.
  constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  struct Slot {
    std::size_t first = kNone;
    std::size_t last = kNone;
  };
  std::vector<std::size_t> nextSame(mirror.size(), kNone);
  std::unordered_map<std::string_view, Slot> byRelative;
  byRelative.reserve(mirror.size());
  for (std::size_t j = 0; j < mirror.size(); ++j) {
    // An emptied row can only meet other emptied rows, which changes nothing.
    if (mirror[j].full.empty() && mirror[j].relative.empty()) continue;
    Slot& slot = byRelative[mirror[j].relative];
    (slot.first == kNone ? slot.first : nextSame[slot.last]) = j;
    slot.last = j;
  }

  std::vector<Pair> pairs;
  pairs.reserve(std::min(master.size(), mirror.size()));
  for (std::size_t i = 0; i < master.size(); ++i) {
    const RowKey& m = master[i];
    if (m.full.empty() && m.relative.empty()) continue;
    const auto it = byRelative.find(m.relative);
    if (it == byRelative.end() || it->second.first == kNone) continue;
    const std::size_t j = it->second.first;
    it->second.first = nextSame[j];
    pairs.push_back({i, j, m.full == mirror[j].full});
  }
  return pairs;
}

}  // namespace quillmere::mirror
