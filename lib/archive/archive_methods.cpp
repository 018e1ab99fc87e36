// The archiver bindings: each method builds one command line for the LZH or CAB archiver
// library, calls it once and answers with a simple result.
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "archive/ArchiverLibrary.h"
#include "archive/FolderName.h"
#include "core/Main.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"

namespace quillmere {

namespace {

using archive::Archiver;

void removeFile(const std::string& pathText) {
  const auto native = platform::nativePathOf(pathText);
  if (native) platform::fileops::removeFile(*native);
}

bool fileExists(const std::string& pathText) {
  const auto native = platform::nativePathOf(pathText);
  struct stat st {};
  return native && platform::fileops::status(*native, st).ok() && S_ISREG(st.st_mode);
}

// A path text as the archivers take it: its native path, with "/" kept at the end where
// the text ends with a separator (a folder's contents, or a folder to extract into). The
// archivers know nothing of drive letters; a text that names no drive goes as it is, and the
// archiver refuses it.
std::string archiverPath(const std::string& pathText) {
  const auto native = platform::nativePathOf(pathText);
  if (!native) return pathText;
  const bool folder = !pathText.empty() && (pathText.back() == '\\' || pathText.back() == '/');
  return folder && native->back() != '/' ? *native + "/" : *native;
}

// Gives a file made under a work name its final name, never replacing a file that is there.
// Answers the path the made file has afterwards: the final name, or the work name when the final
// one is taken (or nothing was made).
std::string publish(const std::string& work, const std::string& final) {
  const auto from = platform::nativePathOf(work);
  const auto to = platform::nativePathOf(final);
  if (from && to && platform::fileops::rename(*from, *to).ok()) return final;
  return work;
}

// The runtime's reading of a number from text: the leading integer, 0 when there is none.
std::int32_t leadingNumber(const std::string& s) {
  return static_cast<std::int32_t>(std::strtol(s.c_str(), nullptr, 10));
}

}  // namespace

std::int32_t Main::DLL_LZHGetVersion() const {
  return archive::archiverVersion(Archiver::Lzh);
}

std::int32_t Main::DLL_CABGetVersion() const {
  return archive::archiverVersion(Archiver::Cab);
}

std::string Main::DLL_LZHMake(std::int32_t hwnd, const std::string& InDirName, bool Root,
                              bool SubDir, const std::string& RunFileName) const {
  if (DLL_LZHGetVersion() == 0) return {};
  const std::string folder = archive::workFolder(InDirName);
  const std::string name = archive::folderOwnName(folder);
  bool makeExe = false, temporary = false;
  const std::string program = DLL_FileName(RunFileName, 1);
  if (!RunFileName.empty()) {
    makeExe = true;
    const std::string control = DLL_PathAdd(folder, "$");
    // The control file is written into the folder and removed afterwards: a file of that name
    // already there is the user's, and is neither overwritten nor deleted. Nothing is made.
    if (!program.empty() && fileExists(control)) return {};
    if (text::asciiLower(program) != "setup.exe") {
      if (!program.empty())
        DLL_FileSave(control, "$WindowTitle=" + name + "\r\n" + "$InstallTitle=解凍先\r\n" +
                                  "$Command=" + program);
    } else {
      temporary = true;
      DLL_FileSave(control, "$WindowTitle=" + name + "\r\n" +
                                "$InstallTitle=一時保存先(再起動時自動削除されます)\r\n" +
                                "$InstallDir=%WORK%\\" + name + "\r\n" + "$Command=" + program);
    }
  }
  // The archive is built under a fresh name and takes the folder's name only at the end: an
  // archive or program of that name already in the folder is the user's and is never updated,
  // replaced or removed. When the name is taken the made file keeps its fresh name.
  archive::removeLeftWorkFiles(folder, name);
  const std::string work = archive::freshArchiveStem(folder, name);
  const std::string source = Root ? DLL_EnDelEnd(folder) : DLL_EnDelEnd(folder) + "\\";
  const std::string command =
      std::string("a") + (makeExe ? " -jm4" : " -jm2") + (SubDir ? " -d1" : " -a1") + " " +
      DLL_Space(archiverPath(work + ".lzh")) + " " + DLL_Space(archiverPath(source));
  archive::callArchiver(Archiver::Lzh, hwnd, command);
  if (!makeExe) return publish(work + ".lzh", DLL_PathAdd(folder, name) + ".lzh");
  DLL_LZHMakeExe(hwnd, work + ".lzh", true, false, temporary, true);
  if (!program.empty()) removeFile(DLL_PathAdd(folder, "$"));
  // A conversion that failed leaves the archive, which then takes the archive's name.
  if (fileExists(work + ".lzh")) publish(work + ".lzh", DLL_PathAdd(folder, name) + ".lzh");
  return publish(work + ".exe", DLL_PathAdd(folder, name) + ".exe");
}

std::string Main::DLL_LZHMakeExe(std::int32_t hwnd, const std::string& InFileName, bool Dir,
                                 bool Window, bool FlagSetup, bool AutoRun) const {
  if (DLL_LZHGetVersion() == 0) return {};
  const std::string command =
      std::string("s") + (Window ? " -gw3" : " -gw2") + (FlagSetup ? " -gyq1" : "") +
      (Dir ? " -d1" : "") + " " + DLL_Space(archiverPath(InFileName)) + " " +
      DLL_Space(archiverPath(DLL_EnAddEnd(DLL_DirName(InFileName, 1)))) + (AutoRun ? " -!" : "");
  const std::int32_t rc = archive::callArchiver(Archiver::Lzh, hwnd, command);
  // The archive gives way to the program only when the program was made: a failed conversion
  // must not cost the only copy.
  if (rc == 0) removeFile(InFileName);
  return DLL_FileName(InFileName, 2) + ".exe";
}

bool Main::DLL_LZHAdd(const std::string& hwnd, const std::string& LZHFileName,
                      const std::string& AddFileName) const {
  if (DLL_LZHGetVersion() == 0 || LZHFileName.empty() || AddFileName.empty()) return false;
  archive::callArchiver(Archiver::Lzh, leadingNumber(hwnd),
                        "a -x1 -x2 " + DLL_Space(archiverPath(LZHFileName)) + " " +
                            DLL_Space(archiverPath(AddFileName)));
  return true;
}

bool Main::DLL_LZHKaito(std::int32_t hwnd, const std::string& InFileName,
                        const std::string& DevelopmentDirName) const {
  if (DLL_LZHGetVersion() == 0) return false;
  const std::string target =
      DevelopmentDirName.empty() ? DLL_FileName(InFileName, 2) : DevelopmentDirName;
  archive::callArchiver(Archiver::Lzh, hwnd,
                        "e -x -r2 -a2 -y -n " + DLL_Space(archiverPath(InFileName)) + " " +
                            DLL_Space(archiverPath(DLL_EnAddEnd(target))) + " *.*");
  return true;
}

bool Main::DLL_CABMake(std::int32_t hwnd, const std::string& InDirName) const {
  if ((DLL_CABGetVersion() & 0xFFFF) == 0) return false;
  const std::string folder = archive::workFolder(InDirName);
  const std::string cab = DLL_EnAddEnd(folder) + archive::folderOwnName(folder) + ".cab";
  archive::callArchiver(Archiver::Cab, hwnd,
                        "-a -r -i " + DLL_Space(archiverPath(cab)) + " " +
                            DLL_Space(archiverPath(DLL_EnAddEnd(folder)) + "*.*"));
  return true;
}

bool Main::DLL_CABKaito(const std::string& InDirName, const std::string& InFileName,
                        const std::string& Window) const {
  if ((DLL_CABGetVersion() & 0xFFFF) == 0) return false;
  archive::callArchiver(Archiver::Cab, leadingNumber(Window),
                        "-x -o -j " + DLL_Space(archiverPath(InFileName)) + " " +
                            DLL_Space(archiverPath(DLL_DirName(InDirName, 1) + "\\")));
  return true;
}

// On Linux the CAB archiver is libcab32.so, and the folder it is loaded from is the library
// folder itself (the "system folder" of the runtime components, folder number 37).
bool Main::DLL_Cab32Dll() const {
  std::string name = archive::libraryFileName(Archiver::Cab);
  return DLL_FileSerch(DLL_GetFolderPath(37), name, false);
}

// Copies the library folder's libcab32.so into the system folder when it is not there. Both are
// the same folder on Linux, so there is never anything to copy; a file is never copied onto
// itself.
void Main::DLL_Cab32DllInst() const {
  if (DLL_Cab32Dll()) return;
  const std::string name = archive::libraryFileName(Archiver::Cab);
  const std::string from = DLL_PathAdd(DLL_GetFolderPath(36), name);
  const std::string to = DLL_PathAdd(DLL_GetFolderPath(37), name);
  if (from == to || !fileExists(from)) return;
  const auto nativeFrom = platform::nativePathOf(from);
  const auto nativeTo = platform::nativePathOf(to);
  if (nativeFrom && nativeTo) platform::fileops::copyFile(*nativeFrom, *nativeTo);
}

}  // namespace quillmere
