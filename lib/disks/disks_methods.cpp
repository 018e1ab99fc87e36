// Drive questions on top of the drive map: readiness, type, free space, the drive list, eject.

#include <sys/statvfs.h>

#include "core/Main.h"
#include "disks/Eject.h"
#include "platform/DriveMap.h"

namespace quillmere {

namespace {

bool isLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

std::int32_t Main::DLL_CheckDisk(const std::string& Disk) const {
  try {
    return platform::DriveMap::current().readiness(DLL_DiskName(Disk));
  } catch (...) {
    return 21;  // never fails: an unanswerable drive is not ready
  }
}

bool Main::DLL_EjectOK(const std::string& Disk) const {
  if (DLL_CheckDisk(Disk) != 0) return false;
  const std::int32_t type = DLL_GetDriveType(Disk);
  return type == static_cast<std::int32_t>(platform::DriveType::Removable) ||
         type == static_cast<std::int32_t>(platform::DriveType::CdRom);
}

void Main::DLL_Eject(const std::string& Disk) const {
  if (Disk.empty() || !isLetter(Disk[0])) return;
  const auto drive = platform::DriveMap::current().drive(Disk[0]);
  if (!drive) return;
  // Only removable and optical media are ejected; a fixed disk (C: is "/") never is.
  if (drive->type != platform::DriveType::Removable && drive->type != platform::DriveType::CdRom)
    return;
  disks::ejectMedium(*drive);
}

std::int32_t Main::DLL_GetDriveType(const std::string& Disk) const {
  constexpr std::int32_t kNoRootDir = 1;
  std::string letters;
  const std::size_t colon = Disk.find(':');
  if (colon != std::string::npos) {
    letters = Disk.substr(0, colon);
  } else {
    if (Disk.empty()) return 0;
    for (char c : Disk)
      if (!isLetter(c)) return 0;
    letters = Disk;
  }
  if (letters.size() != 1 || !isLetter(letters[0])) return kNoRootDir;
  const auto drive = platform::DriveMap::current().drive(letters[0]);
  if (!drive) return kNoRootDir;
  return static_cast<std::int32_t>(drive->type);
}

Variant Main::DLL_DiskFreeSpace(const std::string& Disk, std::int32_t Flag) const {
  const std::string root = DLL_DiskName(Disk);
  const auto& map = platform::DriveMap::current();
  if (map.readiness(root) != 0) return -1.0;
  const auto native = map.toNative(root);
  if (!native) return -1.0;
  struct statvfs vfs {};
  if (::statvfs(native->c_str(), &vfs) != 0) return -1.0;
  const double unit = static_cast<double>(vfs.f_frsize != 0 ? vfs.f_frsize : vfs.f_bsize);
  switch (Flag) {
    case 0:
      return static_cast<double>(vfs.f_blocks) * unit;
    case 1:
      return static_cast<double>(vfs.f_bavail) * unit;
    case 2:
      return static_cast<double>(vfs.f_bfree) * unit;
    default:
      return 0.0;
  }
}

std::int32_t Main::DLL_DiskList(StringArray& DiskList) const {
  StringArray found;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (DLL_CheckDisk(root) == 0) found.append(root);
  }
  const std::int32_t count = found.count(1);
  if (count != 0) DiskList = std::move(found);
  return count;
}

}  // namespace quillmere
