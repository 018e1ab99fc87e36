#include "mirror/Pairing.h"

#include <algorithm>
#include <unordered_map>

namespace quillmere::mirror {

std::vector<Pair> pairByRelativePath(const std::vector<RowKey>& master,
                                     const std::vector<RowKey>& mirror) {
  // Relative path -> the mirror rows that carry it, in row order, and how many of them are
  // taken. Relative paths are unique on one side in practice; the queue keeps the row-by-row
  // result even when they are not.
  struct Slot {
    std::vector<std::size_t> rows;
    std::size_t taken = 0;
  };
  std::unordered_map<std::string_view, Slot> byRelative;
  byRelative.reserve(mirror.size());
  for (std::size_t j = 0; j < mirror.size(); ++j) {
    // An emptied row can only meet other emptied rows, which changes nothing.
    if (mirror[j].full.empty() && mirror[j].relative.empty()) continue;
    byRelative[mirror[j].relative].rows.push_back(j);
  }

  std::vector<Pair> pairs;
  pairs.reserve(std::min(master.size(), mirror.size()));
  for (std::size_t i = 0; i < master.size(); ++i) {
    const RowKey& m = master[i];
    if (m.full.empty() && m.relative.empty()) continue;
    const auto it = byRelative.find(m.relative);
    if (it == byRelative.end()) continue;
    Slot& slot = it->second;
    if (slot.taken == slot.rows.size()) continue;
    const std::size_t j = slot.rows[slot.taken++];
    pairs.push_back({i, j, m.full == mirror[j].full});
  }
  return pairs;
}

}  // namespace quillmere::mirror
