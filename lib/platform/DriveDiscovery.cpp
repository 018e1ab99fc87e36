#include "platform/DriveDiscovery.h"

#include "platform/FileOps.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/msdos_fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QSettings>
#include <QString>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace quillmere::platform {

namespace {

// mountinfo escapes space, tab, newline and "\" as three octal digits.
std::string unescapeOctal(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && s.size() - i >= 4 && s[i + 1] >= '0' && s[i + 1] <= '3' &&
        s[i + 2] >= '0' && s[i + 2] <= '7' && s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

// udev writes labels with \x20-style escapes in /dev/disk/by-label.
std::string unescapeHex(std::string_view s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && s.size() - i >= 4 && s[i + 1] == 'x' &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])) &&
        std::isxdigit(static_cast<unsigned char>(s[i + 3]))) {
      out += static_cast<char>(std::stoi(std::string(s.substr(i + 2, 2)), nullptr, 16));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

std::string readSmallFile(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0;
}

std::string realPath(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return {};
  std::string out = resolved;
  ::free(resolved);
  return out;
}

std::string linkTarget(const std::string& path) {
  char buf[4096];
  const ssize_t n = ::readlink(path.c_str(), buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

// The kernel name of the block device behind a mount source ("/dev/sdb1" -> "sdb1"), through
// links such as /dev/disk/by-uuid/... or /dev/mapper/....
std::string deviceName(const std::string& source) {
  const std::string resolved = realPath(source);
  return fileops::nameOf(resolved.empty() ? source : resolved);
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

const std::set<std::string_view>& remoteTypes() {
  static const std::set<std::string_view> types = {"nfs",        "nfs4",       "cifs",
                                                   "smb3",       "smbfs",      "9p",
                                                   "fuse.sshfs", "sshfs",      "fuse.gvfsd-fuse",
                                                   "davfs",      "fuse.davfs", "fuse.rclone",
                                                   "afs",        "ceph",       "glusterfs"};
  return types;
}

// The name in /dev/disk/<kind>/ that points at the device, decoded; empty when none does.
std::string diskLinkName(const SystemDirs& dirs, const char* kind, const std::string& device) {
  const std::string folder = dirs.devDisk + "/" + kind;
  DIR* dir = ::opendir(folder.c_str());
  if (dir == nullptr) return {};
  std::string found;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    if (fileops::nameOf(linkTarget(folder + "/" + e->d_name)) == device) {
      found = unescapeHex(e->d_name);
      break;
    }
  }
  ::closedir(dir);
  return found;
}

// Label and FAT serial read from the mounted file system itself, without waiting on a network.
void readFromMount(const std::string& mountPoint, std::string& label, std::string& fatSerial) {
  const int fd = ::open(mountPoint.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return;
  if (label.empty()) {
    char buf[FSLABEL_MAX] = {};
    if (::ioctl(fd, FS_IOC_GETFSLABEL, buf) == 0) label.assign(buf, ::strnlen(buf, sizeof buf));
  }
  std::uint32_t serial = 0;
  if (::ioctl(fd, FAT_IOCTL_GET_VOLUME_ID, &serial) == 0) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X-%04X", serial >> 16, serial & 0xFFFF);
    fatSerial = text;
  }
  ::close(fd);
}

}  // namespace

std::vector<MountEntry> parseMountinfo(std::string_view text) {
  std::vector<MountEntry> mounts;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    std::vector<std::string_view> fields;
    for (std::size_t i = 0; i < line.size();) {
      const std::size_t space = line.find(' ', i);
      const std::size_t stop = space == std::string_view::npos ? line.size() : space;
      fields.push_back(line.substr(i, stop - i));
      i = stop + 1;
    }
    // id parent maj:min root mountpoint options [optional...] - fstype source superoptions
    const auto dash = std::find(fields.begin(), fields.end(), "-");
    if (fields.size() < 5 || dash == fields.end() || fields.end() - dash < 3) continue;
    MountEntry m;
    m.mountPoint = unescapeOctal(fields[4]);
    m.fsType = unescapeOctal(*(dash + 1));
    m.source = unescapeOctal(*(dash + 2));
    if (!m.mountPoint.empty() && m.mountPoint[0] == '/') mounts.push_back(std::move(m));
  }
  return mounts;
}

namespace {

std::string wholeFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The mount points of /etc/fstab (the second field of each line; swap and "none" are none).
std::vector<std::string> fstabMountPoints(const std::string& text) {
  std::vector<std::string> points;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    std::istringstream fields(line);
    std::string source, point, type;
    if (!(fields >> source >> point >> type) || source[0] == '#') continue;
    if (type == "swap" || point.empty() || point[0] != '/') continue;
    point = unescapeOctal(point);
    while (point.size() > 1 && point.back() == '/') point.pop_back();
    points.push_back(point);
  }
  return points;
}

}  // namespace

bool onUnmountedMountPoint(const std::string& nativeFolder, const MountTables& tables) {
  std::string folder = nativeFolder;
  if (char* real = ::realpath(nativeFolder.c_str(), nullptr)) {
    folder = real;
    std::free(real);
  }
  // The innermost mount point, named or mounted, that holds the folder decides: a file system
  // is mounted there (anything but an automount's placeholder), or it is not.
  std::string innermost;
  bool mounted = true;
  auto consider = [&](const std::string& point, bool isMounted) {
    if (!fileops::isBelow(folder, point)) return;
    if (point.size() > innermost.size()) {
      innermost = point;
      mounted = isMounted;
    } else if (point == innermost) {
      mounted = mounted || isMounted;
    }
  };
  for (const MountEntry& m : parseMountinfo(wholeFile(tables.mountinfo)))
    consider(m.mountPoint, m.fsType != "autofs");
  for (const std::string& point : fstabMountPoints(wholeFile(tables.fstab))) consider(point, false);
  return !mounted;
}

DriveType driveTypeOf(const MountEntry& mount, const SystemDirs& dirs) {
  const std::string_view fs = mount.fsType;
  if (remoteTypes().count(fs) != 0) return DriveType::Remote;
  if (fs == "tmpfs" || fs == "ramfs") return DriveType::RamDisk;
  if (fs == "iso9660" || fs == "udf") return DriveType::CdRom;
  if (!startsWith(mount.source, "/dev/")) return DriveType::Fixed;

  std::string name = deviceName(mount.source);
  std::string node = dirs.sysClassBlock + "/" + name;
  if (!exists(node)) return DriveType::Fixed;
  if (exists(node + "/partition")) {
    const std::string parent = realPath(node + "/..");
    if (!parent.empty()) {
      name = fileops::nameOf(parent);
      node = dirs.sysClassBlock + "/" + name;
    }
  }
  const std::string scsiType = readSmallFile(node + "/device/type");
  if (startsWith(name, "sr") || scsiType == "5") return DriveType::CdRom;
  if (startsWith(name, "ram") || startsWith(name, "zram")) return DriveType::RamDisk;
  if (readSmallFile(node + "/removable") == "1") return DriveType::Removable;
  // The kernel never marks SD cards removable; card readers on USB often are not either.
  if (startsWith(name, "mmcblk") && scsiType == "SD") return DriveType::Removable;
  if (realPath(node).find("/usb") != std::string::npos) return DriveType::Removable;
  return DriveType::Fixed;
}

std::vector<Medium> findMedia(const std::vector<MountEntry>& mounts, const SystemDirs& dirs) {
  // A later mount on the same point hides the earlier one.
  std::map<std::string, const MountEntry*> top;
  for (const MountEntry& m : mounts) top[m.mountPoint] = &m;

  std::vector<Medium> media;
  std::set<std::string> identities;
  for (const auto& [point, mount] : top) {
    if (point == "/") continue;
    const DriveType type = driveTypeOf(*mount, dirs);
    if (type != DriveType::Removable && type != DriveType::CdRom && type != DriveType::Remote)
      continue;
    Medium medium;
    medium.mountPoint = point;
    medium.type = type;
    if (type == DriveType::Remote) {
      // Never touch a network mount here: a server that is away would hang the caller.
      medium.identity = "net:" + mount->source;
      std::string share = mount->source;
      while (!share.empty() && share.back() == '/') share.pop_back();
      medium.label = fileops::nameOf(
          share.substr(share.find(':') == std::string::npos ? 0 : share.find(':') + 1));
    } else {
      const std::string device = deviceName(mount->source);
      const std::string uuid = diskLinkName(dirs, "by-uuid", device);
      medium.label = diskLinkName(dirs, "by-label", device);
      std::string fatSerial;
      readFromMount(point, medium.label, fatSerial);
      if (!uuid.empty()) {
        medium.identity = "uuid:" + uuid;
      } else if (!fatSerial.empty()) {
        medium.identity = "uuid:" + fatSerial;  // what udev would call the FAT volume's UUID
      }
    }
    // The same file system mounted twice (a bind mount) is one drive, at its first mount point.
    if (!medium.identity.empty() && !identities.insert(medium.identity).second) continue;
    media.push_back(std::move(medium));
  }
  return media;
}

LetterMemory LetterMemory::load() {
  LetterMemory memory;
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "drives");
  store.beginGroup("Letters");
  for (const QString& group : store.childGroups()) {
    if (group.size() != 1 || group[0] < 'D' || group[0] > 'Z') continue;
    store.beginGroup(group);
    Entry e;
    e.letter = static_cast<char>(group[0].unicode());
    e.identity = store.value("Identity").toByteArray().toStdString();
    e.label = store.value("Label").toByteArray().toStdString();
    e.mountPoint = store.value("MountPoint").toByteArray().toStdString();
    e.lastSeen = store.value("LastSeen").toLongLong();
    store.endGroup();
    memory.m_entries.push_back(std::move(e));
  }
  return memory;
}

void LetterMemory::save() const {
  if (!m_changed) return;
  QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "drives");
  store.remove("Letters");
  store.beginGroup("Letters");
  for (const Entry& e : m_entries) {
    store.beginGroup(QString(QChar(e.letter)));
    store.setValue("Identity", QByteArray::fromStdString(e.identity));
    store.setValue("Label", QByteArray::fromStdString(e.label));
    store.setValue("MountPoint", QByteArray::fromStdString(e.mountPoint));
    store.setValue("LastSeen", static_cast<qlonglong>(e.lastSeen));
    store.endGroup();
  }
}

std::vector<char> LetterMemory::assign(const std::vector<Medium>& media, std::int64_t now) {
  std::vector<char> letters(media.size(), '\0');
  std::set<char> used;

  const auto remembered = [&](const Medium& m) -> Entry* {
    for (Entry& e : m_entries) {
      const bool same = m.identity.empty() ? e.identity.empty() && e.label == m.label &&
                                                 e.mountPoint == m.mountPoint
                                           : e.identity == m.identity && e.label == m.label;
      if (same) return &e;
    }
    return nullptr;
  };

  // Known media first, so that a new card never takes the letter of a known one that is present.
  for (std::size_t i = 0; i < media.size(); ++i) {
    Entry* e = remembered(media[i]);
    if (e == nullptr || used.count(e->letter) != 0) continue;
    letters[i] = e->letter;
    used.insert(e->letter);
    if (e->lastSeen != now || e->mountPoint != media[i].mountPoint) {
      e->lastSeen = now;
      e->mountPoint = media[i].mountPoint;
      m_changed = true;
    }
  }
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (letters[i] != '\0') continue;
    char letter = '\0';
    for (char c = 'D'; c <= 'Z' && letter == '\0'; ++c) {
      const bool taken =
          used.count(c) != 0 || std::any_of(m_entries.begin(), m_entries.end(),
                                            [&](const Entry& e) { return e.letter == c; });
      if (!taken) letter = c;
    }
    if (letter == '\0') {
      // Every letter is remembered: take the one whose medium was seen longest ago.
      const Entry* oldest = nullptr;
      for (const Entry& e : m_entries)
        if (used.count(e.letter) == 0 && (oldest == nullptr || e.lastSeen < oldest->lastSeen))
          oldest = &e;
      if (oldest == nullptr) continue;  // more media present than letters
      letter = oldest->letter;
    }
    m_entries.erase(std::remove_if(m_entries.begin(), m_entries.end(),
                                   [&](const Entry& e) { return e.letter == letter; }),
                    m_entries.end());
    m_entries.push_back({letter, media[i].identity, media[i].label, media[i].mountPoint, now});
    m_changed = true;
    letters[i] = letter;
    used.insert(letter);
  }
  std::sort(m_entries.begin(), m_entries.end(),
            [](const Entry& a, const Entry& b) { return a.letter < b.letter; });
  return letters;
}

DriveMap discoverDrives(std::string_view mountinfo, const SystemDirs& dirs, LetterMemory& memory,
                        std::int64_t now) {
  DriveMap map;
  map.add(Drive{'C', "/", DriveType::Fixed, "", true});
  const std::vector<Medium> media = findMedia(parseMountinfo(mountinfo), dirs);
  const std::vector<char> letters = memory.assign(media, now);
  for (std::size_t i = 0; i < media.size(); ++i) {
    if (letters[i] == '\0') continue;
    map.add(Drive{letters[i], media[i].mountPoint, media[i].type, media[i].label, true});
  }
  return map;
}

}  // namespace quillmere::platform
