#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillmere {

// What a run would do, step by step, decided by the run's own code before it touches a file.
struct PlanStep {
  enum class Kind {
    Move,        // the file gets a new name or place (from -> to)
    Copy,        // a copy of from is made under to
    Trash,       // from goes to the trash
    Delete,      // from is deleted for good
    FolderMade,  // the folder `to` is made
    FolderGone,  // the folder `from` is removed
  };
  Kind kind;
  std::string from;  // path text; empty for FolderMade
  std::string to;    // path text; empty for deletions and FolderGone
  std::int64_t size = 0;
};

// The counts of a plan: steps of each kind and the bytes moved, copied or deleted.
struct PlanSummary {
  std::int64_t moves = 0, copies = 0, trashed = 0, deleted = 0, foldersMade = 0, foldersGone = 0;
  std::int64_t bytes = 0;
};

class RunPlan {
 public:
  void add(PlanStep::Kind kind, std::string from, std::string to, std::int64_t size = 0);
  const std::vector<PlanStep>& steps() const { return m_steps; }
  bool empty() const { return m_steps.empty(); }
  PlanSummary summary() const;

  // A remark shown after the steps (an estimate, what is decided only during the run).
  void setNote(std::string note) { m_note = std::move(note); }
  const std::string& note() const { return m_note; }

  // One step a line with native paths ("move  /a/x.jpg -> /b/y.jpg  (1234 bytes)"), then the
  // summary line.
  std::string asText() const;
  // One step a line: kind, from, to, size, separated by tabs (native paths, empty fields where
  // a step has none); no summary, so that scripts can read every line alike.
  std::string asTsv() const;

 private:
  std::vector<PlanStep> m_steps;
  std::string m_note;
};

// The size of the file a path text names; 0 when there is none.
std::int64_t fileSizeOf(const std::string& pathText);

// The word a plan's text and TSV give a kind ("move", "copy", "trash", "delete", "mkdir",
// "rmdir").
const char* planKindWord(PlanStep::Kind kind);

}  // namespace quillmere
