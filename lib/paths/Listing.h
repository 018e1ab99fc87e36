#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Main.h"

namespace quillmere::paths {

// DLL_FileNameList that also names the folders below Root_Path it could not open or read to
// their end (path texts, sorted), when unreadableFolders is given. A run that deletes what the
// other side lacks keeps away from what it could not see.
bool listFiles(const std::string& Root_Path, StringArray& FileNameList, std::int32_t SubDir,
               std::vector<std::string>* unreadableFolders);

}  // namespace quillmere::paths
