// The comparison loops against the plain every-pair loops they replace: on random trees with
// many equal sizes, a few equal contents, links, shared folders, declined deletions and cancels,
// both must make the same deletions (and moves) in the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>

#include "duplicates/PairLoops.h"

namespace quillmere::duplicates {
namespace {

// A file system in memory: paths name files (hard links share an id) or links to other paths.
struct FakeFs {
  struct Entry {
    int id = 0;
    std::string linkTo;  // non-empty: a symbolic link
  };
  std::map<std::string, Entry> entries;
  std::map<int, std::string> bytes;
  std::set<std::string> refuseRemoval;  // deletions declined by the user

  const Entry* resolve(const std::string& path) const {
    for (int hops = 0; hops < 8; ++hops) {
      const auto it = entries.find(path);
      if (it == entries.end()) return nullptr;
      if (it->second.linkTo.empty()) return &it->second;
      return resolveNoLink(it->second.linkTo);
    }
    return nullptr;
  }
  const Entry* resolveNoLink(const std::string& path) const {
    const auto it = entries.find(path);
    return it == entries.end() || !it->second.linkTo.empty() ? nullptr : &it->second;
  }
  bool exists(const std::string& path) const { return resolve(path) != nullptr; }
  FileFacts facts(const std::string& path) const {
    FileFacts f;
    if (const Entry* e = resolve(path)) {
      f.known = true;
      f.size = static_cast<std::int64_t>(bytes.at(e->id).size());
      f.inode = static_cast<std::uint64_t>(e->id);
    }
    return f;
  }
};

class FakeDeleteHost final : public DeleteLoopHost {
 public:
  FakeDeleteHost(FakeFs& fs, int cancelAtOuter) : m_fs(fs), m_cancelAt(cancelAtOuter) {}
  bool cancelled() override { return m_cancelAt >= 0 && ++m_outerChecks > m_cancelAt; }
  bool exists(const std::string& path) override { return m_fs.exists(path); }
  bool sameBytes(const std::string& c, const std::string& d) override {
    ++sameBytesCalls;
    const auto* a = m_fs.resolve(c);
    const auto* b = m_fs.resolve(d);
    if (!a || !b || c == d || a->id == b->id) return false;
    if (m_fs.bytes[a->id].size() != m_fs.bytes[b->id].size()) {
      ++unequalSizeCalls;
      return false;
    }
    return m_fs.bytes[a->id] == m_fs.bytes[b->id];
  }
  bool remove(const std::string& d) override {
    removals.push_back(d);
    if (!m_fs.refuseRemoval.count(d)) m_fs.entries.erase(d);
    return !m_fs.exists(d);
  }
  void comparing(int, int, int) override {}
  void passing(int, int) override {}

  std::vector<std::string> removals;
  int sameBytesCalls = 0;
  int unequalSizeCalls = 0;

 private:
  FakeFs& m_fs;
  int m_cancelAt;
  int m_outerChecks = 0;
};

// The loop as first written: every pair, in list order, the shorter list outside.
int everyPairDeleteLoop(const std::vector<std::string>& c, const std::vector<std::string>& d,
                        DeleteLoopHost& host) {
  int remaining = static_cast<int>(d.size());
  if (c.empty() || d.empty()) return remaining;
  if (c.size() < d.size()) {
    for (std::size_t i = 0; i < c.size(); ++i) {
      if (host.cancelled() || remaining <= 0) break;
      if (!host.exists(c[i])) continue;
      for (std::size_t j = 0; j < d.size(); ++j)
        if (host.sameBytes(c[i], d[j])) host.remove(d[j]), --remaining;
    }
  } else {
    for (std::size_t j = 0; j < d.size(); ++j) {
      if (host.cancelled() || remaining <= 0) break;
      if (!host.exists(d[j])) continue;
      for (std::size_t i = 0; i < c.size(); ++i)
        if (host.sameBytes(c[i], d[j])) host.remove(d[j]), --remaining;
    }
  }
  return remaining;
}

struct Scenario {
  FakeFs fs;
  std::vector<std::string> comparison;
  std::vector<std::string> deletion;
  int cancelAt = -1;
};

// Few sizes and a small alphabet: most pairs have equal sizes, some have equal bytes.
Scenario randomScenario(std::mt19937& rng) {
  Scenario s;
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  auto randomBytes = [&] {
    std::string b(static_cast<std::size_t>(1 + pick(3)), 'a');
    for (char& ch : b) ch = static_cast<char>('a' + pick(2));
    return b;
  };
  int nextId = 1;
  const int nc = pick(12), nd = pick(12);
  const int layout = pick(4);  // 0 apart, 1 one folder as both sides, 2 overlap, 3 links
  for (int i = 0; i < nc; ++i) {
    const std::string p = "C:\\orig\\" + std::to_string(100 + i) + ".jpg";
    s.fs.entries[p] = {nextId, ""};
    s.fs.bytes[nextId++] = randomBytes();
    s.comparison.push_back(p);
  }
  for (int j = 0; j < nd; ++j) {
    const std::string p = "E:\\card\\" + std::to_string(100 + j) + ".jpg";
    s.fs.entries[p] = {nextId, ""};
    s.fs.bytes[nextId++] = randomBytes();
    s.deletion.push_back(p);
  }
  if (layout == 1) s.deletion = s.comparison;
  if (layout == 2)
    for (int i = 0; i < nc; i += 2) s.deletion.push_back(s.comparison[i]);
  if (layout == 3 && nd > 0) {
    for (int k = 0; k < 3; ++k) {  // links on the comparison side to card files, hard links too
      const std::string target = s.deletion[pick(nd)];
      const std::string link = "C:\\orig\\link" + std::to_string(k) + ".jpg";
      if (pick(2))
        s.fs.entries[link] = {0, target};
      else
        s.fs.entries[link] = s.fs.entries[target];
      s.comparison.push_back(link);
    }
  }
  for (const auto& p : s.deletion)
    if (pick(6) == 0) s.fs.refuseRemoval.insert(p);
  std::sort(s.comparison.begin(), s.comparison.end());
  std::sort(s.deletion.begin(), s.deletion.end());
  if (pick(4) == 0) s.cancelAt = pick(8);
  return s;
}

std::vector<FileFacts> factsOf(const FakeFs& fs, const std::vector<std::string>& paths) {
  std::vector<FileFacts> out;
  for (const auto& p : paths) out.push_back(fs.facts(p));
  return out;
}

TEST(DeleteLoop, SameDeletionsInSameOrderAsEveryPairLoop) {
  std::mt19937 rng(20261208);
  int scenariosWithDeletions = 0;
  for (int round = 0; round < 3000; ++round) {
    Scenario plain = randomScenario(rng);
    Scenario paired = plain;
    FakeDeleteHost plainHost(plain.fs, plain.cancelAt);
    const int plainRemaining = everyPairDeleteLoop(plain.comparison, plain.deletion, plainHost);

    const auto cf = factsOf(paired.fs, paired.comparison);
    const auto df = factsOf(paired.fs, paired.deletion);
    FakeDeleteHost pairedHost(paired.fs, paired.cancelAt);
    const auto result = runDeleteLoop({paired.comparison, cf, paired.deletion, df}, pairedHost);

    ASSERT_EQ(pairedHost.removals, plainHost.removals) << "round " << round;
    ASSERT_EQ(result.remaining, plainRemaining) << "round " << round;
    if (!plain.comparison.empty() && !plain.deletion.empty()) {
      ASSERT_EQ(result.comparisonOuter, plain.comparison.size() < plain.deletion.size());
    }
    ASSERT_EQ(pairedHost.unequalSizeCalls, 0) << "round " << round;
    ASSERT_LE(pairedHost.sameBytesCalls, plainHost.sameBytesCalls);
    if (!plainHost.removals.empty()) ++scenariosWithDeletions;
  }
  EXPECT_GT(scenariosWithDeletions, 1000);  // the generator really makes duplicates
}

TEST(DeleteLoop, OneFolderAsBothSidesKeepsOneCopyOfEachSet) {
  FakeFs fs;
  const std::vector<std::string> files = {"C:\\p\\a.jpg", "C:\\p\\b.jpg", "C:\\p\\c.jpg",
                                          "C:\\p\\d.jpg", "C:\\p\\e.jpg"};
  const char* contents[] = {"xx", "yy", "xx", "xx", "yy"};
  for (int i = 0; i < 5; ++i) {
    fs.entries[files[i]] = {i + 1, ""};
    fs.bytes[i + 1] = contents[i];
  }
  const auto facts = factsOf(fs, files);
  FakeDeleteHost host(fs, -1);
  runDeleteLoop({files, facts, files, facts}, host);
  // The copy reached first as a deletion candidate goes while a partner still exists.
  EXPECT_EQ(host.removals,
            (std::vector<std::string>{"C:\\p\\a.jpg", "C:\\p\\b.jpg", "C:\\p\\c.jpg"}));
  EXPECT_TRUE(fs.exists("C:\\p\\d.jpg"));
  EXPECT_TRUE(fs.exists("C:\\p\\e.jpg"));
}

TEST(DeleteLoop, LinkToACardFileNeverDeletesThatFile) {
  FakeFs fs;
  fs.entries["E:\\card\\IMG_1.JPG"] = {1, ""};
  fs.bytes[1] = "picture";
  fs.entries["C:\\orig\\IMG_1.JPG"] = {0, "E:\\card\\IMG_1.JPG"};  // symbolic link
  fs.entries["C:\\orig\\IMG_2.JPG"] = {1, ""};                     // hard link
  const std::vector<std::string> c = {"C:\\orig\\IMG_1.JPG", "C:\\orig\\IMG_2.JPG"};
  const std::vector<std::string> d = {"E:\\card\\IMG_1.JPG"};
  FakeDeleteHost host(fs, -1);
  runDeleteLoop({c, factsOf(fs, c), d, factsOf(fs, d)}, host);
  EXPECT_TRUE(host.removals.empty());
  EXPECT_EQ(host.sameBytesCalls, 0);
}

// ---- File back ------------------------------------------------------------------------------

class FakeFileBackHost final : public FileBackLoopHost {
 public:
  FakeFileBackHost(std::set<std::string> present, std::set<std::string> failing,
                   std::set<std::string> kept, int cancelAt)
      : m_present(std::move(present)),
        m_failing(std::move(failing)),
        m_kept(std::move(kept)),
        m_cancelAt(cancelAt) {}
  bool cancelled() override { return m_cancelAt >= 0 && ++m_checks > m_cancelAt; }
  bool exists(const std::string& p) override { return m_present.count(p) > 0; }
  void comparing(int, int, int) override {}
  void passing(int, int) override {}
  Outcome writeBack(int s, int d) override {
    calls.emplace_back(s, d);
    const std::string key = std::to_string(s);
    if (m_kept.count(key)) return Outcome::Kept;
    if (!m_failing.count(key)) m_present.erase("S" + key);
    return Outcome::Attempted;
  }
  std::vector<std::pair<int, int>> calls;

 private:
  std::set<std::string> m_present, m_failing, m_kept;
  int m_cancelAt, m_checks = 0;
};

int everyPairFileBackLoop(const FileBackLoopInput& in, FileBackLoopHost& host) {
  int remaining = static_cast<int>(in.dests.size());
  if (in.sources.empty() || in.dests.empty()) return remaining;
  for (std::size_t s = 0; s < in.sources.size(); ++s) {
    if (host.cancelled() || remaining <= 0) break;
    if (!host.exists(in.sources[s])) continue;
    for (std::size_t d = 0; d < in.dests.size() && host.exists(in.sources[s]); ++d) {
      if (in.sourceKeys[s] != in.destKeys[d]) continue;
      if (in.sources[s] == in.dests[d] || in.sourceFacts[s].sameFileAs(in.destFacts[d])) continue;
      if (host.writeBack(static_cast<int>(s), static_cast<int>(d)) ==
          FileBackLoopHost::Outcome::Kept)
        break;
      --remaining;
    }
  }
  return remaining;
}

TEST(FileBackLoop, SameMovesInSameOrderAsEveryPairLoop) {
  std::mt19937 rng(7);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> sources, sourceKeys, dests, destKeys;
    std::vector<FileFacts> sourceFacts, destFacts;
    std::set<std::string> present, failing, kept;
    const int ns = pick(10), nd = pick(10);
    for (int s = 0; s < ns; ++s) {
      sources.push_back("S" + std::to_string(s));
      sourceKeys.push_back("k" + std::to_string(pick(4)));
      sourceFacts.push_back({.known = true,
                             .size = 1,
                             .device = 0,
                             .inode = static_cast<std::uint64_t>(s),
                             .native = {}});
      if (pick(8)) present.insert(sources.back());
      if (pick(6) == 0) failing.insert(std::to_string(s));
      if (pick(8) == 0) kept.insert(std::to_string(s));
    }
    for (int d = 0; d < nd; ++d) {
      dests.push_back("D" + std::to_string(d));
      destKeys.push_back("k" + std::to_string(pick(4)));
      // Now and then a destination is one of the sources under another path.
      const std::uint64_t inode = pick(5) == 0 && ns ? pick(ns) : 1000 + d;
      destFacts.push_back({.known = true, .size = 1, .device = 0, .inode = inode, .native = {}});
    }
    const int cancelAt = pick(4) == 0 ? pick(6) : -1;
    const FileBackLoopInput in{sources, sourceKeys, sourceFacts, dests, destKeys, destFacts};
    FakeFileBackHost plain(present, failing, kept, cancelAt);
    FakeFileBackHost mapped(present, failing, kept, cancelAt);
    const int plainRemaining = everyPairFileBackLoop(in, plain);
    const int mappedRemaining = runFileBackLoop(in, mapped);
    ASSERT_EQ(mapped.calls, plain.calls) << "round " << round;
    ASSERT_EQ(mappedRemaining, plainRemaining) << "round " << round;
  }
}

}  // namespace
}  // namespace quillmere::duplicates
