#pragma once

// The one file-operation module of the library: every rename, copy, move, delete, trash, time and
// attribute change on the file system goes through here. All paths are native (from
// DriveMap::toNative). Every function answers with a FileResult instead of throwing; a failed
// copy or move never leaves a half-written file under the target name, and nothing reports
// success when nothing was done.

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

namespace quillmere::platform {

// The outcome of one operation: success, or the errno of the step that failed.
class FileResult {
 public:
  FileResult() = default;
  explicit FileResult(int error) : m_error(error) {}

  bool ok() const { return m_error == 0; }
  explicit operator bool() const { return m_error == 0; }
  int error() const { return m_error; }
  // The Windows error number for the errno (183 exists, 112 disk full, 2 not found, 5 denied...).
  std::int32_t windowsError() const;
  // The system's text for the errno ("" for success).
  std::string message() const;

 private:
  int m_error = 0;
};

// Called at least every 50 ms during a long copy or comparison. Answering false stops the
// operation: it then fails with ECANCELED and leaves no partial target behind.
using KeepGoing = std::function<bool()>;

// What happens when the target name of a rename, copy or move is taken.
enum class Existing {
  Fail,     // fail with EEXIST and leave both files alone
  Replace,  // replace the target file (never a folder); the swap is atomic where possible
};

struct CopyOptions {
  Existing existing = Existing::Fail;
  bool createFolders = false;  // create missing parent folders of the target first
  bool keepTimes = true;       // give the target the source's last-write and last-access time
  bool keepMode = true;        // give the target the source's permission bits (read-only too)
  KeepGoing progress;          // empty: the process-wide yield handler (see setYieldHandler)
  // Flush each copy to the medium before it is published. A move always does, since its source
  // goes next; a run that keeps every source may leave it off and call syncFileSystem once at
  // its end (a flush per file costs more than the copy of a small picture).
  bool flush = true;
};

// Windows attribute bits, as the path texts' callers use them.
namespace attr {
inline constexpr std::uint32_t kReadOnly = 1;
inline constexpr std::uint32_t kHidden = 2;
inline constexpr std::uint32_t kSystem = 4;
inline constexpr std::uint32_t kFolder = 16;
inline constexpr std::uint32_t kArchive = 32;
}  // namespace attr

// The three times of a file. Creation is the birth time where the file system reports one,
// otherwise the last-write time (hasBirthTime tells which).
struct FileTimes {
  timespec creation{};
  timespec lastWrite{};
  timespec lastAccess{};
  bool hasBirthTime = false;
};

namespace fileops {

// ---- renames and moves -------------------------------------------------------------------

// Folders opened once (O_PATH handles) for the renames of one run: a rename then names its
// files relative to them, so the kernel does not walk the whole path again for every file. A
// folder that cannot be opened is not kept; renames in it go by path.
class FolderHandles {
 public:
  FolderHandles() = default;
  ~FolderHandles();
  FolderHandles(const FolderHandles&) = delete;
  FolderHandles& operator=(const FolderHandles&) = delete;
  // The handle of the folder (a native path), or -1.
  int of(std::string_view folder);

 private:
  std::unordered_map<std::string, int> m_handles;
  // The folder asked for last: files of one folder usually follow each other.
  std::string m_lastFolder;
  int m_lastFd = -1;
};

// Renames a file or folder. With Existing::Fail a taken target fails with EEXIST on every file
// system (renameat2 RENAME_NOREPLACE, else link+unlink, else check-then-rename). A rename that
// changes only the case of the name goes through a unique temporary name, so it works on
// case-insensitive file systems too, and is rolled back when the second step fails. With
// folders, a rename that does not replace names its files relative to their folders' handles.
FileResult rename(const std::string& from, const std::string& to,
                  Existing existing = Existing::Fail, FolderHandles* folders = nullptr);

// Moves a file or folder tree: a rename on one file system; across file systems a safe copy,
// a size check, then removal of the source (the source stays when any step fails).
FileResult move(const std::string& from, const std::string& to, const CopyOptions& options = {});

// ---- copies ------------------------------------------------------------------------------

// Copies one regular file. The bytes go to a temporary file in the target folder, which gets
// the mode and times and is flushed, then published under the target name (without replacing
// unless options.existing says so). On any failure the temporary file is removed and an
// existing target is left as it was. Copying a file onto itself fails with EINVAL.
FileResult copyFile(const std::string& from, const std::string& to,
                    const CopyOptions& options = {});

// Replaces a file's contents as one step: the bytes go to a temporary file beside it, which
// gets the owner, group and mode of the file it replaces (newMode for a new file), is flushed
// and renamed over it; the folder is flushed too. A symbolic link is followed: its target is
// replaced and the link stays. On failure the temporary file is removed and the old file is
// left as it was. Goes through the fault seam (Create, SetMode, Write, Sync, Rename, each with
// the target's path).
FileResult writeFileAtomically(const std::string& path, std::string_view bytes, mode_t newMode);

// Writes everything cached for the file system that holds the path to its medium.
FileResult syncFileSystem(const std::string& path);

// Copies a folder tree (files with copyFile, folders created as needed; symbolic links are
// copied as links). Stops at the first failure.
FileResult copyTree(const std::string& from, const std::string& to,
                    const CopyOptions& options = {});

// ---- deletion and trash --------------------------------------------------------------------

// Removes one file (or symbolic link). ENOENT when it is not there.
FileResult removeFile(const std::string& path);
// Removes an empty folder (ENOTEMPTY otherwise).
FileResult removeFolder(const std::string& path);
// Removes a file or a whole folder tree without following links or crossing file systems.
FileResult removeTree(const std::string& path);

// Moves a file or folder to the freedesktop.org trash: the home trash when it lies on the same
// file system, else the volume's own trash ($topdir/.Trash/$uid or $topdir/.Trash-$uid). Trash
// folders are created when missing. EXDEV when no trash can be made on the item's file system
// (the item then stays where it is).
FileResult moveToTrash(const std::string& path);

// Empties the trash folders: all of them (home and every mounted volume's) when volumeRoot is
// empty, else those on the file system of volumeRoot. Only trash folders owned by the user,
// never through links, never crossing into other file systems.
FileResult emptyTrash(const std::string& volumeRoot = {});

// ---- folders -------------------------------------------------------------------------------

// Creates a folder and its missing parents; succeeds when it already exists as a folder.
FileResult makeFolders(const std::string& path);

// A fresh hidden name in a folder (native) for a file about to be made there:
// ".<name>.<tag>-<random>". Nothing is created; callers still create without replacing.
std::string temporaryName(const std::string& folder, const std::string& name, const char* tag);
// Whether a file name (without its folder) is one that temporaryName gives for name and tag.
bool isTemporaryName(std::string_view fileName, const std::string& name, const char* tag);

// Checks that a folder can be written: creates a file with a fresh unique name inside it
// (O_CREAT|O_EXCL) and removes that file again. No existing file is ever opened.
FileResult probeWritable(const std::string& folder);

// Compares two files byte for byte in large blocks (a whole picture in one read per side).
// equal is set only on success.
FileResult compareContents(const std::string& a, const std::string& b, bool& equal,
                           const KeepGoing& progress = {});

// What sameContents found: two different regular files of one size whose bytes agree, and
// for each whether its last-access time stayed as it was (false where the system moves it on
// reading, a file of another user).
struct ContentMatch {
  FileResult result;
  bool equal = false;
  bool firstAccessKept = true;
  bool secondAccessKept = true;
};
// Opens both files once and checks on the open files that they are two distinct regular files
// (not two names of one) of equal size before comparing their bytes. Safe on any thread when
// progress is given (an empty one never yields).
ContentMatch sameContents(
    const std::string& a, const std::string& b, const KeepGoing& progress = [] { return true; });

// ---- status, times, attributes -------------------------------------------------------------

// lstat/stat through the fault seam.
FileResult status(const std::string& path, struct stat& st, bool followLinks = true);
// The folder part of a native path ("." when it has none, "/" for a file at the root) and its
// last component.
std::string parentOf(const std::string& path);
std::string nameOf(const std::string& path);
// Whether path is a folder (a link to one counts unless followLinks is false).
bool isFolder(const std::string& path, bool followLinks = true);
// Whether a native path is root or lies below it, by whole names ("/a/b" does not hold "/a/bc").
bool isBelow(const std::string& path, const std::string& root);
// Checks that a file operation on path passes through no symbolic link inside the tree at root:
// each folder between root and path (root itself and path's last component excluded) is looked
// at without following links. ELOOP when one is a link, ENOTDIR when one is no folder, EINVAL
// when path does not lie below root. Folders that do not exist yet pass: they would be made as
// real folders. A run calls this before every copy, move, delete or folder creation in its tree.
FileResult checkNoFolderLink(const std::string& root, const std::string& path);

// checkNoFolderLink for the files of one run, below the run's folders (native roots): a folder
// found free of links stays so for the run (the run itself makes no links), so each folder is
// looked at once.
class LinkFreeFolders {
 public:
  void setRoots(std::vector<std::string> nativeRoots);
  // The check of path against each root it lies below (a root is a whole folder: "/a/b" does not
  // hold "/a/bc/x"): ELOOP when the way from one passes through a folder link, another error
  // when the way cannot be looked at; ok below no root at all.
  FileResult check(const std::string& path);

 private:
  std::vector<std::string> m_roots;
  std::unordered_set<std::string> m_free;  // folders found free of links
};
// True when both paths name the same file (device and inode, links followed).
bool sameFile(const std::string& a, const std::string& b);

FileResult readTimes(const std::string& path, FileTimes& times);
// Sets last write and last access to the nanosecond where the file system can; nullopt leaves
// that time as it is. The creation time cannot be set on Linux and is left alone.
FileResult setTimes(const std::string& path, const std::optional<timespec>& lastWrite,
                    const std::optional<timespec>& lastAccess);

// Windows attribute bits of a file or folder: read-only (owner write bit clear, or the FAT bit),
// hidden (a leading dot, or the FAT/stored bit), archive (FAT/stored bit), folder.
FileResult readAttributes(const std::string& path, std::uint32_t& attributes);
// Sets or clears one of kReadOnly, kHidden, kArchive. Read-only changes the owner write bit (and
// the FAT bit on FAT media); hidden and archive use the FAT bits on FAT media and the
// user.DOSATTRIB extended attribute elsewhere (a file is never renamed to hide it). The change
// is checked afterwards: a file system that ignores it gives EPERM.
FileResult setAttribute(const std::string& path, std::uint32_t bit, bool on);

// ---- reading -------------------------------------------------------------------------------

// A file opened for reading through the fault seam; closed by the destructor. Reading leaves
// the last-access time as it was where the system allows it (the user's own files).
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  FileResult open(const std::string& path);
  // Reads up to size bytes, retrying short reads and EINTR; got < size only at the end.
  FileResult read(void* buffer, std::size_t size, std::size_t& got);
  // The open file's status (asked of the system on first use; zeroed when that fails).
  const struct stat& status() const;
  // The open file's times, as readTimes gives them for its path, and when asked the size of a
  // regular file (nothing for another kind) from the same statx on the open file.
  FileResult readTimes(FileTimes& times, std::optional<std::uint64_t>* regularSize = nullptr) const;
  int fd() const { return m_fd; }
  // False when the system refused to open the file without moving its last-access time.
  bool keepsAccessTime() const { return m_keepsAccessTime; }

 private:
  int m_fd = -1;
  bool m_keepsAccessTime = true;
  std::string m_path;
  mutable struct stat m_status {};
  mutable bool m_haveStatus = false;
};

// ---- wildcards -----------------------------------------------------------------------------

// True when the text holds "*" or "?".
bool hasWildcard(std::string_view text);
// Windows-style name match: "*" any run, "?" one character, ASCII case ignored, "*.*" all.
bool matchWildcard(std::string_view pattern, std::string_view name);
// The native paths matching a pattern in its last component ("/a/b/*.JPG"), sorted; "." and
// ".." never match, and names beginning with "." only when the pattern does too.
std::vector<std::string> expandWildcard(const std::string& nativePattern);

// ---- yielding ------------------------------------------------------------------------------

// The process-wide yield handler that long operations call when no KeepGoing is given (the
// program installs one that lets the event loop run). Empty: no yielding.
void setYieldHandler(std::function<void()> handler);

// Installs a yield handler for the lifetime of the object (an engine run), restoring the
// previous one afterwards.
class ScopedYieldHandler {
 public:
  explicit ScopedYieldHandler(std::function<void()> handler);
  ~ScopedYieldHandler();
  ScopedYieldHandler(const ScopedYieldHandler&) = delete;
  ScopedYieldHandler& operator=(const ScopedYieldHandler&) = delete;

 private:
  std::function<void()> m_previous;
};

// ---- fault injection (tests) ---------------------------------------------------------------

// The system calls the seam can fail.
enum class Call {
  Open,
  Read,
  Write,
  Create,
  Rename,
  Link,
  Unlink,
  Mkdir,
  Rmdir,
  Stat,
  SetTimes,
  SetMode,
  Sync,
  RenameNoReplace,  // the renameat2 step of a no-replace rename (EINVAL: take the fallbacks)
};

// Consulted before each system call of this module with the call and the path it concerns;
// answering a non-zero errno makes the call fail with it (answering 0 lets it run). The hook
// may also act on the file system itself, e.g. remove a file to simulate one that vanishes.
using FaultHook = std::function<int(Call call, const std::string& path)>;
void setFaultHook(FaultHook hook);

// Installs a fault hook for the lifetime of the object.
class ScopedFault {
 public:
  explicit ScopedFault(FaultHook hook) { setFaultHook(std::move(hook)); }
  ~ScopedFault() { setFaultHook({}); }
  ScopedFault(const ScopedFault&) = delete;
  ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace fileops
}  // namespace quillmere::platform
