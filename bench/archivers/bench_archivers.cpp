// The LZH archiver against tar, gzip -6 and (where Java and jlha are installed) jlha, in the
// same run on the same files: backing up a camera corpus's originals, packing a 100 MB text-like
// file, and extracting both again.
//
// usage: bench_archivers [--files N] [--keep] [CORPUS]
//   CORPUS  a folder made by make_corpus.py (its originals/ are archived); without it one is
//           generated into a temporary folder with N files (default 2000) and removed afterwards,
//           by ../shared/bench/make_corpus.py beside the source tree or $QUILLMERE_CORPUS_TOOL.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

int (*g_unlha)(int, const char*, char*, unsigned) = nullptr;

double seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

double timeShell(const std::string& command) {
  const auto start = Clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return seconds(start);
}

double timeUnlha(const std::string& command) {
  static char out[32767];
  const auto start = Clock::now();
  if (g_unlha(0, command.c_str(), out, sizeof out) != 0)
    std::fprintf(stderr, "failed: %s\n%s\n", command.c_str(), out);
  return seconds(start);
}

std::uintmax_t treeBytes(const std::string& root) {
  std::uintmax_t n = 0;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (e.is_regular_file()) n += e.file_size();
  return n;
}

std::string q(const std::string& s) {
  return "'" + s + "'";
}

void writeText(const std::string& path, std::size_t size) {
  static const char* words[] = {"IMG_",  "2004",   "photo ", "folder\n", "DSC_0",  "the ",
                                "of ",   "12:30:", ".JPG ",  "camera ",  "memory", " card",
                                "写真 ", "日付 ",  "Exif ",  "0123",     "\t",     "backup "};
  std::mt19937 rng(2004);
  std::string text;
  text.reserve(size);
  while (text.size() < size) text += words[rng() % 18];
  text.resize(size);
  std::ofstream(path, std::ios::binary) << text;
}

struct Row {
  const char* what;
  double secs;
  std::uintmax_t in;
  std::uintmax_t out;
};

void print(const Row& r) {
  std::printf("  %-34s %8.3f s %9.1f MB/s  ratio %5.1f%%\n", r.what, r.secs, r.in / 1e6 / r.secs,
              r.in ? 100.0 * r.out / r.in : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
  int files = 2000;
  bool keep = false;
  std::string corpus;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--files" && i + 1 < argc)
      files = std::atoi(argv[++i]);
    else if (a == "--keep")
      keep = true;
    else
      corpus = a;
  }
  void* lib = ::dlopen(QUILLMERE_BIN_DIR "/libunlha32.so", RTLD_NOW);
  if (!lib) {
    std::fprintf(stderr, "cannot load libunlha32.so: %s\n", ::dlerror());
    return 1;
  }
  g_unlha = reinterpret_cast<decltype(g_unlha)>(::dlsym(lib, "Unlha"));

  char tmpl[] = "/tmp/bench-archivers-XXXXXX";
  const std::string work = ::mkdtemp(tmpl);
  if (corpus.empty()) {
    const char* env = std::getenv("QUILLMERE_CORPUS_TOOL");
    const std::string tool = env && *env ? env : QUILLMERE_CORPUS_TOOL;
    if (!fs::exists(tool)) {
      std::fprintf(stderr,
                   "corpus generator %s not found: set QUILLMERE_CORPUS_TOOL or give CORPUS\n",
                   tool.c_str());
      fs::remove_all(work);
      return 1;
    }
    corpus = work + "/corpus";
    const std::string gen = "python3 " + q(tool) + " " + q(corpus) + " --files " +
                            std::to_string(files) + " >/dev/null";
    if (std::system(gen.c_str()) != 0) {
      std::fprintf(stderr, "cannot generate the corpus\n");
      return 1;
    }
  }
  const std::string originals = corpus + "/originals";
  const std::uintmax_t camBytes = treeBytes(originals);
  const std::string text = work + "/text/big.txt";
  fs::create_directories(work + "/text");
  writeText(text, 100u << 20);
  const std::uintmax_t textBytes = fs::file_size(text);
  // Warm the page cache so that every tool reads from memory.
  std::system(("cat $(find " + q(originals) + " -type f) " + q(text) + " > /dev/null").c_str());

  const bool jlha = std::system("command -v java >/dev/null 2>&1") == 0 &&
                    std::system("dpkg -s jlha-utils >/dev/null 2>&1") == 0 &&
                    fs::exists("/usr/share/java/jlhafrontend.jar");

  std::printf("camera originals: %s (%.1f MB)\n", originals.c_str(), camBytes / 1e6);
  const std::string camLzh = work + "/cam.lzh";
  Row ours{"ours a -d1 (-lh5-/-lh0-)", timeUnlha("a -d1 \"" + camLzh + "\" \"" + originals + "/\""),
           camBytes, 0};
  ours.out = fs::file_size(camLzh);
  Row tar{"tar cf", timeShell("tar cf " + q(work + "/cam.tar") + " -C " + q(originals) + " ."),
          camBytes, fs::file_size(work + "/cam.tar")};
  Row tgz{"tar czf (gzip -6)",
          timeShell("tar czf " + q(work + "/cam.tgz") + " -C " + q(originals) + " ."), camBytes,
          fs::file_size(work + "/cam.tgz")};
  Row camX{"ours e -x (extract)", timeUnlha("e -x \"" + camLzh + "\" \"" + work + "/cam-out/\""),
           camBytes, 0};
  print(ours);
  print(tar);
  print(tgz);
  print(camX);
  if (jlha) {
    Row j{"jlha a",
          timeShell("cd " + q(originals) + " && java -jar /usr/share/java/jlhafrontend.jar a " +
                    q(work + "/cam-jlha.lzh") + " . >/dev/null"),
          camBytes, 0};
    j.out = fs::file_size(work + "/cam-jlha.lzh");
    print(j);
  } else {
    std::printf("  jlha: skipped (Java or the jlha-utils package is not installed)\n");
  }
  std::printf("  ours / tar cf rate:      %.2f  (target >= 0.5)\n", tar.secs / ours.secs);
  std::printf("  extract / compress rate: %.2f  (target >= 3)\n", ours.secs / camX.secs);

  std::printf("text-like file: %.1f MB\n", textBytes / 1e6);
  const std::string textLzh = work + "/text.lzh";
  Row oursT{"ours a (-lh5-)", timeUnlha("a \"" + textLzh + "\" \"" + work + "/text/\""), textBytes,
            0};
  oursT.out = fs::file_size(textLzh);
  Row gz{"gzip -6", timeShell("gzip -6 -c " + q(text) + " > " + q(work + "/big.txt.gz")), textBytes,
         fs::file_size(work + "/big.txt.gz")};
  Row tgzT{"tar czf (gzip -6)",
           timeShell("tar czf " + q(work + "/text.tgz") + " -C " + q(work + "/text") + " ."),
           textBytes, fs::file_size(work + "/text.tgz")};
  Row textX{"ours e (extract)", timeUnlha("e \"" + textLzh + "\" \"" + work + "/text-out/\""),
            textBytes, 0};
  print(oursT);
  print(gz);
  print(tgzT);
  print(textX);
  if (jlha) {
    Row j{
        "jlha a",
        timeShell("cd " + q(work + "/text") + " && java -jar /usr/share/java/jlhafrontend.jar a " +
                  q(work + "/text-jlha.lzh") + " big.txt >/dev/null"),
        textBytes, 0};
    j.out = fs::file_size(work + "/text-jlha.lzh");
    print(j);
  }
  std::printf("  ours / gzip -6 rate:     %.2f  (target >= 1)\n", gz.secs / oursT.secs);
  std::printf("  extract / compress rate: %.2f  (target >= 3)\n", oursT.secs / textX.secs);
  const bool same =
      std::system(("cmp -s " + q(text) + " " + q(work + "/text-out/big.txt")).c_str()) == 0 &&
      std::system(
          ("diff -r -q " + q(originals) + " " + q(work + "/cam-out") + " >/dev/null").c_str()) == 0;
  std::printf("extracted files identical: %s\n", same ? "yes" : "NO");
  if (!keep) fs::remove_all(work);
  return same ? 0 : 1;
}
