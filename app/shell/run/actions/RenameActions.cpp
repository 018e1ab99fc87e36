// The rename and recovery runs as actions of quillmere-run.

#include <cstring>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "rename/RenameEngine.h"
#include "rename/RenameJournal.h"
#include "rename/RenameSettings.h"
#include "rename/UndoEngine.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::run {
using namespace quillmere::rename;

namespace {

const char* reasonText(Unhandled why) {
  switch (why) {
    case Unhandled::Vanished:
      return "vanished";
    case Unhandled::NoFreeName:
      return "name taken";
    case Unhandled::NoTarget:
      return "target folder missing";
    case Unhandled::NotWritable:
      return "disk not writable";
    case Unhandled::Failed:
      return "failed";
    case Unhandled::Cancelled:
      return "cancelled";
    case Unhandled::CopyLeftOver:
      return "an older intermediate copy holds its name";
  }
  return "";
}

RunOutcome toResult(const RunReport& report) {
  RunOutcome result;
  result.cancelled = report.cancelled;
  result.refused = report.refused;
  result.failed = report.failed;
  // A file already imported is dealt with: it counts as handled, and its line says why.
  result.handled = report.handled + static_cast<std::int64_t>(report.skipped.size());
  result.message = report.message;
  // The line's path text becomes a native path when printed; the one in the reason is given
  // native here.
  for (const auto& s : report.skipped) {
    const auto twin = platform::nativePathOf(s.importedAs);
    result.skipped.push_back(s.path + " (already imported as " + twin.value_or(s.importedAs) + ")");
  }
  for (const auto& p : report.problems) {
    std::string line = p.path + " (" + reasonText(p.reason);
    if (p.error != 0) line += ": " + std::string(std::strerror(p.error));
    result.unhandled.push_back(line + ")");
  }
  return result;
}

// Loads the run's settings as the panel would (FOLDER as ReName-InDir); a refused outcome when
// the run would not start.
RunOutcome renameRefusal(const RunRequest& request, const RenameSettings& settings) {
  settings.normaliseOnLoad();
  if (request.folder) settings.setInDir(*request.folder);
  // A folder nobody chose would be the program's drive: never run on a default.
  auto chosen = [&](const char* key) {
    return !dll().DLL_GetStringFromINI(request.iniPath, kSection, key, "").empty();
  };
  RunOutcome refused;
  refused.refused = true;
  if (!chosen("ReName-InDir"))
    refused.message = "no source folder: give FOLDER or --set InDir=...";
  else if (settings.mode() != Mode::Stay && !chosen("ReName-OutDir"))
    refused.message = "no target folder: --set OutDir=...";
  else
    refused.refused = false;
  return refused;
}

}  // namespace

RunAction renameAction() {
  return {
      .name = "ReName",
      .section = "ReName",
      .summary = "batch rename with the options of section [ReName]",
      .folder = FolderArgument::Optional,
      .folderHelp = "the source folder; stored as ReName-InDir (and ReName-OutDir in Stay mode)",
      .set =
          [](const std::string& ini, const std::string& key, const std::string& value) {
            return RenameSettings(ini, programDrive()).applyControl(key, value);
          },
      .run =
          [](const RunRequest& request, RunView& view) {
            const RenameSettings settings(request.iniPath, programDrive());
            if (RunOutcome refused = renameRefusal(request, settings); refused.refused)
              return refused;
            RenameEngine engine(settings, view);
            RenameJournal journal(settings.mode() == Mode::Copy);
            engine.keepJournal(journal);
            RunOutcome result = toResult(engine.run());
            if (journal.failed())
              result.message += (result.message.empty() ? "" : "\n") +
                                std::string("the journal could not be written in full (") +
                                RenameJournal::defaultFolder() +
                                "): Undo cannot take this run back";
            return result;
          },
      .keys = describedKeys,
      .prepare =
          [](const std::string& ini) { RenameSettings(ini, programDrive()).normaliseOnLoad(); },
      .folderKey = "ReName-InDir",
      .preview =
          [](const RunRequest& request, RunPlan& plan) {
            const RenameSettings settings(request.iniPath, programDrive());
            if (RunOutcome refused = renameRefusal(request, settings); refused.refused)
              return refused;
            RunReport report;
            plan = RenameEngine::plan(settings, &report);
            RunOutcome result;
            result.refused = report.refused;
            result.failed = report.failed;
            result.message = report.message;
            return result;
          },
  };
}

RunAction recoveryAction() {
  return {
      .name = "Recovery",
      .section = "",
      .summary = "give files parked by an interrupted rename (\"...Temp\") their names back",
      .folder = FolderArgument::Required,
      .folderHelp = "the folder tree to repair",
      .set = nullptr,
      .run = [](const RunRequest& request,
                RunView& view) { return toResult(RecoveryEngine(*request.folder, view).run()); },
      .preview =
          [](const RunRequest& request, RunPlan& plan) {
            plan = RecoveryEngine::plan(*request.folder);
            return RunOutcome{};
          },
  };
}

RunAction undoAction() {
  return {
      .name = "Undo",
      .summary = "take back the last rename run: every file gets its old name and place",
      .run =
          [](const RunRequest&, RunView&) {
            const UndoReport report = undoLastRename();
            RunOutcome result;
            if (report.noJournal) {
              result.refused = true;
              result.message = "no rename run to take back";
              return result;
            }
            result.handled = report.restored;
            result.unhandled = report.refused;
            result.message = "journal " + report.journal;
            return result;
          },
  };
}

}  // namespace quillmere::run
