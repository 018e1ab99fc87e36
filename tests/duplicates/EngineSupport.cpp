#include "EngineSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "core/Main.h"

namespace quillmere::duplicates::test_support {

namespace fs = std::filesystem;

std::string missingLibraryMethods() {
  static const std::string missing = [] {
    std::string out;
    quillmere::test::TempTree t;
    t.write("keep.jpg", "x");
    auto probe = [&](const char* name, auto&& call) {
      try {
        call();
      } catch (const DllError& e) {
        if (e.number() > dllerr::kNotAvailableBase) out += std::string(" ") + name;
      }
    };
    probe("DLL_FileNameList", [&] {
      StringArray list;
      dll().DLL_FileNameList(t.pathText(), list, 1);
    });
    probe("DLL_FileCheck", [&] { dll().DLL_FileCheck(t.pathText("keep.jpg")); });
    probe("DLL_BinFileCheck",
          [&] { dll().DLL_BinFileCheck(t.pathText("keep.jpg"), t.pathText("keep.jpg")); });
    probe("DLL_FileDelete", [&] { dll().DLL_FileDelete(0, ""); });
    probe("DLL_FileMove", [&] { dll().DLL_FileMove(0, "", ""); });
    probe("DLL_SubDirMake", [&] {
      StringArray only = StringArray::fromList({""});
      dll().DLL_SubDirMake(t.pathText("made"), only);
    });
    probe("DLL_SubDirDel", [&] { dll().DLL_SubDirDel(t.pathText()); });
    probe("DLL_EjectOK", [&] { dll().DLL_EjectOK("C:\\"); });
    probe("DLL_FileName", [&] { dll().DLL_FileName("C:\\a.jpg", 1); });
    probe("DLL_DirName", [&] { dll().DLL_DirName("C:\\a.jpg", 1); });
    probe("DLL_PathAdd", [&] { dll().DLL_PathAdd("C:\\a", "b"); });
    probe("DLL_DiskName", [&] { dll().DLL_DiskName("C:\\a"); });
    if (::chdir("/") != 0) out += " chdir";
    return out;
  }();
  return missing;
}

std::vector<std::string> trashedNames() {
  std::vector<std::string> out;
  const char* data = std::getenv("XDG_DATA_HOME");
  const fs::path files = fs::path(data ? data : "") / "Trash" / "files";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(files, ec)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

DriveTable::DriveTable(char letter, const std::string& nativeFolder, int driveType) {
  const std::string table =
      std::string(1, letter) + "\t" + nativeFolder + "\t" + std::to_string(driveType) + "\tCARD\n";
  const std::string file = m_tableDir.write("drives.tsv", table);
  ::setenv("QUILLMERE_DRIVES", file.c_str(), 1);
}

DriveTable::~DriveTable() {
  ::unsetenv("QUILLMERE_DRIVES");
}

}  // namespace quillmere::duplicates::test_support
