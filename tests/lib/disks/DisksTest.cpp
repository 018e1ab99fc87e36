#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "core/Main.h"
#include "support/DriveTable.h"
#include "support/ScratchMount.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

using test::TempTree;
const Main& m = dll();

// A drive table with a card (D:, removable), a CD (E:), a card reader without a card (F:, its
// folder missing) and a second fixed disk (G:).
class Drives : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.mkdir("card");
    tree.mkdir("cd");
    tree.mkdir("disk");
    drives.set({{'D', tree.path("card"), 2, "EOS_DIGITAL"},
                {'E', tree.path("cd"), 5, "DISC"},
                {'F', tree.path("no-card"), 2},
                {'G', tree.path("disk"), 3, "DATA"}});
  }

  TempTree tree;
  test::DriveTable drives;
};

TEST_F(Drives, CheckDiskReadinessNumbers) {
  EXPECT_EQ(m.DLL_CheckDisk("C:\\"), 0);
  EXPECT_EQ(m.DLL_CheckDisk("c"), 0);
  EXPECT_EQ(m.DLL_CheckDisk("D:\\DCIM\\100CANON"), 0);
  EXPECT_EQ(m.DLL_CheckDisk("d: [EOS_DIGITAL]"), 0);
  EXPECT_NE(m.DLL_CheckDisk("F:\\"), 0);  // a reader without a card
  EXPECT_EQ(m.DLL_CheckDisk("F:\\"), 21);
  EXPECT_NE(m.DLL_CheckDisk("Q:\\"), 0);  // no such drive
}

TEST_F(Drives, EjectOKOnlyForReadyRemovableAndOpticalMedia) {
  EXPECT_FALSE(m.DLL_EjectOK("C:\\"));
  EXPECT_FALSE(m.DLL_EjectOK("G:\\"));
  EXPECT_TRUE(m.DLL_EjectOK("D:\\"));
  EXPECT_TRUE(m.DLL_EjectOK("E:\\"));
  EXPECT_FALSE(m.DLL_EjectOK("F:\\"));
  EXPECT_FALSE(m.DLL_EjectOK("Q:\\"));
}

TEST_F(Drives, EjectIsSilentAndLeavesFixedDisksAlone) {
  m.DLL_Eject("1:");
  m.DLL_Eject("");
  m.DLL_Eject("C:\\");
  m.DLL_Eject("Q");
  m.DLL_Eject("D:\\");  // no udisks here: nothing happens, nothing is raised
  EXPECT_TRUE(tree.exists("card"));
}

TEST_F(Drives, DriveTypes) {
  EXPECT_EQ(m.DLL_GetDriveType("c"), 3);
  EXPECT_EQ(m.DLL_GetDriveType("C:\\home"), 3);
  EXPECT_EQ(m.DLL_GetDriveType("d: [EOS_DIGITAL]"), 2);
  EXPECT_EQ(m.DLL_GetDriveType("E:"), 5);
  EXPECT_EQ(m.DLL_GetDriveType("F:\\"), 2);  // the type stays without a medium
  EXPECT_EQ(m.DLL_GetDriveType("\\\\server\\share"), 0);
  EXPECT_EQ(m.DLL_GetDriveType("Q:\\"), 1);
  EXPECT_EQ(m.DLL_GetDriveType("ab:\\"), 1);
  EXPECT_EQ(m.DLL_GetDriveType(""), 0);
}

TEST_F(Drives, FreeSpaceInExactBytes) {
  struct statvfs vfs {};
  ASSERT_EQ(::statvfs(tree.path("disk").c_str(), &vfs), 0);
  const double total = m.DLL_DiskFreeSpace("G:\\", 0).toDouble();
  EXPECT_EQ(total, static_cast<double>(vfs.f_blocks) * static_cast<double>(vfs.f_frsize));
  EXPECT_GT(total, 4294967296.0);  // more than 32 bits of bytes, exactly
  EXPECT_EQ(m.DLL_DiskFreeSpace("F:\\", 1).toDouble(), -1);
  EXPECT_EQ(m.DLL_DiskFreeSpace("Q:\\", 1).toDouble(), -1);
  EXPECT_EQ(m.DLL_DiskFreeSpace("C:\\", 7).toDouble(), 0);
  EXPECT_GE(m.DLL_DiskFreeSpace("C:\\", 2).toDouble(), m.DLL_DiskFreeSpace("C:\\", 1).toDouble());
}

TEST_F(Drives, FreeSpaceOfASmallCard) {
  test::ScratchMount card("512k");
  if (!card.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  drives.set({{'H', card.root(), 2, "SMALL"}});
  EXPECT_EQ(m.DLL_DiskFreeSpace("H:\\", 0).toDouble(), 512.0 * 1024);
  EXPECT_EQ(m.DLL_DiskFreeSpace("H:\\", 1).toDouble(), 512.0 * 1024);
  std::ofstream(card.root() + "/pic.jpg") << std::string(100 * 1024, 'x');
  EXPECT_EQ(m.DLL_DiskFreeSpace("H:\\", 1).toDouble(), 412.0 * 1024);
}

TEST_F(Drives, DiskListHoldsTheReadyDrivesInOrder) {
  StringArray list = StringArray::fromList({"stale"});
  const std::int32_t n = m.DLL_DiskList(list);
  EXPECT_EQ(n, 4);
  EXPECT_EQ(list, StringArray::fromList({"C:\\", "D:\\", "E:\\", "G:\\"}));
}

}  // namespace
}  // namespace quillmere
