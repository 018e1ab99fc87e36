#include "archive/FolderName.h"

#include <sys/stat.h>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"

namespace quillmere::archive {

namespace {
bool isExistingFolder(const std::string& pathText) {
  const auto native = platform::DriveMap::current().toNative(pathText);
  if (!native) return false;
  struct stat st {};
  return platform::fileops::status(*native, st).ok() && S_ISDIR(st.st_mode);
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

}  // namespace quillmere::archive
