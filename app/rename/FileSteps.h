#pragma once

#include <string>

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

// The file steps the rename and recovery runs take, on path texts. Every step fails rather
// than replace an existing file. Tests put a fault-injecting one in its place.
class FileSteps {
 public:
  virtual ~FileSteps() = default;
  // Gives the file a new name or folder, never replacing an existing file. Across file
  // systems the file is copied, checked and only then removed at its old place.
  virtual StepResult moveNoReplace(const std::string& from, const std::string& to) = 0;
  // Copies the file (contents, times and mode) to a new name, never replacing an existing
  // file; a failed copy leaves nothing under the new name.
  virtual StepResult copyNoReplace(const std::string& from, const std::string& to) = 0;
  // Removes a file this run made itself (an intermediate copy); exactly that name, no patterns.
  virtual StepResult removeFile(const std::string& path) = 0;
  // True when the path text names an existing folder.
  virtual bool isFolder(const std::string& path) = 0;
  // The errno behind the last failing step, for messages.
  virtual int lastError() const = 0;
};

// The steps on the real file system.
FileSteps& nativeFileSteps();

}  // namespace quillmere::rename
