#include "backup/PackProgress.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::backup {

namespace {

constexpr char kPacking[] = "圧縮中・・・";

struct Surveyed {
  std::vector<std::string> order;  // the archiver's sort key
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::string path;  // path text
};

// The archiver's order as a sort key: each folder on the way, then the file, where a folder's
// files come before its subfolders ("\x01" marks a folder, "\x00" a file).
std::vector<std::string> orderKey(const std::string& relative) {
  std::vector<std::string> key;
  std::size_t start = 0;
  for (std::size_t slash; (slash = relative.find('/', start)) != std::string::npos;
       start = slash + 1)
    key.push_back(std::string(1, '\x01') + relative.substr(start, slash - start));
  key.push_back(std::string(1, '\x00') + relative.substr(start));
  return key;
}

// The read position of one of this process's open files.
std::int64_t readPosition(const std::string& fd) {
  std::ifstream info("/proc/self/fdinfo/" + fd);
  std::string field;
  long long pos = 0;
  while (info >> field)
    if (field == "pos:" && info >> pos) return pos;
  return 0;
}

std::string megabytes(std::int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

PackProgress::PackProgress(const std::string& folder, bool subFolders) {
  const Main& m = dll();
  const auto root = platform::nativePathOf(folder);
  StringArray list;
  if (!root || !m.DLL_FileNameList(folder, list, subFolders ? 1 : 0) || !m.DLL_XBoundString(list))
    return;
  const std::string prefix = *root == "/" ? "/" : *root + "/";
  // One drive map for the whole survey: asking for the current one reads the mount table.
  const platform::DriveMap map = platform::DriveMap::current();
  std::vector<Surveyed> found;
  found.reserve(static_cast<std::size_t>(list.count()));
  for (std::int32_t i = list.lbound(); i <= list.ubound(); ++i) {
    const auto native = map.toNative(list(i));
    struct stat st {};
    if (!native || native->rfind(prefix, 0) != 0 ||
        !platform::fileops::status(*native, st, false) || !S_ISREG(st.st_mode))
      continue;
    found.push_back({orderKey(native->substr(prefix.size())), static_cast<std::uint64_t>(st.st_dev),
                     static_cast<std::uint64_t>(st.st_ino), static_cast<std::int64_t>(st.st_size),
                     list(i)});
  }
  std::sort(found.begin(), found.end(),
            [](const Surveyed& a, const Surveyed& b) { return a.order < b.order; });
  for (const Surveyed& f : found) {
    m_position.emplace(std::make_pair(f.device, f.inode), static_cast<int>(m_sizes.size()));
    m_before.push_back(m_total);
    m_sizes.push_back(f.size);
    m_files.push_back(f.path);
    m_total += f.size;
  }
}

void PackProgress::start(RunView& view) {
  view.setLabel("FileMax", std::to_string(files()) + "/ ");
  show(view, 0, 0);
}

void PackProgress::update(RunView& view) {
  DIR* fds = ::opendir("/proc/self/fd");
  if (fds == nullptr) return;
  int filesDone = -1;
  std::int64_t bytesDone = 0;
  while (const dirent* e = ::readdir(fds)) {
    if (e->d_name[0] == '.') continue;
    struct stat st {};
    if (::stat(("/proc/self/fd/" + std::string(e->d_name)).c_str(), &st) != 0 ||
        !S_ISREG(st.st_mode))
      continue;
    const auto at = m_position.find({st.st_dev, st.st_ino});
    if (at == m_position.end() || at->second < filesDone) continue;
    filesDone = at->second;
    bytesDone = m_before[filesDone] +
                std::clamp<std::int64_t>(readPosition(e->d_name), 0, m_sizes[filesDone]);
  }
  ::closedir(fds);
  // Between two files nothing is open: the last progress stands. It never goes back.
  if (filesDone >= 0 && bytesDone >= m_bytesShown) show(view, filesDone, bytesDone);
}

void PackProgress::finish(RunView& view) {
  show(view, files(), m_total);
}

// The labels change with the file count and with each whole percent of the bytes, so a log of
// the runner (one line per change of "Command") stays short however large the folder.
void PackProgress::show(RunView& view, int filesDone, std::int64_t bytesDone) {
  const auto percent = [this](std::int64_t bytes) {
    return m_total > 0 ? bytes * 100 / m_total : 0;
  };
  if (m_bytesShown >= 0 && filesDone == m_filesShown && percent(bytesDone) == percent(m_bytesShown))
    return;
  if (filesDone != m_filesShown) view.setLabel("FileNo", std::to_string(filesDone));
  view.setLabel("Command",
                std::string(kPacking) + megabytes(bytesDone) + " / " + megabytes(m_total) + " MB");
  m_filesShown = filesDone;
  m_bytesShown = bytesDone;
}

}  // namespace quillmere::backup
