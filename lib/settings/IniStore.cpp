#include "settings/IniStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>

#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"
#include "settings/IniDocument.h"

namespace quillmere::settings {

struct IniBatch::State {
  std::string path;  // links resolved
  IniDocument doc;   // the file as read at the start, with the collected changes
  std::vector<KeyChange> changes;
  bool usable = true;
};

namespace {

thread_local IniBatch::State* t_batch = nullptr;

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
  uid_t owner = 0;
  gid_t group = 0;
  IniDocument doc;
};

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
  loaded->owner = st.st_uid;
  loaded->group = st.st_gid;
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

mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

thread_local std::string t_lastError;

// The open batch of this thread when it collects the writes of that (resolved) path.
IniBatch::State* batchFor(const std::string& resolvedPath) {
  return t_batch != nullptr && t_batch->path == resolvedPath ? t_batch : nullptr;
}

bool fail(const std::string& path, const std::string& reason) {
  t_lastError = "the settings file " + path + " cannot be written: " + reason;
  return false;
}

bool writable(const std::string& path, const Loaded& loaded) {
  return (loaded.mode & S_IWUSR) != 0 && ::access(path.c_str(), W_OK) == 0;
}

// Holds the advisory lock of a settings file: flock on the folder that holds it. The folder is
// locked rather than a lock file beside the settings file, as a settings file kept inside a
// picture folder would otherwise gain a file that the runs there would handle; the file itself
// cannot carry the lock, as each write replaces it with a new one.
class WriteLock {
 public:
  explicit WriteLock(const std::string& path) {
    m_fd = ::open(platform::fileops::parentOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
      m_error = errno;
      return;
    }
    while (::flock(m_fd, LOCK_EX) != 0) {
      if (errno != EINTR) {
        m_error = errno;
        break;
      }
    }
  }
  ~WriteLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
  }
  int error() const { return m_error; }

 private:
  int m_fd = -1;
  int m_error = 0;
};

// Applies the changes to the file as it is now: under the lock, the file read again, changed
// in memory and replaced once when anything changed. replaced receives the former values.
bool commitChanges(const std::string& path, const std::vector<KeyChange>& wanted,
                   std::vector<KeyChange>& replaced) {
  replaced.clear();
  {
    const auto seen = load(path);
    // Values the file already holds need no write, whatever the file's permissions.
    if (seen->usable) {
      IniDocument probe = seen->doc;
      bool anyChange = false;
      for (const KeyChange& c : wanted)
        anyChange =
            (c.value ? probe.set(c.section, c.key, *c.value) : probe.remove(c.section, c.key)) ||
            anyChange;
      if (!anyChange) {
        t_lastError.clear();
        return true;
      }
    }
    // A file that could never be written is refused before the lock is taken.
    if (!seen->usable) return fail(path, "it is not a settings file");
    if (seen->exists && !writable(path, *seen)) return fail(path, "it is read-only");
  }
  const WriteLock lock(path);
  if (lock.error() != 0) return fail(path, std::strerror(lock.error()));
  const auto loaded = loadFresh(path);
  t_cache[path] = loaded;
  if (!loaded->usable) return fail(path, "it is not a settings file");
  if (loaded->exists && !writable(path, *loaded)) return fail(path, "it is read-only");
  IniDocument doc = loaded->doc;
  for (const KeyChange& c : wanted) {
    const auto before = doc.get(c.section, c.key);
    const bool changed =
        c.value ? doc.set(c.section, c.key, *c.value) : doc.remove(c.section, c.key);
    if (!changed) continue;
    // Only a key's first change records its value before the batch.
    bool seenKey = false;
    for (const KeyChange& r : replaced)
      seenKey =
          seenKey || (text::equalsNoCase(r.section, c.section) && text::equalsNoCase(r.key, c.key));
    if (!seenKey) replaced.push_back({c.section, c.key, before});
  }
  if (replaced.empty()) {
    t_lastError.clear();
    return true;
  }
  const platform::FileResult written =
      platform::fileops::writeFileAtomically(path, doc.serialize(), newFileMode());
  if (!written) {
    replaced.clear();
    return fail(path, std::strerror(written.error()));
  }
  // Keep what was written as the cached copy, so the next read needs no parse.
  auto fresh = std::make_shared<Loaded>();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    fresh->exists = true;
    fresh->identity = identityOf(st);
    fresh->mode = st.st_mode & 07777;
    fresh->owner = st.st_uid;
    fresh->group = st.st_gid;
    fresh->doc = std::move(doc);
    t_cache[path] = std::move(fresh);
  } else {
    t_cache.erase(path);
  }
  t_lastError.clear();
  return true;
}

}  // namespace

std::optional<std::string> IniStore::read(const std::string& nativePath, std::string_view section,
                                          std::string_view key) {
  if (nativePath.empty()) return std::nullopt;
  if (t_batch != nullptr) {
    if (const IniBatch::State* batch = batchFor(resolveLinks(nativePath)))
      return batch->usable ? batch->doc.get(section, key) : std::nullopt;
  }
  const auto loaded = load(nativePath);
  if (!loaded->usable) return std::nullopt;
  return loaded->doc.get(section, key);
}

bool IniStore::write(const std::string& nativePath, std::string_view section, std::string_view key,
                     std::string_view value) {
  if (nativePath.empty()) return fail(nativePath, "no settings file is named");
  const std::string path = resolveLinks(nativePath);
  if (IniBatch::State* batch = batchFor(path)) {
    batch->doc.set(section, key, value);
    batch->changes.push_back({std::string(section), std::string(key), std::string(value)});
    return true;
  }
  // The usual case, an unchanged value, costs one lookup and no lock.
  const auto loaded = load(path);
  if (loaded->usable && !(loaded->exists && !writable(path, *loaded))) {
    const auto current = loaded->doc.get(section, key);
    if (current && *current == readBackValue(value.substr(0, value.find_first_of("\r\n")))) {
      t_lastError.clear();
      return true;
    }
  }
  std::vector<KeyChange> replaced;
  return commitChanges(path, {{std::string(section), std::string(key), std::string(value)}},
                       replaced);
}

bool IniStore::remove(const std::string& nativePath, std::string_view section,
                      std::string_view key) {
  if (nativePath.empty()) return fail(nativePath, "no settings file is named");
  const std::string path = resolveLinks(nativePath);
  if (IniBatch::State* batch = batchFor(path)) {
    batch->doc.remove(section, key);
    batch->changes.push_back({std::string(section), std::string(key), std::nullopt});
    return true;
  }
  std::vector<KeyChange> replaced;
  return commitChanges(path, {{std::string(section), std::string(key), std::nullopt}}, replaced);
}

const std::string& IniStore::lastWriteError() {
  return t_lastError;
}

IniBatch::IniBatch(const std::string& nativePath) {
  if (t_batch != nullptr) return;  // joins the open batch
  m_state = new State{resolveLinks(nativePath), {}, {}, true};
  const auto loaded = load(m_state->path);
  m_state->usable = loaded->usable;
  m_state->doc = loaded->doc;
  t_batch = m_state;
}

IniBatch::~IniBatch() {
  if (!m_done) commit();
  if (m_state != nullptr && t_batch == m_state) t_batch = nullptr;
  delete m_state;
}

bool IniBatch::commit() {
  if (m_done) return t_lastError.empty();
  m_done = true;
  if (m_state == nullptr) return true;
  if (t_batch == m_state) t_batch = nullptr;
  if (m_state->changes.empty()) {
    t_lastError.clear();
    return true;
  }
  return commitChanges(m_state->path, m_state->changes, m_replaced);
}

void IniBatch::discard() {
  m_done = true;
  if (m_state != nullptr && t_batch == m_state) t_batch = nullptr;
}

void IniStore::clearCache() {
  t_cache.clear();
}

std::string iniNativePath(const std::string& iniPath) {
  if (!iniPath.empty() && iniPath[0] == '/') return iniPath;
  const auto native = platform::nativePathOf(iniPath);
  if (!native || *native == "/") return {};
  return *native;
}

}  // namespace quillmere::settings
