// The order of a rename run: clash counters of equal new names, the sort of the records, and
// the running numbers of the numbering format.

#include <algorithm>
#include <numeric>
#include <string>
#include <utility>

#include "rename/RenameRun.h"

namespace quillmere::rename {

namespace {

std::string padded(std::int64_t n, int width) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return n < 0 ? "-" + digits : digits;
}

int digitCount(std::int64_t n) {
  return static_cast<int>(std::to_string(n < 0 ? -n : n).size());
}

}  // namespace

void RenameEngine::Run::markNeighbours() {
  if (m_records.size() < 2) return;
  std::string key = m_records[0].relative + m_records[0].base + m_records[0].extension;
  int count = 0;
  for (std::size_t j = 1; j < m_records.size(); ++j) {
    Record& r = m_records[j];
    const std::string k = r.relative + r.base + r.extension;
    if (k != key) {
      key = k;
      count = 0;
    } else {
      r.clash = ++count;
    }
  }
}

// The records in the order DLL_Sort gives their rows (new name, extension, the three times, each
// compared byte by byte; equal rows keep the list order), sorted in place without copying them.
void RenameEngine::Run::sort() {
  const std::size_t n = m_records.size();
  std::vector<std::size_t> order(n);
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    const Record& x = m_records[a];
    const Record& y = m_records[b];
    if (const int c = x.base.compare(y.base); c != 0) return c < 0;
    if (const int c = x.extension.compare(y.extension); c != 0) return c < 0;
    return x.times.compare(y.times) < 0;
  });
  // Position i takes the record that was at order[i]: follow each cycle of the permutation.
  std::vector<bool> placed(n, false);
  for (std::size_t start = 0; start < n; ++start) {
    if (placed[start]) continue;
    Record held = std::move(m_records[start]);
    std::size_t at = start;
    for (;;) {
      placed[at] = true;
      const std::size_t from = order[at];
      if (from == start) {
        m_records[at] = std::move(held);
        break;
      }
      m_records[at] = std::move(m_records[from]);
      at = from;
    }
  }
  if (!m_groups.empty()) indexGroups();
}

void RenameEngine::Run::number() {
  std::int64_t n = m_options.startNumber - 1;
  std::string dir;
  const int width = std::max(m_options.minimumDigits,
                             digitCount(static_cast<std::int64_t>(m_records.size()) + n));
  for (Record& r : m_records) {
    if (isFollower(r)) continue;  // takes its leader's number below
    if (r.relative != dir) {
      dir = r.relative;
      n = 1;
    } else {
      ++n;
    }
    r.base = padded(n, width);
    r.clash = 0;
  }
  takeLeadersNames();
  if (m_options.autoIncrement && !m_plan) m_settings.write("ReName-StartNo", std::to_string(n + 1));
}

}  // namespace quillmere::rename
