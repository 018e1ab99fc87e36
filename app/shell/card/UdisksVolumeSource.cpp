#include "shell/card/UdisksVolumeSource.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVariant>

namespace quillmere::card {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kRoot = QStringLiteral("/org/freedesktop/UDisks2");
const QString kObjectManager = QStringLiteral("org.freedesktop.DBus.ObjectManager");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
constexpr int kTimeoutMs = 5000;
constexpr int kSettleMs = 150;

using Interfaces = std::map<QString, QVariantMap>;

// The first mount point of a file system (aay, each NUL-terminated); empty when unmounted.
std::string firstMountPoint(const QVariant& value) {
  if (value.canConvert<QDBusArgument>()) {
    const QDBusArgument arg = value.value<QDBusArgument>();
    std::string first;
    arg.beginArray();
    while (!arg.atEnd()) {
      QByteArray bytes;
      arg >> bytes;
      if (first.empty()) first = bytes.constData();  // stops at the terminating NUL
    }
    arg.endArray();
    return first;
  }
  const QByteArrayList list = value.value<QByteArrayList>();
  return list.isEmpty() ? std::string() : std::string(list.first().constData());
}

std::string text(const QVariantMap& properties, const char* name) {
  return properties.value(QString::fromLatin1(name)).toString().toStdString();
}

QString objectPathOf(const QVariant& value) {
  if (value.canConvert<QDBusObjectPath>()) return qvariant_cast<QDBusObjectPath>(value).path();
  return value.toString();
}

}  // namespace

UdisksVolumeSource::UdisksVolumeSource(QObject* parent) : QObject(parent) {
  m_settle.setSingleShot(true);
  m_settle.setInterval(kSettleMs);
  connect(&m_settle, &QTimer::timeout, this, &UdisksVolumeSource::compare);
}

std::string UdisksVolumeSource::start() {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected())
    return "the system bus cannot be reached: " + bus.lastError().message().toStdString();
  const bool added = bus.connect(kService, kRoot, kObjectManager, QStringLiteral("InterfacesAdded"),
                                 this, SLOT(changed()));
  const bool removed = bus.connect(kService, kRoot, kObjectManager,
                                   QStringLiteral("InterfacesRemoved"), this, SLOT(changed()));
  // Mounting changes the MountPoints property of an existing object.
  const bool properties = bus.connect(kService, QString(), kProperties,
                                      QStringLiteral("PropertiesChanged"), this, SLOT(changed()));
  if (!added || !removed || !properties)
    return "the disk service's signals cannot be received: " +
           bus.lastError().message().toStdString();
  // What is mounted already is no news. When the service cannot be asked yet, its first
  // answer later sets what is no news.
  m_baseline = look(m_mounted);
  return {};
}

void UdisksVolumeSource::changed() {
  m_settle.start();
}

bool UdisksVolumeSource::look(std::map<std::string, Volume>& mounted) const {
  const QDBusConnection bus = QDBusConnection::systemBus();
  const QDBusMessage reply =
      bus.call(QDBusMessage::createMethodCall(kService, kRoot, kObjectManager,
                                              QStringLiteral("GetManagedObjects")),
               QDBus::Block, kTimeoutMs);
  if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
  const QVariant first = reply.arguments().first();
  if (!first.canConvert<QDBusArgument>()) return false;
  std::map<QString, Interfaces> objects;
  const QDBusArgument arg = first.value<QDBusArgument>();
  arg.beginMap();
  while (!arg.atEnd()) {
    QDBusObjectPath path;
    Interfaces interfaces;
    arg.beginMapEntry();
    arg >> path;
    arg.beginMap();
    while (!arg.atEnd()) {
      QString name;
      QVariantMap properties;
      arg.beginMapEntry();
      arg >> name >> properties;
      arg.endMapEntry();
      interfaces[name] = properties;
    }
    arg.endMap();
    arg.endMapEntry();
    objects[path.path()] = std::move(interfaces);
  }
  arg.endMap();

  mounted.clear();
  for (const auto& [path, interfaces] : objects) {
    const auto block = interfaces.find(kBlock);
    const auto filesystem = interfaces.find(kFilesystem);
    if (block == interfaces.end() || filesystem == interfaces.end()) continue;
    Volume volume;
    volume.object = path.toStdString();
    volume.mountPoint = firstMountPoint(filesystem->second.value(QStringLiteral("MountPoints")));
    if (volume.mountPoint.empty()) continue;
    volume.uuid = text(block->second, "IdUUID");
    volume.label = text(block->second, "IdLabel");
    const QString drivePath = objectPathOf(block->second.value(QStringLiteral("Drive")));
    if (const auto drive = objects.find(drivePath); drive != objects.end()) {
      const auto driveProperties = drive->second.find(kDrive);
      if (driveProperties != drive->second.end())
        volume.removable = driveProperties->second.value(QStringLiteral("Removable")).toBool() ||
                           driveProperties->second.value(QStringLiteral("MediaRemovable")).toBool();
    }
    mounted[volume.object] = volume;
  }
  return true;
}

void UdisksVolumeSource::compare() {
  std::map<std::string, Volume> now;
  if (!look(now)) return;
  if (!m_baseline) {
    m_mounted = std::move(now);
    m_baseline = true;
    return;
  }
  const std::map<std::string, Volume> before = std::exchange(m_mounted, now);
  for (const auto& [object, volume] : before) {
    const auto still = now.find(object);
    if ((still == now.end() || still->second.mountPoint != volume.mountPoint) && onUnmounted)
      onUnmounted(volume);
  }
  for (const auto& [object, volume] : now) {
    const auto was = before.find(object);
    if ((was == before.end() || was->second.mountPoint != volume.mountPoint) && onMounted)
      onMounted(volume);
  }
}

}  // namespace quillmere::card
