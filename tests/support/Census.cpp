#include "support/Census.h"

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <set>

#include "platform/DriveMap.h"

namespace quillmere::test {

namespace fs = std::filesystem;

std::string fileHash(const std::string& nativePath) {
  std::ifstream in(nativePath, std::ios::binary);
  if (!in) return {};
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return std::to_string(bytes.size()) + ":" + std::to_string(std::hash<std::string>{}(bytes));
}

Census censusOf(const std::string& nativeRoot) {
  Census census;
  for (auto it = fs::recursive_directory_iterator(nativeRoot);
       it != fs::recursive_directory_iterator(); ++it) {
    const std::string rel = it->path().lexically_relative(nativeRoot).string();
    struct stat st {};
    ::lstat(it->path().c_str(), &st);
    if (S_ISLNK(st.st_mode))
      census[rel] = "link:" + fs::read_symlink(it->path()).string();
    else if (S_ISDIR(st.st_mode))
      census[rel] = "dir";
    else
      census[rel] = "file:" + std::to_string(st.st_size) + ":" +
                    std::to_string(st.st_mtim.tv_sec * 1000000000LL + st.st_mtim.tv_nsec) + ":" +
                    fileHash(it->path());
  }
  return census;
}

namespace {

std::string relativeOf(const std::string& pathText, const std::string& nativeRoot) {
  const std::string native = platform::nativePathOf(pathText).value_or(pathText);
  return fs::path(native).lexically_relative(nativeRoot).string();
}

}  // namespace

Census afterPlan(const Census& before, const RunPlan& plan, const std::string& nativeRoot) {
  Census after = before;
  std::set<std::string> collecting;  // targets of several copies
  for (const PlanStep& step : plan.steps()) {
    const std::string from = step.from.empty() ? "" : relativeOf(step.from, nativeRoot);
    const std::string to = step.to.empty() ? "" : relativeOf(step.to, nativeRoot);
    switch (step.kind) {
      case PlanStep::Kind::Move:
        after[to] = after[from];
        after.erase(from);
        break;
      case PlanStep::Kind::Copy:
        if (after.count(to) || collecting.count(to)) {
          after[to] = "made";
          collecting.insert(to);
        } else {
          after[to] = after[from];
        }
        break;
      case PlanStep::Kind::Trash:
      case PlanStep::Kind::Delete:
      case PlanStep::Kind::FolderGone:
        after.erase(from);
        break;
      case PlanStep::Kind::FolderMade:
        after[to] = "dir";
        break;
    }
  }
  return after;
}

}  // namespace quillmere::test

namespace quillmere::test {

Census withoutTimes(const Census& census) {
  Census out;
  for (const auto& [path, line] : census) {
    if (line.rfind("file:", 0) != 0) {
      out[path] = line;
      continue;
    }
    const auto first = line.find(':', 5);
    const auto second = line.find(':', first + 1);
    out[path] = line.substr(0, first) + line.substr(second);
  }
  return out;
}

Census asExpected(const Census& expected, Census actual) {
  for (const auto& [path, line] : expected)
    if (line == "made" && actual.count(path)) actual[path] = "made";
  return withoutTimes(actual);
}

}  // namespace quillmere::test
