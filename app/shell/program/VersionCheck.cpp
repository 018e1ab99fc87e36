#include "VersionCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

#include "core/Main.h"

namespace quillmere::version {

std::string installedVersion() {
  return QUILLMERE_VERSION_TEXT;
}

QString versionBoxText(const std::string& version) {
  const QStringList parts = QString::fromStdString(version).split('.');
  const auto part = [&](int i) { return i < parts.size() ? parts[i] : QString(); };
  return "Ver " + part(0) + "." + part(1) + part(2);
}

Answer compareVersions(const std::string& published, const std::string& installed) {
  if (published.empty()) return Answer::Unreachable;
  // Texts compared character by character, so "1.9" is above "1.10".
  return published > installed ? Answer::Newer : Answer::Latest;
}

std::array<std::string, 3> publishedValues(const QByteArray& file) {
  std::array<std::string, 3> values;
  const std::string text = file.toStdString();
  std::size_t i = 0;
  for (std::string& value : values) {
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '"') {
      const std::size_t close = text.find('"', i + 1);
      const std::size_t end = close == std::string::npos ? text.size() : close;
      value = text.substr(i + 1, end - i - 1);
      i = end + 1;
      while (i < text.size() && text[i] != ',' && text[i] != '\n') ++i;
    } else {
      const std::size_t end = text.find_first_of(",\r\n", i);
      value = text.substr(i, end == std::string::npos ? std::string::npos : end - i);
      while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.pop_back();
      i = end == std::string::npos ? text.size() : end;
    }
    if (i < text.size() && text[i] == '\r') ++i;
    if (i < text.size() && (text[i] == ',' || text[i] == '\n')) ++i;
  }
  return values;
}

QString versionFileAddress(const std::string& iniPath) {
  QString folder =
      QString::fromStdString(dll().DLL_GetStringFromINI(iniPath, "Main", kUrlKey, kDefaultUrl));
  if (!folder.endsWith('/')) folder += '/';
  return folder + "quillmere.ini";
}

QString homePageAddress(const std::string& iniPath) {
  return QString::fromStdString(
      dll().DLL_GetStringFromINI(iniPath, "Main", kHomePageKey, kDefaultHomePage));
}

QString downloadTarget(const QString& folder, const QString& address) {
  QString name = QString::fromStdString(dll().DLL_URLFileName(address.toStdString(), 1));
  name = name.section('?', 0, 0).section('#', 0, 0);
  if (name.isEmpty() || name == "." || name == ".." || name.contains('/') || name.startsWith('.'))
    name = "quillmere-update";
  // The number goes before the extension, and before ".tar" of a packed archive.
  int dot = name.lastIndexOf('.');
  if (dot > 0 && name.left(dot).endsWith(".tar", Qt::CaseInsensitive)) dot -= 4;
  const QString base = dot > 0 ? name.left(dot) : name;
  const QString suffix = name.mid(base.size());
  QString candidate = QDir(folder).filePath(name);
  for (int n = 1; QFileInfo::exists(candidate); ++n)
    candidate = QDir(folder).filePath(QString("%1 (%2)%3").arg(base).arg(n).arg(suffix));
  return candidate;
}

QString percentText(float percent) {
  QString text = QString::number(static_cast<double>(percent), 'f', 2);
  while (text.contains('.') && (text.endsWith('0') || text.endsWith('.'))) text.chop(1);
  return text;
}

}  // namespace quillmere::version
