// The order of a rename run: clash counters of equal new names, the sort of the records, and
// the running numbers of the numbering format.

#include <algorithm>
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

void RenameEngine::Run::sort() {
  const int n = static_cast<int>(m_records.size());
  StringArray rows;
  rows.redim(1, n, 1, 4);
  for (int i = 1; i <= n; ++i) {
    const Record& r = m_records[i - 1];
    rows(i, 1) = r.base;
    rows(i, 2) = r.extension;
    rows(i, 3) = r.times;        // the three times in the order creation, last write, last access
    rows(i, 4) = padded(i, 10);  // equal rows keep the list order
  }
  LongArray keys = LongArray::fromList({1, 2, 3, 4});
  dll().DLL_Sort(rows, keys);
  std::vector<Record> sorted;
  sorted.reserve(m_records.size());
  for (int i = 1; i <= n; ++i) sorted.push_back(std::move(m_records[std::stoi(rows(i, 4)) - 1]));
  m_records = std::move(sorted);
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
