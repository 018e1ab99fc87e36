#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "platform/FileOps.h"
#include "support/ScratchMount.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

namespace fo = platform::fileops;
using platform::CopyOptions;
using platform::Existing;
using test::TempTree;

struct stat statOf(const std::string& p) {
  struct stat st {};
  ::lstat(p.c_str(), &st);
  return st;
}

// Every name in the folder, hidden ones included (left-over temporary files show up here).
std::vector<std::string> namesIn(const std::string& folder) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

TEST(FileOpsRename, NoReplaceFailsOnATakenNameAndKeepsBothFiles) {
  TempTree t;
  const auto a = t.write("a.jpg", "AAA");
  const auto b = t.write("b.jpg", "BBB");
  EXPECT_EQ(fo::rename(a, b).error(), EEXIST);
  EXPECT_EQ(fo::rename(a, b).windowsError(), 183);
  EXPECT_EQ(t.read("a.jpg"), "AAA");
  EXPECT_EQ(t.read("b.jpg"), "BBB");

  EXPECT_TRUE(fo::rename(a, b, Existing::Replace).ok());
  EXPECT_FALSE(t.exists("a.jpg"));
  EXPECT_EQ(t.read("b.jpg"), "AAA");

  EXPECT_TRUE(fo::rename(b, t.path("c.jpg")).ok());
  EXPECT_EQ(t.read("c.jpg"), "AAA");
  EXPECT_EQ(fo::rename(t.path("gone.jpg"), t.path("d.jpg")).error(), ENOENT);
}

TEST(FileOpsRename, ReplaceNeverReplacesAFolderAndCaseOnlyRenameWorks) {
  TempTree t;
  const auto a = t.write("a.JPG", "A");
  t.mkdir("folder");
  EXPECT_FALSE(fo::rename(a, t.path("folder"), Existing::Replace).ok());
  EXPECT_TRUE(t.exists("a.JPG"));
  EXPECT_TRUE(fo::rename(a, t.path("a.jpg")).ok());
  EXPECT_EQ(namesIn(t.root()), (std::vector<std::string>{"a.jpg", "folder"}));
}

// File systems without RENAME_NOREPLACE: link and unlink, and where links are refused too (FAT),
// check then rename. A taken name still fails and nothing is lost.
TEST(FileOpsRename, FallbacksStillRefuseATakenName) {
  for (const bool noLinks : {false, true}) {
    TempTree t;
    fo::ScopedFault fuse([&](fo::Call call, const std::string&) {
      if (call == fo::Call::RenameNoReplace) return EINVAL;
      if (call == fo::Call::Link && noLinks) return EPERM;
      return 0;
    });
    const auto a = t.write("a.jpg", "A");
    const auto b = t.write("b.jpg", "B");
    EXPECT_EQ(fo::rename(a, b).error(), EEXIST) << noLinks;
    EXPECT_EQ(t.read("a.jpg"), "A");
    EXPECT_EQ(t.read("b.jpg"), "B");
    EXPECT_TRUE(fo::rename(a, t.path("c.jpg")).ok()) << noLinks;
    EXPECT_FALSE(t.exists("a.jpg"));
    EXPECT_EQ(t.read("c.jpg"), "A");
    // A copy publishes its temporary file the same way.
    EXPECT_EQ(fo::copyFile(b, t.path("c.jpg")).error(), EEXIST);
    EXPECT_TRUE(fo::copyFile(b, t.path("d.jpg")).ok());
    EXPECT_EQ(namesIn(t.root()), (std::vector<std::string>{"b.jpg", "c.jpg", "d.jpg"}));
  }
}

TEST(FileOpsCopy, KeepsBytesModeAndTimesToTheNanosecond) {
  TempTree t;
  const auto from = t.write("src.jpg", std::string(300000, 'x') + "end");
  ::chmod(from.c_str(), 0444);
  const timespec times[2] = {{1000000000, 123456789}, {1100000000, 987654321}};
  ::utimensat(AT_FDCWD, from.c_str(), times, 0);
  CopyOptions options;
  options.createFolders = true;
  ASSERT_TRUE(fo::copyFile(from, t.path("deep/er/dst.jpg"), options).ok());
  const struct stat st = statOf(t.path("deep/er/dst.jpg"));  // before reading moves atime
  EXPECT_EQ(t.read("deep/er/dst.jpg"), t.read("src.jpg"));
  EXPECT_EQ(st.st_mode & 07777, 0444u);
  EXPECT_EQ(st.st_mtim.tv_sec, 1100000000);
  EXPECT_EQ(st.st_mtim.tv_nsec, 987654321);
  EXPECT_EQ(st.st_atim.tv_sec, 1000000000);
  EXPECT_EQ(namesIn(t.path("deep/er")), std::vector<std::string>{"dst.jpg"});
}

TEST(FileOpsCopy, ExistingTargetFailsOrIsReplacedAndSelfCopyIsRefused) {
  TempTree t;
  const auto from = t.write("a", "new");
  const auto to = t.write("b", "old");
  EXPECT_EQ(fo::copyFile(from, to).error(), EEXIST);
  EXPECT_EQ(t.read("b"), "old");
  CopyOptions replace;
  replace.existing = Existing::Replace;
  EXPECT_TRUE(fo::copyFile(from, to, replace).ok());
  EXPECT_EQ(t.read("b"), "new");
  EXPECT_EQ(fo::copyFile(from, from, replace).error(), EINVAL);
  EXPECT_EQ(t.read("a"), "new");
  EXPECT_EQ(fo::copyFile(t.path(""), t.path("x")).error(), EISDIR);
}

TEST(FileOpsCopy, LongestNamesStillGetATemporaryName) {
  TempTree t;
  std::string name;
  for (int i = 0; i < 80; ++i) name += "写";  // 240 bytes of UTF-8
  name += ".jpg";
  const auto from = t.write(name, "long");
  EXPECT_TRUE(fo::copyFile(from, t.path("copy-" + name.substr(0, 198))).ok());
  t.mkdir("out");
  EXPECT_TRUE(fo::copyFile(from, t.path("out/" + name)).ok());
  EXPECT_EQ(t.read("out/" + name), "long");
  EXPECT_TRUE(
      fo::rename(t.path("out/" + name), t.path("out/" + name.substr(0, 240) + ".JPG")).ok());
}

TEST(FileOpsCopy, ZeroByteFileIsCopied) {
  TempTree t;
  const auto from = t.write("empty", "");
  EXPECT_TRUE(fo::copyFile(from, t.path("copy")).ok());
  EXPECT_TRUE(t.exists("copy"));
  EXPECT_EQ(t.read("copy"), "");
}

// A disk that fills up half-way, an I/O error and a source that vanishes: the copy fails, no
// half-written file appears under the target name, an existing target keeps its bytes and no
// temporary file is left behind.
TEST(FileOpsCopy, FailuresLeaveNoPartialTarget) {
  TempTree t;
  const auto from = t.write("src", std::string(2 * 1024 * 1024, 'p'));
  const auto to = t.write("dst", "previous");
  CopyOptions replace;
  replace.existing = Existing::Replace;
  for (int error : {ENOSPC, EIO}) {
    int writes = 0;
    fo::ScopedFault fault([&](fo::Call call, const std::string&) {
      return call == fo::Call::Write && ++writes == 3 ? error : 0;
    });
    const auto r = fo::copyFile(from, to, replace);
    EXPECT_EQ(r.error(), error);
    EXPECT_EQ(t.read("dst"), "previous");
    EXPECT_EQ(namesIn(t.root()), (std::vector<std::string>{"dst", "src"}));
  }
  {
    fo::ScopedFault vanish([&](fo::Call call, const std::string& path) {
      if (call == fo::Call::Open && path == from) ::unlink(from.c_str());
      return 0;
    });
    EXPECT_EQ(fo::copyFile(from, t.path("fresh")).error(), ENOENT);
  }
  EXPECT_FALSE(t.exists("fresh"));
}

// A whole-file write replaces the target of a link (the link stays), keeps the mode of the file
// it replaces, gives a new file the mode asked for, and a failing step at any point leaves the
// old bytes and no temporary file.
TEST(FileOpsWrite, WholeFileWriteFollowsLinksKeepsModesAndFailsCleanly) {
  TempTree t;
  const auto target = t.write("real", "old");
  ::chmod(target.c_str(), 0640);
  ASSERT_EQ(::symlink("real", t.path("link").c_str()), 0);
  ASSERT_TRUE(fo::writeFileAtomically(t.path("link"), "new", 0600).ok());
  EXPECT_EQ(t.read("real"), "new");
  struct stat st {};
  ASSERT_EQ(::lstat(t.path("link").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_TRUE(fo::writeFileAtomically(t.path("fresh"), "x", 0604).ok());
  ASSERT_EQ(::stat(t.path("fresh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0604u);

  for (fo::Call failing :
       {fo::Call::Create, fo::Call::SetMode, fo::Call::Write, fo::Call::Sync, fo::Call::Rename}) {
    fo::ScopedFault fault([&](fo::Call call, const std::string& path) {
      return call == failing && fo::nameOf(path) == "real" ? ENOSPC : 0;
    });
    EXPECT_EQ(fo::writeFileAtomically(t.path("link"), "lost", 0600).error(), ENOSPC);
    EXPECT_EQ(t.read("real"), "new");
    EXPECT_EQ(namesIn(t.root()), (std::vector<std::string>{"fresh", "link", "real"}));
  }
}

TEST(FileOpsCopy, RealFullFileSystem) {
  test::ScratchMount disk("256k");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";
  TempTree t;
  const auto big = t.write("big", std::string(1024 * 1024, 'b'));
  const auto small = t.write("small", "tiny");
  const std::string target = disk.root() + "/big";
  const auto r = fo::copyFile(big, target);
  EXPECT_EQ(r.error(), ENOSPC);
  EXPECT_EQ(r.windowsError(), 112);
  EXPECT_TRUE(namesIn(disk.root()).empty());
  EXPECT_TRUE(fo::copyFile(small, disk.root() + "/small").ok());
}

TEST(FileOpsCopy, LongCopiesReachTheCallerAndCanBeStopped) {
  TempTree t;
  const auto from = t.write("video", std::string(4 * 256 * 1024, 'v'));
  // Each chunk takes 30 ms, so the copy runs long enough to be asked.
  fo::ScopedFault slow([](fo::Call call, const std::string&) {
    if (call == fo::Call::Write) std::this_thread::sleep_for(std::chrono::milliseconds(30));
    return 0;
  });
  int asked = 0;
  CopyOptions options;
  options.progress = [&] { return ++asked < 100; };
  EXPECT_TRUE(fo::copyFile(from, t.path("a"), options).ok());
  EXPECT_GE(asked, 1);

  options.progress = [] { return false; };
  EXPECT_EQ(fo::copyFile(from, t.path("b"), options).error(), ECANCELED);
  EXPECT_FALSE(t.exists("b"));

  int yields = 0;
  fo::ScopedYieldHandler handler([&] { ++yields; });
  EXPECT_TRUE(fo::copyFile(from, t.path("c")).ok());
  EXPECT_GE(yields, 1);
}

TEST(FileOpsMove, AcrossFileSystemsCopiesChecksAndRemovesTheSource) {
  test::ScratchMount other("4m");
  if (!other.mounted()) GTEST_SKIP() << "cannot mount a second file system here";
  TempTree t;
  const auto from = t.write("pic.jpg", "picture bytes", 1200000000);
  const std::string to = other.root() + "/sub/pic.jpg";
  CopyOptions options;
  options.createFolders = true;
  // A failure on the way leaves the source where it was and nothing at the target.
  {
    fo::ScopedFault full(
        [](fo::Call call, const std::string&) { return call == fo::Call::Write ? ENOSPC : 0; });
    EXPECT_EQ(fo::move(from, to, options).error(), ENOSPC);
  }
  EXPECT_TRUE(t.exists("pic.jpg"));
  EXPECT_TRUE(namesIn(other.root() + "/sub").empty());

  ASSERT_TRUE(fo::move(from, to, options).ok());
  EXPECT_FALSE(t.exists("pic.jpg"));
  EXPECT_EQ(statOf(to).st_mtim.tv_sec, 1200000000);

  // Folders move too.
  t.write("tree/a/1.jpg", "1");
  t.write("tree/2.jpg", "2");
  ASSERT_TRUE(fo::move(t.path("tree"), other.root() + "/tree").ok());
  EXPECT_FALSE(t.exists("tree"));
  std::ifstream in(other.root() + "/tree/a/1.jpg");
  std::string one;
  in >> one;
  EXPECT_EQ(one, "1");
}

TEST(FileOpsRemove, TreeRemovalNeverFollowsLinks) {
  TempTree t;
  t.write("keep/precious.jpg", "x");
  t.write("doomed/a/b.jpg", "y");
  ::symlink(t.path("keep").c_str(), t.path("doomed/a/link").c_str());
  EXPECT_TRUE(fo::removeTree(t.path("doomed")).ok());
  EXPECT_FALSE(t.exists("doomed"));
  EXPECT_EQ(t.read("keep/precious.jpg"), "x");
  EXPECT_EQ(fo::removeFile(t.path("nothing")).error(), ENOENT);
  t.mkdir("full");
  t.write("full/f", "");
  EXPECT_EQ(fo::removeFolder(t.path("full")).error(), ENOTEMPTY);
}

std::string readAll(const std::string& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileOpsTrash, HomeTrashIsCreatedAndNamesNeverClash) {
  const std::string home = std::string(std::getenv("XDG_DATA_HOME")) + "/Trash";
  fo::removeTree(home);
  TempTree t;
  const auto a = t.write("dir1/IMG 1.JPG", "first");
  const auto b = t.write("dir2/IMG 1.JPG", "second");
  ASSERT_TRUE(fo::moveToTrash(a).ok());
  ASSERT_TRUE(fo::moveToTrash(b).ok());
  EXPECT_FALSE(t.exists("dir1/IMG 1.JPG"));
  EXPECT_EQ(readAll(home + "/files/IMG 1.JPG"), "first");
  EXPECT_EQ(readAll(home + "/files/IMG 1.JPG.2"), "second");
  const std::string info = readAll(home + "/info/IMG 1.JPG.trashinfo");
  EXPECT_NE(info.find("[Trash Info]\nPath=" + t.path("dir1") + "/IMG%201.JPG\n"), std::string::npos)
      << info;
  EXPECT_NE(info.find("DeletionDate="), std::string::npos);
  EXPECT_EQ(fo::moveToTrash(t.path("missing")).error(), ENOENT);
  // The longest names still find a place, twice over.
  const std::string longName(250, 'L');
  ASSERT_TRUE(fo::moveToTrash(t.write("dir1/" + longName, "1")).ok());
  ASSERT_TRUE(fo::moveToTrash(t.write("dir2/" + longName, "2")).ok());
  EXPECT_EQ(namesIn(home + "/files").size(), 4u);

  ASSERT_TRUE(fo::emptyTrash().ok());
  EXPECT_TRUE(namesIn(home + "/files").empty());
  EXPECT_TRUE(namesIn(home + "/info").empty());
}

TEST(FileOpsTrash, OtherFileSystemsUseTheirOwnTrash) {
  test::ScratchMount card("4m");
  if (!card.mounted()) GTEST_SKIP() << "cannot mount a second file system here";
  const std::string pic = card.root() + "/DCIM/IMG_0001.JPG";
  fo::makeFolders(card.root() + "/DCIM");
  std::ofstream(pic) << "card picture";
  ASSERT_TRUE(fo::moveToTrash(pic).ok());
  const std::string trash = card.root() + "/.Trash-" + std::to_string(::getuid());
  EXPECT_EQ(readAll(trash + "/files/IMG_0001.JPG"), "card picture");
  EXPECT_NE(readAll(trash + "/info/IMG_0001.JPG.trashinfo").find("Path=DCIM/IMG_0001.JPG\n"),
            std::string::npos);
  ASSERT_TRUE(fo::emptyTrash(card.root()).ok());
  EXPECT_TRUE(namesIn(trash + "/files").empty());
}

// Where no trash can be made (a file holds the trash folder's name), a move to the trash fails
// and the file or folder stays: it is never deleted for good instead.
TEST(FileOpsTrash, NoTrashOnTheVolumeLeavesEverythingInPlace) {
  test::ScratchMount card("1m");
  if (!card.mounted()) GTEST_SKIP() << "cannot mount a second file system here";
  std::ofstream(card.root() + "/.Trash-" + std::to_string(::getuid())) << "not a folder";
  fo::makeFolders(card.root() + "/DCIM/100");
  const std::string pic = card.root() + "/DCIM/100/IMG_0001.JPG";
  std::ofstream(pic) << "only copy";
  EXPECT_EQ(fo::moveToTrash(pic).error(), EXDEV);
  EXPECT_EQ(readAll(pic), "only copy");
  EXPECT_EQ(fo::moveToTrash(card.root() + "/DCIM").error(), EXDEV);
  EXPECT_EQ(readAll(pic), "only copy");

  // A trash that is there but cannot take the file (the move into it fails across devices).
  TempTree t;
  const std::string near = t.write("IMG_0002.JPG", "only copy too");
  {
    fo::ScopedFault fault([](fo::Call call, const std::string&) {
      return call == fo::Call::RenameNoReplace || call == fo::Call::Link ? EXDEV : 0;
    });
    EXPECT_EQ(fo::moveToTrash(near).error(), EXDEV);
  }
  EXPECT_EQ(readAll(near), "only copy too");
}

TEST(FileOpsTimes, Before1970AndAfter2038RoundTrip) {
  TempTree t;
  const auto p = t.write("f", "x");
  for (const timespec when :
       {timespec{-1234567890, 100}, timespec{4102444800, 999999900}, timespec{0, 0}}) {
    ASSERT_TRUE(fo::setTimes(p, when, when).ok());
    platform::FileTimes times;
    ASSERT_TRUE(fo::readTimes(p, times).ok());
    EXPECT_EQ(times.lastWrite.tv_sec, when.tv_sec);
    EXPECT_EQ(times.lastWrite.tv_nsec, when.tv_nsec);
    EXPECT_EQ(times.lastAccess.tv_sec, when.tv_sec);
    if (!times.hasBirthTime) {
      EXPECT_EQ(times.creation.tv_sec, when.tv_sec);
    }
  }
  // Leaving one time out keeps it.
  ASSERT_TRUE(fo::setTimes(p, timespec{5000, 0}, std::nullopt).ok());
  platform::FileTimes times;
  fo::readTimes(p, times);
  EXPECT_EQ(times.lastWrite.tv_sec, 5000);
  EXPECT_EQ(times.lastAccess.tv_sec, 0);
}

TEST(FileOpsAttributes, ReadOnlyHiddenAndArchive) {
  TempTree t;
  const auto p = t.write("pic.jpg", "x");
  std::uint32_t bits = 0;
  ASSERT_TRUE(fo::readAttributes(p, bits).ok());
  EXPECT_EQ(bits & platform::attr::kReadOnly, 0u);
  ASSERT_TRUE(fo::setAttribute(p, platform::attr::kReadOnly, true).ok());
  EXPECT_EQ(statOf(p).st_mode & 0222, 0u);
  fo::readAttributes(p, bits);
  EXPECT_NE(bits & platform::attr::kReadOnly, 0u);
  ASSERT_TRUE(fo::setAttribute(p, platform::attr::kReadOnly, false).ok());
  EXPECT_NE(statOf(p).st_mode & S_IWUSR, 0u);

  const auto dot = t.write(".hidden", "x");
  fo::readAttributes(dot, bits);
  EXPECT_NE(bits & platform::attr::kHidden, 0u);
  fo::readAttributes(t.root(), bits);
  EXPECT_NE(bits & platform::attr::kFolder, 0u);

  const auto archived = fo::setAttribute(p, platform::attr::kArchive, true);
  if (archived.error() == ENOTSUP || archived.error() == EOPNOTSUPP)
    GTEST_SKIP() << "no user extended attributes on this file system";
  ASSERT_TRUE(archived.ok());
  fo::readAttributes(p, bits);
  EXPECT_NE(bits & platform::attr::kArchive, 0u);
  ASSERT_TRUE(fo::setAttribute(p, platform::attr::kArchive, false).ok());
  fo::readAttributes(p, bits);
  EXPECT_EQ(bits & platform::attr::kArchive, 0u);
  EXPECT_EQ(fo::readAttributes(t.path("gone"), bits).error(), ENOENT);
}

TEST(FileOpsWildcards, WindowsStyleMatching) {
  EXPECT_TRUE(fo::matchWildcard("*.*", "noext"));
  EXPECT_TRUE(fo::matchWildcard("*.jpg", "IMG_0001.JPG"));
  EXPECT_TRUE(fo::matchWildcard("IMG_????.JPG", "img_0001.jpg"));
  EXPECT_FALSE(fo::matchWildcard("IMG_???.JPG", "IMG_0001.JPG"));
  EXPECT_TRUE(fo::matchWildcard("a*b*c", "aXXbYYc"));
  EXPECT_FALSE(fo::matchWildcard("a*b*c", "aXXbYY"));
  EXPECT_TRUE(fo::matchWildcard("name.*", "name"));
  TempTree t;
  t.write("a.JPG", "");
  t.write("b.jpg", "");
  t.write("c.txt", "");
  t.write(".d.jpg", "");
  EXPECT_EQ(fo::expandWildcard(t.path("*.jpg")),
            (std::vector<std::string>{t.path("a.JPG"), t.path("b.jpg")}));
  EXPECT_TRUE(fo::expandWildcard(t.path("missing/*")).empty());
}

TEST(FileOpsCompare, DoublingBlocksFindTheLastByte) {
  TempTree t;
  std::string bytes(3 * 1024 * 1024 + 17, 'z');
  const auto a = t.write("a", bytes);
  bytes.back() = 'y';
  const auto b = t.write("b", bytes);
  const auto c = t.write("c", t.read("a"));
  bool equal = true;
  ASSERT_TRUE(fo::compareContents(a, b, equal).ok());
  EXPECT_FALSE(equal);
  ASSERT_TRUE(fo::compareContents(a, c, equal).ok());
  EXPECT_TRUE(equal);
  EXPECT_EQ(fo::compareContents(a, t.path("none"), equal).error(), ENOENT);
}

TEST(FileOpsCompare, APictureIsComparedInOneReadPerSide) {
  TempTree t;
  std::string bytes(80 * 1024, 'p');
  const auto a = t.write("a.jpg", bytes);
  const auto b = t.write("b.jpg", bytes);
  bytes[40 * 1024] = 'q';
  const auto c = t.write("c.jpg", bytes);
  int reads = 0;
  fo::ScopedFault count([&](fo::Call call, const std::string&) {
    if (call == fo::Call::Read) ++reads;
    return 0;
  });
  bool equal = false;
  ASSERT_TRUE(fo::compareContents(a, b, equal).ok());
  EXPECT_TRUE(equal);
  EXPECT_EQ(reads, 2) << "one block each, the end seen in the same read";
  reads = 0;
  ASSERT_TRUE(fo::compareContents(a, c, equal).ok());
  EXPECT_FALSE(equal);
  EXPECT_EQ(reads, 2);
}

TEST(FileOpsCompare, SameContentsWantsTwoDistinctRegularFilesOfOneSize) {
  TempTree t;
  const auto a = t.write("a.jpg", "picture");
  const auto b = t.write("b.jpg", "picture");
  const auto longer = t.write("longer.jpg", "picture+");
  ASSERT_EQ(::link(a.c_str(), t.path("hard.jpg").c_str()), 0);
  const auto same = fo::sameContents(a, b);
  EXPECT_TRUE(same.result.ok());
  EXPECT_TRUE(same.equal);
  EXPECT_TRUE(same.firstAccessKept && same.secondAccessKept) << "the owner's files";
  EXPECT_FALSE(fo::sameContents(a, t.path("hard.jpg")).equal) << "one file under two names";
  EXPECT_FALSE(fo::sameContents(a, a).equal);
  EXPECT_FALSE(fo::sameContents(a, longer).equal);
  EXPECT_FALSE(fo::sameContents(a, t.mkdir("folder")).equal);
  const auto gone = fo::sameContents(a, t.path("none"));
  EXPECT_FALSE(gone.equal);
  EXPECT_EQ(gone.result.error(), ENOENT);
}

TEST(FileOpsProbe, WritableFolderLeavesNothingBehind) {
  TempTree t;
  t.write("existing", "keep");
  EXPECT_TRUE(fo::probeWritable(t.root()).ok());
  EXPECT_EQ(namesIn(t.root()), std::vector<std::string>{"existing"});
  EXPECT_FALSE(fo::probeWritable(t.path("missing")).ok());
}

TEST(FolderLinks, NoFolderBelowTheRootMayBeALink) {
  TempTree t;
  const std::string root = t.mkdir("tree");
  t.mkdir("tree/real/deeper");
  t.mkdir("outside");
  ASSERT_EQ(::symlink(t.path("outside").c_str(), t.path("tree/link").c_str()), 0);
  ASSERT_EQ(::symlink(t.path("tree").c_str(), t.path("rootlink").c_str()), 0);
  t.write("tree/file.jpg", "x");
  EXPECT_TRUE(fo::checkNoFolderLink(root, root + "/real/deeper/a.jpg").ok());
  EXPECT_TRUE(fo::checkNoFolderLink(root, root + "/new/folders/a.jpg").ok()) << "made as folders";
  EXPECT_TRUE(fo::checkNoFolderLink(root, root + "/link").ok()) << "the last name itself";
  EXPECT_EQ(fo::checkNoFolderLink(root, root + "/link/a.jpg").error(), ELOOP);
  EXPECT_EQ(fo::checkNoFolderLink(root, root + "/link/new/a.jpg").error(), ELOOP);
  EXPECT_EQ(fo::checkNoFolderLink(root, root + "/file.jpg/a.jpg").error(), ENOTDIR);
  EXPECT_EQ(fo::checkNoFolderLink(root, root + "/real/../link/a.jpg").error(), EINVAL);
  EXPECT_EQ(fo::checkNoFolderLink(root, t.path("outside/a.jpg")).error(), EINVAL);
  EXPECT_EQ(fo::checkNoFolderLink(root, root).error(), EINVAL);
  // The root may itself be reached through a link.
  EXPECT_TRUE(fo::checkNoFolderLink(t.path("rootlink"), t.path("rootlink") + "/real/a.jpg").ok());
}

TEST(AccessTimes, CopyingAndComparingLeaveTheSourcesLastAccessTime) {
  TempTree t;
  const std::string a = t.write("a.jpg", "picture");
  const std::string b = t.write("b.jpg", "picture");
  const timespec old[2] = {{1600000000, 0}, {1600000000, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, a.c_str(), old, 0), 0);
  ASSERT_EQ(::utimensat(AT_FDCWD, b.c_str(), old, 0), 0);
  ASSERT_TRUE(fo::copyFile(a, t.path("copy.jpg")).ok());
  bool equal = false;
  ASSERT_TRUE(fo::compareContents(a, b, equal).ok());
  EXPECT_TRUE(equal);
  EXPECT_EQ(statOf(a).st_atim.tv_sec, 1600000000);
  EXPECT_EQ(statOf(b).st_atim.tv_sec, 1600000000);
  EXPECT_EQ(statOf(t.path("copy.jpg")).st_atim.tv_sec, 1600000000);
}

}  // namespace
}  // namespace quillmere
