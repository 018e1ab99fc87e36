// The duplicate-delete run against jdupes and rmlint on a generated corpus: the card of the
// corpus loses the copies of its originals. Each tool works on its own fresh copy of the card,
// warm and with a cold page cache. Prints seconds, what each deleted against the corpus's
// expected set, and the ratios.
//
//   python3 ../shared/bench/make_corpus.py /tmp/corpus --files 20000
//   build/release/bin/bench_duplicates /tmp/corpus [--work DIR] [--no-cold] [--rounds N]

#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "duplicates/DuplicateDelete.h"
#include "platform/DriveMap.h"

namespace fs = std::filesystem;
using namespace quillmere;

namespace {

class QuietView final : public RunView {
 public:
  void setLabel(std::string_view, const std::string&, int) override {}
  void yield() override {}
  bool cancelRequested() const override { return false; }
  int messageBox(const std::string&, int, const std::string&) override { return 1; }
  void setTimerLoop(int) override {}
  void setRunning(bool) override {}
  void runCompleted(std::string_view) override {}
};

std::string quoted(const fs::path& p) {
  std::string out = "'";
  for (char c : p.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

int shell(const std::string& command) {
  return std::system(command.c_str());
}

bool have(const std::string& program) {
  return shell("command -v " + program + " >/dev/null 2>&1") == 0;
}

std::set<std::string> filesBelow(const fs::path& root) {
  std::set<std::string> out;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file() || e.is_symlink()) out.insert(fs::relative(e.path(), root).string());
  return out;
}

struct Outcome {
  double seconds = -1;
  std::size_t deleted = 0;
  std::size_t missed = 0;  // expected to go but stayed
  std::size_t wrong = 0;   // went but should have stayed
  bool originalsIntact = true;
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_duplicates CORPUS [--work DIR] [--no-cold] [--rounds N]\n");
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]);
  fs::path work = corpus.parent_path() / (corpus.filename().string() + "-dupwork");
  bool cold = true;
  int rounds = 1;
  for (int i = 2; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--work" && i + 1 < argc) work = fs::absolute(argv[++i]);
    if (a == "--no-cold") cold = false;
    if (a == "--rounds" && i + 1 < argc) rounds = std::atoi(argv[++i]);
  }
  const fs::path originals = corpus / "originals";
  const fs::path card = work / "card";

  // The files the corpus says must go: card copies of originals (renamed, moved, second copies).
  std::set<std::string> expected;
  {
    std::ifstream pairs(corpus / "pairs.tsv");
    for (std::string line; std::getline(pairs, line);) {
      std::istringstream fields(line);
      std::string kind, original, onCard;
      std::getline(fields, kind, '\t');
      std::getline(fields, original, '\t');
      std::getline(fields, onCard, '\t');
      if (kind.rfind("dup", 0) == 0) expected.insert(onCard);
    }
  }
  const std::set<std::string> cardBefore = filesBelow(corpus / "card");
  const std::size_t originalCount = filesBelow(originals).size();
  std::printf("corpus %s: %zu originals, %zu card files, %zu expected deletions\n", corpus.c_str(),
              originalCount, cardBefore.size(), expected.size());

  if (cold && shell("sync && echo 3 > /proc/sys/vm/drop_caches 2>/dev/null") != 0) {
    std::printf("cannot drop the page cache (not root?): cold runs left out\n");
    cold = false;
  }

  const auto& map = platform::DriveMap::current();
  using Tool = std::pair<std::string, std::function<void()>>;
  std::vector<Tool> tools;
  tools.emplace_back("quillmere", [&] {
    duplicates::DeleteRunOptions o;
    o.comparisonDir = map.toPathText(originals.string());
    o.deletionDir = map.toPathText(card.string());
    o.comparisonSubDirs = o.deletionSubDirs = true;
    o.removeEmptyComparisonDirs = o.removeEmptyDeletionDirs = false;  // the peers keep folders
    o.recycleOnFixedDrive = false;
    QuietView view;
    duplicates::runDuplicateDelete(o, view);
  });
  if (have("jdupes"))
    tools.emplace_back("jdupes", [&] {
      shell("jdupes -q -r -d -N -O -I " + quoted(originals) + " " + quoted(card) + " >/dev/null");
    });
  else
    std::printf("jdupes not installed: left out\n");
  if (have("rmlint"))
    tools.emplace_back("rmlint", [&] {
      const fs::path script = work / "rmlint.sh";
      shell("cd " + quoted(work) + " && rmlint -T df -k -m -o sh:" + quoted(script) + " " +
            quoted(card) + " // " + quoted(originals) + " >/dev/null 2>&1 && sh " + quoted(script) +
            " -d -x >/dev/null 2>&1");
    });
  else
    std::printf("rmlint not installed: left out\n");

  std::map<std::string, std::map<std::string, Outcome>> results;  // mode -> tool -> outcome
  std::vector<std::string> modes = {"warm"};
  if (cold) modes.push_back("cold");
  fs::create_directories(work);
  for (const auto& mode : modes) {
    for (const auto& [name, run] : tools) {
      Outcome best;
      for (int r = 0; r < rounds; ++r) {
        fs::remove_all(card);
        shell("cp -a " + quoted(corpus / "card") + " " + quoted(card));
        if (mode == "cold")
          shell("sync && echo 3 > /proc/sys/vm/drop_caches");
        else  // every byte either side might read is in the page cache
          shell("find " + quoted(originals) + " " + quoted(card) +
                " -type f -exec cat {} + >/dev/null");
        const auto start = std::chrono::steady_clock::now();
        run();
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Outcome o;
        o.seconds = seconds;
        const auto after = filesBelow(card);
        for (const auto& f : cardBefore) {
          const bool gone = !after.count(f);
          o.deleted += gone;
          if (gone && !expected.count(f)) ++o.wrong;
          if (!gone && expected.count(f)) ++o.missed;
        }
        o.originalsIntact = filesBelow(originals).size() == originalCount;
        if (best.seconds < 0 || o.seconds < best.seconds) best = o;
      }
      results[mode][name] = best;
      std::printf("%-5s %-10s %8.3f s  deleted %zu (missed %zu, wrong %zu)%s\n", mode.c_str(),
                  name.c_str(), best.seconds, best.deleted, best.missed, best.wrong,
                  best.originalsIntact ? "" : "  ORIGINALS CHANGED");
      std::fflush(stdout);
    }
  }
  std::printf("\nratios (quillmere seconds / peer seconds; below 1.0 is faster):\n");
  for (const auto& mode : modes)
    for (const auto& [name, outcome] : results[mode])
      if (name != "quillmere")
        std::printf("  %-5s vs %-8s %.2fx\n", mode.c_str(), name.c_str(),
                    results[mode]["quillmere"].seconds / outcome.seconds);
  fs::remove_all(card);
  const auto& ours = results["warm"]["quillmere"];
  return ours.missed == 0 && ours.wrong == 0 && ours.originalsIntact ? 0 : 1;
}
