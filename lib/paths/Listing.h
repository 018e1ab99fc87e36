#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/Main.h"

namespace quillmere::paths {

// DLL_FileNameList that also names the folders below Root_Path it could not open or read to
// their end (path texts, sorted), when unreadableFolders is given. A run that deletes what the
// other side lacks keeps away from what it could not see.
bool listFiles(const std::string& Root_Path, StringArray& FileNameList, std::int32_t SubDir,
               std::vector<std::string>* unreadableFolders);

// What one status call (links followed) said of a listed file while its folder was open.
struct FileStatus {
  bool read = false;  // false: gone since the folder was read, or not a regular file any more
  mode_t mode = 0;
  std::int64_t size = 0;
  timespec lastWrite{};
  timespec lastAccess{};
};

struct ListedFile {
  std::string pathText;
  FileStatus status;
};

// The files DLL_FileNameList gives (subfolders: SubDir 1), in the same order, each with its
// status read as it was listed: one pass over the tree instead of a listing and a status call
// per path. Unreadable folders as for listFiles. False when no file was found.
bool listFilesWithStatus(const std::string& Root_Path, std::vector<ListedFile>& files,
                         bool subfolders, std::vector<std::string>* unreadableFolders);

}  // namespace quillmere::paths
