#include "duplicates/DuplicateDelete.h"

#include <sys/stat.h>

#include <exception>
#include <optional>
#include <unordered_set>

#include "duplicates/FileFacts.h"
#include "duplicates/PairLoops.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"
#include "run/QuietRunView.h"
#include "run/RunFrame.h"

namespace quillmere::duplicates {

namespace fileops = platform::fileops;

namespace {

constexpr char kRun[] = "Run";

// The delete loop's outside world: the library for files, the view for progress. With a plan,
// each deletion is recorded as a step instead of being carried out, and the host answers later
// questions about that file as if it were gone.
class DeleteHost final : public DeleteLoopHost {
 public:
  DeleteHost(const DeleteRunOptions& options, RunView& view, DeleteRunReport& report,
             int comparisonCount, int deletionCount, RunPlan* plan)
      : m_plan(plan),
        m_comparisonOuter(comparisonCount < deletionCount),
        m_options(options),
        m_view(view),
        m_report(report),
        m_pacer(view),
        m_comparisonCount(comparisonCount),
        m_deletionCount(deletionCount) {}

  bool cancelled() override { return m_view.cancelRequested(); }

  // The library's existence test, made on the native path of the run's drive map: one status
  // call and no look at the mount table per file. A name that reads as a pattern goes through
  // the library, which expands it.
  bool exists(const std::string& path) override {
    if (m_plan && m_planned.count(path)) return false;
    if (nameHasWildcard(path)) return dll().DLL_FileCheck(path);
    const auto native = m_map.toNative(path);
    struct stat st {};
    return native && fileops::status(*native, st, false).ok();
  }

  // The library's byte check, made the same way: distinct regular files of one size whose bytes
  // agree, the files opened once each.
  bool sameBytes(const std::string& comparison, const std::string& deletion) override {
    ++m_report.comparedPairs;
    if (nameHasWildcard(comparison) || nameHasWildcard(deletion))
      return dll().DLL_BinFileCheck(comparison, deletion);
    if (text::equalsNoCase(comparison, deletion)) return false;
    const auto a = m_map.toNative(comparison);
    const auto b = m_map.toNative(deletion);
    return a && b && fileops::sameContents(*a, *b, {}).equal;
  }

  bool remove(const std::string& deletion) override {
    if (nameHasWildcard(deletion)) {
      m_report.notDeleted.push_back(deletion);  // would be read as a pattern: left alone
      return false;
    }
    if (!m_removable) m_removable = onRemovableDrive(m_options.deletionDir);
    const bool confirm = *m_removable && m_options.confirmOnRemovable;
    const bool recycle = !*m_removable && m_options.recycleOnFixedDrive;
    if (m_plan) return planDeletion(deletion, confirm, recycle);
    dll().DLL_FileDelete(0, deletion, confirm, recycle);
    const bool gone = !exists(deletion);
    (gone ? m_report.deleted : m_report.notDeleted).push_back(deletion);
    return gone;
  }

  // Progress shows at the pace of the yields, not for every pair.
  void comparing(int comparisonPos, int deletionPos, int remaining) override {
    if (!m_pacer.due()) return;
    show(comparisonPos, deletionPos, remaining);
    m_pacer.yieldNow();
  }

  // Outer files without a partner of their size are passed over quickly; the labels show where
  // the plain loop would stand after such a file (its last pair), at the pace of the yields.
  void passing(int outerPos, int remaining) override {
    if (!m_pacer.due()) return;
    if (m_comparisonOuter)
      show(outerPos, m_deletionCount, remaining);
    else
      show(m_comparisonCount, outerPos, remaining);
    m_pacer.yieldNow();
  }

 private:
  bool planDeletion(const std::string& deletion, bool confirm, bool recycle) {
    m_plan->add(recycle ? PlanStep::Kind::Trash : PlanStep::Kind::Delete, deletion, "",
                fileSizeOf(deletion));
    m_planned.insert(deletion);
    m_report.deleted.push_back(deletion);
    if (confirm) m_plan->setNote("each deletion on a removable drive is asked for first");
    return true;
  }

  void show(int comparisonPos, int deletionPos, int remaining) {
    m_view.setLabel(kRun, labels::remaining(remaining, m_deletionCount), 2);
    m_view.setLabel(kRun,
                    m_comparisonOuter ? labels::comparisonFirst(comparisonPos, deletionPos)
                                      : labels::deletionFirst(deletionPos, comparisonPos),
                    3);
  }

  RunPlan* m_plan;                            // null: the deletions are carried out
  std::unordered_set<std::string> m_planned;  // the plan's deletions so far
  const bool m_comparisonOuter;               // the loop's order, as the loop itself decides it
  const DeleteRunOptions& m_options;
  RunView& m_view;
  DeleteRunReport& m_report;
  YieldPacer m_pacer;
  int m_comparisonCount;
  int m_deletionCount;
  std::optional<bool> m_removable;  // asked once, at the first deletion
  // One drive map for the whole run.
  const platform::DriveMap m_map = platform::DriveMap::current();
};

std::vector<FileFacts> factsOf(const std::vector<std::string>& files) {
  const platform::DriveMap map = platform::DriveMap::current();
  std::vector<FileFacts> facts;
  facts.reserve(files.size());
  for (const auto& f : files) facts.push_back(readFileFacts(f, map));
  return facts;
}

// The survey and the loop, shared by the run and its plan (see DeleteHost).
void deletePass(const DeleteRunOptions& options, RunView& view, DeleteRunReport& report,
                RunPlan* plan) {
  view.setLabel(kRun, labels::kSearchingOriginals, 1);
  view.yield();
  const auto comparison = listFiles(options.comparisonDir, options.comparisonSubDirs);
  report.comparisonFiles = static_cast<int>(comparison.size());
  if (!comparison.empty()) view.setLabel(kRun, labels::files(report.comparisonFiles), 1);

  std::vector<std::string> deletion;
  if (!view.cancelRequested()) {
    view.setLabel(kRun, labels::kSearchingDeletions, 2);
    view.yield();
    deletion = listFiles(options.deletionDir, options.deletionSubDirs);
    report.deletionFiles = static_cast<int>(deletion.size());
    if (!deletion.empty()) view.setLabel(kRun, labels::files(report.deletionFiles), 2);
    view.setLabel(kRun, "", 3);
  }
  report.remaining = report.deletionFiles;

  if (!view.cancelRequested() && !comparison.empty() && !deletion.empty()) {
    // Sizes and identities are read once; the loop compares only pairs of equal size.
    const auto comparisonFacts = factsOf(comparison);
    const auto deletionFacts = factsOf(deletion);
    DeleteHost host(options, view, report, report.comparisonFiles, report.deletionFiles, plan);
    const auto result = runDeleteLoop({comparison, comparisonFacts, deletion, deletionFacts}, host);
    report.remaining = result.remaining;
  }
}

}  // namespace

RunPlan planDuplicateDelete(const DeleteRunOptions& options) {
  RunPlan plan;
  DeleteRunReport report;
  QuietRunView quiet;
  deletePass(options, quiet, report, &plan);
  if ((options.removeEmptyComparisonDirs && !options.comparisonDir.empty()) ||
      (options.removeEmptyDeletionDirs && !options.deletionDir.empty()))
    plan.setNote(plan.note() + (plan.note().empty() ? "" : "; ") +
                 "empty subfolders are removed afterwards");
  return plan;
}

DeleteRunReport runDuplicateDelete(const DeleteRunOptions& options, RunView& view) {
  DeleteRunReport report;
  RunFrame frame(view);
  frame.guarded([&] { deletePass(options, view, report, nullptr); });

  // Empty folders go also after a cancel or an error: removing them never loses a file.
  frame.guarded([&] {
    if (options.removeEmptyComparisonDirs && !options.comparisonDir.empty())
      dll().DLL_SubDirDel(options.comparisonDir);
    if (options.removeEmptyDeletionDirs && !options.deletionDir.empty())
      dll().DLL_SubDirDel(options.deletionDir);
  });

  report.ending = endingOf(frame, view);
  report.errorNumber = frame.errorNumber();
  report.errorText = frame.errorText();
  frame.end(report.ending == RunEnding::Completed ? kDeleteSection : std::string_view());
  return report;
}

DeleteRunReport runDuplicateDelete(const std::string& iniPath, RunView& view) {
  DeleteRunOptions options;
  try {
    options = readDeleteRunOptions(iniPath);
  } catch (const DllError& e) {
    DeleteRunReport report;
    report.ending = RunEnding::Failed;
    report.errorNumber = e.number();
    report.errorText = e.text();
    showRunError(view, e.number(), e.text());
    return report;
  }
  return runDuplicateDelete(options, view);
}

}  // namespace quillmere::duplicates
