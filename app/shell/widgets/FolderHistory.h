#pragma once

#include <string>

class QComboBox;

namespace quillmere {

class DriveList;
class FolderList;
class FileList;

// The ten-entry history behind a panel's folder drop-down. The key prefix ("ReName-InDir")
// holds the current folder, prefix + 1 to prefix + 10 the history, newest first; an unset entry
// reads as the program drive. The drop-down shows the ten entries, then three commands.
class FolderHistory {
 public:
  static constexpr int kEntries = 10;
  static constexpr int kToDesktop = 10;
  static constexpr int kAddThisFolder = 11;
  static constexpr int kRemoveThisFolder = 12;

  FolderHistory(std::string iniPath, std::string section, std::string prefix,
                std::string programDrive);

  std::string entry(int i) const;
  // Entries whose folder is gone become the program drive.
  void checkEntries() const;
  // Stores the current folder as the prefix key and entry 1, then fills the drop-down.
  void fill(int width, QComboBox& box, const std::string& current) const;
  // Entry i as the drop-down shows it in `width` characters: whole when it fits, else the
  // drive, "..." and the end of its folder, or only its last folder name when that is long.
  std::string displayText(int i, int width) const;
  void add(const std::string& folder) const;
  void remove(const std::string& folder) const;
  // Writes the chosen folder and entries 2 to 10 back without repeats, the program drive
  // filling the end, and makes the chosen folder current.
  void tidy(const std::string& chosen) const;

  struct Lists {
    DriveList* drives = nullptr;
    FolderList* folders = nullptr;
    FileList* files = nullptr;
  };
  // The drop-down's click at a position: an entry moves to the top, or a command runs; then
  // the three lists go to the chosen folder and the drop-down is filled again. Returns the
  // chosen folder.
  std::string choose(int position, int width, QComboBox& box, const Lists& lists) const;

 private:
  std::string key(int i) const { return m_prefix + std::to_string(i); }
  std::string read(const std::string& key) const;
  void write(const std::string& key, const std::string& value) const;
  std::string chooseFolder(int position, const Lists& lists) const;

  std::string m_iniPath, m_section, m_prefix, m_programDrive;
};

}  // namespace quillmere
