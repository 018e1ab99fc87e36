// Drive discovery from the mount table, the kernel's block devices and remembered letters.
#include <gtest/gtest.h>

#include <unistd.h>

#include <QSettings>

#include <filesystem>

#include "platform/DriveDiscovery.h"
#include "support/TempTree.h"

namespace quillmere::platform {
namespace {

namespace fs = std::filesystem;

TEST(Mountinfo, FieldsAndEscapes) {
  const auto mounts = parseMountinfo(
      "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n"
      "40 27 8:17 / /media/me/EOS\\040DIGITAL rw,nosuid shared:5 master:1 - vfat /dev/sdb1 rw\n"
      "41 27 0:50 / /mnt/a\\134b\\011c rw - cifs //server/pho\\040tos rw\n"
      "garbage line\n"
      "42 27 0:51 / relative rw - tmpfs tmpfs rw\n"
      "43 27 0:52 / /mnt/no-dash rw tmpfs tmpfs rw\n"
      "44 27 0:53 / /mnt/trailing\\04 rw - tmpfs x rw");
  ASSERT_EQ(mounts.size(), 4u);
  EXPECT_EQ(mounts[0].mountPoint, "/");
  EXPECT_EQ(mounts[0].fsType, "ext4");
  EXPECT_EQ(mounts[1].mountPoint, "/media/me/EOS DIGITAL");
  EXPECT_EQ(mounts[1].fsType, "vfat");
  EXPECT_EQ(mounts[1].source, "/dev/sdb1");
  EXPECT_EQ(mounts[2].mountPoint, "/mnt/a\\b\tc");
  EXPECT_EQ(mounts[2].source, "//server/pho tos");
  EXPECT_EQ(mounts[3].mountPoint, "/mnt/trailing\\04");
}

// A fake /sys/class/block and /dev/disk: devices live below sys/devices/<bus>/block/<disk>.
class FakeSystem {
 public:
  FakeSystem() {
    dirs.sysClassBlock = tree.mkdir("sys/class/block");
    dirs.devDisk = tree.mkdir("dev/disk");
    tree.mkdir("dev/disk/by-uuid");
    tree.mkdir("dev/disk/by-label");
  }
  // A disk on a bus ("pci", "usb1"), with files such as {"removable", "1"}.
  void disk(const std::string& bus, const std::string& name,
            std::vector<std::pair<std::string, std::string>> files,
            std::vector<std::string> partitions = {}) {
    const std::string dev = "sys/devices/" + bus + "/block/" + name;
    tree.mkdir(dev);
    for (auto& [file, value] : files) tree.write(dev + "/" + file, value + "\n");
    fs::create_directory_symlink(tree.path(dev), tree.path("sys/class/block/" + name));
    for (const std::string& part : partitions) {
      tree.write(dev + "/" + part + "/partition", "1\n");
      fs::create_directory_symlink(tree.path(dev + "/" + part),
                                   tree.path("sys/class/block/" + part));
    }
  }
  void diskLink(const std::string& kind, const std::string& name, const std::string& device) {
    fs::create_symlink("../../" + device, tree.path("dev/disk/" + kind + "/" + name));
  }

  test::TempTree tree;
  SystemDirs dirs;
};

TEST(MountTables, AFolderOnAMountPointThatIsNotMountedIsNotReady) {
  test::TempTree tree;
  const std::string card = tree.mkdir("mnt/card");
  const std::string disk = tree.mkdir("mnt/backup disk");
  const std::string automount = tree.mkdir("auto/photos");
  tree.mkdir("mnt/card/DCIM");
  const std::string fstab =
      tree.write("fstab",
                 "# <file system> <mount point> <type> <options> <dump> <pass>\n"
                 "UUID=1 / ext4 defaults 0 1\n"
                 "UUID=2 none swap sw 0 0\n"
                 "LABEL=EOS " +
                     card +
                     " vfat noauto,user 0 0\n"
                     "LABEL=BACKUP " +
                     tree.path("mnt/backup\\040disk") + "/ ext4 nofail 0 2\n");
  auto mountinfo = [&](const std::string& lines) {
    return tree.write("mountinfo", "27 1 254:0 / / rw,relatime - ext4 /dev/vda rw\n" + lines);
  };
  MountTables tables{fstab, mountinfo("")};
  EXPECT_TRUE(onUnmountedMountPoint(card, tables));
  EXPECT_TRUE(onUnmountedMountPoint(card + "/DCIM", tables));
  EXPECT_TRUE(onUnmountedMountPoint(disk, tables));
  EXPECT_FALSE(onUnmountedMountPoint(tree.root(), tables));
  EXPECT_FALSE(onUnmountedMountPoint(tree.path("mnt"), tables));

  // Mounted now: the card as listed, the disk under its escaped name.
  tables.mountinfo =
      mountinfo("40 27 8:17 / " + card + " rw - vfat /dev/sdb1 rw\n" + "41 27 8:18 / " +
                tree.path("mnt/backup\\040disk") + " rw - ext4 /dev/sdc1 rw\n");
  EXPECT_FALSE(onUnmountedMountPoint(card + "/DCIM", tables));
  EXPECT_FALSE(onUnmountedMountPoint(disk, tables));

  // An automount's placeholder alone is no medium; with the file system on top it is.
  tables.mountinfo = mountinfo("50 27 0:60 / " + automount + " rw - autofs systemd-1 rw\n");
  EXPECT_TRUE(onUnmountedMountPoint(automount, tables));
  tables.mountinfo = mountinfo("50 27 0:60 / " + automount + " rw - autofs systemd-1 rw\n" +
                               "51 50 0:61 / " + automount + " rw - nfs srv:/photos rw\n");
  EXPECT_FALSE(onUnmountedMountPoint(automount, tables));

  // Missing tables name nothing.
  EXPECT_FALSE(onUnmountedMountPoint(card, {tree.path("none"), tree.path("none")}));
}

TEST(DriveTypes, ByFileSystemThenByDevice) {
  FakeSystem sys;
  sys.disk("pci0/ata1", "sda", {{"removable", "0"}}, {"sda1"});
  sys.disk("pci0/usb1/1-1", "sdb", {{"removable", "0"}}, {"sdb1"});
  sys.disk("pci0/ata2", "sdc", {{"removable", "1"}}, {"sdc1"});
  sys.disk("pci0/mmc0", "mmcblk0", {{"removable", "0"}, {"device/type", "SD"}}, {"mmcblk0p1"});
  sys.disk("pci0/mmc1", "mmcblk1", {{"removable", "0"}, {"device/type", "MMC"}}, {"mmcblk1p1"});
  sys.disk("pci0/ata3", "sr0", {{"removable", "1"}});
  sys.disk("pci0/ata4", "sdd", {{"removable", "0"}, {"device/type", "5"}});
  sys.disk("virtual", "zram0", {});
  const auto type = [&](const std::string& fsType, const std::string& source) {
    return driveTypeOf({"/mnt/x", fsType, source}, sys.dirs);
  };
  EXPECT_EQ(type("nfs4", "server:/export"), DriveType::Remote);
  EXPECT_EQ(type("cifs", "//server/share"), DriveType::Remote);
  EXPECT_EQ(type("fuse.sshfs", "me@host:"), DriveType::Remote);
  EXPECT_EQ(type("tmpfs", "tmpfs"), DriveType::RamDisk);
  EXPECT_EQ(type("iso9660", "/dev/loop3"), DriveType::CdRom);
  EXPECT_EQ(type("udf", "/dev/sda1"), DriveType::CdRom);
  EXPECT_EQ(type("ext4", "/dev/sda1"), DriveType::Fixed);
  EXPECT_EQ(type("vfat", "/dev/sdb1"), DriveType::Removable);  // a card reader on USB
  EXPECT_EQ(type("exfat", "/dev/sdc1"), DriveType::Removable);
  EXPECT_EQ(type("vfat", "/dev/mmcblk0p1"), DriveType::Removable);
  EXPECT_EQ(type("ext4", "/dev/mmcblk1p1"), DriveType::Fixed);
  EXPECT_EQ(type("auto", "/dev/sr0"), DriveType::CdRom);
  EXPECT_EQ(type("auto", "/dev/sdd"), DriveType::CdRom);
  EXPECT_EQ(type("ext4", "/dev/zram0"), DriveType::RamDisk);
  EXPECT_EQ(type("ext4", "/dev/nothing9"), DriveType::Fixed);
  EXPECT_EQ(type("overlay", "overlay"), DriveType::Fixed);
  EXPECT_EQ(type("fuse.exfat", "/dev/sdc1"), DriveType::Removable);
}

TEST(Media, OnlyRemovableOpticalAndNetworkMountsGetLetters) {
  FakeSystem sys;
  sys.disk("pci0/ata1", "sda", {{"removable", "0"}}, {"sda1", "sda2"});
  sys.disk("pci0/usb1/1-1", "sdb", {{"removable", "1"}}, {"sdb1"});
  sys.disk("pci0/usb1/1-2", "sdc", {{"removable", "1"}}, {"sdc1"});
  sys.disk("pci0/ata3", "sr0", {{"removable", "1"}});
  sys.diskLink("by-uuid", "3A1F-0C22", "sdb1");
  sys.diskLink("by-label", "EOS_DIGITAL", "sdb1");
  sys.diskLink("by-label", "MY\\x20DISC", "sr0");
  const std::vector<MountEntry> mounts = {
      {"/", "ext4", "/dev/sda1"},
      {"/home", "ext4", "/dev/sda2"},
      {"/dev/shm", "tmpfs", "tmpfs"},
      {"/media/me/EOS_DIGITAL", "vfat", "/dev/sdb1"},
      {"/mnt/bind-of-card", "vfat", "/dev/sdb1"},  // the same file system again
      {"/media/me/disc", "iso9660", "/dev/sr0"},
      {"/mnt/photos", "cifs", "//nas/photos/"},
      {"/mnt/old", "vfat", "/dev/sdc1"},
      {"/mnt/old", "ext4", "/dev/sda2"},  // mounted over the card: the card is hidden
  };
  const auto media = findMedia(mounts, sys.dirs);
  ASSERT_EQ(media.size(), 3u);
  EXPECT_EQ(media[0].mountPoint, "/media/me/EOS_DIGITAL");
  EXPECT_EQ(media[0].type, DriveType::Removable);
  EXPECT_EQ(media[0].identity, "uuid:3A1F-0C22");
  EXPECT_EQ(media[0].label, "EOS_DIGITAL");
  EXPECT_EQ(media[1].mountPoint, "/media/me/disc");
  EXPECT_EQ(media[1].type, DriveType::CdRom);
  EXPECT_EQ(media[1].label, "MY DISC");
  EXPECT_EQ(media[2].mountPoint, "/mnt/photos");
  EXPECT_EQ(media[2].type, DriveType::Remote);
  EXPECT_EQ(media[2].identity, "net://nas/photos/");
  EXPECT_EQ(media[2].label, "photos");
}

Medium card(const std::string& uuid, const std::string& label, const std::string& at) {
  return {at, DriveType::Removable, uuid.empty() ? "" : "uuid:" + uuid, label};
}

TEST(Letters, ACardKeepsItsLetterFromOneDayToTheNext) {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "Q_Works", "drives").remove("Letters");
  LetterMemory memory = LetterMemory::load();
  ASSERT_TRUE(memory.entries().empty());
  const Medium a = card("1111-1111", "EOS_DIGITAL", "/media/me/EOS_DIGITAL");
  const Medium b = card("2222-2222", "EOS_DIGITAL", "/media/me/EOS_DIGITAL1");  // same label
  const Medium disc = {"/media/me/disc", DriveType::CdRom, "", "DISC"};
  EXPECT_EQ(memory.assign({a, b}, 100), (std::vector<char>{'D', 'E'}));
  memory.save();

  // Next day: only the second card, now mounted where the first one was.
  LetterMemory nextDay = LetterMemory::load();
  const Medium bMoved = card("2222-2222", "EOS_DIGITAL", "/media/me/EOS_DIGITAL");
  EXPECT_EQ(nextDay.assign({bMoved}, 200), (std::vector<char>{'E'}));
  // A new medium does not take D, which the first card still holds.
  EXPECT_EQ(nextDay.assign({bMoved, disc}, 201), (std::vector<char>{'E', 'F'}));
  nextDay.save();

  LetterMemory later = LetterMemory::load();
  EXPECT_EQ(later.assign({disc, a, bMoved}, 300), (std::vector<char>{'F', 'D', 'E'}));
  // A medium without identity is known by label and mount point.
  EXPECT_EQ(later.assign({disc}, 301), (std::vector<char>{'F'}));
  const Medium otherDisc = {"/media/me/disc2", DriveType::CdRom, "", "DISC"};
  EXPECT_EQ(later.assign({otherDisc}, 302), (std::vector<char>{'G'}));
}

TEST(Letters, WhenEveryLetterIsRememberedTheOldestGoes) {
  LetterMemory memory;
  std::vector<Medium> all;
  for (int i = 0; i < 23; ++i)  // D to Z
    all.push_back(card("0000-00" + std::to_string(10 + i), "C" + std::to_string(i), "/m"));
  for (std::size_t i = 0; i < all.size(); ++i)
    EXPECT_EQ(memory.assign({all[i]}, static_cast<std::int64_t>(1000 - i))[0], 'D' + i);
  // Z was seen longest ago (time 978).
  EXPECT_EQ(memory.assign({card("FFFF-FFFF", "NEW", "/m")}, 2000)[0], 'Z');
  // Twenty-four media at once: one finds no letter.
  std::vector<Medium> many = all;
  many.push_back(card("EEEE-EEEE", "X", "/x"));
  const auto letters = memory.assign(many, 3000);
  EXPECT_EQ(std::count(letters.begin(), letters.end(), '\0'), 1);
}

TEST(Discovery, MapFromTheMountTable) {
  FakeSystem sys;
  sys.disk("pci0/ata1", "sda", {{"removable", "0"}}, {"sda1"});
  sys.disk("pci0/usb1/1-1", "sdb", {{"removable", "1"}}, {"sdb1"});
  sys.diskLink("by-uuid", "ABCD-0001", "sdb1");
  sys.diskLink("by-label", "CARD", "sdb1");
  LetterMemory memory;
  const DriveMap map = discoverDrives(
      "27 1 254:0 / / rw - ext4 /dev/sda1 rw\n"
      "40 27 8:17 / /media/me/CARD rw - vfat /dev/sdb1 rw\n",
      sys.dirs, memory, 1);
  ASSERT_EQ(map.drives().size(), 2u);
  EXPECT_EQ(map.toNative("C:\\media"), "/media");
  ASSERT_TRUE(map.drive('D'));
  EXPECT_EQ(map.drive('D')->type, DriveType::Removable);
  EXPECT_EQ(map.drive('D')->label, "CARD");
  EXPECT_EQ(map.toPathText("/media/me/CARD/DCIM/100CANON"), "D:\\DCIM\\100CANON");
  EXPECT_EQ(map.toNative("D:\\DCIM"), "/media/me/CARD/DCIM");

  const DriveMap empty = discoverDrives("", sys.dirs, memory, 2);
  EXPECT_EQ(empty.drives().size(), 1u);
  EXPECT_EQ(empty.toNative("C:\\"), "/");
}

TEST(Discovery, ThisMachine) {
  // Whatever is mounted here, C: is the root and every other drive is a mounted folder.
  const DriveMap& map = DriveMap::current();
  ASSERT_TRUE(map.drive('C'));
  EXPECT_EQ(map.drive('C')->nativeRoot, "/");
  EXPECT_EQ(map.readiness("C:\\"), 0);
  for (const Drive& d : map.drives()) {
    EXPECT_FALSE(d.nativeRoot.empty());
    EXPECT_EQ(d.nativeRoot[0], '/');
  }
}

}  // namespace
}  // namespace quillmere::platform
