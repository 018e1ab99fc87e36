#pragma once

#include <string>

#include "settings/KeyTable.h"

namespace quillmere::backup {

inline constexpr const char* kSection = "BackUP";

// The keys of section "BackUP".
namespace key {
inline constexpr const char* kInDir = "BackUP-InDir";
inline constexpr const char* kOutDir = "BackUP-OutDir";
inline constexpr const char* kInDir0 = "BackUP-InDir0";
inline constexpr const char* kOutDir0 = "BackUP-OutDir0";
inline constexpr const char* kTime = "BackUP-Time";
inline constexpr const char* kDir = "BackUP-Dir";
inline constexpr const char* kFileName = "BackUP-FileName";
inline constexpr const char* kFileNameText = "BackUP-FileNameText";
inline constexpr const char* kExe = "BackUP-Exe";
inline constexpr const char* kSubDir = "BackUP-SubDir";
inline constexpr const char* kShutDown = "BackUP-ShutDown";
inline constexpr const char* kWinShutDown = "BackUP-WinShutDown";
}  // namespace key

// The keys of the section with their forms, defaults and meanings.
const settings::KeyTable& keyTable();

// The given name a run stores when none is stored.
inline constexpr const char* kDefaultFileName = "FileName";

// How the archive is named: one of the three option buttons of the group.
enum class NameBy { Time, Dir, FileName };

// The options a backup run works with, read once before it starts (BackupSettings::runOptions).
struct BackupOptions {
  std::string inDir;
  std::string outDir;
  bool inDirChosen = false;
  NameBy nameBy = NameBy::Time;
  std::string fileNameText;
  bool exe = true;
  bool subDir = true;
};

// ".exe" for a self-extracting program, ".lzh" for an archive.
std::string archiveExtension(bool exe);

// The backup options as the settings file holds them, read and written through Main. The panel
// and the runner drive the same object; it knows no widget. The getters hold the defaults.
class BackupSettings {
 public:
  BackupSettings(std::string iniPath, std::string programDrive);

  std::string inDir() const;         // default: the program drive
  std::string outDir() const;        // default: the program drive
  bool inDirChosen() const;          // the key is present (a run never backs up a default)
  NameBy nameBy() const;             // Time unless Dir or FileName is "True"
  std::string fileNameText() const;  // default "FileName"
  bool exe() const;                  // "BackUP-Exe" is 1 (default)
  bool subDir() const;               // "BackUP-SubDir" is not 0 (default 1)
  bool shutDown() const;
  bool winShutDown() const;
  // What a run reads, all at once.
  BackupOptions runOptions() const;

  // Stores "FileName" as the given name when none is stored, as a run does before it touches
  // a file. False when the settings file could not take it (IniStore::lastWriteError says why).
  bool storeFileNameDefault() const;

  // The load routine's write-back of FileName, Exe, SubDir, ShutDown and WinShutDown with their
  // values (defaults where missing).
  void writeBackOnLoad() const;
  // Chooses one option button of the group and writes all three keys.
  void setNameBy(NameBy by) const;
  void setInDir(const std::string& pathText) const;
  void setOutDir(const std::string& pathText) const;

  // The name display: "YYYYMMDD_HHMMSS" for Time, the folder's own name for Dir ("E_Drive" for
  // a drive root), the given text for FileName.
  std::string nameCaption() const;
  // ".exe" or ".lzh", as the label kakuchou shows.
  std::string extension() const;

  // Applies one option as the panel's control would ("--set" of the runner). Returns an error
  // text for a key or value the panel could never produce, else empty.
  std::string applyControl(const std::string& key, const std::string& value) const;

  const std::string& iniPath() const { return m_ini; }

 private:
  std::string get(const char* key, const std::string& fallback) const;
  void put(const char* key, const std::string& value) const;

  std::string m_ini;
  std::string m_programDrive;
};

}  // namespace quillmere::backup
