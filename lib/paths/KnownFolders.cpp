// Special folders by the shell folder numbers the program asks for, as path texts.
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <string>

#include "core/Main.h"
#include "paths/LibraryFolder.h"
#include "platform/DriveMap.h"

namespace quillmere {

namespace {

std::string pathTextOf(const QString& nativeFolder) {
  if (nativeFolder.isEmpty()) return {};
  const QByteArray bytes = QFile::encodeName(QDir::cleanPath(nativeFolder));
  return platform::DriveMap::current().toPathText(std::string(bytes.constData(), bytes.size()));
}

std::string standardFolder(QStandardPaths::StandardLocation location) {
  return pathTextOf(QStandardPaths::writableLocation(location));
}

}  // namespace

std::string Main::DLL_GetFolderPath(std::int32_t lngFolder) const {
  switch (lngFolder) {
    case 0:   // desktop
    case 16:  // desktop folder
      return standardFolder(QStandardPaths::DesktopLocation);
    case 5:  // documents
      return standardFolder(QStandardPaths::DocumentsLocation);
    case 13:  // music
      return standardFolder(QStandardPaths::MusicLocation);
    case 14:  // videos
      return standardFolder(QStandardPaths::MoviesLocation);
    case 26:  // the user's application settings
      return standardFolder(QStandardPaths::GenericConfigLocation);
    case 28:  // the user's local application data
      return standardFolder(QStandardPaths::GenericDataLocation);
    case 36:  // the system folders: where the program's runtime components live
    case 37:
      return paths::libraryFolder();
    case 39:  // pictures
      return standardFolder(QStandardPaths::PicturesLocation);
    case 40:  // the user's profile
      return standardFolder(QStandardPaths::HomeLocation);
    case 21:  // templates
    case 45:
      return standardFolder(QStandardPaths::TemplatesLocation);
    default:
      return {};
  }
}

std::string Main::DLL_GetTempPath() const {
  return pathTextOf(QDir::tempPath());
}

}  // namespace quillmere
