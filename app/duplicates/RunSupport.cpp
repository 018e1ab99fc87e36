#include "duplicates/RunSupport.h"

#include "core/UiHook.h"

namespace quillmere::duplicates {

RunEnding endingOf(const RunFrame& frame, const RunView& view) {
  if (frame.failed()) return RunEnding::Failed;
  return view.cancelRequested() ? RunEnding::Cancelled : RunEnding::Completed;
}

namespace labels {
std::string files(int count) {
  return std::to_string(count) + "Files";
}
std::string remaining(int remaining, int total) {
  return std::to_string(remaining) + "/" + std::to_string(total) + "Files";
}
std::string comparisonFirst(int comparisonPos, int deletionPos) {
  return std::to_string(comparisonPos) + "番目の比較対象Fileを、" + std::to_string(deletionPos) +
         "番目の削除対象Fileと比較中";
}
std::string deletionFirst(int deletionPos, int comparisonPos) {
  return std::to_string(deletionPos) + "番目の削除対象Fileを、" + std::to_string(comparisonPos) +
         "番目の比較対象Fileと比較中";
}
}  // namespace labels

std::vector<std::string> listFiles(const std::string& folder, bool subFolders) {
  std::vector<std::string> out;
  // A folder key that was never set names no folder: nothing is listed (never a drive root).
  if (folder.empty()) return out;
  StringArray list;
  if (!dll().DLL_FileNameList(folder, list, subFolders ? 1 : 0) || !dll().DLL_XBoundString(list))
    return out;
  out.reserve(static_cast<std::size_t>(list.count()));
  for (std::int32_t i = list.lbound(); i <= list.ubound(); ++i) out.push_back(list(i));
  return out;
}

void YieldPacer::yieldNow() {
  m_view.yield();
  m_last = std::chrono::steady_clock::now();
}

bool YieldPacer::due() const {
  return std::chrono::steady_clock::now() - m_last >= std::chrono::milliseconds(25);
}

bool nameHasWildcard(const std::string& pathText) {
  const auto sep = pathText.find_last_of('\\');
  const std::string_view name = sep == std::string::npos
                                    ? std::string_view(pathText)
                                    : std::string_view(pathText).substr(sep + 1);
  return name.find_first_of("*?") != std::string_view::npos;
}

bool onRemovableDrive(const std::string& folder) {
  return dll().DLL_EjectOK(dll().DLL_DiskName(folder));
}

}  // namespace quillmere::duplicates
