#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/DriveMap.h"
#include "rename/FileSteps.h"

namespace quillmere::rename {

namespace {

StepResult fromErrno(int e) {
  switch (e) {
    case 0:
      return StepResult::Ok;
    case EEXIST:
    case ENOTEMPTY:
      return StepResult::Exists;
    case ENOENT:
    case ENOTDIR:
      return StepResult::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return StepResult::NoAccess;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return StepResult::NoSpace;
    default:
      return StepResult::Failed;
  }
}

std::string folderOf(const std::string& native) {
  const auto slash = native.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

class NativeFileSteps final : public FileSteps {
 public:
  StepResult moveNoReplace(const std::string& from, const std::string& to) override {
    std::string src, dst;
    if (!resolve(from, src) || !resolve(to, dst)) return StepResult::NotFound;
    if (::renameat2(AT_FDCWD, src.c_str(), AT_FDCWD, dst.c_str(), RENAME_NOREPLACE) == 0)
      return done(0);
    int e = errno;
    if (e == EINVAL || e == ENOSYS || e == EOPNOTSUPP) {
      // File systems without the no-replace rename: a hard link fails on a taken name.
      if (::link(src.c_str(), dst.c_str()) == 0) {
        ::unlink(src.c_str());
        return done(0);
      }
      e = errno;
      if (e == EPERM || e == EOPNOTSUPP) {
        struct stat st {};
        if (::lstat(dst.c_str(), &st) == 0) return done(EEXIST);
        if (::rename(src.c_str(), dst.c_str()) == 0) return done(0);
        e = errno;
      }
    }
    if (e == EXDEV) {
      const StepResult copied = copyNative(src, dst);
      if (copied != StepResult::Ok) return copied;
      if (::unlink(src.c_str()) != 0) {
        // The source could not be removed: take the copy back, so the file exists once.
        const int ue = errno;
        ::unlink(dst.c_str());
        return done(ue);
      }
      return done(0);
    }
    if (e == ENOENT) {
      struct stat st {};
      if (::lstat(src.c_str(), &st) != 0) return done(ENOENT);
    }
    return done(e);
  }

  StepResult copyNoReplace(const std::string& from, const std::string& to) override {
    std::string src, dst;
    if (!resolve(from, src) || !resolve(to, dst)) return StepResult::NotFound;
    return copyNative(src, dst);
  }

  StepResult removeFile(const std::string& path) override {
    std::string native;
    if (!resolve(path, native)) return StepResult::NotFound;
    return done(::unlink(native.c_str()) == 0 ? 0 : errno);
  }

  bool isFolder(const std::string& path) override {
    std::string native;
    struct stat st {};
    return resolve(path, native) && ::stat(native.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  }

  int lastError() const override { return m_errno; }

 private:
  StepResult done(int e) {
    m_errno = e;
    return fromErrno(e);
  }

  bool resolve(const std::string& text, std::string& native) {
    const auto n = platform::DriveMap::current().toNative(text);
    if (!n) {
      m_errno = ENOENT;
      return false;
    }
    native = *n;
    return true;
  }

  // Copies into a hidden temporary file beside the target, then links it under the target
  // name (which fails on a taken name) and drops the temporary name.
  StepResult copyNative(const std::string& src, const std::string& dst) {
    const int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return done(errno);
    struct stat st {};
    if (::fstat(in, &st) != 0) {
      const int e = errno;
      ::close(in);
      return done(e);
    }
    std::string tmp = folderOf(dst) + "/.quillmere-copy-XXXXXX";
    const int out = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (out < 0) {
      const int e = errno;
      ::close(in);
      return done(e);
    }
    int e = 0;
    off_t left = st.st_size;
    while (left > 0) {
      const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(left), 0);
      if (n > 0) {
        left -= n;
        continue;
      }
      if (n == 0) break;
      if (errno == EINTR) continue;
      if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP) {
        e = copyByReading(in, out);
        left = 0;
        break;
      }
      e = errno;
      break;
    }
    if (e == 0 && ::fchmod(out, st.st_mode & 07777) != 0) e = errno;
    if (e == 0) {
      const struct timespec times[2] = {st.st_atim, st.st_mtim};
      ::futimens(out, times);
      if (::fdatasync(out) != 0) e = errno;
    }
    ::close(in);
    if (::close(out) != 0 && e == 0) e = errno;
    if (e == 0 && ::link(tmp.c_str(), dst.c_str()) != 0) e = errno;
    ::unlink(tmp.c_str());
    return done(e);
  }

  static int copyByReading(int in, int out) {
    if (::lseek(in, 0, SEEK_SET) < 0 || ::lseek(out, 0, SEEK_SET) < 0 || ::ftruncate(out, 0) != 0)
      return errno;
    char buf[1 << 16];
    for (;;) {
      const ssize_t n = ::read(in, buf, sizeof buf);
      if (n == 0) return 0;
      if (n < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      for (ssize_t off = 0; off < n;) {
        const ssize_t w = ::write(out, buf + off, static_cast<size_t>(n - off));
        if (w < 0) {
          if (errno == EINTR) continue;
          return errno;
        }
        off += w;
      }
    }
  }

  int m_errno = 0;
};

}  // namespace

FileSteps& nativeFileSteps() {
  static NativeFileSteps steps;
  return steps;
}

}  // namespace quillmere::rename
