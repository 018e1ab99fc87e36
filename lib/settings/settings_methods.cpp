#include <QSettings>
#include <QString>
#include <QVariant>

#include <cerrno>
#include <cstdlib>
#include <limits>

#include "core/Main.h"
#include "settings/IniStore.h"
#include "settings/RegistryStore.h"

// The settings family: the private-profile file and the per-user registry store.
namespace quillmere {

namespace {

// The platform's integer reading of a profile value: blanks, an optional sign, then decimal
// digits (or hexadecimal after "0x"); the leading number counts, no number gives the default.
std::int32_t leadingInteger(const std::string& text, std::int32_t fallback) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  std::uint32_t value = 0;
  bool digits = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    int d;
    if (c >= '0' && c <= '9') {
      d = c - '0';
    } else if (base == 16 && c >= 'a' && c <= 'f') {
      d = c - 'a' + 10;
    } else if (base == 16 && c >= 'A' && c <= 'F') {
      d = c - 'A' + 10;
    } else {
      break;
    }
    value = value * static_cast<std::uint32_t>(base) + static_cast<std::uint32_t>(d);  // wraps
    digits = true;
  }
  if (!digits) return fallback;
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

// Return code of the last registry write, kept as the Windows build keeps it (unreported).
thread_local long t_lastRegistryStatus = 0;

void registryWrite(std::int32_t rootKey, const std::string& path, const std::string& key,
                   const QVariant& value) {
  const QString group = settings::registryGroup(rootKey, path);
  if (group.isEmpty()) {
    t_lastRegistryStatus = 6;  // invalid handle
    return;
  }
  auto store = settings::registryStore();
  if (!settings::registryKeyExists(*store, group)) {
    t_lastRegistryStatus = 2;  // the key does not exist; nothing is created
    return;
  }
  store->setValue(group + "/" + QString::fromStdString(key), value);
  store->sync();
  t_lastRegistryStatus = store->status() == QSettings::NoError ? 0 : 5;
}

// Text to number as the runtime's conversion does: the whole text must be a number.
double registryTextToNumber(const QString& text) {
  bool ok = false;
  const double v = text.trimmed().toDouble(&ok);
  if (!ok) throw DllError(dllerr::kTypeMismatch, "Type mismatch");
  return v;
}

}  // namespace

std::string Main::DLL_GetStringFromINI(const std::string& INIPath, const std::string& SectionName,
                                       const std::string& KeyName,
                                       const std::string& Default) const {
  const auto value =
      settings::IniStore::read(settings::iniNativePath(INIPath), SectionName, KeyName);
  return value ? *value : Default;
}

void Main::DLL_WriteStringINI(const std::string& INIPath, const std::string& SectionName,
                              const std::string& KeyName, const std::string& Data) const {
  settings::IniStore::write(settings::iniNativePath(INIPath), SectionName, KeyName, Data);
}

std::int32_t Main::DLL_GetLongFromINI(const std::string& INIPath, const std::string& SectionName,
                                      const std::string& KeyName, std::int32_t Default) const {
  const auto value =
      settings::IniStore::read(settings::iniNativePath(INIPath), SectionName, KeyName);
  if (!value || value->empty()) return Default;
  return leadingInteger(*value, Default);
}

double Main::DLL_RegRead(std::int32_t RootKEY, const std::string& Path,
                         const std::string& Key) const {
  const QString group = settings::registryGroup(RootKEY, Path);
  if (group.isEmpty()) return 0;
  auto store = settings::registryStore();
  if (!settings::registryKeyExists(*store, group)) return 0;
  const QVariant value = store->value(group + "/" + QString::fromStdString(Key));
  if (!value.isValid()) return 0;
  if (value.typeId() == QMetaType::QByteArray) {
    // A binary value is read into a byte array, which is no number.
    throw DllError(dllerr::kTypeMismatch, "Type mismatch");
  }
  if (value.typeId() == QMetaType::QString) {
    QString text = value.toString();
    const qsizetype nul = text.indexOf(QChar(0));
    if (nul >= 0) text.truncate(nul);
    return registryTextToNumber(text);
  }
  bool ok = false;
  const double v = value.toDouble(&ok);
  if (!ok) throw DllError(dllerr::kTypeMismatch, "Type mismatch");
  return v;
}

void Main::DLL_RegWriteLong(std::int32_t RootKEY, const std::string& Path, const std::string& Key,
                            std::int32_t Data) const {
  registryWrite(RootKEY, Path, Key, QVariant(static_cast<int>(Data)));
}

void Main::DLL_RegWriteString(std::int32_t RootKEY, const std::string& Path, const std::string& Key,
                              const std::string& Data) const {
  registryWrite(RootKEY, Path, Key, QVariant(QString::fromStdString(Data)));
}

}  // namespace quillmere
