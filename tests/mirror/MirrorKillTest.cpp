#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/Main.h"
#include "mirror/MirrorJournal.h"
#include "mirror/MirrorSettings.h"
#include "support/TempTree.h"

namespace quillmere::mirror {
namespace {

constexpr std::time_t kOld = 1600000000;
constexpr std::time_t kNew = 1700000000;

std::string version(const std::string& rel, const char* which, std::size_t size) {
  std::string bytes = std::string(which) + ":" + rel + ":";
  bytes.resize(size, which[0]);
  return bytes;
}

void stamp(const std::string& native, std::time_t t) {
  const timespec times[2] = {{t, 0}, {t, 0}};
  ::utimensat(AT_FDCWD, native.c_str(), times, 0);
}

// Starts quillmere-run on the settings file and answers its process id.
pid_t startRun(const std::string& ini, const std::string& log = "/dev/null") {
  const std::string program = std::string(QUILLMERE_BIN_DIR) + "/quillmere-run";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int null = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(null, STDERR_FILENO);
    ::dup2(null, STDOUT_FILENO);
    ::execl(program.c_str(), program.c_str(), "--ini", ini.c_str(), "Mirrorring",
            static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

int waitFor(pid_t pid) {
  int status = 0;
  ::waitpid(pid, &status, 0);
  return status;
}

// Waits (at most `limit`) until one mirror file holds its new version.
void waitForFirstNewMirrorFile(
    const test::TempTree& tree,
    const std::map<std::string, std::pair<std::string, std::string>>& files,
    std::chrono::steady_clock::duration limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < end) {
    for (const auto& [rel, v] : files) {
      std::error_code ec;
      if (std::filesystem::file_size(tree.path("mirror/" + rel), ec) == v.second.size()) return;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
}

// Kills the run at random moments while it replaces every mirror file; after each kill every
// file of both trees is its old or its new version, whole, and a second run leaves no temporary
// file behind.
TEST(MirrorKill, EveryFileIsOldOrNewAfterAKillAndTheNextRunCleansUp) {
  if (!std::filesystem::exists(std::string(QUILLMERE_BIN_DIR) + "/quillmere-run"))
    GTEST_SKIP() << "quillmere-run is not built";
  test::TempTree tree;
  const std::string ini = tree.path("quillmere.ini");
  MirrorSettings settings(tree.pathText("quillmere.ini"), "c:\\");
  settings.load();
  settings.choosePreset(5);
  settings.put(key::kDustBox, "0");
  settings.put(key::kInDir, tree.pathText("master"));
  settings.put(key::kOutDir, tree.pathText("mirror"));

  std::map<std::string, std::pair<std::string, std::string>> files;  // rel -> old, new
  std::mt19937 random(6);
  for (int i = 0; i < 120; ++i) {
    const std::string rel =
        "DCIM/" + std::to_string(100 + i % 4) + "CANON/IMG_" + std::to_string(1000 + i) + ".JPG";
    const std::size_t size = 64 * 1024 + random() % (512 * 1024);
    files[rel] = {version(rel, "old", size), version(rel, "new", size + 7)};
    stamp(tree.write("master/" + rel, files[rel].second), kNew);
  }
  auto resetMirror = [&] {
    for (const auto& [rel, v] : files) stamp(tree.write("mirror/" + rel, v.first), kOld);
  };
  // Checks both trees; answers the hidden files found. Counts the kills that came in the middle
  // of the replacements (some mirror files new, some old).
  int midway = 0;
  auto check = [&](bool allNew) {
    std::vector<std::string> hidden;
    int oldSeen = 0, newSeen = 0;
    for (const std::string& f : tree.files()) {
      if (f == "quillmere.ini") continue;
      if (f.find("/.") != std::string::npos) {
        hidden.push_back(f);
        continue;
      }
      const bool isMaster = f.rfind("master/", 0) == 0;
      const std::string rel = f.substr(f.find('/') + 1);
      const auto it = files.find(rel);
      EXPECT_NE(it, files.end()) << "unexpected file " << f;
      if (it == files.end()) continue;
      const std::string bytes = tree.read(f);
      if (isMaster || allNew)
        EXPECT_TRUE(bytes == it->second.second) << f << " holds " << bytes.substr(0, 40);
      else
        EXPECT_TRUE(bytes == it->second.first || bytes == it->second.second) << f;
      if (!isMaster) (bytes == it->second.first ? oldSeen : newSeen)++;
    }
    if (oldSeen > 0 && newSeen > 0) ++midway;
    for (const auto& [rel, v] : files) {
      EXPECT_TRUE(tree.exists("master/" + rel)) << rel;
      EXPECT_TRUE(tree.exists("mirror/" + rel)) << rel;
    }
    return hidden;
  };

  // One whole run, to learn how long a run takes here.
  resetMirror();
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(waitFor(startRun(ini)), 0);
  const auto whole = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(check(true).empty());

  int hiddenSeen = 0;
  for (int round = 0; round < 20; ++round) {
    SCOPED_TRACE("kill " + std::to_string(round));
    resetMirror();
    const pid_t pid = startRun(ini);
    if (round % 4 == 3) {
      // Every fourth kill waits until the replacements have begun, so that some kills land
      // among them however long this machine takes to start a run.
      waitForFirstNewMirrorFile(tree, files, whole * 4);
    } else {
      const auto delay =
          std::chrono::duration_cast<std::chrono::microseconds>(whole) * (random() % 1000) / 1000;
      std::this_thread::sleep_for(delay);
    }
    ::kill(pid, SIGKILL);
    waitFor(pid);
    hiddenSeen += static_cast<int>(check(false).size());
    // The next run settles what the killed one left and finishes the job.
    const std::string log = tree.root() + "-run.log";
    EXPECT_EQ(waitFor(startRun(ini, log)), 0) << [&] {
      std::ifstream in(log);
      return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    EXPECT_EQ(check(true), std::vector<std::string>{});
  }
  RecordProperty("temporary files left by kills", hiddenSeen);
  EXPECT_GT(midway, 0) << "no kill came while files were being replaced";
}

// A run killed after the old version went to the trash and before the copy took its name: the
// next run puts the copy in place; a temporary file whose target still exists is removed.
TEST(MirrorKill, TheJournalFinishesOrUndoesAnInterruptedSwap) {
  test::TempTree tree;
  MirrorJournal journal(tree.path("state"));
  ASSERT_EQ(journal.lock(), MirrorJournal::Lock::Taken);
  const std::string target = tree.write("mirror/a.jpg", "old");
  const std::string kept = tree.write("mirror/b.jpg", "current");
  const std::string t1 = temporaryNameFor(target);
  const std::string t2 = temporaryNameFor(kept);
  journal.record(t1, target);
  journal.record(t2, kept);
  tree.write("mirror/" + t1.substr(t1.rfind('/') + 1), "new");
  tree.write("mirror/" + t2.substr(t2.rfind('/') + 1), "stale copy");
  // A partial file of the copy routine beside a temporary name.
  tree.write("mirror/." + t2.substr(t2.rfind('/') + 1) + ".part-abc123", "par");
  std::filesystem::remove(target);

  MirrorJournal next(tree.path("state"));
  const auto restored = next.settle();
  EXPECT_EQ(restored, std::vector<std::string>{target});
  EXPECT_EQ(tree.read("mirror/a.jpg"), "new");
  EXPECT_EQ(tree.read("mirror/b.jpg"), "current");
  std::vector<std::string> mirrorFiles;
  for (const auto& f : tree.files())
    if (f.rfind("mirror/", 0) == 0) mirrorFiles.push_back(f);
  EXPECT_EQ(mirrorFiles, (std::vector<std::string>{"mirror/a.jpg", "mirror/b.jpg"}));
  EXPECT_TRUE(isTemporaryName(t1.substr(t1.rfind('/') + 1)));
}

TEST(MirrorKill, OnlyOneRunHoldsTheLock) {
  test::TempTree tree;
  MirrorJournal first(tree.path("state"));
  MirrorJournal second(tree.path("state"));
  EXPECT_EQ(first.lock(), MirrorJournal::Lock::Taken);
  EXPECT_EQ(second.lock(), MirrorJournal::Lock::Busy);
}

}  // namespace
}  // namespace quillmere::mirror
