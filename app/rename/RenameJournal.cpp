#include "rename/RenameJournal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>

#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::rename {

namespace fileops = platform::fileops;

namespace {

constexpr char kHeader[] = "quillmere rename journal 1";
constexpr char kPrefix[] = "rename-";
constexpr char kSuffix[] = ".journal";
constexpr char kUndoneSuffix[] = ".undone";

bool endsWith(const std::string& s, const std::string& end) {
  return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// Tabs, line ends and "%" inside a path are written as %09, %0A and %25.
void appendEscaped(std::string& out, const std::string& path) {
  for (const char c : path) {
    if (c == '%')
      out += "%25";
    else if (c == '\t')
      out += "%09";
    else if (c == '\n')
      out += "%0A";
    else
      out += c;
  }
}

std::string unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size()) {
      const std::string code = text.substr(i + 1, 2);
      if (code == "25" || code == "09" || code == "0A") {
        out += code == "25" ? '%' : code == "09" ? '\t' : '\n';
        i += 2;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  for (;;) {
    const auto tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string::npos ? tab : tab - start));
    if (tab == std::string::npos) return fields;
    start = tab + 1;
  }
}

bool writeAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

std::vector<std::string> journalNames(const std::string& folder) {
  std::vector<std::string> names;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return names;
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name.rfind(kPrefix, 0) == 0 &&
        (endsWith(name, kSuffix) || endsWith(name, std::string(kSuffix) + kUndoneSuffix)))
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

RenameJournal::RenameJournal(bool copies, std::string folder)
    : m_drives(platform::DriveMap::current()),
      m_copies(copies),
      m_folder(folder.empty() ? defaultFolder() : std::move(folder)) {
  // The coarse clock is the one file times are taken from. Waiting for its next tick (a few
  // milliseconds) makes the start unambiguous: a folder made before it carries an earlier tick,
  // a folder made after it this tick or a later one.
  timespec before{};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &before);
  do {
    const timespec pause{0, 200000};
    ::nanosleep(&pause, nullptr);
    ::clock_gettime(CLOCK_REALTIME_COARSE, &m_began);
  } while (m_began.tv_sec == before.tv_sec && m_began.tv_nsec == before.tv_nsec);
}

RenameJournal::~RenameJournal() {
  finish();
}

std::string RenameJournal::defaultFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
         "/quillmere/rename-journals";
}

void RenameJournal::open() {
  fileops::makeFolders(m_folder);
  removeOld(m_folder, std::time(nullptr));
  // Names sort by their start: nanoseconds since 1970, then the process id.
  const auto now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  char name[96];
  std::snprintf(name, sizeof name, "%s%020lld-%d%s", kPrefix, static_cast<long long>(now),
                static_cast<int>(::getpid()), kSuffix);
  m_path = m_folder + "/" + name;
  m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
  if (m_fd >= 0) writeAll(m_fd, std::string(kHeader) + "\t" + (m_copies ? "copy" : "move") + "\n");
}

void RenameJournal::record(const std::string& oldPath, const std::string& newPath, int group,
                           const std::optional<Known>& known) {
  const auto from = m_drives.toNative(oldPath);
  const auto to = m_drives.toNative(newPath);
  if (!from || !to) return;
  Known facts;
  if (known) {
    facts = *known;
  } else {
    struct stat st {};
    if (!fileops::status(*to, st, false).ok()) return;
    facts = {static_cast<std::uint64_t>(st.st_size), st.st_mtim};
  }
  if (m_fd < 0 && m_path.empty()) open();
  if (m_fd < 0) {
    m_failed = true;
    return;
  }
  const std::int64_t mtime =
      static_cast<std::int64_t>(facts.lastWrite.tv_sec) * 1000000000 + facts.lastWrite.tv_nsec;
  noteFoldersMade(*to);
  appendEscaped(m_pending, *from);
  m_pending += '\t';
  appendEscaped(m_pending, *to);
  m_pending += '\t';
  m_pending += std::to_string(facts.size);
  m_pending += '\t';
  m_pending += std::to_string(mtime);
  if (group >= 0) {
    m_pending += '\t';
    m_pending += std::to_string(group);
  }
  m_pending += '\n';
  ++m_lines;
  if (++m_unsynced >= kSyncEvery) {
    writePending();
    startFlush();
    m_unsynced = 0;
  }
}

void RenameJournal::writePending() {
  if (m_pending.empty()) return;
  if (!writeAll(m_fd, m_pending)) m_failed = true;
  m_pending.clear();
}

void RenameJournal::startFlush() {
  if (!m_flusher.joinable()) {
    m_flusher = std::thread([this, fd = m_fd] {
      std::unique_lock lock(m_flushMutex);
      for (;;) {
        m_flushWake.wait(lock, [this] { return m_flushWanted || m_stopFlusher; });
        if (m_stopFlusher) return;  // finish() flushes once more itself
        m_flushWanted = false;
        lock.unlock();
        ::fdatasync(fd);
        lock.lock();
      }
    });
  }
  {
    const std::lock_guard lock(m_flushMutex);
    m_flushWanted = true;
  }
  m_flushWake.notify_one();
}

void RenameJournal::stopFlushing() {
  if (!m_flusher.joinable()) return;
  {
    const std::lock_guard lock(m_flushMutex);
    m_stopFlusher = true;
  }
  m_flushWake.notify_one();
  m_flusher.join();
}

void RenameJournal::noteFoldersMade(const std::string& nativeFile) {
  for (std::string folder = fileops::parentOf(nativeFile); folder.size() > 1;
       folder = fileops::parentOf(folder)) {
    if (folder == m_lastFolderBefore ||
        std::find(m_foldersNoted.begin(), m_foldersNoted.end(), folder) != m_foldersNoted.end())
      return;
    struct statx sx {};
    if (::statx(AT_FDCWD, folder.c_str(), AT_SYMLINK_NOFOLLOW, STATX_BTIME, &sx) != 0 ||
        !(sx.stx_mask & STATX_BTIME))
      return;
    const bool madeByRun = sx.stx_btime.tv_sec > m_began.tv_sec ||
                           (sx.stx_btime.tv_sec == m_began.tv_sec &&
                            static_cast<long>(sx.stx_btime.tv_nsec) >= m_began.tv_nsec);
    if (!madeByRun) {
      m_lastFolderBefore = folder;  // so its next files skip the look
      return;
    }
    m_foldersNoted.push_back(folder);
    m_pending += "folder\t";
    appendEscaped(m_pending, folder);
    m_pending += '\n';
  }
}

void RenameJournal::finish() {
  stopFlushing();
  if (m_fd < 0) return;
  writePending();
  ::fdatasync(m_fd);
  ::close(m_fd);
  m_fd = -1;
  if (m_lines == 0) ::unlink(m_path.c_str());
}

std::string RenameJournal::lastJournal(const std::string& folder) {
  const auto names = journalNames(folder);
  for (auto it = names.rbegin(); it != names.rend(); ++it)
    if (endsWith(*it, kSuffix)) return folder + "/" + *it;
  return {};
}

bool RenameJournal::read(const std::string& journalPath, Contents& contents) {
  std::ifstream in(journalPath, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) return false;
  std::size_t start = 0;
  bool header = true;
  // Only whole lines count: a line a kill cut short has no line end.
  for (auto end = text.find('\n'); end != std::string::npos;
       start = end + 1, end = text.find('\n', start)) {
    const auto fields = split(text.substr(start, end - start));
    if (header) {
      if (fields.size() != 2 || fields[0] != kHeader) return false;
      contents.copies = fields[1] == "copy";
      header = false;
      continue;
    }
    if (fields.size() == 2 && fields[0] == "folder") {
      contents.foldersMade.push_back(unescaped(fields[1]));
      continue;
    }
    if (fields.size() != 4 && fields.size() != 5) continue;
    try {
      contents.entries.push_back({unescaped(fields[0]), unescaped(fields[1]), std::stoll(fields[2]),
                                  std::stoll(fields[3]),
                                  fields.size() == 5 ? std::stoi(fields[4]) : -1});
    } catch (const std::exception&) {
    }
  }
  return !header;
}

void RenameJournal::markUndone(const std::string& journalPath) {
  ::rename(journalPath.c_str(), (journalPath + kUndoneSuffix).c_str());
}

void RenameJournal::removeOld(const std::string& folder, std::time_t now) {
  for (const auto& name : journalNames(folder)) {
    const std::string path = folder + "/" + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        now - st.st_mtime > static_cast<std::time_t>(kKeepDays) * 24 * 3600)
      ::unlink(path.c_str());
  }
}

}  // namespace quillmere::rename
