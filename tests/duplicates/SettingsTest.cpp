// The "WFileDel" and "FileBack" keys through the settings file: the load-time write-back, and the
// different fall-backs of the settings frame and of the run.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/Main.h"
#include "duplicates/DuplicateSettings.h"
#include "support/TempTree.h"

namespace quillmere::duplicates {
namespace {

class DuplicateSettingsTest : public ::testing::Test {
 protected:
  std::string ini() const { return tree.pathText("quillmere.ini"); }
  void put(const std::string& section, const std::string& key, const std::string& value) {
    dll().DLL_WriteStringINI(ini(), section, key, value);
  }
  std::string get(const std::string& section, const std::string& key) {
    return dll().DLL_GetStringFromINI(ini(), section, key, "<missing>");
  }
  // The key names of the file in their order.
  std::vector<std::string> keysInFile() const {
    std::vector<std::string> keys;
    std::istringstream in(tree.read("quillmere.ini"));
    for (std::string line; std::getline(in, line);)
      if (auto eq = line.find('='); eq != std::string::npos) keys.push_back(line.substr(0, eq));
    return keys;
  }
  test::TempTree tree;
};

TEST_F(DuplicateSettingsTest, PanelLoadWritesEveryOptionKeyInItsOrder) {
  normaliseDeleteSettings(ini());
  EXPECT_EQ(keysInFile(), (std::vector<std::string>{"WFileDel-OutFileDel", "WFileDel-RDFileDel",
                                                    "WFileDel-InSubDir", "WFileDel-OutSubDir",
                                                    "WFileDel-InDelDir", "WFileDel-OutDelDir",
                                                    "WFileDel-ShutDown"}));
  EXPECT_EQ(get("WFileDel", "WFileDel-OutFileDel"), "0");
  EXPECT_EQ(get("WFileDel", "WFileDel-InSubDir"), "1");
  EXPECT_EQ(get("WFileDel", "WFileDel-WinShutDown"), "<missing>");

  normaliseFileBackSettings(ini());
  const auto keys = keysInFile();
  const std::vector<std::string> fileBack(keys.begin() + 7, keys.end());
  EXPECT_EQ(fileBack, (std::vector<std::string>{
                          "FileBack-OutFileDel", "FileBack-RDFileDel", "FileBack-kakuchou",
                          "FileBack-InSubDir", "FileBack-InDelDir", "FileBack-OutSubDir",
                          "FileBack-MoveSubDir", "FileBack-OutDelFile", "FileBack-SubDirName",
                          "FileBack-ShutDown", "FileBack-WinShutDown"}));
  EXPECT_EQ(get("FileBack", "FileBack-kakuchou"), "0");
  EXPECT_EQ(get("FileBack", "FileBack-SubDirName"), "Used");
  EXPECT_EQ(get("FileBack", "FileBack-OutDelFile"), "1");
}

TEST_F(DuplicateSettingsTest, PanelLoadKeepsStoredValuesInCheckBoxForm) {
  put("WFileDel", "WFileDel-InSubDir", "0");
  put("WFileDel", "WFileDel-OutFileDel", "True");
  put("WFileDel", "WFileDel-OutDelDir", "1.0");
  put("WFileDel", "WFileDel-InDelDir", "garbled");
  put("FileBack", "FileBack-SubDirName", "Done");
  normaliseDeleteSettings(ini());
  normaliseFileBackSettings(ini());
  EXPECT_EQ(get("WFileDel", "WFileDel-InSubDir"), "0");
  EXPECT_EQ(get("WFileDel", "WFileDel-OutFileDel"), "1");
  EXPECT_EQ(get("WFileDel", "WFileDel-OutDelDir"), "1");
  EXPECT_EQ(get("WFileDel", "WFileDel-InDelDir"), "0");  // no number reads as 0
  EXPECT_EQ(get("FileBack", "FileBack-SubDirName"), "Done");
}

TEST_F(DuplicateSettingsTest, MissingKeysGiveTheRunAndTheFrameTheirOwnFallBacks) {
  const DeleteRunOptions run = readDeleteRunOptions(ini());
  EXPECT_TRUE(run.recycleOnFixedDrive);
  EXPECT_TRUE(run.confirmOnRemovable);
  EXPECT_FALSE(run.comparisonSubDirs || run.deletionSubDirs || run.removeEmptyComparisonDirs ||
               run.removeEmptyDeletionDirs);
  EXPECT_EQ(run.comparisonDir, "");  // never the program drive: an unset side lists nothing
  EXPECT_EQ(run.deletionDir, "");

  const DeleteFrameOptions frame = readDeleteFrameOptions(ini());
  EXPECT_TRUE(frame.outFileDel && frame.rdFileDel);
  EXPECT_FALSE(frame.inSubDir || frame.outSubDir || frame.inDelDir || frame.outDelDir ||
               frame.shutDown || frame.winShutDown);

  const FileBackRunOptions back = readFileBackRunOptions(ini());
  EXPECT_TRUE(back.withExtension && back.moveIntoSubDir && back.recycleOnFixedDrive &&
              back.confirmOnRemovable);
  EXPECT_FALSE(back.deleteNamesake || back.sourceSubDirs || back.destSubDirs ||
               back.removeEmptySourceDirs);
  EXPECT_EQ(back.subDirName, "Used");

  const FileBackFrameOptions backFrame = readFileBackFrameOptions(ini());
  EXPECT_TRUE(backFrame.outFileDel && backFrame.rdFileDel && backFrame.kakuchou &&
              backFrame.moveSubDir);
  EXPECT_FALSE(backFrame.inSubDir || backFrame.inDelDir || backFrame.outSubDir ||
               backFrame.outDelFile || backFrame.shutDown || backFrame.winShutDown);
  EXPECT_EQ(backFrame.subDirName, "Used");
}

TEST_F(DuplicateSettingsTest, AfterPanelLoadTheRunSeesTheTableDefaults) {
  normaliseFileBackSettings(ini());
  const FileBackRunOptions back = readFileBackRunOptions(ini());
  EXPECT_FALSE(back.withExtension);  // the table says "0" where a missing key reads as 1
  EXPECT_TRUE(back.deleteNamesake && back.sourceSubDirs && back.destSubDirs &&
              back.removeEmptySourceDirs && back.moveIntoSubDir);

  normaliseDeleteSettings(ini());
  const DeleteRunOptions run = readDeleteRunOptions(ini());
  EXPECT_FALSE(run.recycleOnFixedDrive || run.confirmOnRemovable);
  EXPECT_TRUE(run.comparisonSubDirs && run.deletionSubDirs && run.removeEmptyComparisonDirs &&
              run.removeEmptyDeletionDirs);
}

TEST_F(DuplicateSettingsTest, GarbledValuesHaveADefinedMeaning) {
  put("WFileDel", "WFileDel-OutFileDel", "yes please");  // no Boolean: the run's fall-back
  put("WFileDel", "WFileDel-InSubDir", "2");             // only exactly 1 includes subfolders
  put("WFileDel", "WFileDel-InDir", "  C:\\pics  ");
  const DeleteRunOptions run = readDeleteRunOptions(ini());
  EXPECT_TRUE(run.recycleOnFixedDrive);
  EXPECT_FALSE(run.comparisonSubDirs);
  EXPECT_EQ(run.comparisonDir, "C:\\pics");

  for (const char* bad : {"", "   ", ".", "..", "a\\b", "..\\..\\x", "a/b"}) {
    put("FileBack", "FileBack-SubDirName", bad);
    EXPECT_EQ(readFileBackRunOptions(ini()).subDirName, "Used") << bad;
  }
  put("FileBack", "FileBack-SubDirName", " 済み ");
  EXPECT_EQ(readFileBackRunOptions(ini()).subDirName, "済み");
}

}  // namespace
}  // namespace quillmere::duplicates
