// The path methods that ask the file system: drive readiness and the nearest existing folder.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

#include "core/Main.h"
#include "paths/LibraryFolder.h"
#include "support/DriveTable.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

const Main& m = dll();

TEST(DirCheck, NearestExistingFolder) {
  test::TempTree tree;
  tree.write("a/b/pic.jpg", "x");
  tree.mkdir("a/2003.05.01");
  std::string in = tree.pathText("a/b/pic.jpg");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a/b"));
  EXPECT_EQ(in, tree.pathText("a/b/pic.jpg"));  // not changed
  in = tree.pathText("a/b");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a/b"));
  in = tree.pathText("a/b") + "\\\\";
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a/b"));
  in = tree.pathText("a/gone/deeper/x.jpg");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a"));
  // An existing folder with a dot in its name is a folder here.
  in = tree.pathText("a/2003.05.01");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a/2003.05.01"));
  in = "C:\\quillmere-gone-7f3a\\deeper\\x.jpg";
  EXPECT_EQ(m.DLL_DirCheck(in), "C:\\");
  in = "c:\\";
  EXPECT_EQ(m.DLL_DirCheck(in), "c:\\");
}

TEST(DirCheck, FallsBackToTheLibraryDrive) {
  const std::string libRoot = paths::libraryDriveRoot();
  for (std::string in : {"", "C:", "\\", "\\\\server\\share\\x", "dir\\file.jpg", "1:\\a",
                         "Q:\\nothing-here", "AB:\\x"}) {
    EXPECT_EQ(m.DLL_DirCheck(in), libRoot) << in;
  }
}

TEST(DirCheck, HiddenAndDotDotComponentsDoNotCount) {
  test::TempTree tree;
  tree.mkdir(".hidden/sub");
  tree.mkdir("a");
  std::string in = tree.pathText(".hidden/sub");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText(".hidden/sub"));  // only the last name matters
  in = tree.pathText(".hidden");
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText(""));
  in = tree.pathText("a") + "\\..";
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a"));
  in = tree.pathText("a") + "\\.";
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText("a"));
}

TEST(DirCheck, LongPathsEndAtAnExistingAncestor) {
  test::TempTree tree;
  std::string in = tree.pathText("");
  while (in.size() < 4000) in += "\\abcdefghij";
  EXPECT_EQ(m.DLL_DirCheck(in), tree.pathText(""));
  std::string deep = tree.pathText("") + "\\" + std::string(3000, 'x') + ".jpg";
  EXPECT_EQ(m.DLL_DirCheck(deep), tree.pathText(""));
}

TEST(DirCheck, UpDirName) {
  test::TempTree tree;
  tree.write("a/b/pic.jpg", "x");
  EXPECT_EQ(m.DLL_UPDirName(tree.pathText("a/b")), tree.pathText("a"));
  EXPECT_EQ(m.DLL_UPDirName(tree.pathText("a/b/pic.jpg")), tree.pathText("a"));
  EXPECT_EQ(m.DLL_UPDirName("C:\\"), "C:\\");
  EXPECT_EQ(m.DLL_UPDirName("C:\\tmp"), "C:\\");
  EXPECT_EQ(m.DLL_UPDirName(""), paths::libraryDriveRoot());
}

TEST(DiskCheck, ReadyMissingAndUnmappedDrives) {
  test::TempTree tree;
  tree.mkdir("card/DCIM");
  const test::DriveTable drives({{'E', tree.path("card"), 2, "CARD"}, {'F', tree.path("gone"), 5}});
  const std::string libRoot = paths::libraryDriveRoot();
  EXPECT_EQ(m.DLL_DiskCheck("E:\\DCIM\\a.jpg"), "E:\\");
  EXPECT_EQ(m.DLL_DiskCheck("e"), "e:\\");
  EXPECT_EQ(m.DLL_DiskCheck("F:\\x"), libRoot);  // listed, but its folder is missing
  EXPECT_EQ(m.DLL_DiskCheck("G:\\x"), libRoot);  // not mapped
  EXPECT_EQ(m.DLL_DiskCheck("C:\\"), "C:\\");

  std::string in = "E:\\DCIM\\gone\\a.jpg";
  EXPECT_EQ(m.DLL_DirCheck(in), "E:\\DCIM");
  in = "F:\\DCIM";
  EXPECT_EQ(m.DLL_DirCheck(in), libRoot);

  // The card is pulled out: its drive stops being ready at once.
  ASSERT_EQ(::rename(tree.path("card").c_str(), tree.path("card-away").c_str()), 0);
  EXPECT_EQ(m.DLL_DiskCheck("E:\\"), libRoot);
}

TEST(DiskCheck, LeavesTheWorkingFolderAlone) {
  test::TempTree tree;
  tree.mkdir("card");
  const test::DriveTable drives({{'E', tree.path("card"), 2}});
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  EXPECT_EQ(m.DLL_DiskCheck("E:\\"), "E:\\");
  char after[4096];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(before, after);
}

}  // namespace
}  // namespace quillmere
