// File operations, existence and attribute tests, folder trees and whole-file methods.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"

namespace quillmere {

namespace fileops = platform::fileops;
using platform::CopyOptions;
using platform::Existing;
using platform::FileResult;

namespace {

std::string joinNative(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

bool existsNative(const std::string& native) {
  struct stat st {};
  return fileops::status(native, st, false).ok();
}

// True when the last component is a pattern. Linux names may hold "*" and "?": a file that
// exists under the literal name is that file, never a pattern that could reach its neighbours.
bool isPattern(const std::string& native) {
  return fileops::hasWildcard(fileops::nameOf(native)) && !existsNative(native);
}

// The native paths a source text names: the matches of a wildcard in its last component, or
// the one path when it exists.
std::vector<std::string> sourcesOf(const std::string& native) {
  if (isPattern(native)) return fileops::expandWildcard(native);
  if (existsNative(native)) return {native};
  return {};
}

// The target of one source under the shell's rules: into ToPath when it is a folder (or when
// several sources go there), else ToPath itself.
struct Plan {
  std::vector<std::pair<std::string, std::string>> moves;
  bool ok = false;
};

Plan planTransfer(const std::string& fromText, const std::string& toText) {
  Plan plan;
  const auto from = platform::nativePathOf(fromText);
  const auto to = platform::nativePathOf(toText);
  if (!from || !to) return plan;
  const bool many = isPattern(*from);
  const std::vector<std::string> sources = sourcesOf(*from);
  if (sources.empty()) return plan;
  const bool intoFolder = many || fileops::isFolder(*to);
  for (const std::string& source : sources) {
    std::string target = intoFolder ? joinNative(*to, fileops::nameOf(source)) : *to;
    // A folder is never copied or moved into itself.
    if (target == source || target.compare(0, source.size() + 1, source + "/") == 0) return plan;
    plan.moves.emplace_back(source, std::move(target));
  }
  plan.ok = true;
  return plan;
}

std::uint32_t attributesOf(const std::string& text, bool& found) {
  found = false;
  if (text.empty()) return 0;
  const auto native = platform::nativePathOf(text);
  if (!native) return 0;
  std::string path = *native;
  if (isPattern(path)) {
    const auto matches = fileops::expandWildcard(path);
    if (matches.empty()) return 0;
    path = matches.front();
  }
  std::uint32_t bits = 0;
  if (!fileops::readAttributes(path, bits)) return 0;
  found = true;
  return bits;
}

void changeAttribute(const std::string& text, std::uint32_t bit, bool on) {
  bool found = false;
  const std::uint32_t bits = attributesOf(text, found);
  if (!found || ((bits & bit) != 0) == on) return;
  const auto native = platform::nativePathOf(text);
  std::string path = *native;
  if (isPattern(path)) path = fileops::expandWildcard(path).front();
  fileops::setAttribute(path, bit, on);
}

// True for "/" and for the root folder of any drive: never deleted or moved away.
bool isDriveRoot(const std::string& native) {
  if (native.find_first_not_of('/') == std::string::npos) return true;
  for (const platform::Drive& d : platform::DriveMap::current().drives())
    if (native == d.nativeRoot) return true;
  return false;
}

// The native root of the drive a path text lies on.
std::optional<std::string> driveRootOf(const std::string& pathText) {
  if (pathText.empty()) return std::nullopt;
  const auto drive = platform::DriveMap::current().drive(pathText[0]);
  if (!drive) return std::nullopt;
  return drive->nativeRoot;
}

[[noreturn]] void raiseFor(const FileResult& r) {
  switch (r.error()) {
    case ENOENT:
      throw DllError(dllerr::kFileNotFound, "File not found");
    case ENOTDIR:
      throw DllError(dllerr::kPathNotFound, "Path not found");
    case EACCES:
    case EPERM:
    case EROFS:
      throw DllError(dllerr::kPermissionDenied, "Permission denied");
    case ENOSPC:
    case EDQUOT:
      throw DllError(dllerr::kDiskFull, "Disk full");
    default:
      throw DllError(dllerr::kDeviceIo, "Device I/O error: " + r.message());
  }
}

}  // namespace

bool Main::DLL_FileCheck(const std::string& InFileName) const {
  if (InFileName.empty()) return false;
  const auto native = platform::nativePathOf(InFileName);
  if (!native) return false;
  return !sourcesOf(*native).empty();
}

// Carries out a copy or move under the shell's rules: every source the text names goes to its
// target (replacing a file there, creating missing folders); True only when every step worked.
namespace {
template <typename Step>
bool transferEach(const std::string& fromText, const std::string& toText, Step step) {
  if (fromText.empty() || toText.empty()) return false;
  const Plan plan = planTransfer(fromText, toText);
  if (!plan.ok) return false;
  CopyOptions options;
  options.existing = Existing::Replace;
  options.createFolders = true;
  bool all = true;
  for (const auto& [source, target] : plan.moves)
    if (!step(source, target, options)) all = false;
  return all;
}
}  // namespace

bool Main::DLL_FileCopy(std::int32_t /*hwnd*/, const std::string& FromFile,
                        const std::string& ToPath) const {
  return transferEach(
      FromFile, ToPath,
      [](const std::string& source, const std::string& target, const CopyOptions& options) {
        if (fileops::sameFile(source, target)) return false;
        if (!fileops::isFolder(source)) return fileops::copyFile(source, target, options).ok();
        fileops::makeFolders(fileops::parentOf(target));
        return fileops::copyTree(source, target, options).ok();
      });
}

bool Main::DLL_FileMove(std::int32_t /*hwnd*/, const std::string& FromFile,
                        const std::string& ToPath) const {
  return transferEach(
      FromFile, ToPath,
      [](const std::string& source, const std::string& target, const CopyOptions& options) {
        // A card's root is copied, never moved away.
        return !isDriveRoot(source) && fileops::move(source, target, options).ok();
      });
}

bool Main::DLL_FileDelete(std::int32_t /*hwnd*/, const std::string& DelPathName, bool Info,
                          bool Recycled) const {
  if (DelPathName.empty()) return false;
  const auto native = platform::nativePathOf(DelPathName);
  if (!native) return false;
  // A drive's root (C:\ is "/", a card's root its mount point) is never deleted.
  if (isDriveRoot(*native)) return false;
  const std::vector<std::string> items = sourcesOf(*native);
  if (items.empty()) return true;  // nothing there to delete
  if (Info) {
    const std::string what = items.size() == 1
                                 ? "'" + items.front() + "' "
                                 : "これらの " + std::to_string(items.size()) + " 個の項目";
    const std::string question =
        Recycled ? what + "をごみ箱に移しますか?" : what + "を削除しますか?";
    if (!confirm(question, Recycled ? "ファイルの削除" : "ファイルの削除の確認")) return false;
  }
  bool all = true;
  for (const std::string& item : items) {
    const FileResult r = Recycled ? fileops::moveToTrash(item) : fileops::removeTree(item);
    if (!r && r.error() != ENOENT) all = false;
  }
  return all;
}

void Main::DLL_RecycleClr(std::int32_t /*hwnd*/, const std::string& Drive,
                          std::int32_t Flag) const {
  if ((Flag & 1) == 0 && !confirm("ごみ箱を空にしますか?", "ごみ箱を空にする")) return;
  if (Drive.empty()) {
    fileops::emptyTrash();
    return;
  }
  if (const auto root = driveRootOf(Drive)) fileops::emptyTrash(*root);
}

bool Main::DLL_ReadCheck(const std::string& ChengeFileName) const {
  bool found = false;
  return (attributesOf(ChengeFileName, found) & platform::attr::kReadOnly) != 0;
}

bool Main::DLL_HiddenCheck(const std::string& CheckFileName) const {
  bool found = false;
  return (attributesOf(CheckFileName, found) & platform::attr::kHidden) != 0;
}

bool Main::DLL_ArchiveCheck(const std::string& CheckFileName) const {
  bool found = false;
  return (attributesOf(CheckFileName, found) & platform::attr::kArchive) != 0;
}

void Main::DLL_ReadChenge(const std::string& ChengeFileName, bool Read) const {
  changeAttribute(ChengeFileName, platform::attr::kReadOnly, Read);
}

void Main::DLL_HiddenWrite(const std::string& ChengeFileName, bool Hidden) const {
  changeAttribute(ChengeFileName, platform::attr::kHidden, Hidden);
}

void Main::DLL_ArchiveWrite(const std::string& ChengeFileName, bool Archive) const {
  changeAttribute(ChengeFileName, platform::attr::kArchive, Archive);
}

bool Main::DLL_ReadWriteOK(const std::string& InFileName) const {
  // The working folder is left alone: a working folder on a card would keep it busy and stop
  // it being ejected. The probe itself fails for a folder that cannot be entered.
  const auto native = platform::nativePathOf(InFileName);
  if (!native || !fileops::isFolder(*native)) return false;
  return fileops::probeWritable(*native).ok();
}

bool Main::DLL_BinFileCheck(const std::string& MasterFile, const std::string& CheckFile) const {
  if (!DLL_FileCheck(MasterFile) || !DLL_FileCheck(CheckFile)) return false;
  if (text::equalsNoCase(MasterFile, CheckFile)) return false;
  const auto a = platform::nativePathOf(MasterFile);
  const auto b = platform::nativePathOf(CheckFile);
  if (!a || !b) return false;
  // Two names of one file (a link, another spelling) are never duplicates of each other; the
  // check is made on the open files.
  return fileops::sameContents(*a, *b, {}).equal;
}

double Main::DLL_FileSize(StringArray& FileName) const {
  if (FileName.dims() == 0) return 0;
  double sum = 0;
  auto add = [&](const std::string& text) {
    const auto native = platform::nativePathOf(text);
    struct stat st {};
    // A file that has gone since it was listed counts as 0 bytes.
    if (native && fileops::status(*native, st).ok() && !S_ISDIR(st.st_mode))
      sum += static_cast<double>(st.st_size);
  };
  if (FileName.dims() == 1) {
    for (const std::string& entry : FileName) add(entry);
  } else {
    for (std::int32_t r = FileName.lbound(1); r <= FileName.ubound(1); ++r) add(FileName(r, 1));
  }
  return sum;
}

bool Main::DLL_SubDirMake(const std::string& OutDirPath, StringArray& DirList) const {
  try {
    const auto out = platform::nativePathOf(OutDirPath);
    if (!out) return false;
    if (!existsNative(*out) && !fileops::makeFolders(*out)) return false;
    if (DirList.dims() != 1) return true;
    for (std::int32_t i = DirList.lbound() + 1; i <= DirList.ubound(); ++i) {
      const std::string folderText = DLL_PathAdd(OutDirPath, DirList(i));
      if (DLL_FileCheck(folderText)) continue;
      const auto folder = platform::nativePathOf(folderText);
      if (!folder || !fileops::makeFolders(*folder)) return false;
    }
    return true;
  } catch (const DllError&) {
    return false;
  }
}

bool Main::DLL_SubDirDel(const std::string& Root_Path) const {
  const auto root = platform::nativePathOf(Root_Path);
  const auto driveRoot = driveRootOf(Root_Path);
  if (!root || !driveRoot || *root == *driveRoot || *root == "/") return false;
  // The folder must be one that can be entered. The working folder itself is not changed (it
  // would keep a card busy); every step works on whole paths.
  if (!fileops::isFolder(*root) || ::access(root->c_str(), X_OK) != 0) return false;
  bool result = false;

  // Deepest and last-sorted folders first, the root itself (the empty first entry) last.
  StringArray dirs;
  try {
    DLL_SubDirList(Root_Path, dirs);
  } catch (const DllError&) {
    dirs.erase();
  }
  if (dirs.dims() == 1) {
    for (std::int32_t i = dirs.ubound(); i >= dirs.lbound(); --i) {
      std::optional<std::string> folder;
      try {
        folder =
            platform::nativePathOf(dirs(i).empty() ? Root_Path : DLL_PathAdd(Root_Path, dirs(i)));
      } catch (const DllError&) {
        continue;
      }
      if (!folder) continue;
      DIR* dir = ::opendir(folder->c_str());
      if (dir == nullptr) continue;
      bool empty = true;
      while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
          empty = false;
          break;
        }
      }
      ::closedir(dir);
      if (!empty) continue;
      fileops::removeFolder(*folder);
      result = true;
    }
  }

  // Walk upwards from the root (or from where it was) while a folder holds no plain file,
  // never above the drive's root.
  std::string current = existsNative(*root) ? *root : fileops::parentOf(*root);
  while (current != *driveRoot && current != "/" && existsNative(current)) {
    bool hasFile = false;
    if (DIR* dir = ::opendir(current.c_str())) {
      while (dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.') continue;  // hidden names are not listed
        struct stat st {};
        if (::fstatat(::dirfd(dir), entry->d_name, &st, 0) == 0 && !S_ISDIR(st.st_mode)) {
          hasFile = true;
          break;
        }
      }
      ::closedir(dir);
    } else {
      break;
    }
    if (hasFile) break;
    const std::string up = fileops::parentOf(current);
    fileops::removeFolder(current);  // a folder that still holds subfolders stays
    result = true;
    current = up;
  }
  return result;
}

void Main::DLL_GetFile(const std::string& OpenFileName, ByteArray& FileBin) const {
  if (!DLL_FileCheck(OpenFileName)) return;
  const auto native = platform::nativePathOf(OpenFileName);
  fileops::InputFile file;
  if (FileResult r = file.open(*native); !r) raiseFor(r);
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.status().st_size));
  std::size_t got = 0;
  if (FileResult r = file.read(bytes.data(), bytes.size(), got); !r) raiseFor(r);
  bytes.resize(got);
  FileBin = ByteArray::fromList(std::move(bytes));
}

void Main::DLL_PutFile(const std::string& OpenFileName, ByteArray& FileBin) const {
  if (OpenFileName.empty()) return;
  const auto native = platform::nativePathOf(OpenFileName);
  if (!native) throw DllError(dllerr::kPathNotFound, "Path not found");
  const int fd = ::open(native->c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) raiseFor(FileResult(errno));
  const auto& bytes = FileBin.data();
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      const FileResult r(errno);
      ::close(fd);
      raiseFor(r);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) raiseFor(FileResult(errno));
}

void Main::DLL_FileSave(const std::string& OpenFileName, const std::string& FileText) const {
  if (OpenFileName.empty() || FileText.empty()) return;
  const auto native = platform::nativePathOf(OpenFileName);
  if (!native) throw DllError(dllerr::kPathNotFound, "Path not found");
  // The text goes to a temporary file beside the target, which then replaces the target in
  // one step: a full disk never leaves a cut-off file under the name.
  const std::string folder = fileops::parentOf(*native);
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    const std::string name = fileops::nameOf(*native);
    temp = joinNative(folder, "." + name.substr(0, std::min<std::size_t>(name.size(), 160)) +
                                  ".save-" + std::to_string(::getpid()) + "-" +
                                  std::to_string(attempt));
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) raiseFor(FileResult(errno));
  }
  if (fd < 0) raiseFor(FileResult(EEXIST));
  std::size_t done = 0;
  while (done < FileText.size()) {
    const ssize_t n = ::write(fd, FileText.data() + done, FileText.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      const FileResult r(errno);
      ::close(fd);
      ::unlink(temp.c_str());
      raiseFor(r);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0 && errno != EINVAL) {
    const FileResult r(errno);
    ::close(fd);
    ::unlink(temp.c_str());
    raiseFor(r);
  }
  ::close(fd);
  if (FileResult r = fileops::rename(temp, *native, Existing::Replace); !r) {
    ::unlink(temp.c_str());
    raiseFor(r);
  }
}

std::string Main::DLL_FileBinText(ByteArray& FileBin) const {
  static const char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(FileBin.data().size() * 2);
  for (std::uint8_t b : FileBin) {
    out += hex[b >> 4];
    out += hex[b & 15];
  }
  return out;
}

}  // namespace quillmere
