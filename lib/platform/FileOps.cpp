#include "platform/FileOps.h"

#include "platform/DriveDiscovery.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

namespace quillmere::platform {

// ---- results -----------------------------------------------------------------------------

std::int32_t FileResult::windowsError() const {
  switch (m_error) {
    case 0:
      return 0;
    case EEXIST:
      return 183;
    case EXDEV:
      return 17;
    case ENOENT:
      return 2;
    case ENOTDIR:
      return 3;
    case EACCES:
    case EPERM:
      return 5;
    case EROFS:
      return 19;
    case EBUSY:
      return 32;
    case ENOTEMPTY:
      return 145;
    case EINVAL:
      return 87;
    case ENOSPC:
    case EDQUOT:
      return 112;
    case ENAMETOOLONG:
      return 206;
    case EFBIG:
      return 223;
    case EIO:
      return 1117;
    case ENOTCONN:
    case ENOMEDIUM:
      return 21;
    case ECANCELED:
      return 1223;
    case EISDIR:
      return 5;
    default:
      return 31;  // a device attached to the system is not functioning
  }
}

std::string FileResult::message() const {
  if (m_error == 0) return {};
  char buffer[256];
  return ::strerror_r(m_error, buffer, sizeof buffer);
}

namespace fileops {

namespace {

FaultHook& faultHook() {
  static FaultHook hook;
  return hook;
}

std::function<void()>& yieldHandler() {
  static std::function<void()> handler;
  return handler;
}

// errno from the seam, or 0 when the call may run.
int fault(Call call, const std::string& path) {
  const FaultHook& hook = faultHook();
  return hook ? hook(call, path) : 0;
}

FileResult fromErrno() {
  return FileResult(errno != 0 ? errno : EIO);
}

// Calls the progress callback (or the yield handler) once 40 ms have passed since the last call,
// so that the caller is reached at least every 50 ms while a chunk is being worked on.
class Ticker {
 public:
  explicit Ticker(const KeepGoing& keepGoing) : m_keepGoing(keepGoing) {}
  // False when the callback asked to stop.
  bool tick() {
    const auto now = std::chrono::steady_clock::now();
    if (now - m_last < std::chrono::milliseconds(40)) return true;
    m_last = now;
    if (m_keepGoing) return m_keepGoing();
    if (yieldHandler()) yieldHandler()();
    return true;
  }

 private:
  const KeepGoing& m_keepGoing;
  std::chrono::steady_clock::time_point m_last = std::chrono::steady_clock::now();
};

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  explicit operator bool() const { return m_fd >= 0; }
  void reset(int fd = -1) {
    if (m_fd >= 0) ::close(m_fd);
    m_fd = fd;
  }
  int release() {
    const int fd = m_fd;
    m_fd = -1;
    return fd;
  }

 private:
  int m_fd;
};

char asciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (asciiLower(a[i]) != asciiLower(b[i])) return false;
  return true;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// Rename without replacing, by the best means the file system offers.
FileResult renameNoReplace(const std::string& from, const std::string& to,
                           FolderHandles* folders = nullptr) {
  int err = fault(Call::RenameNoReplace, from);
  if (err == 0) {
    int fromDir = -1, toDir = -1;
    if (folders) {
      fromDir = folders->of(parentOf(from));
      toDir = fromDir >= 0 ? folders->of(parentOf(to)) : -1;
    }
    const int done = fromDir >= 0 && toDir >= 0 ? ::renameat2(fromDir, nameOf(from).c_str(), toDir,
                                                              nameOf(to).c_str(), RENAME_NOREPLACE)
                                                : ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD,
                                                              to.c_str(), RENAME_NOREPLACE);
    if (done == 0) return {};
    err = errno;
  }
  // File systems without RENAME_NOREPLACE (the FUSE drivers) answer EINVAL.
  if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) return FileResult(err);
  struct stat st {};
  if (::lstat(from.c_str(), &st) != 0) return fromErrno();
  if (!S_ISDIR(st.st_mode)) {
    int linkErr = fault(Call::Link, from);
    if (linkErr == 0) {
      if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) == 0) return {};
        const FileResult failed = fromErrno();
        ::unlink(to.c_str());
        return failed;
      }
      linkErr = errno;
    }
    if (linkErr == EEXIST) return FileResult(EEXIST);
    if (linkErr != EPERM && linkErr != EOPNOTSUPP && linkErr != ENOSYS && linkErr != EMLINK)
      return FileResult(linkErr);
  }
  // Check, then rename: racy, but the best a file system without links allows.
  if (exists(to)) return FileResult(EEXIST);
  if (::rename(from.c_str(), to.c_str()) != 0) return fromErrno();
  return {};
}

FileResult renameReplace(const std::string& from, const std::string& to) {
  struct stat target {};
  if (::lstat(to.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return FileResult(EISDIR);
  if (::rename(from.c_str(), to.c_str()) != 0) return fromErrno();
  return {};
}

// The two names lie in one folder and differ only in the case of their last component.
bool caseOnlyChange(const std::string& from, const std::string& to) {
  return from != to && parentOf(from) == parentOf(to) && equalsNoCase(nameOf(from), nameOf(to));
}

void syncFolder(const std::string& folder) {
  Fd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd) ::fsync(fd.get());
}

// Copies the bytes of in to out, calling the ticker between chunks.
FileResult copyBytes(int in, int out, const std::string& from, const std::string& to, off_t size,
                     Ticker& ticker) {
  if (size > 0 && fault(Call::Read, from) == 0 && fault(Call::Write, to) == 0 &&
      ::ioctl(out, FICLONE, in) == 0)
    return {};
  constexpr std::size_t kChunk = 256 * 1024;
  bool useRange = true;
  std::unique_ptr<char[]> buffer;
  off_t done = 0;
  while (true) {
    if (int e = fault(Call::Read, from)) return FileResult(e);
    if (int e = fault(Call::Write, to)) return FileResult(e);
    if (!ticker.tick()) return FileResult(ECANCELED);
    if (useRange) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, kChunk, 0);
      if (n > 0) {
        done += n;
        continue;
      }
      if (n == 0) {
        // copy_file_range may answer 0 on file systems that cannot splice; check the size.
        if (done >= size) return {};
        useRange = false;
      } else if (errno == EINTR) {
        continue;
      } else if (done == 0 && (errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                               errno == EOPNOTSUPP || errno == EBADF)) {
        useRange = false;
      } else {
        return fromErrno();
      }
      if (!useRange && ::lseek(in, done, SEEK_SET) < 0) return fromErrno();
      if (!useRange && ::lseek(out, done, SEEK_SET) < 0) return fromErrno();
      continue;
    }
    if (!buffer) buffer.reset(new char[kChunk]);
    ssize_t n = ::read(in, buffer.get(), kChunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fromErrno();
    }
    if (n == 0) return {};
    for (ssize_t written = 0; written < n;) {
      const ssize_t w = ::write(out, buffer.get() + written, static_cast<std::size_t>(n - written));
      if (w < 0) {
        if (errno == EINTR) continue;
        return fromErrno();
      }
      written += w;
    }
    done += n;
  }
}

// The mount points of the process, longest first.
std::vector<std::string> mountPoints() {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  std::vector<std::string> out;
  for (MountEntry& m : parseMountinfo(text.str())) out.push_back(std::move(m.mountPoint));
  std::sort(out.begin(), out.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a < b;
  });
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// The top folder of the file system that holds path (whose device is dev).
std::string topDirOf(const std::string& absolutePath, dev_t dev) {
  for (const std::string& mp : mountPoints()) {
    if (!isBelow(absolutePath, mp)) continue;
    struct stat st {};
    if (::stat(mp.c_str(), &st) == 0 && st.st_dev == dev) return mp;
  }
  // No mount point matched (a bind mount, a private namespace): walk up while the device holds.
  std::string top = absolutePath;
  while (top != "/") {
    const std::string up = parentOf(top);
    struct stat st {};
    if (::stat(up.c_str(), &st) != 0 || st.st_dev != dev) break;
    top = up;
  }
  return top;
}

std::string homeTrash() {
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return std::string(data) + "/Trash";
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr ? home : "") + "/.local/share/Trash";
}

// Creates folder (mode 0700) unless it exists; answers whether it is a usable trash folder of
// ours: a real folder (not a link) owned by the user.
bool ownedFolder(const std::string& folder, bool create) {
  if (create) ::mkdir(folder.c_str(), 0700);
  struct stat st {};
  return ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool prepareTrash(const std::string& trash) {
  return ownedFolder(trash, true) && ownedFolder(trash + "/files", true) &&
         ownedFolder(trash + "/info", true);
}

// The volume trash of a top folder, created when needed; empty when none can be made.
std::string volumeTrash(const std::string& topDir, bool create) {
  const std::string uid = std::to_string(::getuid());
  const std::string base = topDir == "/" ? std::string() : topDir;
  const std::string shared = base + "/.Trash";
  struct stat st {};
  if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
    const std::string mine = shared + "/" + uid;
    if (create ? prepareTrash(mine) : ownedFolder(mine, false)) return mine;
  }
  const std::string own = base + "/.Trash-" + uid;
  if (create ? prepareTrash(own) : ownedFolder(own, false)) return own;
  return {};
}

std::string percentEncode(const std::string& path) {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : path) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
        std::strchr("/-_.~!$&'()*+,;=:@", c) != nullptr) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}

std::string absolute(const std::string& path) {
  if (!path.empty() && path[0] == '/') return path;
  char buffer[PATH_MAX];
  if (::getcwd(buffer, sizeof buffer) == nullptr) return path;
  return std::string(buffer) + "/" + path;
}

// Removes the entry name of the folder dirFd, recursively, never leaving device dev.
int removeAt(int dirFd, const char* name, dev_t dev) {
  struct stat st {};
  if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISDIR(st.st_mode)) return ::unlinkat(dirFd, name, 0) == 0 ? 0 : errno;
  if (st.st_dev != dev) return EXDEV;
  const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return errno;
  DIR* dir = ::fdopendir(fd);
  if (dir == nullptr) {
    const int e = errno;
    ::close(fd);
    return e;
  }
  int first = 0;
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    names.emplace_back(entry->d_name);
  }
  for (const std::string& child : names) {
    const int e = removeAt(::dirfd(dir), child.c_str(), dev);
    if (e != 0 && first == 0) first = e;
  }
  ::closedir(dir);
  if (first != 0) return first;
  return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

FileResult emptyOneTrash(const std::string& trash) {
  if (!ownedFolder(trash, false)) return {};
  struct stat top {};
  if (::lstat(trash.c_str(), &top) != 0) return {};
  FileResult result;
  const std::string files = trash + "/files";
  const std::string info = trash + "/info";
  Fd filesFd(::open(files.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  std::vector<std::string> names;
  if (filesFd) {
    if (DIR* dir = ::opendir(files.c_str())) {
      while (dirent* entry = ::readdir(dir))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
          names.emplace_back(entry->d_name);
      ::closedir(dir);
    }
  }
  for (const std::string& name : names) {
    if (int e = fault(Call::Unlink, files + "/" + name)) {
      if (result) result = FileResult(e);
      continue;
    }
    const int e = removeAt(filesFd.get(), name.c_str(), top.st_dev);
    if (e != 0 && e != ENOENT) {
      if (result) result = FileResult(e);
      continue;
    }
    ::unlink((info + "/" + name + ".trashinfo").c_str());
  }
  // Info files whose item is gone, and the size cache.
  if (DIR* dir = ::opendir(info.c_str())) {
    std::vector<std::string> orphans;
    while (dirent* entry = ::readdir(dir)) {
      std::string n = entry->d_name;
      const std::string suffix = ".trashinfo";
      if (n.size() > suffix.size() &&
          n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0 &&
          !exists(files + "/" + n.substr(0, n.size() - suffix.size())))
        orphans.push_back(n);
    }
    ::closedir(dir);
    for (const auto& n : orphans) ::unlink((info + "/" + n).c_str());
  }
  ::unlink((trash + "/directorysizes").c_str());
  return result;
}

constexpr char kSuffixLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
constexpr std::size_t kSuffixLength = 6;

// A short random text for temporary names.
std::string randomSuffix() {
  unsigned char bytes[kSuffixLength];
  if (::getrandom(bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes)) {
    static unsigned counter = 0;
    const auto t = std::chrono::steady_clock::now().time_since_epoch().count();
    std::uint64_t v =
        static_cast<std::uint64_t>(t) ^ (static_cast<std::uint64_t>(::getpid()) << 20) ^ ++counter;
    for (auto& b : bytes) {
      b = static_cast<unsigned char>(v);
      v >>= 8;
    }
  }
  std::string out;
  for (unsigned char b : bytes) out += kSuffixLetters[b % (sizeof kSuffixLetters - 1)];
  return out;
}

// ".<name>.<tag>-", the name cut so the whole stays well inside the 255-byte limit of a name.
std::string temporaryPrefix(const std::string& name, const char* tag) {
  return "." + name.substr(0, std::min<std::size_t>(name.size(), 160)) + "." + tag + "-";
}

}  // namespace

std::string temporaryName(const std::string& folder, const std::string& name, const char* tag) {
  return (folder == "/" ? "" : folder) + "/" + temporaryPrefix(name, tag) + randomSuffix();
}

bool isTemporaryName(std::string_view fileName, const std::string& name, const char* tag) {
  const std::string prefix = temporaryPrefix(name, tag);
  if (fileName.size() != prefix.size() + kSuffixLength || !fileName.starts_with(prefix))
    return false;
  return fileName.substr(prefix.size()).find_first_not_of(kSuffixLetters) == std::string::npos;
}

// ---- renames and moves -------------------------------------------------------------------

FolderHandles::~FolderHandles() {
  for (const auto& [folder, fd] : m_handles) ::close(fd);
}

int FolderHandles::of(std::string_view folder) {
  if (m_lastFd >= 0 && folder == m_lastFolder) return m_lastFd;
  std::string key(folder);
  int fd = -1;
  if (const auto it = m_handles.find(key); it != m_handles.end()) {
    fd = it->second;
  } else {
    // A run touches few folders; the bound only keeps a huge tree from using up descriptors.
    constexpr std::size_t kMostKept = 256;
    if (m_handles.size() >= kMostKept) {
      for (const auto& [kept, open] : m_handles) ::close(open);
      m_handles.clear();
    }
    fd = ::open(key.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) m_handles.emplace(key, fd);
  }
  m_lastFolder = std::move(key);
  m_lastFd = fd;
  return fd;
}

FileResult rename(const std::string& from, const std::string& to, Existing existing,
                  FolderHandles* folders) {
  if (int e = fault(Call::Rename, from)) return FileResult(e);
  if (from == to) return exists(from) ? FileResult() : FileResult(ENOENT);
  if (caseOnlyChange(from, to) && sameFile(from, to)) {
    // A case-insensitive file system: the new name is the old file. Go through a temporary name.
    const std::string temp = temporaryName(parentOf(from), nameOf(from), "case");
    if (FileResult r = renameNoReplace(from, temp); !r) return r;
    FileResult second = renameNoReplace(temp, to);
    if (!second) renameNoReplace(temp, from);
    return second;
  }
  return existing == Existing::Replace ? renameReplace(from, to)
                                       : renameNoReplace(from, to, folders);
}

FileResult move(const std::string& from, const std::string& to, const CopyOptions& options) {
  struct stat source {};
  if (FileResult r = status(from, source, false); !r) return r;
  if (options.createFolders)
    if (FileResult r = makeFolders(parentOf(to)); !r) return r;
  FileResult renamed = rename(from, to, options.existing);
  if (renamed.error() != EXDEV) return renamed;
  // Another file system: copy, check, then remove the source.
  CopyOptions copy = options;
  copy.createFolders = false;
  if (S_ISDIR(source.st_mode)) {
    if (exists(to)) return FileResult(EEXIST);
    if (FileResult r = copyTree(from, to, copy); !r) {
      removeTree(to);
      return r;
    }
    return removeTree(from);
  }
  if (FileResult r = copyFile(from, to, copy); !r) return r;
  struct stat copied {};
  if (::stat(to.c_str(), &copied) != 0 || copied.st_size != source.st_size) {
    removeFile(to);
    return FileResult(EIO);
  }
  if (FileResult r = removeFile(from); !r) {
    // Leave things as they were: the source stays, the copy goes.
    removeFile(to);
    return r;
  }
  return {};
}

// ---- copies ------------------------------------------------------------------------------

namespace {

// Creates a fresh hidden file in folder for the target, open for writing with mode 0600: temp
// gets its path, out its descriptor. Goes through the fault seam's Create step for the target.
FileResult createTemporary(const std::string& folder, const std::string& target, const char* tag,
                           std::string& temp, Fd& out) {
  if (int e = fault(Call::Create, target)) return FileResult(e);
  for (int attempt = 0; attempt < 100 && !out; ++attempt) {
    temp = temporaryName(folder, nameOf(target), tag);
    out.reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out && errno != EEXIST) return fromErrno();
  }
  return out ? FileResult() : FileResult(EEXIST);
}

}  // namespace

FileResult copyFile(const std::string& from, const std::string& to, const CopyOptions& options) {
  InputFile in;
  if (FileResult r = in.open(from); !r) return r;
  const struct stat& source = in.status();
  if (S_ISDIR(source.st_mode)) return FileResult(EISDIR);
  if (!S_ISREG(source.st_mode)) return FileResult(EINVAL);

  struct stat target {};
  if (::stat(to.c_str(), &target) == 0) {
    if (S_ISDIR(target.st_mode)) return FileResult(EISDIR);
    if (target.st_dev == source.st_dev && target.st_ino == source.st_ino) return FileResult(EINVAL);
    if (options.existing == Existing::Fail) return FileResult(EEXIST);
  }
  const std::string folder = parentOf(to);
  if (options.createFolders)
    if (FileResult r = makeFolders(folder); !r) return r;

  std::string temp;
  Fd out;
  if (FileResult r = createTemporary(folder, to, "part", temp, out); !r) return r;

  auto fail = [&](FileResult r) {
    out.reset();
    ::unlink(temp.c_str());
    return r;
  };
  Ticker ticker(options.progress);
  if (FileResult r = copyBytes(in.fd(), out.get(), from, to, source.st_size, ticker); !r)
    return fail(r);
  struct stat written {};
  if (::fstat(out.get(), &written) != 0) return fail(fromErrno());
  if (written.st_size != source.st_size) return fail(FileResult(EIO));
  if (int e = fault(Call::SetMode, to)) return fail(FileResult(e));
  if (options.keepMode) {
    if (::fchmod(out.get(), source.st_mode & 07777) != 0) return fail(fromErrno());
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(out.get(), 0666 & ~mask);
  }
  if (options.keepTimes) {
    if (int e = fault(Call::SetTimes, to)) return fail(FileResult(e));
    const timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(out.get(), times) != 0) return fail(fromErrno());
  }
  if (options.flush) {
    if (int e = fault(Call::Sync, to)) return fail(FileResult(e));
    if (::fdatasync(out.get()) != 0 && errno != EINVAL && errno != EROFS) return fail(fromErrno());
  }
  if (::close(out.release()) != 0) {
    const FileResult r = fromErrno();
    ::unlink(temp.c_str());
    return r;
  }
  const FileResult published =
      options.existing == Existing::Replace ? renameReplace(temp, to) : renameNoReplace(temp, to);
  if (!published) {
    ::unlink(temp.c_str());
    return published;
  }
  if (options.flush) syncFolder(folder);
  return {};
}

FileResult writeFileAtomically(const std::string& path, std::string_view bytes, mode_t newMode) {
  // A symbolic link stays: the file it points to is the one replaced.
  char resolved[PATH_MAX];
  const std::string target = ::realpath(path.c_str(), resolved) != nullptr ? resolved : path;
  struct stat old {};
  const bool replacing = ::stat(target.c_str(), &old) == 0;
  if (replacing && S_ISDIR(old.st_mode)) return FileResult(EISDIR);
  const std::string folder = parentOf(target);

  std::string temp;
  Fd out;
  if (FileResult r = createTemporary(folder, target, "tmp", temp, out); !r) return r;
  auto fail = [&](FileResult r) {
    out.reset();
    ::unlink(temp.c_str());
    return r;
  };

  if (int e = fault(Call::SetMode, target)) return fail(FileResult(e));
  // Only root can give a file away; an ordinary user's own file needs no change of owner.
  if (replacing && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(out.get(), old.st_uid, old.st_gid) != 0)
    return fail(fromErrno());
  if (::fchmod(out.get(), replacing ? old.st_mode & 07777 : newMode) != 0) return fail(fromErrno());
  if (int e = fault(Call::Write, target)) return fail(FileResult(e));
  for (std::size_t done = 0; done < bytes.size();) {
    const ssize_t n = ::write(out.get(), bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return fail(fromErrno());
    done += static_cast<std::size_t>(n);
  }
  if (int e = fault(Call::Sync, target)) return fail(FileResult(e));
  if (::fsync(out.get()) != 0) return fail(fromErrno());
  if (::close(out.release()) != 0) {
    const FileResult r = fromErrno();
    ::unlink(temp.c_str());
    return r;
  }
  if (int e = fault(Call::Rename, target)) {
    ::unlink(temp.c_str());
    return FileResult(e);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const FileResult r = fromErrno();
    ::unlink(temp.c_str());
    return r;
  }
  syncFolder(folder);
  return {};
}

FileResult syncFileSystem(const std::string& path) {
  if (int e = fault(Call::Sync, path)) return FileResult(e);
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return fromErrno();
  return ::syncfs(fd.get()) == 0 ? FileResult() : fromErrno();
}

FileResult copyTree(const std::string& from, const std::string& to, const CopyOptions& options) {
  struct stat source {};
  if (FileResult r = status(from, source, false); !r) return r;
  if (S_ISLNK(source.st_mode)) {
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(from.c_str(), link.data(), link.size());
    if (n < 0) return fromErrno();
    link.resize(static_cast<std::size_t>(n));
    if (options.existing == Existing::Replace && exists(to) && !isFolder(to)) ::unlink(to.c_str());
    return ::symlink(link.c_str(), to.c_str()) == 0 ? FileResult() : fromErrno();
  }
  if (!S_ISDIR(source.st_mode)) return copyFile(from, to, options);
  if (int e = fault(Call::Mkdir, to)) return FileResult(e);
  if (::mkdir(to.c_str(), 0700) != 0) {
    if (errno != EEXIST || !isFolder(to)) return fromErrno();
  }
  std::vector<std::string> names;
  if (DIR* dir = ::opendir(from.c_str())) {
    while (dirent* entry = ::readdir(dir))
      if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
        names.emplace_back(entry->d_name);
    ::closedir(dir);
  } else {
    return fromErrno();
  }
  std::sort(names.begin(), names.end());
  CopyOptions inner = options;
  inner.createFolders = false;
  for (const std::string& name : names)
    if (FileResult r = copyTree(from + "/" + name, to + "/" + name, inner); !r) return r;
  if (options.keepMode) ::chmod(to.c_str(), source.st_mode & 07777);
  if (options.keepTimes) {
    const timespec times[2] = {source.st_atim, source.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, 0);
  }
  return {};
}

// ---- deletion and trash --------------------------------------------------------------------

FileResult removeFile(const std::string& path) {
  if (int e = fault(Call::Unlink, path)) return FileResult(e);
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return fromErrno();
  if (S_ISDIR(st.st_mode)) return FileResult(EISDIR);
  if (::unlink(path.c_str()) != 0) return fromErrno();
  return {};
}

FileResult removeFolder(const std::string& path) {
  if (int e = fault(Call::Rmdir, path)) return FileResult(e);
  if (::rmdir(path.c_str()) != 0) return fromErrno();
  return {};
}

FileResult removeTree(const std::string& path) {
  if (int e = fault(Call::Unlink, path)) return FileResult(e);
  if (path.find_first_not_of('/') == std::string::npos) return FileResult(EBUSY);  // "/" itself
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return fromErrno();
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0 ? FileResult() : fromErrno();
  const std::string parent = parentOf(absolute(path));
  Fd parentFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parentFd) return fromErrno();
  const int e = removeAt(parentFd.get(), nameOf(path).c_str(), st.st_dev);
  return FileResult(e);
}

FileResult moveToTrash(const std::string& path) {
  if (int e = fault(Call::Rename, path)) return FileResult(e);
  struct stat item {};
  if (::lstat(path.c_str(), &item) != 0) return fromErrno();
  std::string abs = absolute(path);
  while (abs.size() > 1 && abs.back() == '/') abs.pop_back();
  if (abs == "/") return FileResult(EINVAL);
  // The folder that holds the item, with links resolved, names where the item really lives.
  char resolved[PATH_MAX];
  if (::realpath(parentOf(abs).c_str(), resolved) == nullptr) return fromErrno();
  const std::string parent = resolved;
  abs = (parent == "/" ? "" : parent) + "/" + nameOf(abs);

  std::string trash;
  std::string infoPath;
  const std::string home = homeTrash();
  makeFolders(parentOf(home));
  struct stat homeSt {};
  if (prepareTrash(home) && ::stat(home.c_str(), &homeSt) == 0 && homeSt.st_dev == item.st_dev) {
    trash = home;
    infoPath = abs;
  } else {
    const std::string top = topDirOf(parent, item.st_dev);
    trash = volumeTrash(top, true);
    if (trash.empty()) return FileResult(EXDEV);
    infoPath = top == "/" ? abs.substr(1) : abs.substr(top.size() + 1);
  }

  // Reserve a name with the info file first, then move the item under that name.
  const std::string name = nameOf(abs);
  std::string slot;
  Fd info;
  for (int n = 1; n < 10000 && !info; ++n) {
    // The info file adds ".trashinfo": long names are cut to stay within 255 bytes.
    const std::string suffix = n == 1 ? "" : "." + std::to_string(n);
    slot = name.substr(0, std::min(name.size(), 255 - 10 - suffix.size())) + suffix;
    if (exists(trash + "/files/" + slot)) continue;
    info.reset(::open((trash + "/info/" + slot + ".trashinfo").c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!info && errno != EEXIST) return fromErrno();
  }
  if (!info) return FileResult(EEXIST);
  const std::string infoFile = trash + "/info/" + slot + ".trashinfo";
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  char date[32];
  std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &local);
  const std::string text =
      "[Trash Info]\nPath=" + percentEncode(infoPath) + "\nDeletionDate=" + date + "\n";
  if (::write(info.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    const FileResult r = fromErrno();
    info.reset();
    ::unlink(infoFile.c_str());
    return r;
  }
  info.reset();
  const FileResult moved = renameNoReplace(path, trash + "/files/" + slot);
  if (!moved) {
    ::unlink(infoFile.c_str());
    return moved.error() == EXDEV ? FileResult(EXDEV) : moved;
  }
  return {};
}

FileResult emptyTrash(const std::string& volumeRoot) {
  FileResult result;
  auto take = [&](const FileResult& r) {
    if (result && !r) result = r;
  };
  const std::string home = homeTrash();
  if (volumeRoot.empty()) {
    take(emptyOneTrash(home));
    for (const std::string& mp : mountPoints()) {
      const std::string trash = volumeTrash(mp, false);
      if (!trash.empty() && trash != home) take(emptyOneTrash(trash));
    }
    return result;
  }
  struct stat volume {};
  if (::stat(volumeRoot.c_str(), &volume) != 0) return fromErrno();
  struct stat homeSt {};
  if (::stat(home.c_str(), &homeSt) == 0 && homeSt.st_dev == volume.st_dev)
    take(emptyOneTrash(home));
  const std::string top = topDirOf(absolute(volumeRoot), volume.st_dev);
  const std::string trash = volumeTrash(top, false);
  if (!trash.empty() && trash != home) take(emptyOneTrash(trash));
  return result;
}

// ---- folders -------------------------------------------------------------------------------

FileResult makeFolders(const std::string& path) {
  if (path.empty()) return FileResult(ENOENT);
  if (isFolder(path)) return {};
  std::size_t pos = 0;
  while (true) {
    pos = path.find('/', pos + 1);
    const std::string part = path.substr(0, pos);
    if (!part.empty() && !isFolder(part)) {
      if (int e = fault(Call::Mkdir, part)) return FileResult(e);
      if (::mkdir(part.c_str(), 0777) != 0 && !(errno == EEXIST && isFolder(part)))
        return fromErrno();
    }
    if (pos == std::string::npos) return {};
  }
}

FileResult probeWritable(const std::string& folder) {
  if (int e = fault(Call::Create, folder)) return FileResult(e);
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::string probe =
        folder + (folder == "/" ? "" : "/") + ".quillmere-probe-" + randomSuffix();
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return fromErrno();
    }
    ::close(fd);
    if (::unlink(probe.c_str()) != 0) return fromErrno();
    return {};
  }
  return FileResult(EEXIST);
}

namespace {

// Compares two open files from their current positions to the end, in blocks as large as the
// file (up to kLargest): a picture takes one read per side.
FileResult compareOpenFiles(InputFile& first, InputFile& second, bool& equal,
                            const KeepGoing& progress) {
  constexpr std::size_t kLargest = 256 * 1024;  // small enough to yield in time on slow cards
  const off_t size = first.status().st_size;
  // Buffers no larger than the file needs (one byte more shows the end in the same read), and
  // not cleared: most pictures compared are small next to the largest block.
  const std::size_t capacity =
      std::min<std::size_t>(kLargest, static_cast<std::size_t>(std::max<off_t>(size, 0)) + 1);
  const std::unique_ptr<char[]> x(new char[capacity]);
  const std::unique_ptr<char[]> y(new char[capacity]);
  Ticker ticker(progress);
  // Where both files have a hole (sparse files), both read as zeros: skip it.
  auto skipCommonHole = [&] {
    const off_t pos = ::lseek(first.fd(), 0, SEEK_CUR);
    if (pos < 0) return;
    auto dataFrom = [&](int fd) {
      const off_t d = ::lseek(fd, pos, SEEK_DATA);
      if (d >= 0) return d;
      return errno == ENXIO ? size : pos;
    };
    const off_t skipTo = std::max(pos, std::min(dataFrom(first.fd()), dataFrom(second.fd())));
    ::lseek(first.fd(), skipTo, SEEK_SET);
    ::lseek(second.fd(), skipTo, SEEK_SET);
  };
  bool firstBlock = true;
  while (true) {
    if (!ticker.tick()) return FileResult(ECANCELED);
    if (!firstBlock) skipCommonHole();
    firstBlock = false;
    std::size_t gotA = 0;
    std::size_t gotB = 0;
    if (FileResult r = first.read(x.get(), capacity, gotA); !r) return r;
    if (FileResult r = second.read(y.get(), capacity, gotB); !r) return r;
    if (gotA != gotB || std::memcmp(x.get(), y.get(), gotA) != 0) {
      equal = false;
      return {};
    }
    if (gotA < capacity) {
      equal = true;
      return {};
    }
  }
}

}  // namespace

FileResult compareContents(const std::string& a, const std::string& b, bool& equal,
                           const KeepGoing& progress) {
  InputFile first;
  InputFile second;
  if (FileResult r = first.open(a); !r) return r;
  if (FileResult r = second.open(b); !r) return r;
  return compareOpenFiles(first, second, equal, progress);
}

ContentMatch sameContents(const std::string& a, const std::string& b, const KeepGoing& progress) {
  ContentMatch match;
  InputFile first;
  InputFile second;
  match.result = first.open(a);
  if (!match.result) return match;
  match.firstAccessKept = first.keepsAccessTime();
  match.result = second.open(b);
  if (!match.result) return match;
  match.secondAccessKept = second.keepsAccessTime();
  const struct stat& sa = first.status();
  const struct stat& sb = second.status();
  // Nothing is read unless the two are distinct regular files of one size.
  if (!S_ISREG(sa.st_mode) || !S_ISREG(sb.st_mode)) return match;
  if (sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino) return match;
  if (sa.st_size != sb.st_size) return match;
  bool equal = false;
  match.result = compareOpenFiles(first, second, equal, progress);
  match.equal = match.result.ok() && equal;
  return match;
}

// ---- status, times, attributes -------------------------------------------------------------

FileResult status(const std::string& path, struct stat& st, bool followLinks) {
  if (int e = fault(Call::Stat, path)) return FileResult(e);
  const int rc = followLinks ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st);
  return rc == 0 ? FileResult() : fromErrno();
}

std::string parentOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool isFolder(const std::string& path, bool followLinks) {
  struct stat st {};
  return status(path, st, followLinks).ok() && S_ISDIR(st.st_mode);
}

FileResult checkNoFolderLink(const std::string& root, const std::string& path) {
  std::string base = root;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  if (!isBelow(path, base) || path.size() <= base.size() + (base == "/" ? 0 : 1))
    return FileResult(EINVAL);
  std::size_t next = base == "/" ? 1 : base.size() + 1;
  for (;;) {
    const std::size_t slash = path.find('/', next);
    if (slash == std::string::npos) return {};  // only the last component is left
    const std::string folder = path.substr(0, slash);
    const std::string name = path.substr(next, slash - next);
    if (name == "..") return FileResult(EINVAL);
    next = slash + 1;
    if (name.empty() || name == ".") continue;
    if (int e = fault(Call::Stat, folder)) return FileResult(e);
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
      if (errno == ENOENT) return {};  // the rest would be made as real folders
      return fromErrno();
    }
    if (S_ISLNK(st.st_mode)) return FileResult(ELOOP);
    if (!S_ISDIR(st.st_mode)) return FileResult(ENOTDIR);
  }
}

bool isBelow(const std::string& path, const std::string& root) {
  if (root == "/") return !path.empty() && path[0] == '/';
  return path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

void LinkFreeFolders::setRoots(std::vector<std::string> nativeRoots) {
  for (std::string& root : nativeRoots)
    while (root.size() > 1 && root.back() == '/') root.pop_back();
  m_roots = std::move(nativeRoots);
  m_free.clear();
}

FileResult LinkFreeFolders::check(const std::string& path) {
  std::string folder = parentOf(path);
  if (m_free.count(folder) != 0) return {};
  FileResult result;
  for (const std::string& root : m_roots) {
    if (!isBelow(path, root) || path == root) continue;
    const FileResult r = checkNoFolderLink(root, path);
    if (r.error() == ELOOP) return r;
    if (!r && result.ok()) result = r;
  }
  // A folder that is missing now may still be made (or become a link) later: asked again then.
  if (result.ok() && isFolder(folder, false)) m_free.insert(std::move(folder));
  return result;
}

bool sameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

namespace {

void timesFrom(const struct statx& sx, FileTimes& times) {
  auto ts = [](const statx_timestamp& t) {
    timespec out{};
    out.tv_sec = t.tv_sec;
    out.tv_nsec = t.tv_nsec;
    return out;
  };
  times.lastWrite = ts(sx.stx_mtime);
  times.lastAccess = ts(sx.stx_atime);
  times.hasBirthTime = (sx.stx_mask & STATX_BTIME) != 0;
  times.creation = times.hasBirthTime ? ts(sx.stx_btime) : times.lastWrite;
}

}  // namespace

FileResult readTimes(const std::string& path, FileTimes& times) {
  if (int e = fault(Call::Stat, path)) return FileResult(e);
  struct statx sx {};
  if (::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return fromErrno();
  timesFrom(sx, times);
  return {};
}

FileResult setTimes(const std::string& path, const std::optional<timespec>& lastWrite,
                    const std::optional<timespec>& lastAccess) {
  if (int e = fault(Call::SetTimes, path)) return FileResult(e);
  timespec times[2];
  times[0] = lastAccess ? *lastAccess : timespec{0, UTIME_OMIT};
  times[1] = lastWrite ? *lastWrite : timespec{0, UTIME_OMIT};
  if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return fromErrno();
  return {};
}

namespace {

constexpr const char* kDosAttrib = "user.DOSATTRIB";
constexpr std::uint32_t kStoredBits = attr::kHidden | attr::kSystem | attr::kArchive;

// The FAT attribute bits of a file on FAT media; nothing elsewhere.
std::optional<std::uint32_t> fatAttributes(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (!fd) return std::nullopt;
  std::uint32_t bits = 0;
  if (::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &bits) != 0) return std::nullopt;
  return bits;
}

// The DOS bits kept in the extended attribute (the hexadecimal text form "0x22").
std::optional<std::uint32_t> storedAttributes(const std::string& path) {
  char value[64];
  const ssize_t n = ::getxattr(path.c_str(), kDosAttrib, value, sizeof value - 1);
  if (n <= 0) return std::nullopt;
  value[n] = '\0';
  if (n < 3 || value[0] != '0' || (value[1] != 'x' && value[1] != 'X')) return std::nullopt;
  return static_cast<std::uint32_t>(std::strtoul(value + 2, nullptr, 16));
}

}  // namespace

FileResult readAttributes(const std::string& path, std::uint32_t& attributes) {
  struct stat st {};
  if (FileResult r = status(path, st); !r) return r;
  std::uint32_t bits = 0;
  if (S_ISDIR(st.st_mode)) bits |= attr::kFolder;
  if ((st.st_mode & S_IWUSR) == 0) bits |= attr::kReadOnly;
  std::string name = path;
  while (name.size() > 1 && name.back() == '/') name.pop_back();
  name = nameOf(name);
  if (!name.empty() && name[0] == '.' && name != "." && name != "..") bits |= attr::kHidden;
  if (const auto fat = fatAttributes(path)) {
    bits |= *fat & (attr::kReadOnly | kStoredBits);
  } else if (const auto stored = storedAttributes(path)) {
    bits |= *stored & kStoredBits;
  }
  attributes = bits;
  return {};
}

FileResult setAttribute(const std::string& path, std::uint32_t bit, bool on) {
  if (bit != attr::kReadOnly && bit != attr::kHidden && bit != attr::kArchive)
    return FileResult(EINVAL);
  if (int e = fault(Call::SetMode, path)) return FileResult(e);
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return fromErrno();
  if (bit == attr::kReadOnly) {
    const mode_t mode = on ? (st.st_mode & ~mode_t{0222}) : (st.st_mode | S_IWUSR);
    if (::chmod(path.c_str(), mode & 07777) != 0) return fromErrno();
    if (auto fat = fatAttributes(path)) {
      std::uint32_t bits = on ? (*fat | ATTR_RO) : (*fat & ~std::uint32_t{ATTR_RO});
      Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
      if (fd) ::ioctl(fd.get(), FAT_IOCTL_SET_ATTRIBUTES, &bits);
    }
    struct stat after {};
    if (::stat(path.c_str(), &after) != 0) return fromErrno();
    return ((after.st_mode & S_IWUSR) == 0) == on ? FileResult() : FileResult(EPERM);
  }
  if (auto fat = fatAttributes(path)) {
    std::uint32_t bits = on ? (*fat | bit) : (*fat & ~bit);
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) return fromErrno();
    if (::ioctl(fd.get(), FAT_IOCTL_SET_ATTRIBUTES, &bits) != 0) return fromErrno();
  } else {
    std::uint32_t bits = storedAttributes(path).value_or(0);
    bits = on ? (bits | bit) : (bits & ~bit);
    char value[16];
    const int n = std::snprintf(value, sizeof value, "0x%x", bits);
    if (::setxattr(path.c_str(), kDosAttrib, value, static_cast<std::size_t>(n), 0) != 0)
      return fromErrno();
  }
  std::uint32_t now = 0;
  if (FileResult r = readAttributes(path, now); !r) return r;
  return ((now & bit) != 0) == on ? FileResult() : FileResult(EPERM);
}

// ---- reading -------------------------------------------------------------------------------

InputFile::~InputFile() {
  if (m_fd >= 0) ::close(m_fd);
}

FileResult InputFile::readTimes(FileTimes& times, std::optional<std::uint64_t>* regularSize) const {
  if (m_fd < 0) return FileResult(EBADF);
  if (int e = fault(Call::Stat, m_path)) return FileResult(e);
  struct statx sx {};
  if (::statx(m_fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
    return fromErrno();
  timesFrom(sx, times);
  if (regularSize)
    *regularSize = S_ISREG(sx.stx_mode) ? std::optional<std::uint64_t>(sx.stx_size) : std::nullopt;
  return {};
}

FileResult InputFile::open(const std::string& path) {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = -1;
  m_haveStatus = false;
  m_path = path;
  if (int e = fault(Call::Open, path)) return FileResult(e);
  // O_NONBLOCK keeps a FIFO from holding the open (and its reads from waiting for a writer); it
  // changes nothing for regular files and devices.
  // O_NOATIME leaves the file's last-access time as it was (a copy or a comparison is no
  // use of the picture); the system allows it only on the user's own files.
  m_keepsAccessTime = true;
  m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOATIME);
  if (m_fd < 0 && errno == EPERM) {
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    m_keepsAccessTime = false;
  }
  if (m_fd < 0) return fromErrno();
  return {};
}

const struct stat& InputFile::status() const {
  if (!m_haveStatus) {
    if (m_fd < 0 || ::fstat(m_fd, &m_status) != 0) m_status = {};
    m_haveStatus = true;
  }
  return m_status;
}

FileResult InputFile::read(void* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  if (m_fd < 0) return FileResult(EBADF);
  if (int e = fault(Call::Read, m_path)) return FileResult(e);
  char* p = static_cast<char*>(buffer);
  while (got < size) {
    const ssize_t n = ::read(m_fd, p + got, size - got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fromErrno();
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return {};
}

// ---- wildcards -----------------------------------------------------------------------------

bool hasWildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

bool matchWildcard(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starP = std::string_view::npos;
  std::size_t starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || asciiLower(pattern[p]) == asciiLower(name[n]))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  // "name.*" also matches "name" without an extension, as on Windows.
  if (p + 2 == pattern.size() && pattern[p] == '.' && pattern[p + 1] == '*') return true;
  return p == pattern.size();
}

std::vector<std::string> expandWildcard(const std::string& nativePattern) {
  std::vector<std::string> out;
  const std::string folder = parentOf(nativePattern);
  const std::string pattern = nameOf(nativePattern);
  if (int e = fault(Call::Open, folder); e != 0) return out;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return out;
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (name[0] == '.' && (pattern.empty() || pattern[0] != '.')) continue;
    if (matchWildcard(pattern, name))
      out.push_back((folder == "/" ? "" : folder) + "/" + std::string(name));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end());
  return out;
}

// ---- yielding ------------------------------------------------------------------------------

void setYieldHandler(std::function<void()> handler) {
  yieldHandler() = std::move(handler);
}

ScopedYieldHandler::ScopedYieldHandler(std::function<void()> handler)
    : m_previous(std::move(yieldHandler())) {
  yieldHandler() = std::move(handler);
}

ScopedYieldHandler::~ScopedYieldHandler() {
  yieldHandler() = std::move(m_previous);
}

void setFaultHook(FaultHook hook) {
  faultHook() = std::move(hook);
}

}  // namespace fileops
}  // namespace quillmere::platform
