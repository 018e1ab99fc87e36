#include "rename/FileSteps.h"

#include <sys/stat.h>

#include <cerrno>

#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::rename {

namespace fileops = platform::fileops;

StepResult FileSteps::done(int e) {
  m_errno = e;
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

void FileSteps::fixDriveMap() {
  m_map = platform::DriveMap::current();
}

bool FileSteps::resolve(const std::string& text, std::string& native) {
  const auto n = m_map ? m_map->toNative(text) : platform::nativePathOf(text);
  if (!n) {
    m_errno = ENOENT;
    return false;
  }
  native = *n;
  return true;
}

void FileSteps::keepWithin(const std::vector<std::string>& folders) {
  std::vector<std::string> roots;
  for (const std::string& folder : folders)
    if (const auto native = platform::nativePathOf(folder)) roots.push_back(*native);
  m_linkFree.setRoots(std::move(roots));
}

bool FileSteps::throughFolderLink(const std::string& native) {
  return m_linkFree.check(native).error() == ELOOP;
}

StepResult FileSteps::moveNoReplace(const std::string& from, const std::string& to) {
  std::string src, dst;
  if (!resolve(from, src) || !resolve(to, dst)) return StepResult::NotFound;
  if (throughFolderLink(src) || throughFolderLink(dst)) return done(ELOOP);
  // A rename on one file system; across file systems a checked copy, then the removal.
  const platform::FileResult renamed =
      fileops::rename(src, dst, platform::Existing::Fail, &m_folders);
  if (renamed.error() != EXDEV) return done(renamed.error());
  return done(fileops::move(src, dst).error());
}

StepResult FileSteps::copyNoReplace(const std::string& from, const std::string& to) {
  std::string src, dst;
  if (!resolve(from, src) || !resolve(to, dst)) return StepResult::NotFound;
  if (throughFolderLink(src) || throughFolderLink(dst)) return done(ELOOP);
  platform::CopyOptions options;
  options.flush = false;
  const int error = fileops::copyFile(src, dst, options).error();
  if (error == 0) m_unflushedTarget = dst;
  return done(error);
}

void FileSteps::flushCopies() {
  if (m_unflushedTarget.empty()) return;
  fileops::syncFileSystem(m_unflushedTarget);
  m_unflushedTarget.clear();
}

StepResult FileSteps::removeFile(const std::string& path) {
  std::string native;
  if (!resolve(path, native)) return StepResult::NotFound;
  return done(fileops::removeFile(native).error());
}

bool FileSteps::exists(const std::string& path) {
  std::string native;
  struct stat st {};
  return resolve(path, native) && fileops::status(native, st, false).ok();
}

StepResult FileSteps::writeNote(const std::string& path, const std::string& text) {
  std::string native;
  if (!resolve(path, native)) return StepResult::NotFound;
  if (throughFolderLink(native)) return done(ELOOP);
  return done(fileops::writeFileAtomically(native, text, 0644).error());
}

bool FileSteps::isFolder(const std::string& path) {
  std::string native;
  return resolve(path, native) && fileops::isFolder(native);
}

}  // namespace quillmere::rename
