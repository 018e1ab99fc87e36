#include "platform/DriveMap.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/DriveDiscovery.h"
#include "platform/FileOps.h"

namespace quillmere::platform {

namespace {

char upperLetter(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

std::string stripTrailingSlashes(std::string p) {
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string readAll(int fd) {
  std::string text;
  if (::lseek(fd, 0, SEEK_SET) != 0) return text;
  char buf[16384];
  for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    text.append(buf, static_cast<std::size_t>(n));
  }
  return text;
}

DriveMap loadTable(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  DriveMap map = DriveMap::fromTable(text.str());
  if (!map.drive('C')) map.add(Drive{'C', "/", DriveType::Fixed, "", true});
  return map;
}

// The map of one thread, re-read when the table file or the mounts change.
struct CurrentMap {
  DriveMap map;
  bool loaded = false;
  std::string table;  // the table file in force, empty for discovery
  struct timespec tableTime {};
  off_t tableSize = -1;
  ino_t tableInode = 0;
  int mountinfo = -1;  // kept open: poll reports POLLPRI when the mounts change

  ~CurrentMap() {
    if (mountinfo >= 0) ::close(mountinfo);
  }

  void refreshFromTable(const std::string& file) {
    struct stat st {};
    const bool found = ::stat(file.c_str(), &st) == 0;
    const bool same = loaded && table == file && found && st.st_ino == tableInode &&
                      st.st_size == tableSize && st.st_mtim.tv_sec == tableTime.tv_sec &&
                      st.st_mtim.tv_nsec == tableTime.tv_nsec;
    if (same) return;
    map = loadTable(file);
    loaded = true;
    table = file;
    tableInode = found ? st.st_ino : 0;
    tableSize = found ? st.st_size : -1;
    tableTime = found ? st.st_mtim : timespec{};
  }

  void refreshFromMounts() {
    bool changed = !loaded || !table.empty();
    if (mountinfo < 0) {
      mountinfo = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
      changed = true;
    } else {
      struct pollfd p {
        mountinfo, POLLPRI, 0
      };
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)) != 0) changed = true;
    }
    if (!changed) return;
    const std::string text = mountinfo >= 0 ? readAll(mountinfo) : std::string();
    LetterMemory memory = LetterMemory::load();
    map = discoverDrives(text, SystemDirs{}, memory, static_cast<std::int64_t>(std::time(nullptr)));
    memory.save();
    loaded = true;
    table.clear();
  }
};

}  // namespace

const DriveMap& DriveMap::current() {
  thread_local CurrentMap current;
  const char* table = std::getenv("QUILLMERE_DRIVES");
  if (table != nullptr && *table != '\0') {
    current.refreshFromTable(table);
  } else {
    current.refreshFromMounts();
  }
  return current.map;
}

DriveMap DriveMap::fromTable(std::string_view tableText) {
  DriveMap map;
  std::istringstream in{std::string(tableText)};
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
      const std::size_t tab = line.find('\t', start);
      fields.push_back(
          line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
      if (tab == std::string::npos) break;
      start = tab + 1;
    }
    if (fields.size() < 3 || fields[0].size() != 1 || !isLetter(fields[0][0])) continue;
    if (fields[1].empty() || fields[1][0] != '/') continue;
    Drive d;
    d.letter = upperLetter(fields[0][0]);
    d.nativeRoot = stripTrailingSlashes(fields[1]);
    d.type = static_cast<DriveType>(std::atoi(fields[2].c_str()));
    d.label = fields.size() > 3 ? fields[3] : "";
    d.ready = fileops::isFolder(d.nativeRoot);
    map.add(std::move(d));
  }
  return map;
}

void DriveMap::add(Drive drive) {
  drive.letter = upperLetter(drive.letter);
  auto it = std::find_if(m_drives.begin(), m_drives.end(),
                         [&](const Drive& d) { return d.letter == drive.letter; });
  if (it != m_drives.end()) {
    *it = std::move(drive);
  } else {
    m_drives.push_back(std::move(drive));
  }
  std::sort(m_drives.begin(), m_drives.end(),
            [](const Drive& a, const Drive& b) { return a.letter < b.letter; });
}

std::optional<Drive> DriveMap::drive(char letter) const {
  letter = upperLetter(letter);
  for (const Drive& d : m_drives)
    if (d.letter == letter) return d;
  return std::nullopt;
}

std::int32_t DriveMap::readiness(std::string_view pathText) const {
  constexpr std::int32_t kNoDrive = 15, kNotReady = 21, kAccessDenied = 5;
  if (pathText.empty() || !isLetter(pathText[0]) || (pathText.size() > 1 && pathText[1] != ':'))
    return kNoDrive;
  const auto d = drive(pathText[0]);
  if (!d) return kNoDrive;
  struct stat st {};
  if (::stat(d->nativeRoot.c_str(), &st) != 0) return errno == EACCES ? kAccessDenied : kNotReady;
  return S_ISDIR(st.st_mode) ? 0 : kNotReady;
}

std::optional<std::string> DriveMap::toNative(std::string_view pathText) const {
  if (pathText.size() < 2 || !isLetter(pathText[0]) || pathText[1] != ':') return std::nullopt;
  const auto d = drive(pathText[0]);
  if (!d) return std::nullopt;
  std::string rest;
  rest.reserve(pathText.size());
  for (std::size_t i = 2; i < pathText.size(); ++i) {
    const char c = pathText[i];
    if (c == '\\') {
      if (!rest.empty() && rest.back() == '/') continue;  // doubled separators
      rest += '/';
    } else {
      rest += c;
    }
  }
  while (!rest.empty() && rest.back() == '/') rest.pop_back();
  if (!rest.empty() && rest[0] != '/') rest.insert(rest.begin(), '/');
  if (d->nativeRoot == "/") return rest.empty() ? std::string("/") : rest;
  return d->nativeRoot + rest;
}

std::string DriveMap::toPathText(std::string_view nativePath) const {
  const Drive* best = nullptr;
  for (const Drive& d : m_drives) {
    const std::string& r = d.nativeRoot;
    const bool under = r == "/" ? (!nativePath.empty() && nativePath[0] == '/')
                                : (nativePath.substr(0, r.size()) == r &&
                                   (nativePath.size() == r.size() || nativePath[r.size()] == '/'));
    if (under && (best == nullptr || r.size() > best->nativeRoot.size())) best = &d;
  }
  if (best == nullptr) return {};
  std::string out(1, best->letter);
  out += ":";
  std::string_view rest =
      best->nativeRoot == "/" ? nativePath : nativePath.substr(best->nativeRoot.size());
  for (char c : rest) out += (c == '/') ? '\\' : c;
  while (out.size() > 3 && out.back() == '\\') out.pop_back();
  if (out.size() == 2) out += '\\';
  return out;
}

std::optional<std::string> nativePathOf(std::string_view pathText) {
  return DriveMap::current().toNative(pathText);
}

bool pathTextIsFolder(std::string_view pathText, bool followLinks) {
  const auto native = nativePathOf(pathText);
  return native && fileops::isFolder(*native, followLinks);
}

}  // namespace quillmere::platform
