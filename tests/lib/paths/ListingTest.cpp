// Folder listings: which entries are listed, their order, and the trees that must not hang them.
#include <gtest/gtest.h>

#include <grp.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/Main.h"
#include "paths/Listing.h"
#include "platform/DriveMap.h"
#include "support/TempTree.h"

namespace quillmere {
namespace {

const Main& m = dll();

std::vector<std::string> entries(const StringArray& a) {
  return {a.begin(), a.end()};
}

// The order the listings promise: each position takes the lowest of the entries after it.
std::vector<std::string> exchangeSorted(std::vector<std::string> v) {
  for (std::size_t j = 0; j < v.size(); ++j)
    for (std::size_t k = j + 1; k < v.size(); ++k)
      if (v[k] < v[j]) std::swap(v[j], v[k]);
  return v;
}

// The listing with statuses names what DLL_FileNameList names, in its order, and each status is
// what a status call on the file (links followed) says.
void expectListingWithStatus(const std::string& root) {
  SCOPED_TRACE(root);
  StringArray plain;
  m.DLL_FileNameList(root, plain, 1);
  std::vector<paths::ListedFile> listed;
  EXPECT_EQ(paths::listFilesWithStatus(root, listed, true, nullptr), plain.count() > 0);
  std::vector<std::string> texts;
  for (const paths::ListedFile& f : listed) {
    texts.push_back(f.pathText);
    struct stat st {};
    ASSERT_EQ(::stat(platform::nativePathOf(f.pathText).value_or("").c_str(), &st), 0)
        << f.pathText;
    EXPECT_TRUE(f.status.read);
    EXPECT_EQ(f.status.size, st.st_size) << f.pathText;
    EXPECT_EQ(f.status.mode, st.st_mode) << f.pathText;
    EXPECT_EQ(f.status.lastWrite.tv_sec, st.st_mtim.tv_sec);
    EXPECT_EQ(f.status.lastWrite.tv_nsec, st.st_mtim.tv_nsec);
  }
  EXPECT_EQ(texts, entries(plain));
}

TEST(FileNameList, OrdinalOrderOfWholePaths) {
  test::TempTree tree;
  for (const char* f : {"a.jpg", "B.jpg", "sub/c.jpg", "sub x/d.jpg", "sub-1/e.jpg",
                        "\xE3\x81\x82.jpg", "sub/deeper/f", "sub/deeper/g.JPG"})
    tree.write(f, "x");
  const std::string root = tree.pathText();
  StringArray list;
  ASSERT_TRUE(m.DLL_FileNameList(root, list, 1));
  const std::vector<std::string> expected = {root + "\\B.jpg",
                                             root + "\\a.jpg",
                                             root + "\\sub x\\d.jpg",
                                             root + "\\sub-1\\e.jpg",
                                             root + "\\sub\\c.jpg",
                                             root + "\\sub\\deeper\\f",
                                             root + "\\sub\\deeper\\g.JPG",
                                             root + "\\\xE3\x81\x82.jpg"};
  EXPECT_EQ(entries(list), expected);
  EXPECT_EQ(entries(list), exchangeSorted(entries(list)));
  EXPECT_EQ(list.lbound(), 1);
  tree.write("sub/deeper/f", "longer");
  expectListingWithStatus(root);

  // Any SubDir other than exactly 1 lists the root only; a trailing separator changes nothing.
  for (int subDir : {0, -1, 2}) {
    StringArray rootOnly;
    ASSERT_TRUE(m.DLL_FileNameList(root + "\\\\", rootOnly, subDir));
    EXPECT_EQ(entries(rootOnly), (std::vector<std::string>{root + "\\B.jpg", root + "\\a.jpg",
                                                           root + "\\\xE3\x81\x82.jpg"}));
  }
}

TEST(FileNameList, AppendsToTheListAndSortsTheWhole) {
  test::TempTree tree;
  tree.write("m.jpg", "x");
  StringArray list = StringArray::fromList({"zzz", "000"});
  ASSERT_TRUE(m.DLL_FileNameList(tree.pathText(), list, 0));
  EXPECT_EQ(entries(list), (std::vector<std::string>{"000", tree.pathText("m.jpg"), "zzz"}));
  EXPECT_EQ(list.lbound(), 1);
}

TEST(FileNameList, NothingFound) {
  test::TempTree tree;
  tree.mkdir("empty/sub");
  StringArray list;
  EXPECT_FALSE(m.DLL_FileNameList(tree.pathText("empty"), list, 1));
  EXPECT_FALSE(m.DLL_XBoundString(list));
  EXPECT_FALSE(m.DLL_FileNameList(tree.pathText("missing"), list, 1));
  EXPECT_FALSE(m.DLL_FileNameList("", list, 1));
  EXPECT_FALSE(m.DLL_FileNameList("\\", list, 1));
  EXPECT_FALSE(m.DLL_FileNameList("Q:\\DCIM", list, 1));
  EXPECT_FALSE(m.DLL_FileNameList("\\\\server\\share", list, 1));
  EXPECT_FALSE(m.DLL_FileNameList(tree.pathText() + "\\" + std::string(4000, 'x'), list, 1));
  tree.write("file.jpg", "x");
  EXPECT_FALSE(m.DLL_FileNameList(tree.pathText("file.jpg"), list, 1));  // a file, not a folder
  EXPECT_FALSE(m.DLL_XBoundString(list));
}

TEST(FileNameList, HiddenBackslashAndSpecialEntriesArePassedOver) {
  test::TempTree tree;
  tree.write("shown.jpg", "x");
  tree.write(".hidden.jpg", "x");
  tree.write(".hiddendir/a.jpg", "x");
  tree.write("back\\slash.jpg", "x");
  tree.write("back\\slashdir/b.jpg", "x");
  ASSERT_EQ(::mkfifo(tree.path("pipe").c_str(), 0644), 0);
  StringArray list;
  ASSERT_TRUE(m.DLL_FileNameList(tree.pathText(), list, 1));
  EXPECT_EQ(entries(list), (std::vector<std::string>{tree.pathText("shown.jpg")}));

  StringArray dirs;
  m.DLL_SubDirList(tree.pathText(), dirs);
  EXPECT_EQ(entries(dirs), (std::vector<std::string>{""}));
}

TEST(FileNameList, NamesThatAreNotUtf8ComeBackByteForByte) {
  test::TempTree tree;
  const std::string sjisFolder = "\x83\x5C\x83\x74\x83\x67";  // CP932, holds 0x5C
  const std::string latin1 = "caf\xE9.jpg";
  tree.write(latin1, "x");
  // A CP932 name whose second byte is 0x5C holds "\" and cannot be a path text.
  tree.write(sjisFolder + "/a.jpg", "x");
  const std::string plain = "\x83\x74\x83\x40";  // no 0x5C byte
  tree.write(plain + "/\x93\xFA.JPG", "x");
  StringArray list;
  ASSERT_TRUE(m.DLL_FileNameList(tree.pathText(), list, 1));
  ASSERT_EQ(entries(list), (std::vector<std::string>{tree.pathText(latin1),
                                                     tree.pathText(plain + "/\x93\xFA.JPG")}));
  // The names go back into the library unchanged.
  StringArray again;
  ASSERT_TRUE(m.DLL_FileNameList(m.DLL_DirName(list(2), 1), again, 0));
  EXPECT_EQ(again(1), list(2));
  expectListingWithStatus(tree.pathText());
  std::string dir = list(2);
  EXPECT_EQ(m.DLL_DirCheck(dir), tree.pathText(plain));
  std::string name = "\x93\xFA.jpg";
  ASSERT_TRUE(m.DLL_FileSerch(tree.pathText(), name, true));
  EXPECT_EQ(name, list(2));
  // QTemporaryDir cannot remove names that are not UTF-8: take them away here.
  std::filesystem::remove_all(tree.path(latin1));
  std::filesystem::remove_all(tree.path(sjisFolder));
  std::filesystem::remove_all(tree.path(plain));
}

TEST(FileNameList, LinksAreFollowedToFilesButNotIntoFolders) {
  test::TempTree tree;
  tree.write("a/pic.jpg", "x");
  ASSERT_EQ(::symlink("..", tree.path("a/loop").c_str()), 0);  // a loop
  ASSERT_EQ(::symlink("pic.jpg", tree.path("a/link.jpg").c_str()), 0);
  ASSERT_EQ(::symlink("nowhere", tree.path("a/dangling.jpg").c_str()), 0);
  StringArray list;
  ASSERT_TRUE(m.DLL_FileNameList(tree.pathText(), list, 1));
  EXPECT_EQ(entries(list),
            (std::vector<std::string>{tree.pathText("a/link.jpg"), tree.pathText("a/pic.jpg")}));
  StringArray dirs;
  m.DLL_SubDirList(tree.pathText(), dirs);
  EXPECT_EQ(entries(dirs), (std::vector<std::string>{"", "a"}));
  tree.write("a/pic.jpg", "longer than the link");  // the link's status is its target's
  expectListingWithStatus(tree.pathText());
  // A link given as the root itself is followed.
  ASSERT_EQ(::symlink(tree.path("a").c_str(), tree.path("root-link").c_str()), 0);
  StringArray viaLink;
  ASSERT_TRUE(m.DLL_FileNameList(tree.pathText("root-link"), viaLink, 1));
  EXPECT_EQ(viaLink.count(), 2);
}

// Runs fn in a child process after setup (which returns an error text or "") and returns what
// fn gave back.
std::string runInChild(const std::function<std::string()>& setup,
                       const std::function<std::string()>& fn) {
  int fds[2];
  if (::pipe(fds) != 0) return "pipe failed";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::close(fds[0]);
    std::string out = setup();
    if (out.empty()) out = fn();
    (void)!::write(fds[1], out.data(), out.size());
    ::_exit(0);
  }
  ::close(fds[1]);
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(fds[0], buf, sizeof buf)) > 0;) out.append(buf, n);
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return out;
}

// Runs fn as an unprivileged user (root ignores permission bits); in this process when we are
// not root.
std::string runUnprivileged(const std::function<std::string()>& fn) {
  if (::geteuid() != 0) return fn();
  return runInChild(
      [] {
        const bool dropped = ::setgroups(0, nullptr) == 0 &&
                             ::setresgid(65534, 65534, 65534) == 0 &&
                             ::setresuid(65534, 65534, 65534) == 0;
        return std::string(dropped ? "" : "cannot drop privileges");
      },
      fn);
}

TEST(FileNameList, UnreadableFoldersArePassedOver) {
  test::TempTree tree;
  tree.write("open/a.jpg", "x");
  tree.write("locked/b.jpg", "x");
  tree.write("locked/inner/c.jpg", "x");
  ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(tree.path("locked").c_str(), 0), 0);
  const std::string root = tree.pathText();
  const std::string got = runUnprivileged([&] {
    StringArray list;
    std::string out = m.DLL_FileNameList(root, list, 1) ? "T" : "F";
    for (const auto& e : list) out += "|" + e;
    StringArray dirs;
    m.DLL_SubDirList(root, dirs);
    for (const auto& e : dirs) out += "|d:" + e;
    StringArray none;
    out += m.DLL_FileNameList(root + "\\locked", none, 1) ? "|T" : "|F";
    // The same listing names the folders it could not read.
    StringArray again;
    std::vector<std::string> unreadable;
    paths::listFiles(root, again, 1, &unreadable);
    for (const auto& e : unreadable) out += "|u:" + e;
    std::vector<paths::ListedFile> withStatus;
    unreadable.clear();
    paths::listFilesWithStatus(root, withStatus, true, &unreadable);
    for (const auto& e : withStatus) out += "|s:" + e.pathText;
    for (const auto& e : unreadable) out += "|u:" + e;
    return out;
  });
  EXPECT_EQ(got, "T|" + tree.pathText("open/a.jpg") +
                     "|d:|d:locked|d:open|F|u:" + tree.pathText("locked") +
                     "|s:" + tree.pathText("open/a.jpg") + "|u:" + tree.pathText("locked"));
}

TEST(FileNameList, AFolderMountedInsideItselfIsListedOnce) {
  test::TempTree tree;
  tree.write("a.jpg", "x");
  tree.write("sub/b.jpg", "x");
  tree.mkdir("sub/loop");
  const std::string root = tree.pathText();
  const std::string got = runInChild(
      [&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount(tree.root().c_str(), tree.path("sub/loop").c_str(), nullptr, MS_BIND | MS_REC,
                    nullptr) != 0)
          return std::string("skip");
        return std::string();
      },
      [&] {
        StringArray list;
        m.DLL_FileNameList(root, list, 1);
        std::string out;
        for (const auto& e : list) out += e + "|";
        return out;
      });
  if (got == "skip") GTEST_SKIP() << "cannot bind-mount in a private mount namespace here";
  EXPECT_EQ(got, tree.pathText("a.jpg") + "|" + tree.pathText("sub/b.jpg") + "|");
}

TEST(SubDirList, BreadthOfTheTreeInOrdinalOrder) {
  test::TempTree tree;
  for (const char* d : {"b/x/y", "a", "a b", "b/.git/objects", "c.d/e"}) tree.mkdir(d);
  StringArray dirs;
  m.DLL_SubDirList(tree.pathText(), dirs);
  EXPECT_EQ(entries(dirs),
            (std::vector<std::string>{"", "a", "a b", "b", "b\\x", "b\\x\\y", "c.d", "c.d\\e"}));
  EXPECT_EQ(dirs.lbound(), 1);

  StringArray leaf = StringArray::fromList({"stale", "entries"});
  m.DLL_SubDirList(tree.pathText("a"), leaf);
  EXPECT_EQ(entries(leaf), (std::vector<std::string>{""}));
  m.DLL_SubDirList("Q:\\nothing", leaf);
  EXPECT_EQ(entries(leaf), (std::vector<std::string>{""}));
  m.DLL_SubDirList("", leaf);
  EXPECT_EQ(entries(leaf), (std::vector<std::string>{""}));
}

TEST(SubDirSerch, MatchesTheLastNameOfDeeperFolders) {
  test::TempTree tree;
  tree.mkdir("DCIM/100CANON");
  tree.mkdir("100CANON");
  tree.mkdir("x/2003.05.01");
  EXPECT_EQ(m.DLL_SubDirSerch(tree.pathText(), "100CANON"), "DCIM\\100CANON");
  EXPECT_EQ(m.DLL_SubDirSerch(tree.pathText(), "DCIM"), "");      // depth one never matches
  EXPECT_EQ(m.DLL_SubDirSerch(tree.pathText(), "100canon"), "");  // exact comparison
  EXPECT_EQ(m.DLL_SubDirSerch(tree.pathText(), "2003.05.01"), "");
  EXPECT_EQ(m.DLL_SubDirSerch(tree.pathText(), ""), "");
}

TEST(FileSerch, FirstMatchWithoutRegardToCase) {
  test::TempTree tree;
  tree.write("help/QuMere_Help.html", "x");
  tree.write("a/b/quMERE_help.HTML", "x");
  tree.write("z/QuMere_Help.html", "x");
  std::string name = "\\qumere_help.html\\";
  EXPECT_FALSE(m.DLL_FileSerch(tree.pathText(), name, false));
  EXPECT_EQ(name, "qumere_help.html");
  ASSERT_TRUE(m.DLL_FileSerch(tree.pathText(), name, true));
  EXPECT_EQ(name, tree.pathText("a/b/quMERE_help.HTML"));  // SubDirList order: a\b first

  tree.write("QUMERE_HELP.html", "x");
  tree.write("QuMere_help.html", "x");
  name = "QuMere_Help.html";
  ASSERT_TRUE(m.DLL_FileSerch(tree.pathText(), name, true));
  EXPECT_EQ(name, tree.pathText("QUMERE_HELP.html"));  // the root first, then by bytes

  name = "missing.dll";
  EXPECT_FALSE(m.DLL_FileSerch(tree.pathText(), name, true));
  EXPECT_EQ(name, "missing.dll");
  name = "x.dll";
  EXPECT_FALSE(m.DLL_FileSerch("Q:\\", name, true));
  name = "help";  // a folder is not a file
  EXPECT_FALSE(m.DLL_FileSerch(tree.pathText(), name, true));
  name = "";
  EXPECT_FALSE(m.DLL_FileSerch(tree.pathText(), name, true));
}

}  // namespace
}  // namespace quillmere
