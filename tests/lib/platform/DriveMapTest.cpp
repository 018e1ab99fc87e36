// The drive map: path texts to native paths and back, the drive table file, readiness.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/DriveMap.h"
#include "support/DriveTable.h"
#include "support/TempTree.h"

namespace quillmere::platform {
namespace {

TEST(DriveMap, PathTextsAndNativePaths) {
  DriveMap map =
      DriveMap::fromTable("C\t/\t3\t\nD\t/media/me/CARD\t2\tCARD\nE\t/media/me/CARD/inner\t5\t\n");
  EXPECT_EQ(map.toNative("C:\\home\\me"), "/home/me");
  EXPECT_EQ(map.toNative("c:\\"), "/");
  EXPECT_EQ(map.toNative("C:"), "/");
  EXPECT_EQ(map.toNative("C:\\\\a\\\\b\\"), "/a/b");
  EXPECT_EQ(map.toNative("d:\\DCIM\\x.jpg"), "/media/me/CARD/DCIM/x.jpg");
  EXPECT_EQ(map.toNative("D:"), "/media/me/CARD");
  EXPECT_EQ(map.toNative("Q:\\x"), std::nullopt);
  EXPECT_EQ(map.toNative(""), std::nullopt);
  EXPECT_EQ(map.toNative("\\\\server\\share"), std::nullopt);
  EXPECT_EQ(map.toNative("DCIM\\x.jpg"), std::nullopt);
  EXPECT_EQ(map.toNative("1:\\x"), std::nullopt);

  EXPECT_EQ(map.toPathText("/"), "C:\\");
  EXPECT_EQ(map.toPathText("/home/me/"), "C:\\home\\me");
  EXPECT_EQ(map.toPathText("/media/me/CARD"), "D:\\");
  EXPECT_EQ(map.toPathText("/media/me/CARD/DCIM/x.jpg"), "D:\\DCIM\\x.jpg");
  EXPECT_EQ(map.toPathText("/media/me/CARD/inner/a"), "E:\\a");  // the longest root wins
  EXPECT_EQ(map.toPathText("/media/me/CARDS/a"), "C:\\media\\me\\CARDS\\a");
  EXPECT_EQ(map.toPathText("relative/x"), "");
}

TEST(DriveMap, TableLines) {
  DriveMap map = DriveMap::fromTable(
      "# letter, folder, type, label\r\n"
      "\n"
      "e\t/mnt/cd/\t5\tDISC 1\r\n"
      "F:\t/mnt/f\t2\t\n"   // a colon after the letter is not a letter
      "GH\t/mnt/g\t2\t\n"   // two letters
      "I\trelative\t2\t\n"  // not absolute
      "J\t/mnt/j\n"         // too few fields
      "K\t/mnt/k\t4\n");    // the label may be left out
  ASSERT_TRUE(map.drive('E'));
  EXPECT_EQ(map.drive('e')->nativeRoot, "/mnt/cd");
  EXPECT_EQ(map.drive('E')->type, DriveType::CdRom);
  EXPECT_EQ(map.drive('E')->label, "DISC 1");
  EXPECT_FALSE(map.drive('E')->ready);
  EXPECT_TRUE(map.drive('K'));
  EXPECT_EQ(map.drive('K')->label, "");
  for (char c : {'F', 'G', 'I', 'J'}) EXPECT_FALSE(map.drive(c)) << c;
}

class DrivesEnv : public ::testing::Test {
 protected:
  test::TempTree m_tree;
  test::DriveTable m_drives;
};

TEST_F(DrivesEnv, TableFileReplacesDiscoveryAndIsReReadWhenChanged) {
  m_tree.mkdir("card");
  m_drives.set({{'D', m_tree.path("card"), 2, "CARD"}});
  const DriveMap& map = DriveMap::current();
  ASSERT_TRUE(map.drive('D'));
  EXPECT_EQ(map.drive('C')->nativeRoot, "/");  // C: stays "/" unless the table names it
  EXPECT_EQ(map.readiness("D:\\"), 0);
  EXPECT_EQ(map.readiness("d"), 0);
  EXPECT_EQ(map.readiness("E:\\"), 15);
  EXPECT_EQ(map.readiness(""), 15);
  EXPECT_EQ(map.readiness("1:\\"), 15);

  // The same file written again with other drives is read again.
  m_tree.mkdir("cd");
  m_drives.set(
      {{'C', m_tree.path(""), 3}, {'E', m_tree.path("cd"), 5}, {'F', m_tree.path("gone"), 2}});
  const DriveMap& again = DriveMap::current();
  EXPECT_FALSE(again.drive('D'));
  EXPECT_EQ(again.toNative("C:\\cd"), m_tree.path("cd"));
  // The current map's shortcut follows the table; a native path is not a path text.
  EXPECT_EQ(nativePathOf("C:\\cd"), m_tree.path("cd"));
  EXPECT_EQ(nativePathOf(m_tree.path("cd")), std::nullopt);
  std::filesystem::create_directory_symlink(m_tree.path("cd"), m_tree.path("cd-link"));
  EXPECT_TRUE(pathTextIsFolder("C:\\cd-link"));
  EXPECT_FALSE(pathTextIsFolder("C:\\cd-link", false));
  EXPECT_FALSE(pathTextIsFolder(m_tree.path("cd")));
  EXPECT_EQ(again.readiness("E:\\"), 0);
  EXPECT_EQ(again.readiness("F:\\"), 21);

  // A table file that cannot be read leaves C: alone.
  m_drives.setMissing();
  EXPECT_EQ(DriveMap::current().drives().size(), 1u);
  EXPECT_EQ(DriveMap::current().toNative("C:\\x"), "/x");

  m_drives.clear();
  EXPECT_EQ(DriveMap::current().toNative("C:\\"), "/");
}

TEST_F(DrivesEnv, ReadinessFollowsTheFolder) {
  m_tree.mkdir("card");
  m_tree.write("file", "x");
  m_drives.set({{'D', m_tree.path("card"), 2}, {'E', m_tree.path("file"), 2}});
  EXPECT_EQ(DriveMap::current().readiness("D:"), 0);
  EXPECT_EQ(DriveMap::current().readiness("E:"), 21);  // not a folder
  std::filesystem::remove(m_tree.path("card"));
  EXPECT_EQ(DriveMap::current().readiness("D:"), 21);
}

}  // namespace
}  // namespace quillmere::platform
