#include "EngineSupport.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace quillmere::duplicates::test_support {

namespace fs = std::filesystem;

std::vector<std::string> trashedNames() {
  std::vector<std::string> out;
  const char* data = std::getenv("XDG_DATA_HOME");
  const fs::path files = fs::path(data ? data : "") / "Trash" / "files";
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(files, ec)) out.push_back(e.path().filename());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace quillmere::duplicates::test_support
