#include "archive/FolderName.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string_view>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"

namespace quillmere::archive {

namespace {
bool isExistingFolder(const std::string& pathText) {
  const auto native = platform::nativePathOf(pathText);
  if (!native) return false;
  struct stat st {};
  return platform::fileops::status(*native, st).ok() && S_ISDIR(st.st_mode);
}
bool isTaken(const std::string& native) {
  struct stat st {};
  const auto found = platform::fileops::status(native, st, false);
  return found.ok() || found.error() != ENOENT;
}
// A name freshArchiveStem hands out for the folder's name, with ".lzh" or ".exe".
bool isWorkFileName(std::string_view fileName, const std::string& name) {
  if (!fileName.ends_with(".lzh") && !fileName.ends_with(".exe")) return false;
  fileName.remove_suffix(4);
  return platform::fileops::isTemporaryName(fileName, name, "archive");
}
}  // namespace

std::string workFolder(const std::string& inDirName) {
  if (isExistingFolder(inDirName)) return dll().DLL_EnCheck(inDirName);
  return dll().DLL_DirName(inDirName, 1);
}

std::string folderOwnName(const std::string& folder) {
  const Main& m = dll();
  std::string name =
      isExistingFolder(folder) ? m.DLL_DelRootPath(folder) : m.DLL_DirName(folder, 0);
  if (name.empty()) name = text::asciiUpper(m.DLL_DriveLetter(folder)) + "_Drive";
  return name;
}

std::string freshArchiveStem(const std::string& folder, const std::string& name) {
  const auto native = platform::nativePathOf(folder);
  std::string stem = platform::fileops::temporaryName(native.value_or("/"), name, "archive");
  for (int attempt = 0; native && attempt < 20; ++attempt) {
    if (!isTaken(stem + ".lzh") && !isTaken(stem + ".exe")) break;
    stem = platform::fileops::temporaryName(*native, name, "archive");
  }
  return dll().DLL_PathAdd(folder, stem.substr(stem.find_last_of('/') + 1));
}

void removeLeftWorkFiles(const std::string& folder, const std::string& name) {
  const auto native = platform::nativePathOf(folder);
  if (!native) return;
  const int dirFd = ::open(native->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd < 0) return;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return;
  }
  constexpr std::time_t kIdleSeconds = 3600;
  const std::time_t now = std::time(nullptr);
  while (const dirent* e = ::readdir(dir)) {
    if (!isWorkFileName(e->d_name, name)) continue;
    struct stat st {};
    if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_uid != ::geteuid() || now - st.st_mtime < kIdleSeconds)
      continue;
    ::unlinkat(dirFd, e->d_name, 0);
  }
  ::closedir(dir);
}

}  // namespace quillmere::archive
