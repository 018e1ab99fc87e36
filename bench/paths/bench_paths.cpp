// DLL_FileNameList with subfolders against `find DIR -type f | LC_ALL=C sort` on the same tree.
//
//   bench_paths [DIR] [--runs N]
//
// Without DIR a tree of 100,000 empty files in 1,000 folders is built in a temporary folder
// (names only matter to a listing) and removed afterwards.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/Main.h"
#include "platform/DriveMap.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string buildTree() {
  char pattern[] = "/tmp/quillmere-bench-paths-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) {
    std::perror("mkdtemp");
    std::exit(1);
  }
  const std::string root = pattern;
  // 10 year folders, each with 99 day folders: 1,000 folders of 100 files each.
  char name[256];
  for (int year = 0; year < 10; ++year) {
    const std::string yearDir = root + "/" + std::to_string(2010 + year);
    for (int day = 0; day < 100; ++day) {
      std::string dir = yearDir;
      if (day > 0) {
        std::snprintf(name, sizeof name, "/%04d.%02d.%02d %s", 2010 + year, day / 28 + 1,
                      day % 28 + 1, day % 7 == 0 ? "\xE6\x97\x85\xE8\xA1\x8C" : "day");
        dir += name;
      }
      std::filesystem::create_directories(dir);
      for (int i = 0; i < 100; ++i) {
        std::snprintf(name, sizeof name, "/%s_%04d.%s", i % 3 == 0 ? "IMG" : "DSC",
                      year * 1000 + day * 10 + i, i % 10 == 0 ? "CR2" : "JPG");
        std::ofstream(dir + name);
      }
    }
  }
  return root;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int runs = 5;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--runs" && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      dir = arg;
    }
  }
  const bool own = dir.empty();
  if (own) {
    std::printf("building 100,000 files in 1,000 folders...\n");
    dir = buildTree();
  }
  dir = std::filesystem::absolute(dir).lexically_normal().string();
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  const std::string root = quillmere::platform::DriveMap::current().toPathText(dir);
  const std::string command = "find '" + dir + "' -type f | LC_ALL=C sort > /dev/null";

  const auto& m = quillmere::dll();
  std::vector<double> ours, peer;
  std::size_t count = 0;
  for (int r = 0; r <= runs; ++r) {  // run 0 warms the caches and is not counted
    auto t0 = Clock::now();
    quillmere::StringArray list;
    m.DLL_FileNameList(root, list, 1);
    const double a = std::chrono::duration<double>(Clock::now() - t0).count();
    count = static_cast<std::size_t>(list.count());
    t0 = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "peer command failed\n");
    const double b = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r > 0) {
      ours.push_back(a);
      peer.push_back(b);
    }
  }
  const double a = median(ours), b = median(peer);
  std::printf("tree: %s (%zu files listed)\n", dir.c_str(), count);
  std::printf("DLL_FileNameList (SubDir 1):         %8.1f ms (median of %d)\n", a * 1e3, runs);
  std::printf("find -type f | LC_ALL=C sort:        %8.1f ms (median of %d)\n", b * 1e3, runs);
  std::printf("ratio ours/peer:                     %8.2f\n", a / b);
  if (own) std::filesystem::remove_all(dir);
  return 0;
}
