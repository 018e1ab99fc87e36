#include "mirror/MirrorJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QStandardPaths>
#include <QString>

#include <cerrno>
#include <cstdio>
#include <random>
#include <string_view>

#include "platform/FileOps.h"

namespace quillmere::mirror {

namespace fileops = platform::fileops;

namespace {

constexpr std::string_view kTemporaryPrefix = ".quillmere-mirror-";
constexpr std::string_view kTemporarySuffix = ".tmp";

// A record is "<length>:<bytes>" twice and a newline, so that any byte of a native name (a
// newline too) survives.
void appendField(std::string& out, const std::string& field) {
  out += std::to_string(field.size());
  out += ':';
  out += field;
}

bool readField(std::string_view& in, std::string& field) {
  const auto colon = in.find(':');
  if (colon == std::string_view::npos || colon == 0 || colon > 9) return false;
  std::size_t length = 0;
  for (std::size_t i = 0; i < colon; ++i) {
    if (in[i] < '0' || in[i] > '9') return false;
    length = length * 10 + static_cast<std::size_t>(in[i] - '0');
  }
  if (in.size() < colon + 1 + length) return false;
  field.assign(in.substr(colon + 1, length));
  in.remove_prefix(colon + 1 + length);
  return true;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool exists(const std::string& path) {
  struct stat st {};
  return fileops::status(path, st, false).ok();
}

}  // namespace

std::string temporaryNameFor(const std::string& target) {
  static std::mt19937_64 random{std::random_device{}()};
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(random()));
  const auto slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
  return (folder.empty() ? std::string() : folder) + "/" + std::string(kTemporaryPrefix) + hex +
         std::string(kTemporarySuffix);
}

bool isTemporaryName(const std::string& fileName) {
  return fileName.size() > kTemporaryPrefix.size() + kTemporarySuffix.size() &&
         fileName.compare(0, kTemporaryPrefix.size(), kTemporaryPrefix) == 0 &&
         fileName.compare(fileName.size() - kTemporarySuffix.size(), kTemporarySuffix.size(),
                          kTemporarySuffix) == 0;
}

MirrorJournal::MirrorJournal(std::string folder) : m_folder(std::move(folder)) {
  if (m_folder.empty())
    m_folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString() +
               "/quillmere";
  fileops::makeFolders(m_folder);
  m_path = m_folder + "/mirror-journal";
}

MirrorJournal::~MirrorJournal() {
  if (m_fd >= 0) ::close(m_fd);
  if (m_lockFd >= 0) ::close(m_lockFd);
}

MirrorJournal::Lock MirrorJournal::lock() {
  // An advisory lock on an open file: the kernel drops it when the process ends in any way, so a
  // killed run never leaves a lock behind (a lock file with a process number can be left empty
  // by a kill at the wrong moment and then block every later run).
  const std::string path = m_folder + "/mirror.lock";
  m_lockFd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (m_lockFd < 0) return Lock::Unavailable;
  if (::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0) return Lock::Taken;
  const bool busy = errno == EWOULDBLOCK;
  ::close(m_lockFd);
  m_lockFd = -1;
  return busy ? Lock::Busy : Lock::Unavailable;
}

std::vector<MirrorJournal::Entry> MirrorJournal::read() const {
  std::vector<Entry> entries;
  const int fd = ::open(m_path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return entries;
  std::string bytes;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  std::string_view in = bytes;
  while (!in.empty()) {
    Entry e;
    // A record cut short by a kill ends the journal.
    if (!readField(in, e.temporary) || !readField(in, e.target) || in.empty() || in[0] != '\n')
      break;
    in.remove_prefix(1);
    entries.push_back(std::move(e));
  }
  return entries;
}

void MirrorJournal::rewrite(const std::vector<Entry>& entries) {
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (entries.empty()) {
    ::unlink(m_path.c_str());
    return;
  }
  std::string bytes;
  for (const auto& e : entries) {
    appendField(bytes, e.temporary);
    appendField(bytes, e.target);
    bytes += '\n';
  }
  // A failed rewrite leaves the old journal; settling it again skips what is done.
  fileops::writeFileAtomically(m_path, bytes, 0600);
}

std::vector<std::string> MirrorJournal::settle() {
  std::vector<std::string> restored;
  std::vector<Entry> left;
  for (const Entry& e : read()) {
    // A copy killed half-way leaves the copy routine's own partial file beside the temporary
    // name ("." + name + ".part-..."); it is never a finished file.
    const auto slash = e.temporary.rfind('/');
    if (slash != std::string::npos)
      for (const std::string& partial : fileops::expandWildcard(
               e.temporary.substr(0, slash + 1) + "." + e.temporary.substr(slash + 1) + ".part-*"))
        fileops::removeFile(partial);
    if (!exists(e.temporary)) continue;
    if (exists(e.target)) {
      if (!fileops::removeFile(e.temporary).ok()) left.push_back(e);
    } else if (fileops::rename(e.temporary, e.target).ok()) {
      restored.push_back(e.target);
    } else {
      left.push_back(e);
    }
  }
  rewrite(left);
  m_entries = left;
  return restored;
}

void MirrorJournal::record(const std::string& temporary, const std::string& target) {
  if (m_fd < 0) {
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (m_fd < 0) return;
  }
  std::string bytes;
  appendField(bytes, temporary);
  appendField(bytes, target);
  bytes += '\n';
  // One write per record: a kill leaves whole records (or a cut last one, which read() drops).
  writeAll(m_fd, bytes);
  m_entries.push_back({temporary, target});
}

void MirrorJournal::finish() {
  std::vector<Entry> left;
  for (const Entry& e : m_entries)
    if (exists(e.temporary)) left.push_back(e);
  rewrite(left);
  m_entries = left;
}

}  // namespace quillmere::mirror
