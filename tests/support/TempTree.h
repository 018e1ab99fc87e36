#pragma once

#include <QTemporaryDir>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

namespace quillmere::test {

// A temporary folder tree built in one call per file: bytes, times, nested folders. Removed with
// the object. Paths are native ("/tmp/..."); pathText() gives the library's "C:\..." form.
class TempTree {
 public:
  TempTree();
  ~TempTree();

  const std::string& root() const { return m_root; }
  std::string path(const std::string& relative) const;
  // The Windows path text of a native path below the root ("C:\tmp\...").
  std::string pathText(const std::string& relative = "") const;

  // Writes a file (creating its folders) and returns its native path.
  std::string write(const std::string& relative, const std::string& bytes);
  // Writes a file and sets its last-write and last-access time (seconds since 1970, UTC).
  std::string write(const std::string& relative, const std::string& bytes, std::time_t mtime);
  std::string mkdir(const std::string& relative);
  std::string read(const std::string& relative) const;
  bool exists(const std::string& relative) const;
  // Every file below the root, relative and sorted.
  std::vector<std::string> files() const;

 private:
  QTemporaryDir m_dir;
  std::string m_root;
};

// Converts a native absolute path to the library's path text on drive C: ("/a/b" -> "C:\a\b").
std::string toPathText(const std::string& nativePath);

}  // namespace quillmere::test
