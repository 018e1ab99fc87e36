#pragma once

#include <string>
#include <string_view>

#include "settings/KeyTable.h"

namespace quillmere::duplicates {

inline constexpr std::string_view kDeleteSection = "WFileDel";
inline constexpr std::string_view kFileBackSection = "FileBack";
inline constexpr std::string_view kDefaultSubDirName = "Used";

// Options of the duplicate delete as the run reads them (missing or garbled keys give the run's
// fall-backs). A folder key that is missing or empty stays empty: the run then lists nothing.
struct DeleteRunOptions {
  std::string comparisonDir;  // "WFileDel-InDir": the originals, never deleted from
  std::string deletionDir;    // "WFileDel-OutDir": duplicates of the originals are deleted here
  bool comparisonSubDirs = false;          // "WFileDel-InSubDir" is 1
  bool deletionSubDirs = false;            // "WFileDel-OutSubDir" is 1
  bool removeEmptyComparisonDirs = false;  // "WFileDel-InDelDir" is 1
  bool removeEmptyDeletionDirs = false;    // "WFileDel-OutDelDir" is 1
  bool recycleOnFixedDrive = true;         // "WFileDel-OutFileDel" as a Boolean
  bool confirmOnRemovable = true;          // "WFileDel-RDFileDel" as a Boolean
};

// Options of the file back as the run reads them.
struct FileBackRunOptions {
  std::string sourceDir;               // "FileBack-InDir": files to move back
  std::string destDir;                 // "FileBack-OutDir": the tree that holds their namesakes
  bool sourceSubDirs = false;          // "FileBack-InSubDir" is 1
  bool destSubDirs = false;            // "FileBack-OutSubDir" is 1
  bool removeEmptySourceDirs = false;  // "FileBack-InDelDir" is 1
  bool deleteNamesake = false;         // "FileBack-OutDelFile" is 1
  bool moveIntoSubDir = true;          // "FileBack-MoveSubDir" is not 0
  bool withExtension = true;           // "FileBack-kakuchou": 1 with extension, 0 without
  std::string subDirName{kDefaultSubDirName};  // "FileBack-SubDirName"
  bool recycleOnFixedDrive = true;             // "FileBack-OutFileDel" as a Boolean
  bool confirmOnRemovable = true;              // "FileBack-RDFileDel" as a Boolean
};

// The keys of each section with their forms, panel-load defaults and meanings.
const settings::KeyTable& deleteKeyTable();
const settings::KeyTable& fileBackKeyTable();

DeleteRunOptions readDeleteRunOptions(const std::string& iniPath);
FileBackRunOptions readFileBackRunOptions(const std::string& iniPath);

// The check boxes of a panel's settings frame, read with the frame's fall-backs for missing keys.
struct DeleteFrameOptions {
  bool inSubDir, outSubDir, inDelDir, outDelDir, outFileDel, rdFileDel, shutDown, winShutDown;
};
struct FileBackFrameOptions {
  bool inSubDir, inDelDir, outSubDir, outDelFile, moveSubDir, kakuchou, outFileDel, rdFileDel,
      shutDown, winShutDown;
  std::string subDirName;
};
DeleteFrameOptions readDeleteFrameOptions(const std::string& iniPath);
FileBackFrameOptions readFileBackFrameOptions(const std::string& iniPath);

// Panel load: every option key is read with its default and written straight back, in the
// panel's order, so that each one stands in the file afterwards, in its check-box form ("1" or
// "0", as the run would understand the stored text) or, for the subfolder name, as it stands.
void normaliseDeleteSettings(const std::string& iniPath);
void normaliseFileBackSettings(const std::string& iniPath);

// A subfolder name the file back can use: the stored text without surrounding blanks; the
// default "Used" for an empty text or one that would leave the namesake's folder ("\", "/",
// "." or "..").
std::string usableSubDirName(std::string_view stored);

}  // namespace quillmere::duplicates
