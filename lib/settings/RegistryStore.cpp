#include "settings/RegistryStore.h"

namespace quillmere::settings {

// One group per root key, the key path's "\" as "/". The INI form keeps no value types:
// numbers and texts both come back as text.
static QString registryRoot(std::int32_t rootKey) {
  switch (static_cast<std::uint32_t>(rootKey)) {
    case 0x80000000u:
      return "HKEY_CLASSES_ROOT";
    case 0x80000001u:
      return "HKEY_CURRENT_USER";
    case 0x80000002u:
      return "HKEY_LOCAL_MACHINE";
    case 0x80000003u:
      return "HKEY_USERS";
    case 0x80000005u:
      return "HKEY_CURRENT_CONFIG";
    default:
      return {};
  }
}

QString registryGroup(std::int32_t rootKey, const std::string& path) {
  const QString root = registryRoot(rootKey);
  if (root.isEmpty()) return {};
  QString sub = QString::fromStdString(path);
  sub.replace('\\', '/');
  while (sub.startsWith('/')) sub.remove(0, 1);
  while (sub.endsWith('/')) sub.chop(1);
  return sub.isEmpty() ? root : root + "/" + sub;
}

std::unique_ptr<QSettings> registryStore() {
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, "Q_Works",
                                     "registry");
}

// A key opens when its group exists: the root always, a path when it holds anything.
bool registryKeyExists(QSettings& store, const QString& group) {
  if (!group.contains('/')) return true;
  store.beginGroup(group);
  const bool exists = !store.childKeys().isEmpty() || !store.childGroups().isEmpty();
  store.endGroup();
  return exists;
}

}  // namespace quillmere::settings
