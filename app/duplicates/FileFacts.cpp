#include "duplicates/FileFacts.h"

#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::duplicates {

namespace fileops = platform::fileops;

FileFacts readFileFacts(const std::string& pathText) {
  return readFileFacts(pathText, platform::DriveMap::current());
}

FileFacts readFileFacts(const std::string& pathText, const platform::DriveMap& map) {
  FileFacts facts;
  const auto native = map.toNative(pathText);
  struct stat st {};
  if (!native || !fileops::status(*native, st, false)) return facts;
  facts.link = S_ISLNK(st.st_mode);
  if ((facts.link && !fileops::status(*native, st, true)) || !S_ISREG(st.st_mode)) return facts;
  facts.known = true;
  facts.native = *native;
  facts.size = static_cast<std::int64_t>(st.st_size);
  facts.device = static_cast<std::uint64_t>(st.st_dev);
  facts.inode = static_cast<std::uint64_t>(st.st_ino);
  return facts;
}

}  // namespace quillmere::duplicates
