#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/DriveMap.h"

namespace quillmere::platform {

// One line of /proc/self/mountinfo, with the escapes (\040 and kin) decoded.
struct MountEntry {
  std::string mountPoint;
  std::string fsType;
  std::string source;
};

std::vector<MountEntry> parseMountinfo(std::string_view text);

// Where the system's mount tables live (tests point them elsewhere).
struct MountTables {
  std::string fstab = "/etc/fstab";
  std::string mountinfo = "/proc/self/mountinfo";
};

// True when the folder is, or lies below, a mount point that the system names (an /etc/fstab
// line, an automount) while nothing is mounted there: the empty folder left by a card or disk
// that is not there must not read as an empty medium.
bool onUnmountedMountPoint(const std::string& nativeFolder, const MountTables& tables = {});

// Where the kernel's and udev's views of the block devices live (tests point them elsewhere).
struct SystemDirs {
  std::string sysClassBlock = "/sys/class/block";
  std::string devDisk = "/dev/disk";
};

// The drive type of a mount: by file-system type first, then by its block device.
DriveType driveTypeOf(const MountEntry& mount, const SystemDirs& dirs);

// A mounted medium that gets a letter of its own: removable, optical or network.
struct Medium {
  std::string mountPoint;
  DriveType type = DriveType::Removable;
  std::string identity;  // "uuid:...", "fat:...", "net:..."; empty when nothing identifies it
  std::string label;
};

std::vector<Medium> findMedia(const std::vector<MountEntry>& mounts, const SystemDirs& dirs);

// The letters given to media, remembered per user so that a card keeps its letter from one day
// to the next. A medium is known by its identity and label; one without an identity by its
// label and mount point. New media get the lowest letter from D that no present drive uses and
// no other medium remembers; when every letter is remembered, the one seen longest ago.
class LetterMemory {
 public:
  struct Entry {
    char letter = 'D';
    std::string identity;
    std::string label;
    std::string mountPoint;
    std::int64_t lastSeen = 0;  // seconds since 1970
  };

  // Reads the letters remembered in the user's settings ("Q_Works").
  static LetterMemory load();
  // Writes them back when assign changed anything.
  void save() const;

  // Letters for the media, in their order; a medium that finds no letter gets '\0'.
  std::vector<char> assign(const std::vector<Medium>& media, std::int64_t now);

  const std::vector<Entry>& entries() const { return m_entries; }
  bool changed() const { return m_changed; }

 private:
  std::vector<Entry> m_entries;
  bool m_changed = false;
};

// The map from discovery: C: as "/" plus a letter for each medium.
DriveMap discoverDrives(std::string_view mountinfo, const SystemDirs& dirs, LetterMemory& memory,
                        std::int64_t now);

}  // namespace quillmere::platform
