#include "duplicates/FileBack.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <unordered_set>

#include "core/UiHook.h"
#include "duplicates/FileFacts.h"
#include "duplicates/PairLoops.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "run/QuietRunView.h"

namespace quillmere::duplicates {

namespace {

constexpr char kRun[] = "Run";
constexpr char kTitle[] = "[ファイル書き戻し]";

// The file's whole name: with its extension, or the last component of a name without one.
std::string wholeName(const std::string& file) {
  std::string name = dll().DLL_FileName(file, 1);
  return name.empty() ? dll().DLL_DirName(file, 0) : name;
}

// The folder a listed file lies in. (The folder part of a name without an extension would be the
// name itself: such a last component is taken for a folder.)
std::string folderOf(const std::string& file, const std::string& name) {
  std::string folder = file.substr(0, file.size() - std::min(file.size(), name.size() + 1));
  if (!folder.empty() && folder.back() == ':') folder += '\\';
  return folder;
}

// The name a file is matched by. A name without an extension matches only the same whole name
// (the extension-less text of such a name is empty and would match every other one).
std::string matchKey(const std::string& file, bool withExtension) {
  if (dll().DLL_FileName(file, 1).empty()) return "n" + dll().DLL_DirName(file, 0);
  return "e" + dll().DLL_FileName(file, withExtension ? 1 : 0);
}

// The decisions of the file back, for the run and for its plan alike: with a plan, each step is
// added to it instead of being carried out, and the host answers every later question about the
// files as if the step had been done.
class FileBackHost final : public FileBackLoopHost {
 public:
  FileBackHost(const FileBackRunOptions& options, RunView& view, FileBackReport& report,
               const std::vector<std::string>& sources, const std::vector<std::string>& dests,
               RunPlan* plan)
      : m_options(options),
        m_view(view),
        m_report(report),
        m_pacer(view),
        m_sources(sources),
        m_dests(dests),
        m_plan(plan) {}

  bool cancelled() override { return m_view.cancelRequested(); }
  bool exists(const std::string& path) override { return fileThere(path); }

  void comparing(int sourcePos, int destPos, int remaining) override {
    if (!m_pacer.due()) return;
    show(sourcePos, destPos, remaining);
    m_pacer.yieldNow();
  }

  void passing(int sourcePos, int remaining) override {
    if (!m_pacer.due()) return;
    show(sourcePos, static_cast<int>(m_dests.size()), remaining);
    m_pacer.yieldNow();
  }

  Outcome writeBack(int sourcePos, int destPos) override {
    const std::string& source = m_sources[sourcePos];
    const std::string& dest = m_dests[destPos];
    if (nameHasWildcard(source) || nameHasWildcard(dest))
      return keep(FileBackProblem::Kind::NameNotUsable, source, dest);
    const std::string sourceName = wholeName(source);
    const std::string destName = wholeName(dest);
    const std::string destFolder = folderOf(dest, destName);
    const bool sameWholeName = sourceName == destName;

    // The folder comes first: when it cannot be had, the namesake is left as it is too.
    std::string folder = destFolder;
    if (m_options.moveIntoSubDir) {
      folder = dll().DLL_PathAdd(destFolder, m_options.subDirName);
      if (!folderThere(folder)) {
        if (!fileThere(folder)) makeFolder(folder);
        if (!folderThere(folder))
          return keep(FileBackProblem::Kind::SubDirUnavailable, source, folder);
      }
    }
    const std::string target = dll().DLL_PathAdd(folder, sourceName);
    const bool targetIsNamesake = !m_options.moveIntoSubDir && sameWholeName;
    const bool deleteNamesake = m_options.deleteNamesake && sameWholeName;

    // A move never replaces a file: only the namesake that is deleted first makes room, and
    // never when the file now under the namesake's name is one this run put there.
    if (fileThere(target) && (!(targetIsNamesake && deleteNamesake) || m_placed.count(target)))
      return keep(FileBackProblem::Kind::TargetOccupied, source, target);

    if (deleteNamesake) {
      if (!m_removable) m_removable = onRemovableDrive(m_options.destDir);
      const bool confirm = *m_removable && m_options.confirmOnRemovable;
      const bool recycle = !*m_removable && m_options.recycleOnFixedDrive;
      deleteFile(dest, confirm, recycle);
      if (!fileThere(dest)) m_report.namesakesDeleted.push_back(dest);
      if (targetIsNamesake && fileThere(target))
        return keep(FileBackProblem::Kind::TargetOccupied, source, target);
    }

    moveFile(source, target);
    if (!fileThere(source) && fileThere(target)) {
      m_report.moved.emplace_back(source, target);
      m_placed.insert(target);
    } else
      m_report.problems.push_back({FileBackProblem::Kind::MoveFailed, source, target});
    return Outcome::Attempted;
  }

 private:
  Outcome keep(FileBackProblem::Kind kind, const std::string& source, const std::string& target) {
    m_report.problems.push_back({kind, source, target});
    return Outcome::Kept;
  }

  void show(int sourcePos, int destPos, int remaining) {
    m_view.setLabel(kRun, labels::remaining(remaining, static_cast<int>(m_dests.size())), 2);
    m_view.setLabel(kRun, labels::comparisonFirst(sourcePos, destPos), 3);
  }

  // ---- the file system, or the plan's picture of it ----

  bool fileThere(const std::string& path) const {
    if (m_plan && m_gone.count(path)) return false;
    if (m_plan && m_made.count(path)) return true;
    return dll().DLL_FileCheck(path);
  }

  bool folderThere(const std::string& folder) const {
    if (m_plan && m_madeFolders.count(folder)) return true;
    return platform::pathTextIsFolder(folder, false);
  }

  void makeFolder(const std::string& folder) {
    if (m_plan) {
      m_plan->add(PlanStep::Kind::FolderMade, "", folder);
      m_madeFolders.insert(folder);
      return;
    }
    StringArray onlyRoot = StringArray::fromList({""});
    dll().DLL_SubDirMake(folder, onlyRoot);
  }

  void deleteFile(const std::string& path, bool confirm, bool recycle) {
    if (m_plan) {
      m_plan->add(recycle ? PlanStep::Kind::Trash : PlanStep::Kind::Delete, path, "",
                  fileSizeOf(path));
      m_gone.insert(path);
      if (confirm) m_plan->setNote("each deletion on a removable drive is asked for first");
      return;
    }
    dll().DLL_FileDelete(0, path, confirm, recycle);
  }

  void moveFile(const std::string& from, const std::string& to) {
    if (m_plan) {
      m_plan->add(PlanStep::Kind::Move, from, to, fileSizeOf(from));
      m_gone.insert(from);
      m_gone.erase(to);
      m_made.insert(to);
      return;
    }
    dll().DLL_FileMove(0, from, to);
  }

  const FileBackRunOptions& m_options;
  RunView& m_view;
  FileBackReport& m_report;
  YieldPacer m_pacer;
  const std::vector<std::string>& m_sources;
  const std::vector<std::string>& m_dests;
  std::optional<bool> m_removable;           // asked once, at the first deletion
  std::unordered_set<std::string> m_placed;  // targets this run moved files to
  RunPlan* m_plan;                           // null: the steps are carried out
  std::unordered_set<std::string> m_gone, m_made, m_madeFolders;  // the plan's steps so far
};

}  // namespace

std::string describeProblems(const std::vector<FileBackProblem>& problems) {
  if (problems.empty()) return {};
  constexpr std::size_t kShown = 20;
  std::string text =
      "書き戻せなかったファイルが" + std::to_string(problems.size()) + "件あります。\n";
  for (std::size_t i = 0; i < problems.size() && i < kShown; ++i) {
    const auto& p = problems[i];
    text += "\n" + p.source + "\n    ";
    switch (p.kind) {
      case FileBackProblem::Kind::SubDirUnavailable:
        text += "サブディレクトリを作成できません: " + p.target;
        break;
      case FileBackProblem::Kind::TargetOccupied:
        text += "移動先に同名のファイルがあります: " + p.target;
        break;
      case FileBackProblem::Kind::NameNotUsable:
        text += "名前に * または ? を含むため移動しません: " + p.target;
        break;
      case FileBackProblem::Kind::MoveFailed:
        text += "移動できませんでした: " + p.target;
        break;
    }
  }
  if (problems.size() > kShown)
    text += "\n\nほか" + std::to_string(problems.size() - kShown) + "件";
  return text;
}

namespace {

// The survey and the loop, shared by the run and its plan (see FileBackHost).
void fileBackPass(const FileBackRunOptions& options, RunView& view, FileBackReport& report,
                  RunPlan* plan) {
  view.setLabel(kRun, labels::kSearchingOriginals, 1);
  view.yield();
  const auto sources = listFiles(options.sourceDir, options.sourceSubDirs);
  report.sourceFiles = static_cast<int>(sources.size());
  if (!sources.empty()) view.setLabel(kRun, labels::files(report.sourceFiles), 1);

  std::vector<std::string> dests;
  if (!view.cancelRequested()) {
    view.setLabel(kRun, labels::kSearchingDeletions, 2);
    view.yield();
    dests = listFiles(options.destDir, options.destSubDirs);
    report.destFiles = static_cast<int>(dests.size());
    if (!dests.empty()) view.setLabel(kRun, labels::files(report.destFiles), 2);
    view.setLabel(kRun, "", 3);
  }
  report.remaining = report.destFiles;

  if (!view.cancelRequested() && !sources.empty() && !dests.empty()) {
    std::vector<std::string> sourceKeys, destKeys;
    std::vector<FileFacts> sourceFacts, destFacts;
    for (const auto& f : sources) {
      sourceKeys.push_back(matchKey(f, options.withExtension));
      sourceFacts.push_back(readFileFacts(f));
    }
    for (const auto& f : dests) {
      destKeys.push_back(matchKey(f, options.withExtension));
      destFacts.push_back(readFileFacts(f));
    }
    FileBackHost host(options, view, report, sources, dests, plan);
    report.remaining =
        runFileBackLoop({sources, sourceKeys, sourceFacts, dests, destKeys, destFacts}, host);
  }
}

}  // namespace

RunPlan planFileBack(const FileBackRunOptions& options) {
  RunPlan plan;
  FileBackReport report;
  QuietRunView quiet;
  fileBackPass(options, quiet, report, &plan);
  if (options.removeEmptySourceDirs)
    plan.setNote(plan.note() + (plan.note().empty() ? "" : "; ") +
                 "empty subfolders of the source folder are removed afterwards");
  return plan;
}

FileBackReport runFileBack(const FileBackRunOptions& options, RunView& view) {
  FileBackReport report;
  RunFrame frame(view);
  frame.guarded([&] { fileBackPass(options, view, report, nullptr); });

  frame.guarded([&] {
    if (options.removeEmptySourceDirs && !options.sourceDir.empty())
      dll().DLL_SubDirDel(options.sourceDir);
  });

  if (!report.problems.empty())
    view.messageBox(describeProblems(report.problems), msgbox::kOkOnly | msgbox::kExclamation,
                    kTitle);
  report.ending = endingOf(frame, view);
  report.errorNumber = frame.errorNumber();
  report.errorText = frame.errorText();
  frame.end(report.ending == RunEnding::Completed ? kFileBackSection : std::string_view());
  return report;
}

FileBackReport runFileBack(const std::string& iniPath, RunView& view) {
  FileBackRunOptions options;
  try {
    options = readFileBackRunOptions(iniPath);
  } catch (const DllError& e) {
    FileBackReport report;
    report.ending = RunEnding::Failed;
    report.errorNumber = e.number();
    report.errorText = e.text();
    showRunError(view, e.number(), e.text());
    return report;
  }
  return runFileBack(options, view);
}

}  // namespace quillmere::duplicates
