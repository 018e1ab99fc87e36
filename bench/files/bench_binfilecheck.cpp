// DLL_BinFileCheck over pairs of identical 50 MB files, against cmp over the same pairs in the
// same run (files in the page cache for both). Usage: bench_binfilecheck [pairs] [rounds]
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/Main.h"

extern char** environ;

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string pathText(const std::string& native) {
  std::string out = "C:";
  for (char c : native) out += c == '/' ? '\\' : c;
  return out;
}

// Runs cmp -s on a pair; answers its exit status (0 same, 1 different), -1 when it cannot.
int runCmp(const std::string& a, const std::string& b) {
  std::vector<std::string> args = {"/usr/bin/cmp", "-s", a, b};
  std::vector<char*> argv;
  for (auto& s : args) argv.push_back(s.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int pairs = argc > 1 ? std::atoi(argv[1]) : 4;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  constexpr std::size_t kSize = 50 * 1000 * 1000;
  QTemporaryDir dir(QDir::tempPath() + "/quillmere-bench-XXXXXX");
  const std::string root = dir.path().toStdString();
  std::vector<std::pair<std::string, std::string>> files;
  std::mt19937_64 random(7);
  std::string bytes(kSize, '\0');
  for (int p = 0; p < pairs; ++p) {
    for (std::size_t i = 0; i + 8 <= kSize; i += 8) {
      const std::uint64_t v = random();
      std::memcpy(&bytes[i], &v, 8);
    }
    const std::string a = root + "/a" + std::to_string(p) + ".mov";
    const std::string b = root + "/b" + std::to_string(p) + ".mov";
    std::ofstream(a, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(kSize));
    std::ofstream(b, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(kSize));
    files.emplace_back(a, b);
  }
  const quillmere::Main& m = quillmere::dll();
  // Warm the page cache, and check both agree.
  for (const auto& [a, b] : files) {
    if (!m.DLL_BinFileCheck(pathText(a), pathText(b))) {
      std::fprintf(stderr, "DLL_BinFileCheck says the identical pair %s differs\n", a.c_str());
      return 1;
    }
  }
  const bool haveCmp = ::access("/usr/bin/cmp", X_OK) == 0;

  double ours = 0;
  double theirs = 0;
  for (int r = 0; r < rounds; ++r) {
    auto start = std::chrono::steady_clock::now();
    for (const auto& [a, b] : files)
      if (!m.DLL_BinFileCheck(pathText(a), pathText(b))) return 1;
    ours += secondsSince(start);
    if (haveCmp) {
      start = std::chrono::steady_clock::now();
      for (const auto& [a, b] : files)
        if (runCmp(a, b) != 0) return 1;
      theirs += secondsSince(start);
    }
  }
  const double mb = static_cast<double>(kSize) * pairs * rounds * 2 / 1e6;
  std::printf("DLL_BinFileCheck: %d pairs x 50 MB, %d rounds: %.3f s (%.0f MB/s)\n", pairs, rounds,
              ours, mb / ours);
  if (!haveCmp) {
    std::printf("cmp: not installed, peer skipped\n");
    return 0;
  }
  std::printf("cmp -s:           %.3f s (%.0f MB/s)\n", theirs, mb / theirs);
  std::printf("ratio ours/cmp: %.2f (target <= 1.2)\n", ours / theirs);
  return 0;
}
