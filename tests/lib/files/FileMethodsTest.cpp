#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/Main.h"
#include "platform/FileOps.h"
#include "support/DriveTable.h"
#include "support/Fakes.h"
#include "support/ScratchMount.h"
#include "support/TempTree.h"
#include "support/Unprivileged.h"

namespace quillmere {
namespace {

namespace fo = platform::fileops;
using test::TempTree;

const Main& m = dll();

std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> out;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string homeTrash() {
  return std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
}

TEST(FileCopy, ShellRulesForTargets) {
  TempTree t;
  t.write("in/a.jpg", "A");
  t.write("in/b.JPG", "B");
  t.write("in/c.txt", "C");
  t.mkdir("out");
  EXPECT_FALSE(m.DLL_FileCopy(0, "", t.pathText("out")));
  EXPECT_FALSE(m.DLL_FileCopy(0, t.pathText("in\\a.jpg"), ""));
  // Into an existing folder.
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in\\a.jpg"), t.pathText("out")));
  EXPECT_EQ(t.read("out/a.jpg"), "A");
  // To a full path whose folders do not exist yet.
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in\\b.JPG"), t.pathText("new\\deep\\b2.jpg")));
  EXPECT_EQ(t.read("new/deep/b2.jpg"), "B");
  // An existing target is replaced.
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in\\b.JPG"), t.pathText("out\\a.jpg")));
  EXPECT_EQ(t.read("out/a.jpg"), "B");
  // Wildcards, case ignored.
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in\\*.jpg"), t.pathText("wild")));
  EXPECT_EQ(namesIn(t.path("wild")), (std::vector<std::string>{"a.jpg", "b.JPG"}));
  // A missing source does nothing and says so.
  EXPECT_FALSE(m.DLL_FileCopy(0, t.pathText("in\\none.jpg"), t.pathText("out")));
  EXPECT_FALSE(m.DLL_FileCopy(0, t.pathText("in\\*.png"), t.pathText("out2")));
  EXPECT_FALSE(t.exists("out2"));
  // A folder is copied whole, but never into itself.
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in"), t.pathText("copy")));
  EXPECT_EQ(t.read("copy/c.txt"), "C");
  EXPECT_FALSE(m.DLL_FileCopy(0, t.pathText("in"), t.pathText("in\\sub")));
  EXPECT_FALSE(t.exists("in/sub"));
}

TEST(FileCopy, FailedCopyKeepsTheOldTargetAndReportsFalse) {
  TempTree t;
  t.write("src.jpg", std::string(1 << 20, 's'));
  t.write("dst/src.jpg", "old copy");
  fo::ScopedFault full(
      [](fo::Call call, const std::string&) { return call == fo::Call::Write ? ENOSPC : 0; });
  EXPECT_FALSE(m.DLL_FileCopy(0, t.pathText("src.jpg"), t.pathText("dst")));
  EXPECT_EQ(t.read("dst/src.jpg"), "old copy");
  EXPECT_EQ(namesIn(t.path("dst")), std::vector<std::string>{"src.jpg"});
}

TEST(FileMove, ReplacesAndMovesIntoFolders) {
  TempTree t;
  t.write("a.jpg", "new");
  t.write("out/a.jpg", "old");
  EXPECT_FALSE(m.DLL_FileMove(0, t.pathText("a.jpg"), ""));
  EXPECT_TRUE(t.exists("a.jpg"));
  EXPECT_TRUE(m.DLL_FileMove(0, t.pathText("a.jpg"), t.pathText("out")));
  EXPECT_FALSE(t.exists("a.jpg"));
  EXPECT_EQ(t.read("out/a.jpg"), "new");
  EXPECT_TRUE(m.DLL_FileMove(0, t.pathText("out\\a.jpg"), t.pathText("x\\y\\b.jpg")));
  EXPECT_EQ(t.read("x/y/b.jpg"), "new");
  EXPECT_FALSE(m.DLL_FileMove(0, t.pathText("gone.jpg"), t.pathText("out")));
}

TEST(FileDelete, EmptyMissingPlainAndTrash) {
  TempTree t;
  t.write("a.jpg", "a");
  t.write("tree/b/c.jpg", "c");
  EXPECT_FALSE(m.DLL_FileDelete(0, ""));
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("missing.jpg")));
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("a.jpg")));
  EXPECT_FALSE(t.exists("a.jpg"));
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("tree")));
  EXPECT_FALSE(t.exists("tree"));

  // To the trash, which does not exist yet.
  fo::removeTree(homeTrash());
  t.write("pic.jpg", "keep me");
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("pic.jpg"), false, true));
  EXPECT_FALSE(t.exists("pic.jpg"));
  EXPECT_EQ(namesIn(homeTrash() + "/files"), std::vector<std::string>{"pic.jpg"});
  m.DLL_RecycleClr(0);
  EXPECT_TRUE(namesIn(homeTrash() + "/files").empty());
}

TEST(FileDelete, ToTheTrashWhereNoneCanBeMadeKeepsTheFile) {
  test::ScratchMount card("1m");
  if (!card.mounted()) GTEST_SKIP() << "cannot mount a second file system here";
  std::ofstream(card.root() + "/.Trash-" + std::to_string(::getuid())) << "not a folder";
  fo::makeFolders(card.root() + "/DCIM");
  std::ofstream(card.root() + "/DCIM/IMG_0001.JPG") << "only copy";
  const std::string pic = test::toPathText(card.root() + "/DCIM/IMG_0001.JPG");
  EXPECT_FALSE(m.DLL_FileDelete(0, pic, false, true));
  EXPECT_TRUE(m.DLL_FileCheck(pic));
  EXPECT_FALSE(m.DLL_FileDelete(0, test::toPathText(card.root() + "/DCIM"), false, true));
  EXPECT_TRUE(m.DLL_FileCheck(pic));
}

TEST(FileDelete, NeverADriveRoot) {
  TempTree t;
  t.write("card/DCIM/IMG_0001.JPG", "only copy");
  const test::DriveTable drives({{'D', t.path("card"), 2, "EOS_DIGITAL"}});
  EXPECT_FALSE(m.DLL_FileDelete(0, "D:\\"));
  EXPECT_FALSE(m.DLL_FileDelete(0, "D:"));
  EXPECT_FALSE(m.DLL_FileDelete(0, "D:\\", false, true));
  EXPECT_FALSE(m.DLL_FileMove(0, "D:\\", t.pathText("backup")));
  EXPECT_FALSE(t.exists("backup"));
  EXPECT_EQ(t.read("card/DCIM/IMG_0001.JPG"), "only copy");
}

TEST(FileDelete, ConfirmationThroughTheUiHook) {
  TempTree t;
  t.write("a.jpg", "a");
  {
    test::ScriptedUiHook ui;  // answers No
    EXPECT_FALSE(m.DLL_FileDelete(0, t.pathText("a.jpg"), true, false));
    EXPECT_TRUE(t.exists("a.jpg"));
    ASSERT_EQ(ui.shown.size(), 1u);
    // The question names the file where the user finds it, not as a path text.
    EXPECT_EQ(ui.shown[0].text, "'" + t.path("a.jpg") + "' を削除しますか?");
  }
  {
    test::ScriptedUiHook ui;
    ui.answer(msgbox::kYes);
    EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("a.jpg"), true, true));
    EXPECT_FALSE(t.exists("a.jpg"));
  }
  // Emptying without the no-confirmation flag asks; No keeps the trash.
  {
    test::ScriptedUiHook ui;
    m.DLL_RecycleClr(0, "", 0);
    EXPECT_EQ(ui.shown.size(), 1u);
    EXPECT_EQ(namesIn(homeTrash() + "/files"), std::vector<std::string>{"a.jpg"});
  }
  m.DLL_RecycleClr(0, "C:\\", 1);
  EXPECT_TRUE(namesIn(homeTrash() + "/files").empty());
}

// A name that is not UTF-8 (a card written by an old camera) is copied, moved and trashed byte
// for byte.
TEST(FileOps, NamesThatAreNotUtf8SurviveByteForByte) {
  TempTree t;
  const std::string name = "IMG_\x83\x65\xff.JPG";
  t.write("in/" + name, "bytes");
  t.mkdir("out");
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("in\\" + name)));
  EXPECT_TRUE(m.DLL_FileCopy(0, t.pathText("in\\" + name), t.pathText("out")));
  EXPECT_EQ(t.read("out/" + name), "bytes");
  EXPECT_TRUE(m.DLL_FileMove(0, t.pathText("out\\" + name), t.pathText("moved\\" + name)));
  EXPECT_EQ(t.read("moved/" + name), "bytes");
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("in\\" + name), false, true));
  EXPECT_FALSE(t.exists("in/" + name));
  EXPECT_EQ(namesIn(homeTrash() + "/files"), std::vector<std::string>{name});
  EXPECT_NE(namesIn(homeTrash() + "/info").front().find(name), std::string::npos);
  m.DLL_RecycleClr(0);
  // The temporary folder's own clean-up cannot remove such names: remove them here.
  fo::removeTree(t.path("moved"));
  EXPECT_TRUE(namesIn(homeTrash() + "/files").empty());
}

TEST(FileCheck, NamesAndWildcards) {
  TempTree t;
  t.write("DCIM/IMG_0001.JPG", "");
  EXPECT_FALSE(m.DLL_FileCheck(""));
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("DCIM\\IMG_0001.JPG")));
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("DCIM")));
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("DCIM\\*.jpg")));
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("DCIM\\IMG_????.*")));
  EXPECT_FALSE(m.DLL_FileCheck(t.pathText("DCIM\\*.png")));
  EXPECT_FALSE(m.DLL_FileCheck(t.pathText("DCIM\\IMG_0002.JPG")));
  EXPECT_FALSE(m.DLL_FileCheck("relative\\name"));
}

TEST(FileDelete, ALiteralNameWithPatternCharactersNamesOnlyThatFile) {
  TempTree t;
  t.write("card/a?.jpg", "literal");
  t.write("card/ab.jpg", "neighbour");
  t.write("card/a*.jpg", "star");
  EXPECT_TRUE(m.DLL_FileCheck(t.pathText("card\\a?.jpg")));
  EXPECT_TRUE(m.DLL_FileDelete(0, t.pathText("card\\a?.jpg")));
  EXPECT_TRUE(m.DLL_FileMove(0, t.pathText("card\\a*.jpg"), t.pathText("moved")));
  EXPECT_EQ(t.files(), (std::vector<std::string>{"card/ab.jpg", "moved"}));
  EXPECT_EQ(t.read("moved"), "star");
}

TEST(Attributes, ReadOnlyHiddenArchive) {
  TempTree t;
  const auto p = t.write("a.jpg", "a");
  const std::string text = t.pathText("a.jpg");
  EXPECT_FALSE(m.DLL_ReadCheck(text));
  EXPECT_FALSE(m.DLL_ReadCheck(""));
  EXPECT_FALSE(m.DLL_ReadCheck(t.pathText("none")));
  m.DLL_ReadChenge(text, true);
  EXPECT_TRUE(m.DLL_ReadCheck(text));
  ::chmod(p.c_str(), 0440);
  m.DLL_ReadChenge(text, true);  // already read-only: nothing changes
  struct stat st {};
  ::stat(p.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0440u);
  m.DLL_ReadChenge(text, false);
  EXPECT_FALSE(m.DLL_ReadCheck(text));
  m.DLL_ReadChenge(t.pathText("none"), true);  // a missing file: nothing happens

  t.write(".thumbs", "");
  EXPECT_TRUE(m.DLL_HiddenCheck(t.pathText(".thumbs")));
  EXPECT_FALSE(m.DLL_HiddenCheck(text));
  m.DLL_ArchiveWrite(text, true);
  std::uint32_t bits = 0;
  fo::readAttributes(p, bits);
  EXPECT_EQ(m.DLL_ArchiveCheck(text), (bits & platform::attr::kArchive) != 0);
}

TEST(ReadWriteOK, ProbesWithAFreshNameAndTouchesNoUserFile) {
  TempTree t;
  t.mkdir("DCIM");
  t.write("DCIMTESTFILE", "a user's own file");
  t.write("DCIM/TESTFILE", "another");
  char before[4096];
  ASSERT_NE(::getcwd(before, sizeof before), nullptr);
  EXPECT_TRUE(m.DLL_ReadWriteOK(t.pathText("DCIM")));
  char after[4096];
  ASSERT_NE(::getcwd(after, sizeof after), nullptr);
  EXPECT_STREQ(before, after);  // a working folder on a card would keep it busy
  EXPECT_EQ(t.read("DCIMTESTFILE"), "a user's own file");
  EXPECT_EQ(t.read("DCIM/TESTFILE"), "another");
  EXPECT_EQ(namesIn(t.path("DCIM")), std::vector<std::string>{"TESTFILE"});
  EXPECT_FALSE(m.DLL_ReadWriteOK(t.pathText("missing")));
  EXPECT_FALSE(m.DLL_ReadWriteOK(t.pathText("DCIMTESTFILE")));
  EXPECT_FALSE(m.DLL_ReadWriteOK("Q:\\"));
}

// Permission cases run as the unprivileged user (root ignores permission bits).
TEST(Permissions, UnwritableFolderAndUnreadableFile) {
  TempTree t;
  ::chmod(t.root().c_str(), 0755);
  t.write("locked/a.jpg", "same");
  t.write("open/a.jpg", "same");
  t.write("open/b.jpg", "same");
  ::chmod(t.path("locked").c_str(), 0555);
  ::chmod(t.path("locked/a.jpg").c_str(), 0000);
  ::chmod(t.path("open").c_str(), 0777);
  if (!test::runningAsRoot()) {
    GTEST_SKIP() << "covered by Unprivileged.* when not root";
  }
  const int status =
      test::runUnprivileged("Unprivileged.*", {{"QUILLMERE_PERMISSION_TREE", t.root()}});
  if (status < 0) GTEST_SKIP() << "setpriv is not available to drop root";
  EXPECT_EQ(status, 0);
}

TEST(Unprivileged, DeniedOperationsAnswerFalseAndLoseNothing) {
  const char* root = std::getenv("QUILLMERE_PERMISSION_TREE");
  if (!test::insideUnprivilegedChild() || root == nullptr)
    GTEST_SKIP() << "runs only inside the unprivileged child of Permissions.*";
  const std::string base = test::toPathText(root);
  EXPECT_FALSE(m.DLL_ReadWriteOK(base + "\\locked"));
  EXPECT_TRUE(m.DLL_ReadWriteOK(base + "\\open"));
  EXPECT_FALSE(m.DLL_BinFileCheck(base + "\\locked\\a.jpg", base + "\\open\\a.jpg"));
  EXPECT_TRUE(m.DLL_BinFileCheck(base + "\\open\\a.jpg", base + "\\open\\b.jpg"));
  // Copy into a folder without write permission fails and leaves nothing.
  EXPECT_FALSE(m.DLL_FileCopy(0, base + "\\open\\b.jpg", base + "\\locked"));
  EXPECT_FALSE(m.DLL_FileCopy(0, base + "\\locked\\a.jpg", base + "\\open\\c.jpg"));
  EXPECT_FALSE(m.DLL_FileCheck(base + "\\open\\c.jpg"));
  EXPECT_FALSE(m.DLL_FileMove(0, base + "\\open\\b.jpg", base + "\\locked"));
  EXPECT_TRUE(m.DLL_FileCheck(base + "\\open\\b.jpg"));
  LongArray times;
  EXPECT_FALSE(m.DLL_TimeGet(base + "\\locked\\a.jpg", times));
  LongArray date;
  EXPECT_FALSE(m.DLL_TakeDate(base + "\\locked\\a.jpg", 256, date));
}

TEST(BinFileCheck, ContentsSizesAndSameFile) {
  TempTree t;
  t.write("a.jpg", "0123456789abcdef-the-same");
  t.write("b.jpg", "0123456789abcdef-the-same");
  t.write("c.jpg", "0123456789abcdef-the-samE");
  t.write("d.jpg", "0123456789abcdef-the-sam");
  t.write("e1", "");
  t.write("e2", "");
  EXPECT_TRUE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("b.jpg")));
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("c.jpg")));
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("d.jpg")));
  EXPECT_TRUE(m.DLL_BinFileCheck(t.pathText("e1"), t.pathText("e2")));
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("missing")));
  // One file under two names is never its own duplicate.
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("A.JPG")));
  ::link(t.path("a.jpg").c_str(), t.path("hard.jpg").c_str());
  ::symlink(t.path("a.jpg").c_str(), t.path("soft.jpg").c_str());
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("a.jpg"), t.pathText("hard.jpg")));
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("soft.jpg"), t.pathText("a.jpg")));
}

TEST(BinFileCheck, SparseFourGibFilesDifferingInTheLastByte) {
  TempTree t;
  const std::int64_t size = 4LL << 30;
  for (const char* name : {"big1", "big2", "big3"}) {
    const int fd = ::open(t.path(name).c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, size) != 0) {
      ::close(fd);
      GTEST_SKIP() << "no sparse 4 GiB files here";
    }
    const char last = std::string(name) == "big2" ? 'x' : 'y';
    ASSERT_EQ(::pwrite(fd, &last, 1, size - 1), 1);
    ::close(fd);
  }
  EXPECT_FALSE(m.DLL_BinFileCheck(t.pathText("big1"), t.pathText("big2")));
  EXPECT_TRUE(m.DLL_BinFileCheck(t.pathText("big1"), t.pathText("big3")));
}

TEST(FileSize, SumsColumnOneAndCountsVanishedFilesAsZero) {
  TempTree t;
  t.write("a", "12345");
  t.write("b", "123");
  StringArray table;
  EXPECT_EQ(m.DLL_FileSize(table), 0);
  table.redim(1, 3, 1, 2);
  table(1, 1) = t.pathText("a");
  table(2, 1) = t.pathText("b");
  table(3, 1) = t.pathText("vanished");
  EXPECT_EQ(m.DLL_FileSize(table), 8);
}

TEST(SubDirMake, CopiesAFolderStructure) {
  TempTree t;
  t.write("src/2003/05/a.jpg", "");
  t.mkdir("src/2004");
  StringArray dirs;
  m.DLL_SubDirList(t.pathText("src"), dirs);
  ASSERT_EQ(dirs.dims(), 1);
  EXPECT_TRUE(m.DLL_SubDirMake(t.pathText("dst"), dirs));
  EXPECT_TRUE(t.exists("dst/2003/05"));
  EXPECT_TRUE(t.exists("dst/2004"));
  EXPECT_TRUE(m.DLL_SubDirMake(t.pathText("dst"), dirs));  // again: all there
  t.write("blocker", "a file where a folder should go");
  EXPECT_FALSE(m.DLL_SubDirMake(t.pathText("blocker\\x"), dirs));
}

TEST(SubDirDel, RemovesEmptyFoldersKeepsFilesNeverTouchesADriveRoot) {
  TempTree t;
  t.write("root/keep.jpg", "x");
  t.mkdir("root/a/b/c");
  t.mkdir("root/d");
  t.write("root/e/.hidden", "");
  EXPECT_TRUE(m.DLL_SubDirDel(t.pathText("root")));
  EXPECT_TRUE(t.exists("root/keep.jpg"));
  EXPECT_FALSE(t.exists("root/a"));
  EXPECT_FALSE(t.exists("root/d"));
  EXPECT_TRUE(t.exists("root/e/.hidden"));
  EXPECT_FALSE(m.DLL_SubDirDel("C:\\"));
  EXPECT_FALSE(m.DLL_SubDirDel(t.pathText("missing")));

  // An emptied tree goes, and so do the empty folders above it.
  t.write("top/keep.txt", "x");
  t.mkdir("top/year/day/empty");
  EXPECT_TRUE(m.DLL_SubDirDel(t.pathText("top\\year\\day")));
  EXPECT_FALSE(t.exists("top/year"));
  EXPECT_TRUE(t.exists("top/keep.txt"));
}

TEST(SubDirDel, TheWalkUpStopsAtTheCardsRoot) {
  TempTree t;
  t.mkdir("card/DCIM/100CANON");
  const test::DriveTable drives({{'D', t.path("card"), 2, "EOS_DIGITAL"}});
  EXPECT_TRUE(m.DLL_SubDirDel("D:\\DCIM\\100CANON"));
  EXPECT_FALSE(t.exists("card/DCIM"));
  EXPECT_TRUE(t.exists("card"));
  EXPECT_FALSE(m.DLL_SubDirDel("D:\\"));
}

TEST(WholeFile, GetPutSaveAndHex) {
  TempTree t;
  t.write("bin", std::string("\x00\x01\xAB\xFF", 4));
  ByteArray bytes;
  m.DLL_GetFile(t.pathText("bin"), bytes);
  ASSERT_EQ(bytes.count(), 4);
  EXPECT_EQ(bytes.lbound(), 1);
  EXPECT_EQ(m.DLL_FileBinText(bytes), "0001ABFF");
  ByteArray none;
  m.DLL_GetFile(t.pathText("missing"), none);
  EXPECT_EQ(none.dims(), 0);

  t.write("longer", "0123456789");
  ByteArray head = ByteArray::fromList({'a', 'b'});
  m.DLL_PutFile(t.pathText("longer"), head);
  EXPECT_EQ(t.read("longer"), "ab23456789");

  m.DLL_FileSave(t.pathText("note.txt"), "日付 2003");
  EXPECT_EQ(t.read("note.txt"), "日付 2003");
  m.DLL_FileSave(t.pathText("note.txt"), "");  // nothing happens for an empty text
  EXPECT_EQ(t.read("note.txt"), "日付 2003");
  EXPECT_EQ(namesIn(t.root()), (std::vector<std::string>{"bin", "longer", "note.txt"}));
}

}  // namespace
}  // namespace quillmere
