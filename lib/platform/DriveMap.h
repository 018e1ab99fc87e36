#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::platform {

// Drive type numbers, as the Windows build keeps them.
enum class DriveType : std::int32_t {
  Unknown = 0,
  NoRootDir = 1,
  Removable = 2,
  Fixed = 3,
  Remote = 4,
  CdRom = 5,
  RamDisk = 6,
};

struct Drive {
  char letter = 'C';       // upper case
  std::string nativeRoot;  // absolute native folder, no trailing "/" except for "/"
  DriveType type = DriveType::Fixed;
  std::string label;
  bool ready = true;  // the folder exists (and, for a mount, is mounted)
};

// The one place where Windows path texts ("C:\home\me") become native paths ("/home/me") and
// back. C: is "/"; removable, optical and network mounts get their own letters. The table file
// named by QUILLMERE_DRIVES replaces discovery.
class DriveMap {
 public:
  // The map in force now (re-read when the table file or the mounts change).
  static const DriveMap& current();

  // Builds a map from the text of a drive table file (for tests and QUILLMERE_DRIVES).
  static DriveMap fromTable(std::string_view tableText);

  // "X:\rest" -> native path; nothing when the text has no drive root ("X:" with or without
  // separators) or the letter maps to no drive. A text that is exactly a drive ("C:", "C:\")
  // gives the drive's root folder.
  std::optional<std::string> toNative(std::string_view pathText) const;

  // Absolute native path -> path text on the drive whose root is the longest prefix.
  std::string toPathText(std::string_view nativePath) const;

  std::optional<Drive> drive(char letter) const;

  // Whether the drive of a path text ("X:..." or "X") can be used now, as a Windows error
  // number: 0 ready, 15 no such drive, 21 not ready (not mounted, no medium, gone), 5 access
  // denied. Asks the file system at every call.
  std::int32_t readiness(std::string_view pathText) const;
  const std::vector<Drive>& drives() const { return m_drives; }

  void add(Drive drive);

 private:
  std::vector<Drive> m_drives;  // sorted by letter
};

// The native path of a path text under the map in force now; nothing when the text names no
// known drive. A native path ("/…") is not a path text and maps to nothing.
std::optional<std::string> nativePathOf(std::string_view pathText);

// Whether a path text names a folder (a link to one counts unless followLinks is false).
bool pathTextIsFolder(std::string_view pathText, bool followLinks = true);

}  // namespace quillmere::platform
