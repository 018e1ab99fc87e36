#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillmere::rename {

// The files of a target tree by size, read once per run, to tell whether a source file was
// imported before: a file of the same size is compared byte for byte only when one exists.
class ImportedFiles {
 public:
  // Lists the regular files below the native folder (links are not followed). A folder that
  // does not exist gives an empty index.
  explicit ImportedFiles(const std::string& nativeRoot);
  // The file of the tree whose bytes equal those of the native file (never the file itself),
  // or "" for none.
  std::string match(const std::string& nativePath, std::int64_t size) const;

 private:
  std::unordered_map<std::int64_t, std::vector<std::string>> m_bySize;
};

}  // namespace quillmere::rename
