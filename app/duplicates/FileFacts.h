#pragma once

#include <cstdint>
#include <string>

namespace quillmere::duplicates {

// What a run learns about a listed file once, at its start: its size and its identity on disk
// (followed through links, so a link and its target are one file).
struct FileFacts {
  bool known = false;  // false when the file could not be examined (gone, drive not ready)
  bool link = false;   // the listed path is a symbolic link; size and identity are its target's
  std::int64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  bool sameFileAs(const FileFacts& other) const {
    return known && other.known && device == other.device && inode == other.inode;
  }
};

// Facts of the file behind a path text ("E:\DCIM\IMG_0001.JPG").
FileFacts readFileFacts(const std::string& pathText);

}  // namespace quillmere::duplicates
