#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere::rename {

// What taking back the last rename run did.
struct UndoReport {
  bool noJournal = false;            // there is no run to take back
  std::string journal;               // the journal that was used (native path)
  std::int64_t restored = 0;         // files back at their old name and place (or copies removed)
  std::vector<std::string> refused;  // "path (reason)", native paths: files left as they are
};

// Takes back the last rename run of the journal folder (empty: the per-user one): every file of
// the journal goes back to its old name and place (folders that are gone are made again), or, for
// a Copy-mode run, the copy is removed once its original is found unchanged with the same bytes.
// A file whose size or last-write time differ from the journal's, or that is gone, is refused
// and left as it is; nothing is ever overwritten. The journal is marked as taken back when no
// file was refused, so that a second undo after fixing the cause can finish the rest.
UndoReport undoLastRename(const std::string& journalFolder = {});

}  // namespace quillmere::rename
