// The archiver libraries stand alone behind their two entry points: they need no library of this
// project, and take native paths only (the caller maps path texts).
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "Harness.h"

namespace fs = std::filesystem;
using namespace quillmere::test;

namespace {

// The lines of a command's output that contain `word`.
std::vector<std::string> linesWith(const std::string& text, const std::string& word) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    if (line.find(word) != std::string::npos) out.push_back(line);
  return out;
}

TEST(ArchiverLibraries, NeedNoLibraryOfThisProject) {
  const std::string bin = QUILLMERE_BIN_DIR;
  for (const char* lib : {"libunlha32.so", "libcab32.so"}) {
    const auto dynamic = shell("readelf -d " + q(bin + "/" + lib));
    ASSERT_EQ(dynamic.status, 0) << dynamic.output;
    const auto needed = linesWith(dynamic.output, "(NEEDED)");
    EXPECT_FALSE(needed.empty()) << lib << dynamic.output;
    for (const auto& line : needed) {
      const auto open = line.find('['), close = line.find(']');
      ASSERT_NE(close, std::string::npos) << line;
      const std::string name = line.substr(open + 1, close - open - 1);
      EXPECT_FALSE(fs::exists(bin + "/" + name)) << lib << " needs " << name << ", built here";
      EXPECT_EQ(name.find("quillmere"), std::string::npos) << lib << " needs " << name;
    }
    // Nor does it count on one being loaded already.
    const auto undefined = shell("nm -D --undefined-only " + q(bin + "/" + lib));
    ASSERT_EQ(undefined.status, 0) << undefined.output;
    EXPECT_EQ(linesWith(undefined.output, "quillmere"), std::vector<std::string>{}) << lib;
  }
}

TEST(ArchiverLibraries, TakeNativePathsOnly) {
  std::string report;
  EXPECT_EQ(lzhLib()("l \"C:\\tmp\\x.lzh\"", &report), 0x8002) << report;
  EXPECT_NE(report.find("not an archive path"), std::string::npos) << report;
  EXPECT_EQ(lzhLib()("a \"C:\\tmp\\x.lzh\" \"/tmp/\"", &report), 0x8001) << report;
  EXPECT_EQ(cabLib()("-x \"C:\\tmp\\x.cab\" \"/tmp/out/\"", &report), 0x8001) << report;
  EXPECT_EQ(cabLib()("-a \"/tmp/x.cab\" \"photos\\*.*\"", &report), 0x8001) << report;
}

}  // namespace
