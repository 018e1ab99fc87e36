// Archives made to trap a reader: sizes that wrap the read position back onto a header already
// read, and a fuzz run over mutated archives where every read must end in time and write nothing
// outside its target folder.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>
#include <random>

#include "../sfx/sfx_format.h"
#include "Harness.h"
#include "support/TempTree.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();

// A large (64-bit sizes) member whose claimed packed size carries the next header position
// `from` bytes past the header's start round to `to`.
std::string wrappingMember(std::uint64_t from, std::uint64_t to) {
  const std::size_t size = memberHeader("loop.jpg", 0, 0, 0, {}, 0100644, true).size();
  return memberHeader("loop.jpg", to - (from + size), 1, 0, {}, 0100644, true);
}

// The archive behind the self-extractor stub, as the "s" command lays it out.
std::string asProgram(const std::string& archive) {
  const std::string stub = readFile(std::string(QUILLMERE_BIN_DIR) + "/quillmere-sfx");
  sfx_info f{};
  f.control_offset = stub.size() + SFX_INFO_SIZE;
  f.archive_offset = f.control_offset;
  f.archive_length = archive.size();
  f.flags = SFX_WITH_PATHS;
  f.crc32 = sfx_crc32(0, archive.data(), archive.size());
  unsigned char info[SFX_INFO_SIZE];
  sfx_encode_info(&f, info);
  return stub + std::string(reinterpret_cast<char*>(info), sizeof info) + archive;
}

class HostileArchive : public ::testing::Test {
 protected:
  TempTree tree;
  std::string p(const std::string& rel) { return tree.path(rel); }

  // Every command of the library on one archive, each in a child under a deadline (a read of
  // these few bytes takes microseconds). Answers the first command that did not end in time.
  std::vector<std::string> commandsThatHang(const std::string& archive) {
    std::vector<std::string> hung;
    for (const std::string c :
         {"l \"A\"", "t \"A\"", "e \"A\" \"OUT/e/\"", "x \"A\" \"OUT/x/\"", "s \"A\" \"OUT/\""}) {
      std::string command = c;
      command.replace(command.find('A'), 1, archive);
      while (command.find("OUT") != std::string::npos)
        command.replace(command.find("OUT"), 3, p("out"));
      const int rc = inChild([&] { return lzhLib()(command) == 0 ? 0 : 1; }, 5);
      if (rc == -1) {
        hung.push_back(c);
        break;  // the others would hang the same way
      }
      EXPECT_EQ(rc, 1) << c << ": a looping archive must be refused";
    }
    return hung;
  }
};

TEST_F(HostileArchive, SizesThatWrapTheReadPositionAreRefusedByEveryReader) {
  // One member whose 64-bit packed size brings the reader back to its own header.
  const std::string self = wrappingMember(0, 0) + std::string(1, '\0');
  tree.write("self.lzh", self);
  EXPECT_EQ(commandsThatHang(p("self.lzh")), std::vector<std::string>{});
  // A sound first member and a second one pointing back to it.
  const std::string first = storedMember("first.jpg", "picture");
  tree.write("back.lzh", first + wrappingMember(first.size(), 0) + std::string(1, '\0'));
  EXPECT_EQ(commandsThatHang(p("back.lzh")), std::vector<std::string>{});
  // A second member pointing into the middle of the first one's data.
  tree.write("mid.lzh", first + wrappingMember(first.size(), first.size() - 3) + '\0');
  EXPECT_EQ(commandsThatHang(p("mid.lzh")), std::vector<std::string>{});
  // A size that reaches past the end of the file without wrapping.
  tree.write("past.lzh", first + wrappingMember(first.size(), kMax - 10) + '\0');
  EXPECT_EQ(commandsThatHang(p("past.lzh")), std::vector<std::string>{});
  // The listing says why (read in a child: the parent must not hang either).
  const int said = inChild(
      [&] {
        std::string report;
        lzhLib()("l \"" + p("back.lzh") + "\"", &report);
        return report.find("past the end") != std::string::npos ? 0 : 1;
      },
      5);
  EXPECT_EQ(said, 0);

  // The self-extracting program stops too, and extracts nothing (it reads every header first).
  for (const auto& [name, archive] : {std::pair<std::string, std::string>{"self", self},
                                      {"back", first + wrappingMember(first.size(), 0) + '\0'}}) {
    tree.write(name + ".exe", asProgram(archive));
    fs::permissions(p(name + ".exe"), fs::perms(0755));
    const auto run = shell("timeout 10 " + q(p(name + ".exe")) + " " + q(p("sfx-" + name)));
    EXPECT_EQ(run.status, 2) << name << " (124: it hung)\n" << run.output.substr(0, 2000);
    EXPECT_TRUE(!tree.exists("sfx-" + name) || listing(p("sfx-" + name)).empty()) << name;
  }
}

// What a mutated archive is built from.
struct Seeds {
  std::vector<std::string> archives;
};

Seeds seedArchives(TempTree& tree) {
  Seeds s;
  for (const auto& e : fs::directory_iterator(QUILLMERE_TEST_DATA_DIR))
    if (e.path().extension() == ".lzh") s.archives.push_back(readFile(e.path().string()));
  tree.write("seed/a.txt", std::string(3000, 'a') + "tail");
  tree.write("seed/sub/b.bin", randomBytes(2000, 7));
  tree.write("seed/sub/deeper/c.txt", "small");
  std::string report;
  lzhLib()("a -d1 \"" + tree.path("seed.lzh") + "\" \"" + tree.path("seed/") + "\"", &report);
  s.archives.push_back(tree.read("seed.lzh"));
  fs::remove_all(tree.path("seed"));
  fs::remove(tree.path("seed.lzh"));
  return s;
}

// A name built from pieces that try to leave the target folder.
std::string hostileName(std::mt19937& rng, std::vector<std::string>& folders) {
  static const char* pieces[] = {"..",         ".",    "",  "/",  "\\",    "..\\..",
                                 "\xFF..\xFF", "C:",   "a", "-x", "b.jpg", "../..",
                                 "\x01",       "写真", " ", "..."};
  auto piece = [&] { return std::string(pieces[rng() % std::size(pieces)]); };
  folders.clear();
  for (unsigned i = rng() % 3; i > 0; --i) folders.push_back(piece());
  std::string name;
  for (unsigned i = 1 + rng() % 3; i > 0; --i) name += piece() + (rng() % 2 ? "/" : "");
  return name;
}

// One mutated archive: bytes flipped, set to extreme values, cut, repeated, or members whose
// headers are sound (right CRCs) but whose names and sizes lie.
std::string mutate(const Seeds& seeds, std::mt19937& rng) {
  std::string a = seeds.archives[rng() % seeds.archives.size()];
  auto at = [&] { return a.empty() ? 0 : rng() % a.size(); };
  switch (rng() % 6) {
    case 0:  // a few bytes flipped
      for (unsigned i = 1 + rng() % 4; i > 0 && !a.empty(); --i) a[at()] ^= 1 << (rng() % 8);
      break;
    case 1: {  // an extreme 16-, 32- or 64-bit value
      static const std::uint64_t values[] = {0, 1, 0xFF, 0xFFFF, 0xFFFFFFFF, kMax, kMax - 30};
      const std::uint64_t v = values[rng() % std::size(values)];
      const std::size_t width = std::size_t{2} << (rng() % 3), pos = at();
      for (std::size_t i = 0; i < width && pos + i < a.size(); ++i)
        a[pos + i] = static_cast<char>(v >> (8 * i));
      break;
    }
    case 2:  // cut short
      a.resize(at());
      break;
    case 3: {  // a stretch repeated
      const std::size_t from = at(), n = std::min<std::size_t>(a.size() - from, rng() % 200);
      a.insert(at(), a.substr(from, n));
      break;
    }
    default: {  // sound headers with lying sizes and hostile names
      a.clear();
      std::vector<std::uint64_t> starts;
      for (unsigned i = 1 + rng() % 4; i > 0; --i) {
        std::vector<std::string> folders;
        const std::string name = hostileName(rng, folders);
        const std::string data = randomBytes(rng() % 64, rng());
        const bool large = rng() % 2;
        const std::size_t size = memberHeader(name, 0, 0, 0, folders, 0100644, large).size();
        starts.push_back(a.size());
        std::uint64_t packed = data.size();
        if (rng() % 3 == 0) packed = rng() % 2 ? kMax - rng() % 200 : rng() % 300;
        // a size that wraps the read position exactly onto a header already read
        if (large && rng() % 4 == 0) packed = starts[rng() % starts.size()] - (a.size() + size);
        a += memberHeader(name, packed, data.size(), lzh_crc16(0, data.data(), data.size()),
                          folders, rng() % 8 == 0 ? 0040755 : 0100644, large) +
             data;
      }
      a += '\0';
    }
  }
  return a;
}

// Reads one archive every way the library can, into box/out, in a child under a deadline.
int readEveryWay(const std::string& archive, const std::string& box) {
  return inChild(
      [&] {
        const std::string out = box + "/out/";
        lzhLib()("l \"" + archive + "\"");
        lzhLib()("t \"" + archive + "\"");
        lzhLib()("e -y \"" + archive + "\" \"" + out + "e/\"");
        lzhLib()("x \"" + archive + "\" \"" + out + "x/\"");
        return 0;
      },
      20);
}

TEST_F(HostileArchive, MutatedArchivesAreReadInTimeAndNeverWriteOutsideTheTarget) {
  const Seeds seeds = seedArchives(tree);
  ASSERT_GE(seeds.archives.size(), 2u);
  std::mt19937 rng(20040611);
  const auto budget = std::chrono::seconds(6);
  const auto start = std::chrono::steady_clock::now();
  int cases = 0;
  for (; cases < 400 && std::chrono::steady_clock::now() - start < budget; ++cases) {
    const std::string archive = mutate(seeds, rng);
    tree.write("arc/case.lzh", archive);
    fs::remove_all(p("box"));
    fs::create_directories(p("box/out"));
    const int rc = readEveryWay(p("arc/case.lzh"), p("box"));
    ASSERT_EQ(rc, 0) << "case " << cases << (rc == -1 ? " hung" : " crashed")
                     << " (the seed is fixed: a rerun makes the same archive)";
    for (const auto& entry : listing(p("box")))
      ASSERT_EQ(entry.rfind("out/", 0), 0u) << "case " << cases << " wrote " << entry;
    ASSERT_EQ(listing(p("arc")), std::vector<std::string>{"case.lzh"}) << "case " << cases;
    ASSERT_EQ(listing(tree.root()).size(), 3u + listing(p("box")).size()) << "case " << cases;
  }
  std::printf("%d mutated archives read\n", cases);
  EXPECT_GE(cases, 20) << "too few cases in the time given";
}

}  // namespace
