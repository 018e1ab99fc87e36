#include "support/TempTree.h"

#include <sys/stat.h>
#include <utime.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace quillmere::test {

TempTree::TempTree() : m_dir(QDir::tempPath() + "/quillmere-tree-XXXXXX") {
  if (!m_dir.isValid()) throw std::runtime_error("cannot create a temporary folder");
  m_root = m_dir.path().toStdString();
}

TempTree::~TempTree() {
  // Give back write permission that a test took away, so the folder can be removed.
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(
           m_root, fs::directory_options::skip_permission_denied, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) ::chmod(it->path().c_str(), it->is_directory(ec) ? 0755 : 0644);
  }
}

std::string TempTree::path(const std::string& relative) const {
  return relative.empty() ? m_root : m_root + "/" + relative;
}

std::string TempTree::pathText(const std::string& relative) const {
  return toPathText(path(relative));
}

std::string TempTree::write(const std::string& relative, const std::string& bytes) {
  const std::string p = path(relative);
  fs::create_directories(fs::path(p).parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p);
  return p;
}

std::string TempTree::write(const std::string& relative, const std::string& bytes,
                            std::time_t mtime) {
  const std::string p = write(relative, bytes);
  struct utimbuf times {
    mtime, mtime
  };
  ::utime(p.c_str(), &times);
  return p;
}

std::string TempTree::mkdir(const std::string& relative) {
  const std::string p = path(relative);
  fs::create_directories(p);
  return p;
}

std::string TempTree::read(const std::string& relative) const {
  std::ifstream in(path(relative), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

bool TempTree::exists(const std::string& relative) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path(relative), ec));
}

std::vector<std::string> TempTree::files() const {
  std::vector<std::string> out;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(m_root, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_directory(ec)) out.push_back(fs::relative(it->path(), m_root).string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string toPathText(const std::string& nativePath) {
  std::string out = "C:";
  for (char c : nativePath) out += (c == '/') ? '\\' : c;
  if (out == "C:") out = "C:\\";
  return out;
}

}  // namespace quillmere::test
