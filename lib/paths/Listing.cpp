// Folder listings: the files and subfolders below a path text, in ordinal order.
//
// A folder is walked breadth-first with one open/read per folder and the result is sorted once
// (O(n log n)), which gives the same list as listing every folder and exchange-sorting the
// whole. Names are bytes as the file system has them, so names that are not UTF-8 survive.
// Hidden entries (a leading ".", or the FAT hidden or system bit) are never listed, names holding
// "\" cannot be written as path texts and are passed over, links to folders are not descended
// into, and a folder that cannot be read is passed over (listFilesNoting names it).
#include "paths/Listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>
#include <functional>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

constexpr std::uint32_t kFatHiddenOrSystem = ATTR_HIDDEN | ATTR_SYS;

class Fd {
 public:
  explicit Fd(int fd = -1) : m_fd(fd) {}
  ~Fd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return m_fd; }
  int release() { return std::exchange(m_fd, -1); }

 private:
  int m_fd;
};

bool listable(const char* name) {
  if (name[0] == '.') return false;  // hidden, and "." and ".."
  for (const char* p = name; *p != '\0'; ++p)
    if (*p == '\\') return false;
  return true;
}

bool fatHidden(int dirFd, const char* name) {
  Fd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return false;
  std::uint32_t attributes = 0;
  if (::ioctl(fd.get(), FAT_IOCTL_GET_ATTRIBUTES, &attributes) != 0) return false;
  return (attributes & kFatHiddenOrSystem) != 0;
}

struct FolderContents {
  std::vector<std::string> files;
  std::vector<std::string> folders;
  std::vector<paths::FileStatus> statuses;  // one per file, when asked for
};

// What a status call (links followed) says of a file in an open folder.
paths::FileStatus statusIn(int dirFd, const char* name) {
  paths::FileStatus status;
  struct stat st {};
  if (::fstatat(dirFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode)) return status;
  status.read = true;
  status.mode = st.st_mode;
  status.size = st.st_size;
  status.lastWrite = st.st_mtim;
  status.lastAccess = st.st_atim;
  return status;
}

// Reads one open folder. Consumes the descriptor. False when the folder could not be read
// to its end. With wantStatus, each file is looked at while its folder is open.
bool readFolder(int dirFd, bool wantFiles, bool wantStatus, FolderContents& out) {
  struct statfs fs {};
  const bool fat = ::fstatfs(dirFd, &fs) == 0 && fs.f_type == MSDOS_SUPER_MAGIC;
  DIR* dir = ::fdopendir(dirFd);
  if (dir == nullptr) {
    ::close(dirFd);
    return false;
  }
  bool complete = true;
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(dir);
    if (e == nullptr) {
      complete = errno == 0;
      break;
    }
    if (!listable(e->d_name)) continue;
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN || type == DT_LNK) {
      struct stat st {};
      if (::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      if (S_ISLNK(st.st_mode)) {
        // A link counts as the file it points to; a link to a folder is neither listed nor
        // descended into, and a dangling link is nothing.
        if (!wantFiles || ::fstatat(dirFd, e->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode))
          continue;
        type = DT_REG;
      } else {
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
      }
    }
    if (type == DT_DIR) {
      if (!fat || !fatHidden(dirFd, e->d_name)) out.folders.emplace_back(e->d_name);
    } else if (type == DT_REG && wantFiles) {
      if (fat && fatHidden(dirFd, e->d_name)) continue;
      out.files.emplace_back(e->d_name);
      if (wantStatus) out.statuses.push_back(statusIn(dirFd, e->d_name));
    }
  }
  ::closedir(dir);
  return complete;
}

// The folder tree below a native root, breadth-first. For each folder that can be read, visit
// gets its path relative to the root as a path text ("" for the root, "a\b") and its contents.
// Returns false when the root itself cannot be opened. The relative path texts of folders that
// could not be opened or read to their end go to unreadable, when given.
bool walk(const std::string& nativeRoot, bool subfolders, bool wantFiles,
          const std::function<void(const std::string&, FolderContents&)>& visit,
          std::vector<std::string>* unreadable = nullptr, bool wantStatus = false) {
  Fd root(::open(nativeRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (root.get() < 0) return false;
  std::set<std::pair<dev_t, ino_t>> seen;  // bind mounts can make a tree contain itself

  struct Pending {
    std::string text;    // "a\b"
    std::string native;  // "a/b"
  };
  std::deque<Pending> queue;
  queue.push_back({});
  bool first = true;
  while (!queue.empty()) {
    Pending current = std::move(queue.front());
    queue.pop_front();
    int fd = first ? ::dup(root.get())
                   : ::openat(root.get(), current.native.c_str(),
                              O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    first = false;
    if (fd < 0) {  // unreadable or gone: passed over
      if (unreadable) unreadable->push_back(current.text);
      continue;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !seen.emplace(st.st_dev, st.st_ino).second) {
      ::close(fd);
      continue;
    }
    FolderContents contents;
    if (!readFolder(fd, wantFiles, wantStatus, contents) && unreadable)
      unreadable->push_back(current.text);
    if (subfolders) {
      for (const std::string& name : contents.folders) {
        Pending child;
        child.text = current.text.empty() ? name : current.text + '\\' + name;
        child.native = current.native.empty() ? name : current.native + '/' + name;
        queue.push_back(std::move(child));
      }
    }
    visit(current.text, contents);
  }
  return true;
}

std::optional<std::string> nativeFolder(const std::string& pathText) {
  return platform::nativePathOf(pathText);
}

}  // namespace

bool Main::DLL_FileNameList(const std::string& Root_Path, StringArray& FileNameList,
                            std::int32_t SubDir) const {
  return paths::listFiles(Root_Path, FileNameList, SubDir, nullptr);
}

namespace {

// The unreadable folders of a walk as sorted path texts below Root_Path.
void noteUnreadable(const std::string& Root_Path, std::vector<std::string>& relatives,
                    std::vector<std::string>* unreadableFolders) {
  if (!unreadableFolders) return;
  std::sort(relatives.begin(), relatives.end());
  for (const std::string& relative : relatives)
    unreadableFolders->push_back(dll().DLL_PathAdd(Root_Path, relative));
}

// Walks the files below Root_Path; onFile gets each file's path text and, with wantStatus, what
// a status call said of it. False when the root maps to no folder.
template <typename OnFile>
bool walkFiles(const std::string& Root_Path, bool subfolders, bool wantStatus,
               std::vector<std::string>* unreadableFolders, OnFile onFile) {
  const auto native = nativeFolder(Root_Path);
  if (!native) return false;
  std::vector<std::string> unreadable;
  const paths::FileStatus none;
  walk(
      *native, subfolders, true,
      [&](const std::string& relative, FolderContents& contents) {
        if (contents.files.empty()) return;
        const std::string prefix = dll().DLL_PathAdd(Root_Path, relative) + '\\';
        for (std::size_t i = 0; i < contents.files.size(); ++i)
          onFile(prefix + contents.files[i], wantStatus ? contents.statuses[i] : none);
      },
      &unreadable, wantStatus);
  noteUnreadable(Root_Path, unreadable, unreadableFolders);
  return true;
}

}  // namespace

bool paths::listFiles(const std::string& Root_Path, StringArray& FileNameList, std::int32_t SubDir,
                      std::vector<std::string>* unreadableFolders) {
  std::vector<std::string> found;
  walkFiles(
      Root_Path, SubDir == 1, false, unreadableFolders,
      [&](std::string&& pathText, const FileStatus&) { found.push_back(std::move(pathText)); });
  if (found.empty()) return false;

  // Append, then sort the whole list by bytes (the code-point order of UTF-8 text).
  std::vector<std::string> all;
  if (FileNameList.dims() == 1) all = std::move(FileNameList.data());
  if (FileNameList.dims() == 2) FileNameList.append({});  // raises "subscript out of range"
  const std::int32_t lower = FileNameList.dims() == 1 ? FileNameList.lbound() : 1;
  all.reserve(all.size() + found.size());
  std::move(found.begin(), found.end(), std::back_inserter(all));
  std::sort(all.begin(), all.end());
  FileNameList.redim(lower, lower + static_cast<std::int32_t>(all.size()) - 1);
  FileNameList.data() = std::move(all);
  return true;
}

bool paths::listFilesWithStatus(const std::string& Root_Path, std::vector<ListedFile>& files,
                                bool subfolders, std::vector<std::string>* unreadableFolders) {
  files.clear();
  walkFiles(Root_Path, subfolders, true, unreadableFolders,
            [&](std::string&& pathText, const FileStatus& status) {
              files.push_back({std::move(pathText), status});
            });
  std::sort(files.begin(), files.end(),
            [](const ListedFile& a, const ListedFile& b) { return a.pathText < b.pathText; });
  return !files.empty();
}

void Main::DLL_SubDirList(const std::string& Root_Path, StringArray& DirList) const {
  std::vector<std::string> folders;
  folders.emplace_back();  // the root itself
  if (const auto native = nativeFolder(Root_Path)) {
    // Folders are taken from their parent's listing, so a folder that cannot be read is
    // still listed (with nothing below it).
    walk(*native, true, false, [&](const std::string& relative, FolderContents& contents) {
      for (const std::string& name : contents.folders)
        folders.push_back(relative.empty() ? name : relative + '\\' + name);
    });
  }
  std::sort(folders.begin() + 1, folders.end());
  DirList = StringArray::fromList(std::move(folders));
}

bool Main::DLL_FileSerch(const std::string& Root_Path, std::string& SerchFileName,
                         bool SubDir) const {
  SerchFileName = DLL_EnDel(SerchFileName);
  const auto native = nativeFolder(Root_Path);
  if (!native) return false;

  // The first match in a folder: of names that differ only in case, the lowest by bytes.
  const auto matchIn = [&](const std::string& relative) -> bool {
    std::string match;
    const std::string folder = relative.empty() ? *native : *native + '/' + [&] {
      std::string n = relative;
      std::replace(n.begin(), n.end(), '\\', '/');
      return n;
    }();
    walk(folder, false, true, [&](const std::string&, FolderContents& contents) {
      for (const std::string& name : contents.files)
        if (text::equalsNoCase(name, SerchFileName) && (match.empty() || name < match))
          match = name;
    });
    if (match.empty()) return false;
    SerchFileName = DLL_PathAdd(Root_Path, relative) + '\\' + match;
    return true;
  };

  if (matchIn("")) return true;
  if (!SubDir) return false;
  StringArray folders;
  DLL_SubDirList(Root_Path, folders);
  for (std::int32_t i = folders.lbound() + 1; i <= folders.ubound(); ++i)
    if (matchIn(folders(i))) return true;
  return false;
}

std::string Main::DLL_SubDirSerch(const std::string& Root_Path,
                                  const std::string& SerchDirName) const {
  StringArray folders;
  DLL_SubDirList(Root_Path, folders);
  for (const std::string& entry : folders)
    if (DLL_DirName(entry, 0) == SerchDirName) return entry;
  return {};
}

}  // namespace quillmere
