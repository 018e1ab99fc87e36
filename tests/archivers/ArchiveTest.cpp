// The LZH archiver library through its entry point: creating, updating, listing and extracting,
// the reference archives of another archiver, and every kind of bad input.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "Harness.h"
#include "LzhWriter.h"
#include "lzh_codec.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

class LzhArchiveTest : public ::testing::Test {
 protected:
  TempTree tree;
  std::string report;
  int run(const std::string& command) { return lzhLib()(command, &report); }
  std::string p(const std::string& rel) { return tree.path(rel); }
};

TEST_F(LzhArchiveTest, CreatesExtractsAndKeepsTheArchiveOutOfItself) {
  tree.write("src/a.txt", "alpha\n");
  tree.write("src/写真/日付.txt", std::string(5000, 'x'));
  tree.write("src/empty.bin", "");
  tree.mkdir("src/empty folder");
  tree.write("src/sub/deep/r.bin", randomBytes(70000, 1));
  // The archive lies inside the folder it archives, as the backup makes it.
  ASSERT_EQ(run("a -jm2 -d1 \"" + p("src/src.lzh") + "\" \"" + p("src/") + "\""), 0) << report;
  ASSERT_EQ(run("l \"" + p("src/src.lzh") + "\""), 0);
  EXPECT_EQ(report.find("src.lzh"), std::string::npos) << report;
  EXPECT_NE(report.find("8 members"), std::string::npos) << report;  // 4 files, 4 folders
  ASSERT_EQ(run("e -x -r2 -a2 -y -n \"" + p("src/src.lzh") + "\" \"" + p("out/") + "\" *.*"), 0)
      << report;
  fs::remove(p("src/src.lzh"));
  EXPECT_EQ(listing(p("out")), listing(p("src")));
  EXPECT_EQ(tree.read("out/sub/deep/r.bin"), tree.read("src/sub/deep/r.bin"));
  EXPECT_EQ(tree.read("out/写真/日付.txt"), std::string(5000, 'x'));

  // Without -d1 only the files at the top are taken.
  ASSERT_EQ(run("a -jm2 -a1 \"" + p("top.lzh") + "\" \"" + p("src/") + "\""), 0) << report;
  ASSERT_EQ(run("l \"" + p("top.lzh") + "\""), 0);
  EXPECT_NE(report.find("2 members"), std::string::npos) << report;
  // Without a trailing separator the folder itself is the top of the archive.
  ASSERT_EQ(run("a -d1 \"" + p("whole.lzh") + "\" \"" + p("src") + "\""), 0) << report;
  ASSERT_EQ(run("e -x \"" + p("whole.lzh") + "\" \"" + p("whole/") + "\""), 0) << report;
  EXPECT_EQ(tree.read("whole/src/a.txt"), "alpha\n");
}

TEST_F(LzhArchiveTest, NamesThatAreNotUtf8) {
  tree.write("src/\x83\x5C.txt", "CP932 name whose second byte is a backslash");  // ソ.txt
  tree.write("src/caf\xE9.txt", "Latin-1 name");
  tree.write("src/back\\slash.txt", "a real backslash cannot be stored");
  // Made, with the result saying that something was passed over.
  ASSERT_EQ(run("a \"" + p("x.lzh") + "\" \"" + p("src/") + "\""), 0x8003) << report;
  EXPECT_NE(report.find("back\\slash.txt: the name cannot be stored"), std::string::npos) << report;
  ASSERT_EQ(run("e -x \"" + p("x.lzh") + "\" \"" + p("out/") + "\""), 0) << report;
  // Read back as CP932 where that reads, byte for byte otherwise.
  EXPECT_EQ(tree.read("out/ソ.txt"), "CP932 name whose second byte is a backslash");
  EXPECT_EQ(tree.read("out/caf\xE9.txt"), "Latin-1 name");
  EXPECT_EQ(listing(p("out")).size(), 2u);
}

TEST_F(LzhArchiveTest, MembersOf4GiBAndMoreCarry64BitSizes) {
  // The header of a 4.4 GB member followed by a sparse hole for its data, and the end byte.
  unlha::MemberHeader h;
  h.store = true;
  h.large = true;
  h.name = "video.mp4";
  h.packed = h.original = 4'400'000'004ull;
  const auto hdr = unlha::buildHeader(h);
  tree.write("big.lzh", std::string(hdr.begin(), hdr.end()));
  ASSERT_EQ(::truncate(p("big.lzh").c_str(), static_cast<off_t>(hdr.size() + h.packed + 1)), 0);
  ASSERT_EQ(run("l \"" + p("big.lzh") + "\""), 0) << report;
  EXPECT_NE(report.find("4400000004 video.mp4"), std::string::npos) << report;
  EXPECT_NE(report.find("1 members"), std::string::npos) << report;
}

TEST_F(LzhArchiveTest, UpdateReplacesSameNamedMembersAndKeepsTheRest) {
  tree.write("one/a.txt", "old a");
  tree.write("one/b.txt", "old b");
  ASSERT_EQ(run("a -d1 \"" + p("x.lzh") + "\" \"" + p("one/") + "\""), 0) << report;
  tree.write("two/a.txt", "new a");
  tree.write("two/c.txt", "new c");
  ASSERT_EQ(run("a -d1 \"" + p("x.lzh") + "\" \"" + p("two/") + "\""), 0) << report;
  ASSERT_EQ(run("e -x \"" + p("x.lzh") + "\" \"" + p("out/") + "\""), 0) << report;
  EXPECT_EQ(tree.read("out/a.txt"), "new a");
  EXPECT_EQ(tree.read("out/b.txt"), "old b");
  EXPECT_EQ(tree.read("out/c.txt"), "new c");
  // Extracting again without -y leaves the existing files and says so.
  tree.write("out/a.txt", "mine");
  EXPECT_NE(run("e -x \"" + p("x.lzh") + "\" \"" + p("out/") + "\""), 0);
  EXPECT_EQ(tree.read("out/a.txt"), "mine");
  EXPECT_NE(report.find("exists"), std::string::npos);
  // A damaged archive is not updated (and not replaced).
  std::string bytes = tree.read("x.lzh");
  bytes[3] = 'X';
  tree.write("x.lzh", bytes);
  EXPECT_NE(run("a -d1 \"" + p("x.lzh") + "\" \"" + p("two/") + "\""), 0);
  EXPECT_EQ(tree.read("x.lzh"), bytes);
}

TEST_F(LzhArchiveTest, ReferenceArchivesExtractToExactlyTheListedFiles) {
  const std::string data = QUILLMERE_TEST_DATA_DIR;
  const std::string sums = readFile(data + "/expected.sha256");
  for (const auto& entry : fs::directory_iterator(data)) {
    if (entry.path().extension() != ".lzh") continue;
    const std::string name = entry.path().filename().string();
    const std::string out = p("ref-" + name);
    ASSERT_EQ(run("e -x \"" + entry.path().string() + "\" \"" + out + "/\""), 0) << name << report;
    const bool storedOnly = name.find("lh0") != std::string::npos;
    std::vector<std::string> expected = {"random.bin", "sub/", "sub/deeper/",
                                         "sub/deeper/small.txt", "text.txt"};
    if (!storedOnly)
      expected = {"random.bin",     "sub/",          "sub/deeper/", "sub/deeper/small.txt",
                  "sub/repeat.dat", "sub/zeros.bin", "text.txt",    "zero.bin"};
    EXPECT_EQ(listing(out), expected) << name;
    const auto check = shell("cd " + q(out) + " && sha256sum -c --quiet --ignore-missing " +
                             q(data + "/expected.sha256"));
    EXPECT_EQ(check.status, 0) << name << check.output;
  }
  EXPECT_FALSE(sums.empty());
}

TEST_F(LzhArchiveTest, NamesThatLeaveTheTargetAreRefused) {
  tree.mkdir("box/target");
  tree.mkdir("outside");
  ASSERT_EQ(::symlink(p("outside").c_str(), p("box/target/link").c_str()), 0);
  const std::string archive =
      storedMember("../evil.txt", "1") + storedMember("evil2.txt", "2", {".."}) +
      storedMember("/abs.txt", "3") + storedMember("C:evil.txt", "4") +
      storedMember("bad\x01name", "5") +
      storedMember("lnk", "/etc/passwd", {}, 0120777) +  // a symbolic link member
      storedMember("through.txt", "6", {"link"}) +       // into the link already there
      storedMember("dev", "", {}, 0020644) +             // a character device
      storedMember("ok.txt", "fine") + std::string(1, '\0');
  tree.write("evil.lzh", archive);
  EXPECT_NE(run("e -x -y \"" + p("evil.lzh") + "\" \"" + p("box/target/") + "\""), 0);
  EXPECT_EQ(listing(p("box")),
            (std::vector<std::string>{"target/", "target/link", "target/ok.txt"}))
      << report;
  EXPECT_TRUE(fs::is_empty(p("outside")));
  EXPECT_EQ(tree.read("box/target/ok.txt"), "fine");
  EXPECT_NE(report.find("leaves the target"), std::string::npos) << report;
}

TEST_F(LzhArchiveTest, DamagedArchivesFailClearlyAndLeaveNoPartialFile) {
  tree.write("src/text.txt", std::string(200000, 'a') + randomBytes(1000, 2));
  tree.write("src/z.txt", "last");
  ASSERT_EQ(run("a \"" + p("good.lzh") + "\" \"" + p("src/") + "\""), 0) << report;
  const std::string good = tree.read("good.lzh");

  // Header CRC mismatch: one byte of the first name changed.
  std::string bad = good;
  bad[bad.find("text.txt")] = 'T';
  tree.write("hdr.lzh", bad);
  EXPECT_NE(run("e -x \"" + p("hdr.lzh") + "\" \"" + p("o1/") + "\""), 0);
  EXPECT_NE(report.find("header CRC mismatch"), std::string::npos) << report;
  EXPECT_EQ(listing(p("o1")), std::vector<std::string>{});

  // A corrupted compressed block: that member fails, the next one is still extracted.
  bad = good;
  const std::size_t data = good.find("text.txt") + 40;
  bad[data + 20] = static_cast<char>(bad[data + 20] ^ 0x55);
  tree.write("blk.lzh", bad);
  EXPECT_NE(run("e -x \"" + p("blk.lzh") + "\" \"" + p("o2/") + "\""), 0);
  EXPECT_EQ(listing(p("o2")), std::vector<std::string>{"z.txt"}) << report;

  // Truncated in the middle of the data, and in the middle of the second header.
  tree.write("cut.lzh", good.substr(0, good.size() / 2));
  EXPECT_NE(run("e -x \"" + p("cut.lzh") + "\" \"" + p("o3/") + "\""), 0);
  EXPECT_EQ(listing(p("o3")), std::vector<std::string>{}) << report;
  tree.write("cut2.lzh", good.substr(0, good.find("z.txt") - 10));
  EXPECT_NE(run("t \"" + p("cut2.lzh") + "\""), 0);
  EXPECT_NE(report.find("truncated header"), std::string::npos) << report;

  // Not an archive at all.
  tree.write("junk.lzh", randomBytes(5000, 3));
  EXPECT_NE(run("e -x \"" + p("junk.lzh") + "\" \"" + p("o4/") + "\""), 0);
  EXPECT_EQ(listing(p("o4")), std::vector<std::string>{});
}

TEST_F(LzhArchiveTest, BadSourcesLeaveNoArchive) {
  EXPECT_NE(run("a \"" + p("none.lzh") + "\" \"" + p("missing/") + "\""), 0);
  EXPECT_FALSE(tree.exists("none.lzh"));
  EXPECT_NE(run("a \"" + p("x.lzh") + "\""), 0);               // no source
  EXPECT_NE(run("a \"" + p("x.lzh") + " \"" + p("src/")), 0);  // open quote
  EXPECT_NE(run("q \"" + p("x.lzh") + "\""), 0);               // unknown command
  EXPECT_EQ(listing(tree.root()), std::vector<std::string>{});
}

TEST_F(LzhArchiveTest, ASourceThatVanishesMidArchiveLeavesNoArchive) {
  // A large file first keeps the archiver busy; the folder goes while it works on it.
  std::string big;
  for (int i = 0; big.size() < 40'000'000; ++i) big += "line " + std::to_string(i) + " of text\n";
  tree.write("src/a_big.txt", big);
  tree.write("src/b_small.txt", "gone soon");
  tree.mkdir("out");
  std::atomic<bool> removed{false};
  std::thread remover([&] {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& e : fs::directory_iterator(p("out"))) {
        (void)e;  // the temporary archive exists: the listing is done
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        fs::remove_all(p("src"));
        removed = true;
        return;
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
  });
  const int rc = run("a \"" + p("out/x.lzh") + "\" \"" + p("src/") + "\"");
  remover.join();
  ASSERT_TRUE(removed);
  EXPECT_NE(rc, 0) << report;
  EXPECT_NE(report.find("cannot be read"), std::string::npos) << report;
  EXPECT_EQ(listing(p("out")), std::vector<std::string>{});
}

TEST_F(LzhArchiveTest, AFullDiskLeavesNoArchiveAndNoPartialFile) {
  tree.write("src/r.bin", randomBytes(2'000'000, 4));
  tree.mkdir("small");
  tree.write("src2/ok.txt", "ok");
  // A file-size limit: writes fail past 500 KB.
  const int limited = inChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit rl{500'000, 500'000};
    ::setrlimit(RLIMIT_FSIZE, &rl);
    return run("a \"" + p("small/x.lzh") + "\" \"" + p("src/") + "\"") != 0 ? 0 : 1;
  });
  EXPECT_EQ(limited, 0);
  EXPECT_EQ(listing(p("small")), std::vector<std::string>{});
  // A real full file system: a 256 KiB tmpfs in a private mount namespace.
  const int full = inChild([&] {
    if (::unshare(CLONE_NEWNS) != 0) return 77;
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return 77;
    if (::mount("tmpfs", p("small").c_str(), "tmpfs", 0, "size=256k") != 0) return 77;
    if (run("a \"" + p("small/x.lzh") + "\" \"" + p("src/") + "\"") == 0) return 1;
    if (report.find("No space left") == std::string::npos) return 2;
    if (!listing(p("small")).empty()) return 3;
    // Extraction onto the full disk: refused up front, nothing left behind.
    if (run("a \"" + p("big.lzh") + "\" \"" + p("src/") + "\"") != 0) return 4;
    if (run("e \"" + p("big.lzh") + "\" \"" + p("small/") + "\"") == 0) return 5;
    if (!listing(p("small")).empty()) return 6;
    return 0;
  });
  if (full == 77) GTEST_SKIP() << "no private mount namespace here";
  EXPECT_EQ(full, 0);
}

}  // namespace
