// The backup run as an action of quillmere-run.

#include <QCoreApplication>

#include "backup/BackupEngine.h"
#include "backup/BackupSettings.h"
#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "shell/run/RunAction.h"

namespace quillmere::backup {

namespace {

// The default of the folder keys: the program folder's drive root, in lower case.
std::string programDrive() {
  const std::string dir = QCoreApplication::applicationDirPath().toStdString();
  return text::asciiLower(dll().DLL_DiskName(platform::DriveMap::current().toPathText(dir)));
}

const run::Registration kBackUP{{
    .name = "BackUP",
    .section = kSection,
    .summary = "pack a folder into a dated LZH archive or self-extracting program ([BackUP])",
    .folder = run::FolderArgument::Optional,
    .folderHelp = "the folder to back up; stored as BackUP-InDir",
    .set =
        [](const std::string& ini, const std::string& key, const std::string& value) {
          return BackupSettings(ini, programDrive()).applyControl(key, value);
        },
    .run =
        [](const run::RunRequest& request, RunView& view) {
          const BackupSettings settings(request.iniPath, programDrive());
          settings.writeBackOnLoad();
          if (request.folder) settings.setInDir(*request.folder);
          const BackupReport report = runBackup(settings, view);
          run::RunResult result;
          result.cancelled = report.cancelled;
          result.refused = report.refused;
          result.handled = report.placed ? 1 : 0;
          if (report.placed) {
            result.message = "backup made: " + report.destination;
          } else if (!report.refused && !report.cancelled) {
            result.unhandled.push_back(settings.inDir());
            result.message = report.message;
          } else {
            result.message = report.message;
          }
          return result;
        },
    .keys = keyTable,
    .prepare =
        [](const std::string& ini) { BackupSettings(ini, programDrive()).writeBackOnLoad(); },
    .folderKey = key::kInDir,
}};

}  // namespace

}  // namespace quillmere::backup
