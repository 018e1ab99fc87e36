#pragma once

#include <QSettings>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>

namespace quillmere::settings {

// Root key numbers of the registry, as the callers pass them.
inline constexpr std::int32_t kCurrentUser = static_cast<std::int32_t>(0x80000001u);

// The per-user store that stands in for the registry (~/.config/Q_Works/registry.conf).
std::unique_ptr<QSettings> registryStore();
// The store's group for a root key and a key path ("Software\X" -> "HKEY_CURRENT_USER/Software/X");
// empty for an unknown root key.
QString registryGroup(std::int32_t rootKey, const std::string& path);
// A key opens when its group exists: the root always, a path when it holds anything.
bool registryKeyExists(QSettings& store, const QString& group);

}  // namespace quillmere::settings
