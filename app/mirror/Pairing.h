#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

namespace quillmere::mirror {

// The two cells of a file-table row that the pairing looks at: the full path as listed and the
// path relative to the side's folder. An emptied row has both cells empty.
struct RowKey {
  std::string_view full;
  std::string_view relative;
};

// One pair: master row and mirror row (0-based). sameEntry: both rows name the very same path
// text, so the two rows are only emptied and nothing is done to the file.
struct Pair {
  std::size_t master;
  std::size_t mirror;
  bool sameEntry;
};

// Pairs master rows with mirror rows exactly as the row-by-row pass does (every master row, in
// order, against every mirror row, in order; exact, case-sensitive comparison; a paired row is
// emptied and so never pairs again), but through a hash map of relative paths: each master row
// takes the first mirror row of the same relative path that is still free. The pairs come in
// master-row order. Sides listed in ascending order of their relative paths, each path once, are
// paired in one merge pass instead.
std::vector<Pair> pairByRelativePath(const std::vector<RowKey>& master,
                                     const std::vector<RowKey>& mirror);

// Where the relative path of a listed file begins in its path text: the cell
// DLL_PathAdd(DLL_MidPath(folder, full), DLL_FileName(full, 1)) holds, which is always a tail of
// the path text ("a\b\x.jpg"; a file right in the folder keeps the separator before its name
// when the name has an extension, "\x.jpg"). folder is the side's folder text without
// separators at its end; a path text not below it starts at 0.
std::size_t relativeStart(std::string_view full, std::string_view folder);

}  // namespace quillmere::mirror
