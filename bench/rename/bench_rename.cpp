// The date-format rename (Stay and Copy mode, through quillmere-run) against jhead, exiv2 and
// exiftool, each on its own identical copy of the originals of a generated corpus, in one run.
//
//   python3 ../shared/bench/make_corpus.py CORPUS --files 20000 [--scale 1.0]
//   bench_rename CORPUS [--work DIR]
//
// Prints files/s for every tool, our rate over each peer's, and each run's peak memory.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
  std::string tool;
  long files = 0;
  double seconds = 0;
  long peakKiB = 0;
  long after = 0;  // files present afterwards (a check that nothing was lost)
  double rate() const { return seconds > 0 ? files / seconds : 0; }
};

std::string quote(const std::string& s) {
  std::string out = "'";
  for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a shell command; wall time and the peak memory of the processes it started.
void timed(const std::string& command, Measure& m) {
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  ::wait4(pid, &status, 0, &usage);
  m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  m.peakKiB = usage.ru_maxrss;  // the largest of the command's processes
}

long countFiles(const fs::path& dir, bool jpegOnly = false) {
  long n = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir)) {
    if (!e.is_regular_file()) continue;
    std::string ext = e.path().extension().string();
    for (auto& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!jpegOnly || ext == ".jpg" || ext == ".jpeg") ++n;
  }
  return n;
}

void freshCopy(const fs::path& from, const fs::path& to) {
  fs::remove_all(to);
  const std::string cmd = "cp -a " + quote(from.string()) + " " + quote(to.string());
  if (std::system(cmd.c_str()) != 0) {
    std::fprintf(stderr, "cannot copy %s\n", from.c_str());
    std::exit(1);
  }
  std::system("sync");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_rename CORPUS [--work DIR]\n");
    return 2;
  }
  const fs::path corpus = fs::absolute(argv[1]);
  fs::path work = corpus.parent_path() / "bench-rename-work";
  for (int i = 2; i + 1 < argc; ++i)
    if (std::string(argv[i]) == "--work") work = fs::absolute(argv[++i]);
  const fs::path originals = corpus / "originals";
  if (!fs::is_directory(originals)) {
    std::fprintf(stderr, "%s has no originals/ folder\n", corpus.c_str());
    return 2;
  }
  const fs::path runner = fs::canonical("/proc/self/exe").parent_path() / "quillmere-run";
  fs::create_directories(work);
  const long total = countFiles(originals);
  const long jpegs = countFiles(originals, true);
  std::printf("corpus %s: %ld files (%ld JPEG)\n", originals.c_str(), total, jpegs);

  std::vector<Measure> results;
  auto run = [&](const std::string& tool, long files, const std::string& command,
                 const fs::path& countIn) {
    Measure m{tool, files};
    timed(command, m);
    m.after = countFiles(countIn);
    std::printf("  %-22s %6ld files %8.2f s %9.0f files/s  peak %6.1f MB  (%ld files after)\n",
                tool.c_str(), m.files, m.seconds, m.rate(), m.peakKiB / 1024.0, m.after);
    std::fflush(stdout);
    results.push_back(m);
  };

  const std::string ini = quote((work / "quillmere.ini").string());
  const std::string common = quote(runner.string()) + " --ini " + ini +
                             " --set FileNameFormat_Date=True --set MojiNot=True"
                             " --set LookSubDir=1 --set TimeStamp=0 --set Attribute=0";

  // The settings a run writes are written once beforehand, as a user's settings file already
  // holds them: the timed runs then measure the renames, not the first writes of the file.
  const fs::path empty = work / "empty";
  auto warmUp = [&](const std::string& options) {
    fs::create_directories(empty);  // the run removes it again (empty folders are removed)
    const std::string cmd = common + options + " ReName " + quote(empty.string()) + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) std::fprintf(stderr, "warm-up run failed\n");
  };

  const fs::path stay = work / "stay";
  freshCopy(originals, stay);
  warmUp(" --set Stay_Mode=True");
  run("quillmere Stay", total,
      common + " --set Stay_Mode=True ReName " + quote(stay.string()) + " 2>/dev/null", stay);

  const fs::path copyIn = work / "copy-in";
  const fs::path copyOut = work / "copy-out";
  freshCopy(originals, copyIn);
  fs::remove_all(copyOut);
  fs::create_directories(copyOut);
  warmUp(" --set Copy_Mode=True --set OutDir=" + quote(copyOut.string()));
  run("quillmere Copy", total,
      common + " --set Copy_Mode=True --set OutDir=" + quote(copyOut.string()) + " ReName " +
          quote(copyIn.string()) + " 2>/dev/null",
      copyOut);

  const fs::path cp = work / "cp";
  fs::remove_all(cp);
  run("cp -a (copy only)", total, "cp -a " + quote(copyIn.string()) + " " + quote(cp.string()), cp);

  const fs::path jhead = work / "jhead";
  freshCopy(originals, jhead);
  run("jhead (JPEG only)", jpegs,
      "find " + quote(jhead.string()) +
          " -type f \\( -iname '*.jpg' -o -iname '*.jpeg' \\) -print0 | xargs -0 jhead -q "
          "-n%Y%m%d_%H%M%S >/dev/null 2>&1",
      jhead);

  const fs::path exiv2 = work / "exiv2";
  freshCopy(originals, exiv2);
  run("exiv2", total,
      "find " + quote(exiv2.string()) +
          " -type f -print0 | xargs -0 exiv2 -q -F -r %Y%m%d_%H%M%S mv >/dev/null 2>&1",
      exiv2);

  const fs::path exiftool = work / "exiftool";
  freshCopy(originals, exiftool);
  run("exiftool", total,
      "exiftool -q -q '-FileName<DateTimeOriginal' -d %Y%m%d_%H%M%S%%-c.%%e -r " +
          quote(exiftool.string()) + " >/dev/null 2>&1",
      exiftool);

  std::printf("\nratios (files/s of quillmere over files/s of the peer):\n");
  for (const Measure& ours : results) {
    if (ours.tool.rfind("quillmere", 0) != 0) continue;
    for (const Measure& peer : results) {
      if (peer.tool.rfind("quillmere", 0) == 0 || peer.rate() == 0) continue;
      std::printf("  %-16s / %-22s %7.2fx\n", ours.tool.c_str(), peer.tool.c_str(),
                  ours.rate() / peer.rate());
    }
  }
  fs::remove_all(work);
  return 0;
}
