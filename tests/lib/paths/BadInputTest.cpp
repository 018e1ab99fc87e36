// Every path method answers awkward texts with a value: no error, no endless loop.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Main.h"
#include "paths/LibraryFolder.h"

namespace quillmere {
namespace {

const Main& m = dll();

std::vector<std::string> awkwardTexts() {
  std::string longPath = "C:";
  while (longPath.size() < 4000) longPath += "\\abc..\\..\\d.e";
  return {"",
          "\\",
          "\\\\",
          "C:",
          "C:\\",
          "c:\\\\\\",
          ":",
          ".",
          "..",
          "C:\\..\\..\\..",
          "\\\\server\\share\\dir\\a.jpg",
          "C:\\dir\\\\\\sub\\\\",
          "Z:\\no\\such\\drive.jpg",
          "1:\\x",
          "\xFF\xFE\\\x83\x5C.jpg",
          "http://host/a.b/",
          longPath,
          std::string(4000, '\\'),
          std::string(4000, '.')};
}

TEST(BadInput, EveryMethodAnswers) {
  const std::string libRoot = paths::libraryDriveRoot();
  for (const std::string& s : awkwardTexts()) {
    SCOPED_TRACE(s.substr(0, 40));
    EXPECT_NO_THROW({
      m.DLL_EnDel(s);
      m.DLL_EnDelStart(s);
      m.DLL_EnDelEnd(s);
      m.DLL_EnAdd(s);
      m.DLL_EnAddStart(s);
      m.DLL_EnAddEnd(s);
      m.DLL_EnCheck(s);
      m.DLL_PathAdd(s, s);
      m.DLL_DriveLetter(s);
      m.DLL_UPDirName(s);
      m.DLL_KakuchoUName(s);
      m.DLL_MidPath(s, s);
      m.DLL_DelRootPath(s);
      m.DLL_ChangeIPIFileName(s);
      m.DLL_ENP(s);
      m.DLL_Left12(s, 7);
      m.DLL_Right12(s, 7);
      m.DLL_HexMinus(s, 3);
      for (int flag = -1; flag <= 4; ++flag) {
        m.DLL_DirName(s, flag);
        m.DLL_FileName(s, flag);
        m.DLL_URLFileName(s, flag);
      }
      std::string copy = s;
      m.DLL_DelrSpace(copy);
      m.DLL_DelvbCrLf(copy);
      StringArray dirs;
      m.DLL_SubDirList(s + "\\gone-7c1e", dirs);
      EXPECT_EQ(dirs.lbound(), 1);
      m.DLL_SubDirSerch(s + "\\gone-7c1e", s);
    });
    EXPECT_EQ(m.DLL_DiskName(s).back(), '\\');
    std::string in = s;
    const std::string dir = m.DLL_DirCheck(in);
    // The nearest folder is always on a ready drive, and the drive root of unusable texts is the
    // library's.
    EXPECT_EQ(m.DLL_DiskCheck(dir), m.DLL_DiskName(dir));
    if (s.rfind("C:\\", 0) != 0 && s.rfind("c:\\", 0) != 0) {
      EXPECT_EQ(dir, libRoot);
    }
    StringArray files;
    bool found = true;
    EXPECT_NO_THROW(found = m.DLL_FileNameList(s + "\\gone-7c1e", files, 1));
    EXPECT_FALSE(found);
    std::string name = s;
    EXPECT_NO_THROW(found = m.DLL_FileSerch("C:\\quillmere-gone-7c1e", name, true));
    EXPECT_FALSE(found);
  }
}

}  // namespace
}  // namespace quillmere
