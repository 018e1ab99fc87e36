// The path methods that ask the file system: is a drive ready, which folder of a path exists.
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "core/Main.h"
#include "paths/LibraryFolder.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

// The last component of a path text ("" for a drive root).
std::string_view lastComponent(std::string_view s) {
  const std::size_t sep = s.rfind('\\');
  return sep == std::string_view::npos ? std::string_view() : s.substr(sep + 1);
}

// What a directory listing of the path text would show for its last component: a folder, a
// plain file or nothing (missing, hidden, a device or fifo). Hidden names begin with ".", which
// also covers "." and "..".
enum class Entry { None, File, Folder };

Entry entryOf(const std::string& pathText) {
  const std::string_view name = lastComponent(pathText);
  if (!name.empty() && name.front() == '.') return Entry::None;
  const auto native = platform::nativePathOf(pathText);
  if (!native) return Entry::None;
  struct stat st {};
  if (::stat(native->c_str(), &st) != 0) return Entry::None;
  if (S_ISDIR(st.st_mode)) return Entry::Folder;
  if (S_ISREG(st.st_mode)) return Entry::File;
  return Entry::None;
}

// Removes the last component and the separators before it ("C:\a\b" -> "C:\a", "C:\a" -> "C:").
void dropLastComponent(std::string& s) {
  while (!s.empty() && s.back() == '\\') s.pop_back();
  const std::size_t sep = s.rfind('\\');
  s.erase(sep == std::string::npos ? 0 : sep);
  while (!s.empty() && s.back() == '\\') s.pop_back();
}

bool isDriveOnly(std::string_view s) {
  return s.size() == 2 && s[1] == ':';
}

}  // namespace

std::string Main::DLL_DiskCheck(const std::string& InFileName) const {
  // The root counts as enterable when it is a folder the user may search. The working folder is
  // left alone: a working folder on a card would keep the card busy and stop it being ejected.
  const std::string root = DLL_DiskName(InFileName);
  const auto& map = platform::DriveMap::current();
  if (map.readiness(root) == 0) {
    const auto native = map.toNative(root);
    if (native && ::access(native->c_str(), X_OK) == 0) return root;
  }
  return paths::libraryDriveRoot();
}

std::string Main::DLL_DirCheck(std::string& InDirName) const {
  if (InDirName.empty()) return paths::libraryDriveRoot();
  const std::string root = DLL_DiskCheck(InDirName);
  if (!text::equalsNoCase(std::string_view(InDirName).substr(0, 3), root))
    return paths::libraryDriveRoot();

  std::string s = DLL_EnDelEnd(InDirName);
  if (!isDriveOnly(s) && entryOf(s) == Entry::File) dropLastComponent(s);
  while (!isDriveOnly(s) && entryOf(s) != Entry::Folder) dropLastComponent(s);
  return DLL_EnCheck(s);
}

std::string Main::DLL_UPDirName(const std::string& InDirName) const {
  std::string dir = InDirName;
  std::string s = DLL_EnDelEnd(DLL_DirCheck(dir));
  if (!isDriveOnly(s)) dropLastComponent(s);
  return DLL_EnCheck(s);
}

}  // namespace quillmere
