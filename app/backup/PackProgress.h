#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "run/RunView.h"

namespace quillmere::backup {

// The progress of packing a folder, shown while the archiver works: the files and bytes
// packed so far out of those of the folder. The archiver reports nothing while it runs, so the
// progress is read from the file it has open (this process's open files) against a survey of
// the folder made beforehand in the archiver's order (sorted names, a folder's files before its
// subfolders).
class PackProgress {
 public:
  // Surveys the folder (a path text): its regular files, and those of its subfolders when
  // subFolders. Links are not packed and not counted.
  PackProgress(const std::string& folder, bool subFolders);

  // Sets the labels for the start: "FileMax" the number of files, "Command" the byte total.
  void start(RunView& view);
  // Looks at what the archiver is reading and updates "FileNo" and "Command" when it moved on.
  void update(RunView& view);
  // Every file packed.
  void finish(RunView& view);

  int files() const { return static_cast<int>(m_sizes.size()); }
  std::int64_t totalBytes() const { return m_total; }
  // The files to be packed (path texts), in the archiver's order, and their sizes.
  const std::vector<std::string>& packedFiles() const { return m_files; }
  const std::vector<std::int64_t>& sizes() const { return m_sizes; }

 private:
  void show(RunView& view, int filesDone, std::int64_t bytesDone);

  std::map<std::pair<std::uint64_t, std::uint64_t>, int> m_position;  // device, inode -> index
  std::vector<std::int64_t> m_sizes;
  std::vector<std::string> m_files;
  std::vector<std::int64_t> m_before;  // bytes of the files packed before each one
  std::int64_t m_total = 0;
  int m_filesShown = -1;
  std::int64_t m_bytesShown = -1;
};

}  // namespace quillmere::backup
