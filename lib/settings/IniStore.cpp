#include "settings/IniStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <unordered_map>

#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "settings/IniDocument.h"

namespace quillmere::settings {

namespace {

struct FileIdentity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{};
  timespec ctime{};

  bool operator==(const FileIdentity& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

FileIdentity identityOf(const struct stat& st) {
  return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

struct Loaded {
  bool exists = false;  // a regular file stands at the path
  bool usable = true;   // its text could be read as a settings file
  FileIdentity identity;
  mode_t mode = 0;
  IniDocument doc;
};

std::function<void()> g_beforePublish;
int g_writeFault = 0;

thread_local std::unordered_map<std::string, std::shared_ptr<const Loaded>> t_cache;

bool readWhole(int fd, std::string& out) {
  char buf[65536];
  while (true) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n == 0) return true;
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    out.append(buf, static_cast<std::size_t>(n));
  }
}

// Settings text as UTF-8: the file as it is when it is UTF-8, else read as CP932.
std::optional<std::string> decodeSettingsText(const std::string& bytes) {
  if (bytes.find('\0') != std::string::npos) return std::nullopt;
  if (text::isValidUtf8(bytes)) return bytes;
  return text::cp932ToUtf8(bytes);
}

std::shared_ptr<const Loaded> loadFresh(const std::string& path) {
  auto loaded = std::make_shared<Loaded>();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    // Missing is an empty file; present but unreadable must not be written over.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) loaded->usable = false;
    return loaded;
  }
  struct stat st {};
  std::string bytes;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    loaded->usable = false;
    return loaded;
  }
  const bool ok = readWhole(fd, bytes);
  ::close(fd);
  loaded->exists = true;
  loaded->identity = identityOf(st);
  loaded->mode = st.st_mode & 07777;
  const auto text = ok ? decodeSettingsText(bytes) : std::nullopt;
  if (!text) {
    loaded->usable = false;
    return loaded;
  }
  loaded->doc = IniDocument::parse(*text);
  return loaded;
}

std::shared_ptr<const Loaded> load(const std::string& path) {
  struct stat st {};
  const bool present = ::stat(path.c_str(), &st) == 0;
  auto it = t_cache.find(path);
  if (it != t_cache.end()) {
    const Loaded& cached = *it->second;
    if (!present && !cached.exists && cached.usable) return it->second;
    if (present && cached.exists && S_ISREG(st.st_mode) && cached.identity == identityOf(st))
      return it->second;
  }
  auto loaded = loadFresh(path);
  if (t_cache.size() > 64) t_cache.clear();
  t_cache[path] = loaded;
  return loaded;
}

// The file a write must replace: the target of a symbolic link, not the link itself.
std::string resolveLinks(const std::string& path) {
  char buf[PATH_MAX];
  if (::realpath(path.c_str(), buf) != nullptr) return buf;
  return path;
}

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, const std::string& data) {
  if (g_writeFault != 0) {
    errno = g_writeFault;
    return false;
  }
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes the text to a temporary file beside the target and renames it over the target.
bool replaceAtomically(const std::string& path, const std::string& data, mode_t mode) {
  const std::string folder = folderOf(path);
  const std::string base = path.substr(path.rfind('/') + 1);
  std::string tmpl = folder + "/." + base + ".tmp-XXXXXX";
  const int fd = ::mkostemp(tmpl.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = writeAll(fd, data) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok && g_beforePublish) g_beforePublish();
  if (ok) ok = ::rename(tmpl.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(tmpl.c_str());
    return false;
  }
  const int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

}  // namespace

std::optional<std::string> IniStore::read(const std::string& nativePath, std::string_view section,
                                          std::string_view key) {
  if (nativePath.empty()) return std::nullopt;
  const auto loaded = load(nativePath);
  if (!loaded->usable) return std::nullopt;
  return loaded->doc.get(section, key);
}

bool IniStore::write(const std::string& nativePath, std::string_view section, std::string_view key,
                     std::string_view value) {
  if (nativePath.empty()) return false;
  const std::string path = resolveLinks(nativePath);
  const auto loaded = load(path);
  if (!loaded->usable) return false;
  // A read-only settings file stays as it is, as the Windows build would leave it.
  if (loaded->exists && ((loaded->mode & S_IWUSR) == 0 || ::access(path.c_str(), W_OK) != 0))
    return false;
  // The usual case, an unchanged value, costs one lookup and no copy of the document.
  const auto current = loaded->doc.get(section, key);
  if (current && *current == readBackValue(value.substr(0, value.find_first_of("\r\n"))))
    return true;
  IniDocument doc = loaded->doc;
  if (!doc.set(section, key, value)) return true;
  const mode_t mode = loaded->exists ? loaded->mode : newFileMode();
  if (!replaceAtomically(path, doc.serialize(), mode)) return false;
  // Keep what was written as the cached copy, so the next read needs no parse.
  auto fresh = std::make_shared<Loaded>();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    fresh->exists = true;
    fresh->identity = identityOf(st);
    fresh->mode = st.st_mode & 07777;
    fresh->doc = std::move(doc);
    t_cache[path] = std::move(fresh);
  } else {
    t_cache.erase(path);
  }
  return true;
}

void IniStore::clearCache() {
  t_cache.clear();
}

std::string iniNativePath(const std::string& iniPath) {
  if (!iniPath.empty() && iniPath[0] == '/') return iniPath;
  const auto native = platform::DriveMap::current().toNative(iniPath);
  if (!native || *native == "/") return {};
  return *native;
}

namespace testing {
void setBeforePublishHook(std::function<void()> hook) {
  g_beforePublish = std::move(hook);
}
void setWriteFault(int error) {
  g_writeFault = error;
}
}  // namespace testing

}  // namespace quillmere::settings
