// Special folders and the library folder as path texts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "core/Main.h"
#include "paths/LibraryFolder.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

const Main& m = dll();

TEST(KnownFolders, PathTextsOfTheLinuxFolders) {
  // The library folder is the build's output folder, where the test program lives too.
  EXPECT_EQ(paths::libraryFolder(), test::toPathText(QUILLMERE_BIN_DIR));
  EXPECT_EQ(m.DLL_GetFolderPath(37), paths::libraryFolder());
  EXPECT_EQ(m.DLL_GetFolderPath(36), paths::libraryFolder());
  EXPECT_EQ(paths::libraryDriveRoot(), "C:\\");

  const std::string home = std::getenv("HOME");
  EXPECT_EQ(m.DLL_GetFolderPath(40), test::toPathText(home));
  const std::string desktop = m.DLL_GetFolderPath(0);
  EXPECT_EQ(desktop.rfind(test::toPathText(home) + "\\", 0), 0u) << desktop;
  EXPECT_NE(desktop.back(), '\\');
  EXPECT_NE(m.DLL_GetFolderPath(26), "");
  EXPECT_NE(m.DLL_GetFolderPath(45), "");
  EXPECT_EQ(m.DLL_GetFolderPath(-1), "");
  EXPECT_EQ(m.DLL_GetFolderPath(9999), "");
}

TEST(KnownFolders, TempPathFollowsTmpdir) {
  test::TempTree tree;
  const char* old = std::getenv("TMPDIR");
  const std::string saved = old ? old : "";
  setenv("TMPDIR", (tree.root() + "/").c_str(), 1);
  EXPECT_EQ(m.DLL_GetTempPath(), tree.pathText());
  if (old) {
    setenv("TMPDIR", saved.c_str(), 1);
  } else {
    unsetenv("TMPDIR");
  }
}

}  // namespace
}  // namespace quillmere
