// Archives we write must list, test and extract with the Debian readers lhasa and 7zz, byte for
// byte, with every member counted (lhasa stops silently at a header it cannot read).
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <regex>

#include "Harness.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

bool have(const char* tool) {
  return shell(std::string("command -v ") + tool).status == 0;
}

int countLines(const std::string& text, const std::regex& re) {
  int n = 0;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
       ++it)
    ++n;
  return n;
}

class Interop : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!have("lhasa") || !have("7zz")) GTEST_SKIP() << "lhasa or 7zz missing (install-deps.sh)";
  }
  TempTree tree;

  // Builds the tree every reader must agree on; returns the number of files and folders.
  std::pair<int, int> buildTree() {
    std::mt19937 rng(42);
    tree.write("src/README.txt", "backup of the day\n");
    tree.write("src/空のファイル.txt", "");
    tree.write("src/写真/2004年/運動会 DSC_0001.JPG", std::string(30000, 'j'));
    tree.write("src/写真/2004年/ソ表.txt", "trail bytes 5C in CP932");
    tree.mkdir("src/空のフォルダ");
    tree.mkdir("src/empty/inner");
    // Members whose level-2 header is exactly 256 and 512 bytes long: 26 fixed bytes, CRC 5,
    // mode 5, name 3 + n, folders 3 + each component and its separator.
    tree.write("src/" + std::string(256 - 39, 'n'), "header of 256 bytes");
    tree.write("src/deep/" + std::string(200, 'a') + "/" + std::string(200, 'b') + "/" +
                   std::string(512 - 39 - 3 - 5 - 201 - 201, 'c'),
               "header of 512 bytes");
    std::string noise(300000, '\0');
    for (auto& c : noise) c = static_cast<char>(rng());
    tree.write("src/noise.bin", noise);
    // 100 MB of text-like data (compressed, several hundred blocks).
    std::string big;
    big.reserve(100 << 20);
    static const char* words[] = {"IMG_", "2004", "photo ",   "folder\n", "メモリーカード ",
                                  "the ", "of ",  "12:30:05 "};
    while (big.size() < (100u << 20)) big += words[rng() % 8];
    big.resize(100u << 20);
    tree.write("src/big.txt", big);
    int files = 0, folders = 0;
    for (auto it = fs::recursive_directory_iterator(tree.path("src"));
         it != fs::recursive_directory_iterator(); ++it)
      (it->is_directory() ? folders : files)++;
    return {files, folders};
  }
};

TEST_F(Interop, LhasaAnd7zzReadOurArchivesByteForByte) {
  const auto [files, folders] = buildTree();
  const std::string archive = tree.path("backup.lzh");
  std::string report;
  ASSERT_EQ(lzhLib()("a -jm2 -d1 \"" + archive + "\" \"" + tree.path("src/") + "\"", &report), 0)
      << report;

  // Walk the headers: none may start with a zero byte; the 256- and 512-byte ones were
  // lengthened by an empty extension.
  const std::string bytes = readFile(archive);
  std::vector<unsigned> sizes;
  auto u16 = [&](std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | (static_cast<unsigned char>(bytes[at + 1]) << 8);
  };
  for (std::size_t at = 0; at < bytes.size() && bytes[at] != 0;) {
    const unsigned size = u16(at);
    sizes.push_back(size);
    at += size + (u16(at + 7) | (static_cast<std::size_t>(u16(at + 9)) << 16));
  }
  EXPECT_EQ(static_cast<int>(sizes.size()), files + folders);
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 259u), 1);
  EXPECT_EQ(std::count(sizes.begin(), sizes.end(), 515u), 1);

  const auto list = shell("lhasa l " + q(archive));
  ASSERT_EQ(list.status, 0) << list.output;
  EXPECT_TRUE(std::regex_search(list.output,
                                std::regex("Total +" + std::to_string(files + folders) + " files")))
      << list.output;
  const auto test = shell("lhasa t " + q(archive));
  EXPECT_EQ(test.status, 0) << test.output;
  EXPECT_EQ(countLines(test.output, std::regex("Tested")), files) << test.output;
  const auto t7 = shell("7zz t " + q(archive));
  EXPECT_EQ(t7.status, 0) << t7.output;
  EXPECT_NE(t7.output.find("Files: " + std::to_string(files)), std::string::npos) << t7.output;
  EXPECT_NE(t7.output.find("Folders: " + std::to_string(folders)), std::string::npos) << t7.output;

  tree.mkdir("by-lhasa");
  ASSERT_EQ(shell("cd " + q(tree.path("by-lhasa")) + " && lhasa xq " + q(archive)).status, 0);
  ASSERT_EQ(shell("7zz x -y -o" + q(tree.path("by-7zz")) + " " + q(archive)).status, 0);
  ASSERT_EQ(lzhLib()("e -x \"" + archive + "\" \"" + tree.path("by-us/") + "\"", &report), 0)
      << report;
  for (const char* out : {"by-lhasa", "by-7zz", "by-us"}) {
    const auto diff = shell("diff -r " + q(tree.path("src")) + " " + q(tree.path(out)));
    EXPECT_EQ(diff.status, 0) << out << diff.output;
  }
}

}  // namespace
