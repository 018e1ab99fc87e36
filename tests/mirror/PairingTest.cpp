#include <gtest/gtest.h>

#include <deque>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "core/Main.h"
#include "mirror/Pairing.h"

namespace quillmere::mirror {
namespace {

// The row-by-row pass: every master row against every mirror row, paired rows emptied.
std::vector<Pair> pairRowByRow(std::vector<RowKey> master, std::vector<RowKey> mirror) {
  std::vector<Pair> pairs;
  for (std::size_t i = 0; i < master.size(); ++i) {
    for (std::size_t j = 0; j < mirror.size(); ++j) {
      const bool masterLive = !master[i].full.empty() || !master[i].relative.empty();
      if (master[i].full == mirror[j].full) {
        if (master[i].relative == mirror[j].relative) {
          if (masterLive) pairs.push_back({i, j, true});
          master[i] = {};
          mirror[j] = {};
        }
        continue;
      }
      if (master[i].relative != mirror[j].relative) continue;
      pairs.push_back({i, j, false});
      master[i] = {};
      mirror[j] = {};
    }
  }
  return pairs;
}

std::vector<std::tuple<std::size_t, std::size_t, bool>> flat(const std::vector<Pair>& pairs) {
  std::vector<std::tuple<std::size_t, std::size_t, bool>> out;
  for (const Pair& p : pairs) out.emplace_back(p.master, p.mirror, p.sameEntry);
  return out;
}

TEST(Pairing, CaseOnlyDifferencesDoNotPair) {
  const std::vector<RowKey> master = {{"C:\\m\\A.JPG", "A.JPG"},
                                      {"C:\\m\\sub\\b.jpg", "sub\\b.jpg"}};
  const std::vector<RowKey> mirror = {{"C:\\r\\a.jpg", "a.jpg"},
                                      {"C:\\r\\SUB\\b.jpg", "SUB\\b.jpg"},
                                      {"C:\\r\\sub\\b.jpg", "sub\\b.jpg"}};
  const auto pairs = pairByRelativePath(master, mirror);
  ASSERT_EQ(pairs.size(), 1u);
  EXPECT_EQ(pairs[0].master, 1u);
  EXPECT_EQ(pairs[0].mirror, 2u);
  EXPECT_EQ(flat(pairs), flat(pairRowByRow(master, mirror)));
}

// Random tables over a small name space, so that names overlap, differ only in case, repeat on
// one side and (for overlapping folders) name the same full path on both sides.
TEST(Pairing, HashPairingEqualsTheRowByRowPass) {
  std::mt19937 random(20261208);
  const std::vector<std::string> folders = {"", "a\\", "A\\", "a\\b\\", "a\\B\\"};
  const std::vector<std::string> names = {"x.jpg", "X.JPG", "x.JPG", "y", "Y", "z.tif"};
  auto pick = [&](const std::vector<std::string>& v) { return v[random() % v.size()]; };
  for (int round = 0; round < 500; ++round) {
    std::deque<std::string> texts;  // the rows' cells (a deque keeps them in place)
    auto keep = [&](std::string t) -> std::string_view { return texts.emplace_back(std::move(t)); };
    std::vector<RowKey> master, mirror;
    const int m = static_cast<int>(random() % 20), r = static_cast<int>(random() % 20);
    for (int i = 0; i < m; ++i) {
      const std::string rel = pick(folders) + pick(names);
      // Mostly distinct roots; sometimes a second root whose listing repeats a relative path.
      const std::string root = random() % 6 == 0 ? "C:\\m2\\" : "C:\\m\\";
      master.push_back({keep(root + rel), keep(rel)});
    }
    for (int j = 0; j < r; ++j) {
      const std::string rel = pick(folders) + pick(names);
      const unsigned k = random() % 8;
      const std::string root = k == 0 ? "C:\\m\\" : k == 1 ? "C:\\r2\\" : "C:\\r\\";
      // k == 2: a mirror folder inside the master folder, so one full path carries a different
      // relative path on each side.
      mirror.push_back({keep(k == 2 ? "C:\\m\\a\\" + rel : root + rel), keep(rel)});
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(flat(pairByRelativePath(master, mirror)), flat(pairRowByRow(master, mirror)));
  }
}

// Sides listed in order (each relative path once) take the merge pass; it must pair as the
// row-by-row pass does, the same full path on both sides included.
TEST(Pairing, SidesInOrderPairAsTheRowByRowPass) {
  std::mt19937 random(20261210);
  const std::vector<std::string> paths = {"a\\x.jpg", "a\\y", "a\\b\\x.jpg", "b.jpg",
                                          "b\\c.jpg", "c",    "x.jpg",       "\xE3\x81\x82.jpg"};
  for (int round = 0; round < 300; ++round) {
    std::deque<std::string> texts;
    auto keep = [&](std::string t) -> std::string_view { return texts.emplace_back(std::move(t)); };
    std::vector<RowKey> master, mirror;
    const std::string mirrorRoot = random() % 5 == 0 ? "C:\\m\\" : "C:\\r\\";
    for (const std::string& rel : paths) {  // already in byte order
      if (random() % 3 != 0) master.push_back({keep("C:\\m\\" + rel), keep(rel)});
      if (random() % 3 != 0) mirror.push_back({keep(mirrorRoot + rel), keep(rel)});
    }
    SCOPED_TRACE(round);
    ASSERT_EQ(flat(pairByRelativePath(master, mirror)), flat(pairRowByRow(master, mirror)));
  }
}

// The relative path is read from the path text where the library's cell would put it.
TEST(Pairing, RelativePathStartsWhereTheLibraryCellDoes) {
  const Main& m = dll();
  for (const std::string folder : {"C:\\m", "C:\\m\\", "C:", "D:\\p.d\\q"}) {
    const std::string base = m.DLL_EnDelEnd(folder);
    for (const std::string rel :
         {"x.jpg", "README", "a\\x.jpg", "a\\README", "a.d\\README", "a\\b\\x.y.jpg", "x.", ".x",
          "a\\x:y", "x:y.jpg", "a.b:c", "a\\b.c:d", "\xE3\x81\x82.JPG", "a\\\xE3\x81\x82"}) {
      const std::string full = base + "\\" + rel;
      const std::string cell = m.DLL_PathAdd(m.DLL_MidPath(folder, full), m.DLL_FileName(full, 1));
      EXPECT_EQ(std::string(full).substr(relativeStart(full, base)), cell) << folder << " " << rel;
    }
  }
}

}  // namespace
}  // namespace quillmere::mirror
