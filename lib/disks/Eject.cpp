#include "disks/Eject.h"

#include "platform/DriveDiscovery.h"

// <limits.h> must come before <linux/cdrom.h>.
#include <fcntl.h>
#include <limits.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillmere::disks {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
constexpr int kTimeoutMs = 30000;

QDBusMessage call(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& method, const QList<QVariant>& args) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, path, interface, method);
  m.setArguments(args);
  return bus.call(m, QDBus::Block, kTimeoutMs);
}

QVariant property(const QDBusConnection& bus, const QString& path, const QString& interface,
                  const QString& name) {
  const QDBusMessage reply = call(bus, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                  QStringLiteral("Get"), {interface, name});
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return {};
  return qvariant_cast<QDBusVariant>(reply.arguments().first()).variant();
}

// The mount points of a block device (aay, each NUL-terminated).
std::vector<std::string> mountPointsOf(const QDBusConnection& bus, const QString& block) {
  std::vector<std::string> out;
  const QVariant v = property(bus, block, kFilesystem, QStringLiteral("MountPoints"));
  if (!v.isValid()) return out;
  if (v.canConvert<QDBusArgument>()) {
    const QDBusArgument arg = v.value<QDBusArgument>();
    arg.beginArray();
    while (!arg.atEnd()) {
      QByteArray bytes;
      arg >> bytes;
      out.emplace_back(bytes.constData());  // stops at the terminating NUL
    }
    arg.endArray();
  } else {
    for (const QByteArray& bytes : v.value<QByteArrayList>()) out.emplace_back(bytes.constData());
  }
  return out;
}

QString objectPath(const QVariant& v) {
  return qvariant_cast<QDBusObjectPath>(v).path();
}

bool ejectWithUdisks(const platform::Drive& drive) {
  const QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return false;
  const QVariantMap noOptions;
  const QDBusMessage listed = call(bus, QStringLiteral("/org/freedesktop/UDisks2/Manager"),
                                   QStringLiteral("org.freedesktop.UDisks2.Manager"),
                                   QStringLiteral("GetBlockDevices"), {noOptions});
  if (listed.type() != QDBusMessage::ReplyMessage || listed.arguments().isEmpty()) return false;
  QList<QDBusObjectPath> blocks;
  const QVariant first = listed.arguments().first();
  if (first.canConvert<QDBusArgument>()) {
    first.value<QDBusArgument>() >> blocks;
  } else {
    blocks = qvariant_cast<QList<QDBusObjectPath>>(first);
  }

  // The device (udisks drive object) whose file system is mounted at the drive's folder.
  QString driveObject;
  for (const QDBusObjectPath& block : blocks) {
    for (const std::string& mp : mountPointsOf(bus, block.path())) {
      if (mp == drive.nativeRoot) {
        driveObject = objectPath(property(bus, block.path(), kBlock, QStringLiteral("Drive")));
        break;
      }
    }
    if (!driveObject.isEmpty()) break;
  }
  if (driveObject.isEmpty() || driveObject == QLatin1String("/")) return false;

  // Unmount every mounted file system of that device (all partitions of the card).
  for (const QDBusObjectPath& block : blocks) {
    if (objectPath(property(bus, block.path(), kBlock, QStringLiteral("Drive"))) != driveObject)
      continue;
    if (mountPointsOf(bus, block.path()).empty()) continue;
    const QDBusMessage r =
        call(bus, block.path(), kFilesystem, QStringLiteral("Unmount"), {noOptions});
    if (r.type() != QDBusMessage::ReplyMessage) return false;  // busy or not allowed
  }
  if (property(bus, driveObject, kDrive, QStringLiteral("Ejectable")).toBool()) {
    return call(bus, driveObject, kDrive, QStringLiteral("Eject"), {noOptions}).type() ==
           QDBusMessage::ReplyMessage;
  }
  if (property(bus, driveObject, kDrive, QStringLiteral("CanPowerOff")).toBool()) {
    return call(bus, driveObject, kDrive, QStringLiteral("PowerOff"), {noOptions}).type() ==
           QDBusMessage::ReplyMessage;
  }
  return true;  // unmounted: the medium can be taken out
}

// The source device of the file system mounted at a folder ("/dev/sr0"), from mountinfo.
std::string sourceDeviceOf(const std::string& mountPoint) {
  std::ifstream in("/proc/self/mountinfo");
  std::stringstream text;
  text << in.rdbuf();
  std::string found;
  for (const platform::MountEntry& m : platform::parseMountinfo(text.str()))
    if (m.mountPoint == mountPoint) found = m.source;  // the last mount there wins
  return found;
}

bool ejectOptical(const platform::Drive& drive) {
  const std::string device = sourceDeviceOf(drive.nativeRoot);
  if (device.rfind("/dev/sr", 0) != 0) return false;
  const int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  const bool done = ::ioctl(fd, CDROMEJECT, 0) == 0;
  ::close(fd);
  return done;
}

}  // namespace

bool ejectMedium(const platform::Drive& drive) {
  if (ejectWithUdisks(drive)) return true;
  return drive.type == platform::DriveType::CdRom && ejectOptical(drive);
}

}  // namespace quillmere::disks
