#include "shell/panels/rename/RunProblems.h"

namespace quillmere::rename {

namespace {

const char* reasonText(Unhandled why) {
  switch (why) {
    case Unhandled::Vanished:
      return "見つかりません";
    case Unhandled::NoFreeName:
      return "同じ名前のファイルがあります";
    case Unhandled::NoTarget:
      return "出力先のディレクトリがありません";
    case Unhandled::NotWritable:
      return "ディスクに書きこめません";
    case Unhandled::Failed:
      return "処理できません";
    case Unhandled::Cancelled:
      return "中止しました";
    case Unhandled::CopyLeftOver:
      return "以前のコピーが残っています";
  }
  return "";
}

}  // namespace

std::vector<std::string> problemLines(const std::vector<FileProblem>& problems) {
  std::vector<std::string> lines;
  for (const FileProblem& p : problems)
    if (p.reason != Unhandled::Cancelled)
      lines.push_back(p.path + "（" + reasonText(p.reason) + "）");
  return lines;
}

std::string problemListText(const std::vector<FileProblem>& problems, int shown) {
  const std::vector<std::string> lines = problemLines(problems);
  if (lines.empty()) return {};
  std::string text = "処理できなかったファイルがあります（" + std::to_string(lines.size()) + "）\n";
  for (int i = 0; i < static_cast<int>(lines.size()) && i < shown; ++i) text += "\n" + lines[i];
  if (static_cast<int>(lines.size()) > shown)
    text += "\n… ほか " + std::to_string(lines.size() - shown);
  return text;
}

}  // namespace quillmere::rename
