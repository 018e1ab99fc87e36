#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::rename {

// Outcome of one file step, with the clash handling of the runs in mind.
enum class StepResult {
  Ok,
  Exists,    // the target name is taken; nothing was changed
  NotFound,  // the source is gone, or the target's folder does not exist
  NoAccess,  // the disk or folder cannot be written (read-only medium, permissions)
  NoSpace,   // the disk is full; nothing is left under the target name
  Failed,    // any other error; nothing is left under the target name
};

// The file steps of the rename and recovery runs, on path texts, over the library's file
// operations. No step ever replaces an existing file.
class FileSteps {
 public:
  // Gives the file a new name or folder; across file systems it is copied, checked and only
  // then removed at its old place.
  StepResult moveNoReplace(const std::string& from, const std::string& to);
  // Copies the file (contents, times and mode); a failed copy leaves nothing under `to`. The
  // source stays, so the copy is flushed to the medium once for all by flushCopies.
  StepResult copyNoReplace(const std::string& from, const std::string& to);
  // Writes the copies made so far to their media (the end of a Copy-mode run).
  void flushCopies();
  // Removes a file the run made itself (an intermediate copy): exactly that name.
  StepResult removeFile(const std::string& path);
  // The run's folder trees (path texts): a move or copy whose source or target passes through a
  // folder link inside one of them fails with ELOOP instead of writing outside the tree.
  void keepWithin(const std::vector<std::string>& folders);
  // Resolves path texts with the drive map in force now for the rest of the run, instead of
  // looking the map up at every step.
  void fixDriveMap();
  // True when the path text names an existing folder.
  bool isFolder(const std::string& path);
  // True when something (a file, a folder, a dangling link) holds the name.
  bool exists(const std::string& path);
  // Writes a small file the run made itself, on the medium before it returns.
  StepResult writeNote(const std::string& path, const std::string& text);
  // The errno behind the last failing step, for reports.
  int lastError() const { return m_errno; }

 private:
  StepResult done(int error);
  bool resolve(const std::string& text, std::string& native);
  bool throughFolderLink(const std::string& native);
  int m_errno = 0;
  std::optional<platform::DriveMap> m_map;
  // The folders below the run's trees found free of links, each checked once.
  platform::fileops::LinkFreeFolders m_linkFree;
  std::string m_unflushedTarget;               // a file on the media that holds unflushed copies
  platform::fileops::FolderHandles m_folders;  // the folders the run renamed in
};

}  // namespace quillmere::rename
