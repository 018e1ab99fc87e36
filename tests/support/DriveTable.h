#pragma once

#include <string>
#include <vector>

#include "support/TempTree.h"

namespace quillmere::test {

// Points QUILLMERE_DRIVES at a drive table for the life of the object and clears it afterwards.
// The table file lives in a temporary folder of its own, so it never shows in a test's tree.
class DriveTable {
 public:
  struct Drive {
    char letter;
    std::string nativeFolder;
    int type;  // 2 removable, 3 fixed, 5 CD-ROM
    std::string label = {};
  };

  DriveTable() = default;
  explicit DriveTable(const std::vector<Drive>& drives) { set(drives); }
  ~DriveTable();
  DriveTable(const DriveTable&) = delete;
  DriveTable& operator=(const DriveTable&) = delete;

  // Writes the table (again: the drive map reads a changed table again) and points at it.
  void set(const std::vector<Drive>& drives);
  // Points at a table file that does not exist.
  void setMissing();
  // No table: the drives come from the mounts again.
  void clear();

 private:
  TempTree m_folder;
};

}  // namespace quillmere::test
