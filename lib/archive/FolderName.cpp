#include "archive/FolderName.h"

#include <sys/stat.h>

#include <cerrno>

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

}  // namespace quillmere::archive
