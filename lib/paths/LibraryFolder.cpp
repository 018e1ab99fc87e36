#include "paths/LibraryFolder.h"

#include <dlfcn.h>

#include "core/Main.h"
#include "platform/DriveMap.h"

namespace quillmere::paths {

namespace {

std::string findLibraryFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<const void*>(&findLibraryFolder), &info) == 0 ||
      info.dli_fname == nullptr)
    return "/";
  std::string file = info.dli_fname;
  if (file.empty() || file[0] != '/') {
    // A relative name (loaded through a relative path): resolve against the working folder.
    char* resolved = ::realpath(file.c_str(), nullptr);
    if (resolved == nullptr) return "/";
    file = resolved;
    ::free(resolved);
  }
  const std::size_t slash = file.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : file.substr(0, slash);
}

}  // namespace

const std::string& libraryFolderNative() {
  static const std::string folder = findLibraryFolder();
  return folder;
}

std::string libraryFolder() {
  std::string text = platform::DriveMap::current().toPathText(libraryFolderNative());
  return text.empty() ? std::string("C:\\") : text;
}

std::string libraryDriveRoot() {
  const std::string folder = libraryFolder();
  const std::size_t colon = folder.find(':');
  return colon == std::string::npos ? std::string("C:\\") : folder.substr(0, colon + 1) + "\\";
}

}  // namespace quillmere::paths
