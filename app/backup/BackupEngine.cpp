#include "backup/BackupEngine.h"

#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <optional>

#include "archive/FolderName.h"
#include "backup/PackProgress.h"
#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "run/RunFrame.h"
#include "settings/IniStore.h"

namespace quillmere::backup {

std::string destinationPath(const BackupOptions& options, const std::string& outDir,
                            const std::string& yyyy, const std::string& mm, const std::string& dd,
                            const std::string& hh, const std::string& mi, const std::string& ss) {
  std::string name;
  switch (options.nameBy) {
    case NameBy::Time:
      name = yyyy + mm + dd + "_" + hh + mi + ss;
      break;
    case NameBy::Dir:
      name = archive::folderOwnName(options.inDir);
      break;
    case NameBy::FileName:
      name = options.fileNameText;
      break;
  }
  return dll().DLL_PathAdd(outDir, name) + archiveExtension(options.exe);
}

namespace {

// The native form of a path text for messages (the text itself when it has none).
std::string nativeText(const std::string& pathText) {
  return platform::nativePathOf(pathText).value_or(pathText);
}

bool fileThere(const std::string& pathText) {
  const auto native = platform::nativePathOf(pathText);
  struct stat st {};
  return native && platform::fileops::status(*native, st, false).ok();
}

// Removes a file this run made in the backed-up folder, so that no archive is left where the
// next backup would pack it.
void discard(const std::string& madeText) {
  if (const auto native = platform::nativePathOf(madeText)) platform::fileops::removeFile(*native);
}

// Turns the made archive into a self-extracting program beside it. A program of that name that
// is already there is the user's: the archive first takes a fresh name of its own. Answers the
// program's path text, or empty (the archive removed) when no program was made.
std::string convertToProgram(const std::string& archiveText, BackupReport& report) {
  const Main& m = dll();
  std::string source = archiveText;
  if (fileThere(m.DLL_FileName(source, 2) + ".exe")) {
    const std::string fresh =
        archive::freshArchiveStem(m.DLL_DirName(source, 1), m.DLL_FileName(source, 0)) + ".lzh";
    const auto from = platform::nativePathOf(source);
    const auto to = platform::nativePathOf(fresh);
    if (from && to && platform::fileops::rename(*from, *to).ok()) source = fresh;
  }
  const std::string program = m.DLL_LZHMakeExe(0, source, true, false, false, false);
  // The conversion removes the archive only when it made the program; while the archive is
  // still there, a file of the program's name is not ours.
  if (fileThere(source) || !fileThere(program)) {
    discard(source);
    report.message = "the self-extracting program was not made from " + nativeText(source);
    return {};
  }
  return program;
}

// Packs the folder with DLL_LZHMake while the view shows the files and bytes packed so far and
// keeps yielding: the archiver works on a thread of its own, which only the library and the
// archiver touch, and the run waits for it (the archiver cannot be stopped half-way).
std::string packShowingProgress(const std::string& folder, bool subDir, RunView& view) {
  PackProgress progress(folder, subDir);
  progress.start(view);
  view.yield();
  auto packing = std::async(
      std::launch::async, [folder, subDir] { return dll().DLL_LZHMake(0, folder, false, subDir); });
  while (packing.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
    progress.update(view);
    view.yield();
  }
  std::string archive = packing.get();  // an error of the library is thrown here
  progress.finish(view);
  return archive;
}

// The archiving steps 2 to 6. Each step that fails is passed over; the caller restores the view.
// Whatever the run made in the backed-up folder is gone from there at the end: placed, or
// removed when it cannot be placed or the run is cancelled.
void archiveAndPlace(const BackupOptions& options, const std::string& inDir, RunView& view,
                     BackupReport& report) {
  const Main& m = dll();
  std::string yyyy, mm, dd, hh, mi, ss;
  m.DLL_Date(yyyy, mm, dd);
  m.DLL_Time(hh, mi, ss);

  if (!view.cancelRequested()) {
    report.archive = packShowingProgress(inDir, options.subDir, view);
    view.yield();
  }
  // DLL_LZHMake never hands back a file that was there before: what it names is this run's.
  const bool made = !report.archive.empty() && m.DLL_FileCheck(report.archive);
  if (!view.cancelRequested())
    report.destination = destinationPath(options, options.outDir, yyyy, mm, dd, hh, mi, ss);
  if (view.cancelRequested()) {
    if (made) discard(report.archive);
    return;
  }
  if (!made) {
    report.message = report.archive.empty() ? "no LZH archiver is available"
                                            : "the archive was not made: " + report.archive;
    return;
  }
  report.archiveMade = true;
  if (options.exe) {
    report.archive = convertToProgram(report.archive, report);
    view.yield();
    if (report.archive.empty()) return;
  }
  const auto from = platform::nativePathOf(report.archive);
  const auto to = platform::nativePathOf(report.destination);
  // A move never replaces: an existing destination stays as it is and the new file goes.
  // Across file systems (a card backed up onto a disk) the move copies, then removes.
  const auto moved =
      from && to ? platform::fileops::move(*from, *to) : platform::FileResult(ENOENT);
  report.placed = moved.ok();
  if (moved.ok()) return;
  discard(report.archive);
  if (moved.error() == EEXIST)
    report.message = "the backup was not stored: " + nativeText(report.destination) +
                     " already exists and was left as it was; the new archive " +
                     nativeText(report.archive) + " was removed";
  else
    report.message = "the backup was not stored: " + nativeText(report.destination) + ": " +
                     moved.message() + "; the new archive " + nativeText(report.archive) +
                     " was removed";
}

}  // namespace

namespace {

// Why a run does not start, empty when it does. A run never backs up a folder nobody chose, nor
// the nearest ancestor of a missing one (an unplugged card would otherwise send the whole drive
// into the archive).
std::string refusalOf(const BackupOptions& options) {
  if (!options.inDirChosen) return "no folder to back up has been chosen (BackUP-InDir)";
  if (!platform::pathTextIsFolder(options.inDir))
    return "the folder to back up is not there: " + options.inDir;
  // The root of drive C: is the whole system on Linux (every mounted disk, /proc), not a folder
  // of pictures: packing it would fill the disk it is written to.
  if (platform::nativePathOf(options.inDir) == std::optional<std::string>("/"))
    return "the system's root folder is never backed up: " + options.inDir;
  if (!platform::pathTextIsFolder(options.outDir))
    return "the output folder is not there: " + options.outDir;
  return {};
}

}  // namespace

RunPlan planBackup(const BackupSettings& settings, std::string& refusal) {
  RunPlan plan;
  BackupOptions options = settings.runOptions();
  refusal = refusalOf(options);
  if (!refusal.empty()) return plan;
  // The run stores "FileName" for an empty given name before it starts; the preview only
  // pretends to.
  if (options.fileNameText.empty()) options.fileNameText = kDefaultFileName;
  std::string yyyy, mm, dd, hh, mi, ss;
  dll().DLL_Date(yyyy, mm, dd);
  dll().DLL_Time(hh, mi, ss);
  const std::string destination =
      destinationPath(options, options.outDir, yyyy, mm, dd, hh, mi, ss);
  std::string folder = options.inDir;
  const PackProgress survey(dll().DLL_DirCheck(folder), options.subDir);
  for (std::size_t i = 0; i < survey.packedFiles().size(); ++i)
    plan.add(PlanStep::Kind::Copy, survey.packedFiles()[i], destination, survey.sizes()[i]);
  plan.setNote("archive " + nativeText(destination) +
               " (not stored when a file of that name is already there)");
  return plan;
}

BackupReport runBackup(const BackupSettings& settings, RunView& view) {
  BackupReport report;
  RunFrame frame(view);
  view.yield();

  BackupOptions options = settings.runOptions();
  const std::string& inDir = options.inDir;
  report.message = refusalOf(options);
  report.refused = !report.message.empty();
  if (!report.refused && !settings.storeFileNameDefault()) {
    // The run's one settings write comes before any file is touched.
    report.refused = true;
    report.message = settings::IniStore::lastWriteError();
  } else if (!report.refused && options.fileNameText.empty()) {
    options.fileNameText = settings.fileNameText();
  }
  if (report.refused) {
    frame.end();
    return report;
  }
  // An unexpected error is shown once; the run still closes normally.
  report.failed = !frame.guarded([&] {
    std::string folder = inDir;
    archiveAndPlace(options, dll().DLL_DirCheck(folder), view, report);
  });
  if (report.failed)
    report.message = "error " + std::to_string(frame.errorNumber()) + ": " + frame.errorText();
  report.cancelled = view.cancelRequested();
  frame.end();
  view.yield();
  // The backup's completion action follows the restore also after a cancel.
  view.runCompleted(kSection);
  return report;
}

}  // namespace quillmere::backup
