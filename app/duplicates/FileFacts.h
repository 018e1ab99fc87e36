#pragma once

#include <cstdint>
#include <string>

namespace quillmere::platform {
class DriveMap;
}

namespace quillmere::duplicates {

// What a run learns about a listed file once, at its start: its size and its identity on disk
// (followed through links, so a link and its target are one file).
struct FileFacts {
  bool known = false;  // false when the file could not be examined (gone, drive not ready)
  bool link = false;   // the listed path is a symbolic link; size and identity are its target's
  std::int64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::string native;  // the native path the path text named when the facts were read

  bool sameFileAs(const FileFacts& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};

// Facts of the file behind a path text ("E:\DCIM\IMG_0001.JPG").
FileFacts readFileFacts(const std::string& pathText);
// The same with a drive map the caller holds for a whole run (asking for the current map
// checks the mount table every time).
FileFacts readFileFacts(const std::string& pathText, const platform::DriveMap& map);

}  // namespace quillmere::duplicates
