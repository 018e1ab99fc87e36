#include "mirror/Pairing.h"

#include <algorithm>
#include <unordered_map>

namespace quillmere::mirror {

namespace {

// Every key is set and each follows the one before in byte order: paths unique on their side.
bool strictlyAscending(const std::vector<RowKey>& keys) {
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i].relative.empty()) return false;
    if (i > 0 && !(keys[i - 1].relative < keys[i].relative)) return false;
  }
  return true;
}

// Both sides ascending and unique: one merge pass finds the same pairs as the map.
std::vector<Pair> pairAscending(const std::vector<RowKey>& master,
                                const std::vector<RowKey>& mirror) {
  std::vector<Pair> pairs;
  pairs.reserve(std::min(master.size(), mirror.size()));
  for (std::size_t i = 0, j = 0; i < master.size() && j < mirror.size();) {
    const int order = master[i].relative.compare(mirror[j].relative);
    if (order < 0) {
      ++i;
    } else if (order > 0) {
      ++j;
    } else {
      pairs.push_back({i, j, master[i].full == mirror[j].full});
      ++i;
      ++j;
    }
  }
  return pairs;
}

}  // namespace

std::vector<Pair> pairByRelativePath(const std::vector<RowKey>& master,
                                     const std::vector<RowKey>& mirror) {
  if (strictlyAscending(master) && strictlyAscending(mirror)) return pairAscending(master, mirror);

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

std::size_t relativeStart(std::string_view full, std::string_view folder) {
  const std::size_t below = folder.size() + 1;
  if (full.size() <= below || full.compare(0, folder.size(), folder) != 0 ||
      full[folder.size()] != '\\')
    return 0;
  const std::size_t nameAt = full.rfind('\\') + 1;
  // DLL_FileName finds a name only when a dot comes before any colon or separator from the end.
  const std::size_t mark = full.find_last_of(".:");
  const bool hasExtension = mark != std::string_view::npos && mark >= nameAt && full[mark] == '.';
  return nameAt == below && hasExtension ? folder.size() : below;
}

}  // namespace quillmere::mirror
