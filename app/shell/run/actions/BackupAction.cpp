// The backup run as an action of quillmere-run.

#include "backup/BackupEngine.h"
#include "backup/BackupSettings.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::run {
using namespace quillmere::backup;

RunAction backupAction() {
  return {
      .name = "BackUP",
      .section = kSection,
      .summary = "pack a folder into a dated LZH archive or self-extracting program ([BackUP])",
      .folder = FolderArgument::Optional,
      .folderHelp = "the folder to back up; stored as BackUP-InDir",
      .set =
          [](const std::string& ini, const std::string& key, const std::string& value) {
            return BackupSettings(ini, programDrive()).applyControl(key, value);
          },
      .run =
          [](const RunRequest& request, RunView& view) {
            // The load routine's write-back and the folder were stored by prepare and the
            // runner's --set step.
            const BackupSettings settings(request.iniPath, programDrive());
            const BackupReport report = runBackup(settings, view);
            RunOutcome result;
            result.cancelled = report.cancelled;
            result.refused = report.refused;
            result.failed = report.failed;  // already shown through the view
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
      .preview =
          [](const RunRequest& request, RunPlan& plan) {
            const BackupSettings settings(request.iniPath, programDrive());
            settings.writeBackOnLoad();
            if (request.folder) settings.setInDir(*request.folder);
            RunOutcome result;
            plan = planBackup(settings, result.message);
            result.refused = !result.message.empty();
            return result;
          },
  };
}

}  // namespace quillmere::run
