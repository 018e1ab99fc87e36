// The runner's faces of the duplicate delete and the file back.
#include <string>

#include "core/Main.h"
#include "duplicates/DuplicateDelete.h"
#include "duplicates/DuplicateSettings.h"
#include "duplicates/FileBack.h"
#include "duplicates/FileFacts.h"
#include "platform/DriveMap.h"
#include "platform/Text.h"
#include "shell/run/actions/Actions.h"

namespace quillmere::run {
using namespace quillmere::duplicates;

namespace {

bool isOneOf(const std::string& key, std::string_view section,
             std::initializer_list<std::string_view> options) {
  for (const auto option : options)
    if (text::equalsNoCase(key, std::string(section) + "-" + std::string(option))) return true;
  return false;
}

// Check-box keys take "1" or "0"; the folder keys and the subfolder name any text.
std::string setOption(const std::string& ini, std::string_view section,
                      std::initializer_list<std::string_view> flags, const std::string& key,
                      const std::string& value) {
  if (isOneOf(key, section, flags) && value != "0" && value != "1") return "takes 1 or 0";
  if (isOneOf(key, section, {"SubDirName"}) && usableSubDirName(value) != value)
    return "a folder name without \\ or /, not empty, not . or ..";
  dll().DLL_WriteStringINI(ini, std::string(section), key, value);
  return {};
}

// Why a run found nothing to do, when a folder is the reason.
std::string missingFolder(const std::string& folder, const std::string& key) {
  if (folder.empty()) return key + " is not set";
  if (platform::pathTextIsFolder(folder, false)) return {};
  // A link to a folder is not followed: it could lead one list into the other's tree.
  if (platform::pathTextIsFolder(folder, true))
    return "a link to a folder, not followed (" + key + "): " + folder;
  return "folder not found (" + key + "): " + folder;
}

// A refused outcome naming each of the two folders that is missing; an empty one when both are
// there.
RunOutcome refusedForMissingFolders(const std::string& in, const char* inKey,
                                    const std::string& out, const char* outKey) {
  RunOutcome result;
  for (const auto& why : {missingFolder(in, inKey), missingFolder(out, outKey)})
    if (!why.empty()) {
      result.refused = true;
      result.message += (result.message.empty() ? "" : "\n") + why;
    }
  return result;
}

// The duplicate delete's options, and why it would not start (a refused outcome) or an empty
// one. As with the panel, the run follows a panel load: keys never written get the panel's
// defaults.
RunOutcome deleteOptions(const RunRequest& request, DeleteRunOptions& options) {
  normaliseDeleteSettings(request.iniPath);
  options = readDeleteRunOptions(request.iniPath);
  return refusedForMissingFolders(options.comparisonDir, "WFileDel-InDir", options.deletionDir,
                                  "WFileDel-OutDir");
}

RunOutcome previewDelete(const RunRequest& request, RunPlan& plan) {
  DeleteRunOptions options;
  RunOutcome result = deleteOptions(request, options);
  if (!result.refused) plan = planDuplicateDelete(options);
  return result;
}

RunOutcome runDelete(const RunRequest& request, RunView& view) {
  DeleteRunOptions options;
  RunOutcome result = deleteOptions(request, options);
  if (result.refused) return result;
  const DeleteRunReport report = runDuplicateDelete(options, view);
  result.failed = report.ending == RunEnding::Failed;  // already shown through the view
  result.cancelled = report.ending == RunEnding::Cancelled;
  result.handled = static_cast<std::int64_t>(report.deleted.size());
  result.unhandled = report.notDeleted;
  result.message = std::to_string(report.deletionFiles) + " files checked against " +
                   std::to_string(report.comparisonFiles) + ", " +
                   std::to_string(report.deleted.size()) + " duplicates deleted";
  return result;
}

// The file back's options, and why it would not start (a refused outcome) or an empty one.
RunOutcome fileBackOptions(const RunRequest& request, FileBackRunOptions& options) {
  normaliseFileBackSettings(request.iniPath);
  options = readFileBackRunOptions(request.iniPath);
  return refusedForMissingFolders(options.sourceDir, "FileBack-InDir", options.destDir,
                                  "FileBack-OutDir");
}

RunOutcome previewBack(const RunRequest& request, RunPlan& plan) {
  FileBackRunOptions options;
  RunOutcome result = fileBackOptions(request, options);
  if (!result.refused) plan = planFileBack(options);
  return result;
}

RunOutcome runBack(const RunRequest& request, RunView& view) {
  FileBackRunOptions options;
  RunOutcome result = fileBackOptions(request, options);
  if (result.refused) return result;
  const FileBackReport report = runFileBack(options, view);
  result.failed = report.ending == RunEnding::Failed;  // already shown through the view
  result.cancelled = report.ending == RunEnding::Cancelled;
  result.handled = static_cast<std::int64_t>(report.moved.size());
  for (const auto& p : report.problems) result.unhandled.push_back(p.source);
  result.message = std::to_string(report.moved.size()) + " files written back, " +
                   std::to_string(report.namesakesDeleted.size()) + " namesakes deleted";
  return result;
}

}  // namespace

RunAction duplicateDeleteAction() {
  return {
      .name = "WFileDel",
      .section = "WFileDel",
      .summary = "delete the files of WFileDel-OutDir whose bytes equal a file of WFileDel-InDir",
      .folder = FolderArgument::None,
      .folderHelp = {},
      .set =
          [](const std::string& ini, const std::string& key, const std::string& value) {
            return setOption(ini, "WFileDel",
                             {"InSubDir", "OutSubDir", "InDelDir", "OutDelDir", "OutFileDel",
                              "RDFileDel", "ShutDown", "WinShutDown"},
                             key, value);
          },
      .run = runDelete,
      .keys = deleteKeyTable,
      .prepare = normaliseDeleteSettings,
      .preview = previewDelete,
  };
}

RunAction fileBackAction() {
  return {
      .name = "FileBack",
      .section = "FileBack",
      .summary = "move the files of FileBack-InDir beside their namesakes in FileBack-OutDir",
      .folder = FolderArgument::None,
      .folderHelp = {},
      .set =
          [](const std::string& ini, const std::string& key, const std::string& value) {
            return setOption(ini, "FileBack",
                             {"InSubDir", "InDelDir", "OutSubDir", "OutDelFile", "MoveSubDir",
                              "kakuchou", "OutFileDel", "RDFileDel", "ShutDown", "WinShutDown"},
                             key, value);
          },
      .run = runBack,
      .keys = fileBackKeyTable,
      .prepare = normaliseFileBackSettings,
      .preview = previewBack,
  };
}

}  // namespace quillmere::run
