// The archiver bindings of Main: the exact command lines, the control file, the results without
// an archiver, and the real archiver behind the same calls.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "core/Main.h"
#include "support/DriveTable.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using quillmere::dll;
using quillmere::test::TempTree;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// C: is the temporary tree, E: a card folder in it; the archivers are the recording stand-ins.
class Bindings : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.mkdir("e");
    drives.set({{'C', tree.root(), 3}, {'E', tree.path("e"), 2, "CARD"}});
    ::setenv("QUILLMERE_ARCHIVER_DIR", QUILLMERE_FAKE_DIR, 1);
    ::setenv("QUILLMERE_FAKE_LOG", tree.path("calls.log").c_str(), 1);
    ::unsetenv("QUILLMERE_FAKE_VERSION");
    ::unsetenv("QUILLMERE_FAKE_RESULT");
    ::unsetenv("QUILLMERE_FAKE_WATCH");
  }
  void TearDown() override {
    for (const char* v : {"QUILLMERE_ARCHIVER_DIR", "QUILLMERE_FAKE_LOG", "QUILLMERE_FAKE_VERSION",
                          "QUILLMERE_FAKE_RESULT", "QUILLMERE_FAKE_WATCH"})
      ::unsetenv(v);
  }
  // Native paths below the folders of C: and E:, as the archivers are handed them.
  std::string c(const std::string& rest) { return tree.root() + rest; }
  std::string e(const std::string& rest) { return tree.path("e") + rest; }
  // The calls, each fresh work name of an archive being made written as "<work>".
  std::vector<std::string> calls() {
    std::vector<std::string> out;
    std::istringstream in(slurp(tree.path("calls.log")));
    for (std::string line; std::getline(in, line);) out.push_back(work(line));
    return out;
  }
  static std::string work(const std::string& text) {
    static const std::regex fresh(R"(([\\/])\.[^\\/"]*\.archive-[a-z0-9]{6})");
    return std::regex_replace(text, fresh, "$1<work>");
  }
  TempTree tree;
  quillmere::test::DriveTable drives;
};

TEST_F(Bindings, LzhMakeBuildsItsCommandLineToTheLetter) {
  tree.mkdir("Photos/2004");
  // The archive is made under a fresh name; the stand-in makes none, so that name comes back.
  EXPECT_EQ(work(dll().DLL_LZHMake(5, "C:\\Photos\\2004", false, true)),
            "C:\\Photos\\2004\\<work>.lzh");
  EXPECT_EQ(work(dll().DLL_LZHMake(5, "C:\\Photos\\2004", true, false)),
            "C:\\Photos\\2004\\<work>.lzh");
  EXPECT_EQ(
      calls(),
      (std::vector<std::string>{
          "5|a -jm2 -d1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" + c("/Photos/2004/") + "\"",
          "5|a -jm2 -a1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" + c("/Photos/2004") + "\""}));
}

TEST_F(Bindings, LzhMakeWithSetupWritesTheTemporaryInstallControlFile) {
  tree.mkdir("Photos/2004");
  ::setenv("QUILLMERE_FAKE_WATCH", tree.path("Photos/2004/$").c_str(), 1);
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "C:\\Photos\\2004", false, true, "D:\\x\\SETUP.EXE")),
            "C:\\Photos\\2004\\<work>.exe");
  const auto log = calls();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0],
            "0|a -jm4 -d1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" + c("/Photos/2004/") + "\"");
  EXPECT_EQ(log[1],
            "$:$WindowTitle=2004\\r\\n$InstallTitle=一時保存先(再起動時自動削除されます)\\r\\n"
            "$InstallDir=%WORK%\\2004\\r\\n$Command=SETUP.EXE");
  EXPECT_EQ(log[2], "0|s -gw2 -gyq1 -d1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" +
                        c("/Photos/2004/") + "\" -!");
  EXPECT_FALSE(tree.exists("Photos/2004/$"));
  EXPECT_FALSE(tree.exists("Photos/2004/2004.lzh"));
}

TEST_F(Bindings, LzhMakeWithAProgramWritesTheFirstFormOrNone) {
  tree.mkdir("Photos/2004");
  ::setenv("QUILLMERE_FAKE_WATCH", tree.path("Photos/2004/$").c_str(), 1);
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "C:\\Photos\\2004", false, false, "D:\\x\\viewer.exe")),
            "C:\\Photos\\2004\\<work>.exe");
  auto log = calls();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0],
            "0|a -jm4 -a1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" + c("/Photos/2004/") + "\"");
  EXPECT_EQ(log[1], "$:$WindowTitle=2004\\r\\n$InstallTitle=解凍先\\r\\n$Command=viewer.exe");
  EXPECT_EQ(log[2], "0|s -gw2 -d1 \"" + c("/Photos/2004/<work>.lzh") + "\" \"" +
                        c("/Photos/2004/") + "\" -!");
  EXPECT_FALSE(tree.exists("Photos/2004/$"));
  // A program name without an extension: no control file, still a self-extractor.
  fs::remove(tree.path("calls.log"));
  tree.write("Photos/2004/$", "the user's own file named $");
  ::unsetenv("QUILLMERE_FAKE_WATCH");
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "C:\\Photos\\2004", false, true, "D:\\x\\program")),
            "C:\\Photos\\2004\\<work>.exe");
  EXPECT_EQ(calls(), (std::vector<std::string>{"0|a -jm4 -d1 \"" + c("/Photos/2004/<work>.lzh") +
                                                   "\" \"" + c("/Photos/2004/") + "\"",
                                               "0|s -gw2 -d1 \"" + c("/Photos/2004/<work>.lzh") +
                                                   "\" \"" + c("/Photos/2004/") + "\" -!"}));
  EXPECT_EQ(tree.read("Photos/2004/$"), "the user's own file named $");
  // With a control file to write, the user's "$" is neither overwritten nor deleted: no call.
  fs::remove(tree.path("calls.log"));
  EXPECT_EQ(dll().DLL_LZHMake(0, "C:\\Photos\\2004", false, true, "D:\\x\\viewer.exe"), "");
  EXPECT_TRUE(calls().empty());
  EXPECT_EQ(tree.read("Photos/2004/$"), "the user's own file named $");
}

TEST_F(Bindings, DottedFoldersAndDriveRootsAreBackedUpThemselves) {
  tree.mkdir("Photos/2003.05.01");
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "C:\\Photos\\2003.05.01", false, true)),
            "C:\\Photos\\2003.05.01\\<work>.lzh");
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "E:\\", false, true)), "E:\\<work>.lzh");
  // A path that names no folder keeps the text rule: the last component is a file.
  EXPECT_EQ(work(dll().DLL_LZHMake(0, "C:\\Photos\\gone.jpg", false, true)),
            "C:\\Photos\\<work>.lzh");
  EXPECT_TRUE(dll().DLL_CABMake(0, "C:\\Photos\\2003.05.01"));
  EXPECT_EQ(calls(),
            (std::vector<std::string>{
                "0|a -jm2 -d1 \"" + c("/Photos/2003.05.01/<work>.lzh") + "\" \"" +
                    c("/Photos/2003.05.01/") + "\"",
                "0|a -jm2 -d1 \"" + e("/<work>.lzh") + "\" \"" + e("/") + "\"",
                "0|a -jm2 -d1 \"" + c("/Photos/<work>.lzh") + "\" \"" + c("/Photos/") + "\"",
                "0|-a -r -i \"" + c("/Photos/2003.05.01/2003.05.01.cab") +
                    "\" "
                    "\"" +
                    c("/Photos/2003.05.01/*.*") + "\""}));
}

TEST_F(Bindings, TheOtherMethodsBuildTheirCommandLines) {
  tree.mkdir("p");
  tree.write("p/a.lzh", "archive");
  EXPECT_EQ(dll().DLL_LZHMakeExe(3, "C:\\p\\a.lzh", false, true, false, false), "C:\\p\\a.exe");
  EXPECT_FALSE(tree.exists("p/a.lzh"));
  EXPECT_TRUE(dll().DLL_LZHKaito(4, "D:\\a\\b.lzh", ""));
  EXPECT_TRUE(dll().DLL_LZHKaito(4, "D:\\a\\b.lzh", "C:\\out"));
  EXPECT_TRUE(dll().DLL_LZHAdd("12", "C:\\a.lzh", "C:\\b.txt"));
  EXPECT_FALSE(dll().DLL_LZHAdd("12", "", "C:\\b.txt"));
  EXPECT_FALSE(dll().DLL_LZHAdd("12", "C:\\a.lzh", ""));
  tree.mkdir("Photos/2004");
  EXPECT_TRUE(dll().DLL_CABMake(0, "C:\\Photos\\2004"));
  EXPECT_TRUE(dll().DLL_CABKaito("C:\\out\\dir", "C:\\a.cab", "7"));
  EXPECT_EQ(calls(), (std::vector<std::string>{
                         "3|s -gw3 \"" + c("/p/a.lzh") + "\" \"" + c("/p/") + "\"",
                         "4|e -x -r2 -a2 -y -n \"D:\\a\\b.lzh\" \"D:\\a\\b\\\" *.*",
                         "4|e -x -r2 -a2 -y -n \"D:\\a\\b.lzh\" \"" + c("/out/") + "\" *.*",
                         "12|a -x1 -x2 \"" + c("/a.lzh") + "\" \"" + c("/b.txt") + "\"",
                         "0|-a -r -i \"" + c("/Photos/2004/2004.cab") + "\" \"" +
                             c("/Photos/2004/*.*") + "\"",
                         "7|-x -o -j \"" + c("/a.cab") + "\" \"" + c("/out/dir/") + "\""}));
}

TEST_F(Bindings, AFailedConversionKeepsTheArchive) {
  tree.mkdir("p");
  tree.write("p/a.lzh", "the only copy");
  ::setenv("QUILLMERE_FAKE_RESULT", "32769", 1);
  EXPECT_EQ(dll().DLL_LZHMakeExe(0, "C:\\p\\a.lzh", true, false, false, false), "C:\\p\\a.exe");
  EXPECT_EQ(tree.read("p/a.lzh"), "the only copy");
}

TEST_F(Bindings, NoUsableArchiverMeansNoCallAndNothingWritten) {
  tree.mkdir("Photos/2004");
  for (const bool missing : {false, true}) {
    if (missing) {
      ::setenv("QUILLMERE_ARCHIVER_DIR", tree.path("nowhere").c_str(), 1);
    } else {
      ::setenv("QUILLMERE_FAKE_VERSION", "0", 1);
    }
    EXPECT_EQ(dll().DLL_LZHGetVersion(), 0);
    EXPECT_EQ(dll().DLL_CABGetVersion(), 0);
    EXPECT_EQ(dll().DLL_LZHMake(0, "C:\\Photos\\2004", false, true, "D:\\x\\SETUP.EXE"), "");
    EXPECT_EQ(dll().DLL_LZHMakeExe(0, "C:\\p\\a.lzh", true, false, false, true), "");
    EXPECT_FALSE(dll().DLL_LZHAdd("0", "C:\\a.lzh", "C:\\b"));
    EXPECT_FALSE(dll().DLL_LZHKaito(0, "C:\\a.lzh", ""));
    EXPECT_FALSE(dll().DLL_CABMake(0, "C:\\Photos\\2004"));
    EXPECT_FALSE(dll().DLL_CABKaito("C:\\x", "C:\\a.cab", "0"));
    EXPECT_FALSE(tree.exists("Photos/2004/$"));
    EXPECT_TRUE(calls().empty());
  }
  // The CAB archiver is judged by the low 16 bits of its version.
  ::setenv("QUILLMERE_ARCHIVER_DIR", QUILLMERE_FAKE_DIR, 1);
  ::setenv("QUILLMERE_FAKE_VERSION", "65536", 1);
  EXPECT_EQ(dll().DLL_CABGetVersion(), 65536);
  EXPECT_FALSE(dll().DLL_CABMake(0, "C:\\Photos\\2004"));
  EXPECT_EQ(dll().DLL_LZHGetVersion(), 65536);
}

// The real archivers behind the same calls.
class RealArchivers : public ::testing::Test {
 protected:
  void SetUp() override { ::unsetenv("QUILLMERE_ARCHIVER_DIR"); }
  TempTree tree;
};

TEST_F(RealArchivers, MakeAndUnpackThroughTheLibrary) {
  EXPECT_GT(dll().DLL_LZHGetVersion(), 0);
  EXPECT_GT(dll().DLL_CABGetVersion(), 0);
  EXPECT_TRUE(dll().DLL_Cab32Dll());
  dll().DLL_Cab32DllInst();  // nothing to copy: the same folder
  tree.write("2004.05.01/a.jpg", std::string(20000, 'a'));
  tree.write("2004.05.01/sub/b.jpg", "b");
  const std::string made = dll().DLL_LZHMake(0, tree.pathText("2004.05.01"), false, true);
  EXPECT_EQ(made, tree.pathText("2004.05.01") + "\\2004.05.01.lzh");
  ASSERT_TRUE(tree.exists("2004.05.01/2004.05.01.lzh"));
  tree.write("extra.txt", "added later");
  EXPECT_TRUE(dll().DLL_LZHAdd("0", made, tree.pathText("extra.txt")));
  EXPECT_TRUE(dll().DLL_LZHKaito(0, made, ""));
  EXPECT_EQ(tree.read("2004.05.01/2004.05.01/extra.txt"), "added later");
  EXPECT_EQ(tree.read("2004.05.01/2004.05.01/a.jpg"), std::string(20000, 'a'));
  EXPECT_EQ(tree.read("2004.05.01/2004.05.01/sub/b.jpg"), "b");

  tree.write("cab/x/c.txt", "c");
  EXPECT_TRUE(dll().DLL_CABMake(0, tree.pathText("cab")));
  ASSERT_TRUE(tree.exists("cab/cab.cab"));
  EXPECT_TRUE(dll().DLL_CABKaito(tree.pathText("cabout"), tree.pathText("cab/cab.cab"), "0"));
  EXPECT_EQ(tree.read("cabout/x/c.txt"), "c");
}

// A make killed half-way left its hidden work file in the folder: the next make removes it
// instead of packing it, and leaves alone what may be in progress or is not a work file.
TEST_F(RealArchivers, WorkFilesLeftByAStoppedMakeAreRemovedFirst) {
  tree.write("trip/a.jpg", "picture");
  const std::vector<std::string> left = {"trip/.trip.archive-abc123.lzh",
                                         "trip/.trip.archive-abc124.exe"};
  const std::vector<std::string> kept = {
      "trip/.trip.archive-def456.lzh",  // written a minute ago: a make may be writing it
      "trip/.trip.archive-abc123.txt", "trip/.other.archive-abc123.lzh",
      "trip/.trip.archive-abc12.lzh", "trip/notes.archive-abc123.lzh"};
  auto writeAged = [&](const std::string& file, int secondsAgo) {
    tree.write(file, "half an archive");
    const timespec when{std::time(nullptr) - secondsAgo, 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, tree.path(file).c_str(), times, 0), 0);
  };
  for (const std::string& f : left) writeAged(f, 2 * 3600);
  writeAged(kept[0], 60);
  for (std::size_t i = 1; i < kept.size(); ++i) writeAged(kept[i], 2 * 3600);

  const std::string made = dll().DLL_LZHMake(0, tree.pathText("trip"), false, true);
  EXPECT_EQ(made, tree.pathText("trip") + "\\trip.lzh");
  for (const std::string& f : left) EXPECT_FALSE(tree.exists(f)) << f;
  for (const std::string& f : kept) EXPECT_TRUE(tree.exists(f)) << f;
  ASSERT_TRUE(dll().DLL_LZHKaito(0, made, tree.pathText("out")));
  EXPECT_EQ(tree.read("out/a.jpg"), "picture");
  EXPECT_FALSE(tree.exists("out/.trip.archive-abc123.lzh"));
}

TEST_F(RealArchivers, SelfExtractorCarriesTheControlFile) {
  tree.write("trip/a.jpg", "picture");
  const std::string exe =
      dll().DLL_LZHMake(0, tree.pathText("trip"), false, true, "C:\\somewhere\\viewer.exe");
  EXPECT_EQ(exe, tree.pathText("trip") + "\\trip.exe");
  ASSERT_TRUE(tree.exists("trip/trip.exe"));
  EXPECT_FALSE(tree.exists("trip/trip.lzh"));
  EXPECT_FALSE(tree.exists("trip/$"));
  const std::string cmd =
      "7zz x -y -o'" + tree.path("seen") + "' '" + tree.path("trip/trip.exe") + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  EXPECT_EQ(tree.read("seen/$"),
            "$WindowTitle=trip\r\n$InstallTitle=解凍先\r\n$Command=viewer.exe");
  EXPECT_EQ(tree.read("seen/a.jpg"), "picture");
}

}  // namespace
