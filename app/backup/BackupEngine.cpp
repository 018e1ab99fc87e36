#include "backup/BackupEngine.h"

#include <sys/stat.h>

#include <cstring>

#include "archive/FolderName.h"
#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere::backup {

namespace {

bool isFolder(const std::string& pathText) {
  const auto native = platform::DriveMap::current().toNative(pathText);
  struct stat st {};
  return native && ::stat(native->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string destinationPath(const BackupSettings& settings, const std::string& outDir,
                            const std::string& yyyy, const std::string& mm, const std::string& dd,
                            const std::string& hh, const std::string& mi, const std::string& ss) {
  const Main& m = dll();
  std::string name;
  switch (settings.nameBy()) {
    case NameBy::Time:
      name = yyyy + mm + dd + "_" + hh + mi + ss;
      break;
    case NameBy::Dir:
      name = archive::folderOwnName(settings.inDir());
      break;
    case NameBy::FileName:
      name = settings.fileNameText();
      break;
  }
  return m.DLL_PathAdd(outDir, name) + settings.extension();
}

namespace {

// The archiving steps 2 to 6. Each step that fails is passed over; the caller restores the view.
void archiveAndPlace(const BackupSettings& settings, const std::string& inDir,
                     const std::string& outDir, RunView& view, BackupReport& report) {
  const Main& m = dll();
  if (m.DLL_GetStringFromINI(settings.iniPath(), kSection, key::kFileNameText, "").empty())
    m.DLL_WriteStringINI(settings.iniPath(), kSection, key::kFileNameText, "FileName");
  std::string yyyy, mm, dd, hh, mi, ss;
  m.DLL_Date(yyyy, mm, dd);
  m.DLL_Time(hh, mi, ss);

  if (!view.cancelRequested()) {
    report.archive = m.DLL_LZHMake(0, inDir, false, settings.subDir());
    view.yield();
  }
  if (!view.cancelRequested())
    report.destination = destinationPath(settings, outDir, yyyy, mm, dd, hh, mi, ss);
  if (view.cancelRequested()) return;
  if (report.archive.empty() || !m.DLL_FileCheck(report.archive)) {
    report.message = report.archive.empty() ? "no LZH archiver is available"
                                            : "the archive was not made: " + report.archive;
    return;
  }
  report.archiveMade = true;
  std::string made = report.archive;
  if (settings.exe()) {
    made = m.DLL_FileName(report.archive, 2) + ".exe";
    // A file of the program's name that is already there is the user's, never the backup.
    const bool there = m.DLL_FileCheck(made);
    m.DLL_LZHMakeExe(0, report.archive, true, false, false, false);
    view.yield();
    if (there) {
      report.message =
          made + ": a file of this name was already there; the archive stays as " + report.archive;
      return;
    }
  }
  report.archive = made;
  const auto from = platform::DriveMap::current().toNative(made);
  const auto to = platform::DriveMap::current().toNative(report.destination);
  if (!from || !to || !m.DLL_FileCheck(made)) {
    report.message = "the self-extracting program was not made";
    return;
  }
  // A move never replaces: with the name taken, the file stays in the backed-up folder.
  // Across file systems (a card backed up onto a disk) the move copies, then removes.
  const auto moved = platform::fileops::move(*from, *to);
  report.placed = moved.ok();
  if (!moved.ok()) report.message = report.destination + ": " + moved.message();
}

}  // namespace

BackupReport runBackup(const BackupSettings& settings, RunView& view) {
  BackupReport report;
  view.setRunning(true);
  view.yield();

  // A run never backs up a folder nobody chose, nor the nearest ancestor of a missing one (an
  // unplugged card would otherwise send the whole drive into the archive).
  const std::string inDir = settings.inDir();
  const std::string outDir = settings.outDir();
  if (!settings.inDirChosen()) {
    report.refused = true;
    report.message = "no folder to back up has been chosen (BackUP-InDir)";
  } else if (!isFolder(inDir)) {
    report.refused = true;
    report.message = "the folder to back up is not there: " + inDir;
  } else if (!isFolder(outDir)) {
    report.refused = true;
    report.message = "the output folder is not there: " + outDir;
  }
  if (report.refused) {
    view.setRunning(false);
    return report;
  }
  try {
    std::string folder = inDir;
    archiveAndPlace(settings, dll().DLL_DirCheck(folder), outDir, view, report);
  } catch (const DllError& e) {
    // An unexpected error is shown; the run still closes normally.
    report.message = "error " + std::to_string(e.number()) + ": " + e.text();
    showRunError(view, e.number(), e.text());
  }
  report.cancelled = view.cancelRequested();
  view.setRunning(false);
  view.yield();
  // The backup's completion action follows the restore also after a cancel.
  view.runCompleted(kSection);
  return report;
}

}  // namespace quillmere::backup
