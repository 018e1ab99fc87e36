// Self-extracting programs: the stub's own properties, what the programs do when run, and that
// lhasa and 7zz still read the archive inside them.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <regex>

#include "../sfx/sfx_format.h"
#include "Harness.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

class Sfx : public ::testing::Test {
 protected:
  TempTree tree;
  std::string report;

  // Archives src/ (with an optional control file) and turns it into src/src.exe.
  std::string makeExe(const std::string& control, const std::string& sFlags) {
    if (!control.empty()) tree.write("src/$", control);
    const std::string lzh = tree.path("src/src.lzh");
    EXPECT_EQ(lzhLib()("a -jm4 -d1 \"" + lzh + "\" \"" + tree.path("src/") + "\"", &report), 0)
        << report;
    EXPECT_EQ(lzhLib()("s " + sFlags + " \"" + lzh + "\" \"" + tree.path("src/") + "\"", &report),
              0)
        << report;
    fs::remove(lzh);
    if (!control.empty()) fs::remove(tree.path("src/$"));
    return tree.path("src/src.exe");
  }
  Shell runExe(const std::string& exe, const std::string& args = "") {
    return shell("cd " + q(tree.root()) + " && TMPDIR=" + q(tree.path("tmp")) + " " + q(exe) + " " +
                 args);
  }
};

TEST(SfxStub, IsSmallLinkedToLibcOnlyAndCarriesNoMethodSignature) {
  const std::string stub = std::string(QUILLMERE_BIN_DIR) + "/quillmere-sfx";
  const std::string bytes = readFile(stub);
  ASSERT_FALSE(bytes.empty());
  EXPECT_LT(bytes.size(), 256u * 1024u);
  EXPECT_FALSE(std::regex_search(bytes, std::regex("-l[hz].-")));
  const auto needed = shell("readelf -d " + q(stub) + " | grep NEEDED");
  EXPECT_EQ(needed.output.find("libc.so.6") != std::string::npos, true) << needed.output;
  EXPECT_EQ(std::count(needed.output.begin(), needed.output.end(), '\n'), 1) << needed.output;
}

TEST_F(Sfx, ExtractsBesideItselfAndReadersStillSeeTheArchive) {
  tree.write("src/a.txt", "alpha");
  tree.write("src/写真/b.jpg", std::string(10000, 'b'));
  tree.mkdir("src/empty");
  const std::string exe = makeExe("", "-gw2 -d1");
  struct stat st {};
  ASSERT_EQ(::stat(exe.c_str(), &st), 0);
  EXPECT_TRUE(st.st_mode & S_IXUSR);
  EXPECT_EQ(shell("lhasa t " + q(exe)).status, 0);
  const auto t7 = shell("7zz t " + q(exe));
  EXPECT_EQ(t7.status, 0) << t7.output;
  EXPECT_NE(t7.output.find("Files: 2"), std::string::npos) << t7.output;
  EXPECT_EQ(t7.output.find("data after the end"), std::string::npos) << t7.output;
  EXPECT_EQ(t7.output.find("Tail Size"), std::string::npos) << t7.output;

  // Our archiver reads the archive inside the program too.
  EXPECT_EQ(lzhLib()("e -x \"" + exe + "\" \"" + tree.path("by-lib/") + "\"", &report), 0)
      << report;
  EXPECT_EQ(tree.read("by-lib/a.txt"), "alpha");

  fs::rename(exe, tree.path("moved.exe"));  // it reads itself, wherever it is
  const auto run = runExe(tree.path("moved.exe"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("2 files, 2 folders extracted"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("OK  a.txt"), std::string::npos) << run.output;  // -gw2: summary
  EXPECT_EQ(tree.read("moved/a.txt"), "alpha");
  EXPECT_EQ(tree.read("moved/写真/b.jpg"), std::string(10000, 'b'));
  EXPECT_TRUE(fs::is_directory(tree.path("moved/empty")));
  // Run again: nothing is replaced, and the status says files were left.
  tree.write("moved/a.txt", "changed");
  const auto again = runExe(tree.path("moved.exe"));
  EXPECT_EQ(again.status, 1) << again.output;
  EXPECT_EQ(tree.read("moved/a.txt"), "changed");
  // An explicit target folder.
  EXPECT_EQ(runExe(tree.path("moved.exe"), q(tree.path("there"))).status, 0);
  EXPECT_EQ(tree.read("there/a.txt"), "alpha");
  // An existing program is not replaced by a new one.
  tree.write("src/src.lzh", readFile(tree.path("moved.exe")).substr(0, 10));
  tree.write("src/src.exe", "user's own program");
  EXPECT_NE(lzhLib()("s \"" + tree.path("src/src.lzh") + "\"", &report), 0);
  EXPECT_EQ(tree.read("src/src.exe"), "user's own program");
}

TEST_F(Sfx, RunsTheCommandOnlyWhenAskedAndOnlyFromInside) {
  tree.write("src/run.sh", "#!/bin/sh\necho ran > \"$(pwd)/marker\"\n");
  fs::permissions(tree.path("src/run.sh"), fs::perms(0755));
  const std::string control = "$WindowTitle=src\r\n$InstallTitle=解凍先\r\n$Command=run.sh";
  std::string exe = makeExe(control, "-gw3 -d1 -!");
  auto run = runExe(exe);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("OK  run.sh"), std::string::npos) << run.output;  // -gw3: each file
  EXPECT_EQ(tree.read("src/src/marker"), "ran\n");
  EXPECT_FALSE(tree.exists("src/src/$"));  // the control file is not extracted
  fs::remove_all(tree.path("src/src"));
  fs::remove(exe);

  exe = makeExe(control, "-gw2 -d1");  // without -! nothing runs
  run = runExe(exe);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_TRUE(tree.exists("src/src/run.sh"));
  EXPECT_FALSE(tree.exists("src/src/marker"));
  fs::remove_all(tree.path("src/src"));
  fs::remove(exe);

  tree.write("evil.sh", "#!/bin/sh\ntouch \"$(pwd)/evil-ran\"\n");
  fs::permissions(tree.path("evil.sh"), fs::perms(0755));
  exe = makeExe("$Command=..\\..\\evil.sh", "-gw2 -d1 -!");
  run = runExe(exe);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_FALSE(tree.exists("evil-ran"));
  EXPECT_FALSE(tree.exists("src/evil-ran"));
}

TEST_F(Sfx, InstallFolderIsATemporaryWorkFolderOrStaysInside) {
  tree.write("src/setup.txt", "x");
  tree.mkdir("tmp");
  std::string exe = makeExe(
      "$WindowTitle=src\r\n$InstallTitle=一時保存先\r\n"
      "$InstallDir=%WORK%\\src\r\n$Command=setup.txt",
      "-gw2 -gyq1 -d1");
  auto run = runExe(exe);
  EXPECT_EQ(run.status, 0) << run.output;
  std::vector<fs::path> work(fs::directory_iterator(tree.path("tmp")), fs::directory_iterator());
  ASSERT_EQ(work.size(), 1u);
  EXPECT_EQ(readFile((work[0] / "src" / "setup.txt").string()), "x");
  EXPECT_EQ(fs::status(work[0]).permissions() & fs::perms::all, fs::perms::owner_all);
  fs::remove(exe);

  for (const char* bad : {"..\\up", "/etc", "C:\\x"}) {
    exe = makeExe(std::string("$InstallDir=") + bad, "-gw2 -d1");
    run = runExe(exe);
    EXPECT_EQ(run.status, 2) << bad << run.output;
    EXPECT_FALSE(tree.exists("up"));
    fs::remove(exe);
  }
}

TEST_F(Sfx, TakesOnlyHelpAndOneFolderAndNeverMakesAFolderNamedLikeAnOption) {
  tree.write("src/a.txt", "alpha");
  const std::string exe = makeExe("", "-gw2 -d1");
  for (const char* help : {"-h", "--help"}) {
    const auto run = runExe(exe, help);
    EXPECT_EQ(run.status, 0) << help << run.output;
    EXPECT_NE(run.output.find("Usage: "), std::string::npos) << help << run.output;
  }
  for (const char* bad : {"-x", "--verbose", "-", "--", "-h2"}) {
    const auto run = runExe(exe, q(bad));
    EXPECT_EQ(run.status, 2) << bad << run.output;
    EXPECT_NE(run.output.find("unknown option"), std::string::npos) << bad << run.output;
  }
  const auto two = runExe(exe, "one two");
  EXPECT_EQ(two.status, 2) << two.output;
  EXPECT_NE(two.output.find("only one folder"), std::string::npos) << two.output;
  // A folder named like an option is not made, whether given or taken from the program's name.
  EXPECT_EQ(runExe(exe, "./-dir").status, 2);
  EXPECT_EQ(runExe(exe, "deep/-dir/x").status, 2);
  fs::rename(exe, tree.path("-p.exe"));
  const auto named = runExe("./-p.exe");
  EXPECT_EQ(named.status, 2) << named.output;
  EXPECT_NE(named.output.find("starts with \"-\""), std::string::npos) << named.output;
  EXPECT_EQ(listing(tree.root()), (std::vector<std::string>{"-p.exe", "src/", "src/a.txt"}));
  // An existing folder of such a name is used as it is.
  tree.mkdir("-there");
  EXPECT_EQ(runExe(tree.path("-p.exe"), "./-there").status, 0);
  EXPECT_EQ(tree.read("-there/a.txt"), "alpha");
}

TEST_F(Sfx, ProgramsWithTheOlderTrailingFooterStillExtract) {
  tree.write("src/a.txt", "alpha");
  ASSERT_EQ(lzhLib()("a \"" + tree.path("a.lzh") + "\" \"" + tree.path("src/") + "\"", &report), 0)
      << report;
  const std::string archive = tree.read("a.lzh");
  const std::string stub = readFile(std::string(QUILLMERE_BIN_DIR) + "/quillmere-sfx");
  sfx_info f{};
  f.archive_offset = stub.size();
  f.archive_length = archive.size();
  f.crc32 = sfx_crc32(0, archive.data(), archive.size());
  unsigned char footer[SFX_INFO_SIZE];
  sfx_encode_info(&f, footer);
  std::memcpy(footer, SFX_FOOTER_MAGIC, 8);
  tree.write("old.exe", stub + archive + std::string(reinterpret_cast<char*>(footer), 40));
  fs::permissions(tree.path("old.exe"), fs::perms(0755));
  const auto run = runExe(tree.path("old.exe"));
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(tree.read("old/a.txt"), "alpha");
  EXPECT_EQ(lzhLib()("l \"" + tree.path("old.exe") + "\"", &report), 0) << report;
  EXPECT_NE(report.find("1 members"), std::string::npos) << report;
}

TEST_F(Sfx, ADamagedProgramExtractsNothing) {
  std::string noise(200000, '\0');
  std::uint32_t x = 1;
  for (auto& c : noise) c = static_cast<char>((x = x * 1103515245u + 12345u) >> 24);
  tree.write("src/a.txt", noise);
  const std::string exe = makeExe("", "-gw2 -d1");
  const std::string good = readFile(exe);
  std::string bytes = good;
  bytes[bytes.find("a.txt") + 100] ^= 0x20;  // inside the archive
  writeFile(exe, bytes);
  auto run = runExe(exe);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_FALSE(tree.exists("src/src"));
  writeFile(exe, good.substr(0, good.size() - 5000));  // truncated inside the archive
  run = runExe(exe);
  EXPECT_EQ(run.status, 2) << run.output;
  EXPECT_FALSE(tree.exists("src/src"));
}

}  // namespace
