#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Fakes.h"
#include "support/RecordingRunView.h"
#include "support/TempTree.h"

namespace quillmere::duplicates::test_support {

// Relative paths of the files of the home trash (the test's private home).
std::vector<std::string> trashedNames();

// Makes a drive letter out of a folder for the life of the object (QUILLMERE_DRIVES table).
class DriveTable {
 public:
  DriveTable(char letter, const std::string& nativeFolder, int driveType);
  ~DriveTable();

 private:
  quillmere::test::TempTree m_tableDir;
};

}  // namespace quillmere::duplicates::test_support
