#include "rename/RenameEngine.h"

#include <optional>
#include <utility>

#include "platform/DriveMap.h"
#include "rename/RenameRun.h"
#include "run/QuietRunView.h"

namespace quillmere::rename {

namespace {

const char* const kSurveyingFolders = "サブディレクトリ調査中・・・";
const char* const kSorting = "新ファイル名ソート中・・・";
const char* const kNumbering = "連番作成中・・・";

}  // namespace

LongArray timeTable(int rows, int cols) {
  LongArray a;
  a.redim(1, rows, 1, cols);
  return a;
}

RenameEngine::Run::Run(const RenameSettings& settings, RunView& view, RenameJournal* journal,
                       RunPlan* plan)
    : m_settings(settings),
      m_view(view),
      m_journal(journal),
      m_map(platform::DriveMap::current()),
      m_plan(plan) {
  m_steps.fixDriveMap();
}

RunReport RenameEngine::Run::go() {
  // A long copy (a video) lets the screen and Cancel work while it runs.
  RunFrame frame(m_view);
  m_view.setLabel("FileMax", "");
  m_view.setLabel("FileNo", "");
  frame.guarded([this] { body(); });
  closing(frame);
  if (frame.failed()) {
    m_report.failed = true;
    m_report.message = runErrorText(frame.errorNumber(), frame.errorText());
  }
  finishReport();
  return m_report;
}

bool RenameEngine::Run::cancelled() {
  if (m_view.cancelRequested()) m_report.cancelled = true;
  return m_report.cancelled;
}

void RenameEngine::Run::problem(Record& r, const std::string& where, Unhandled why, int error) {
  r.state = Record::State::Problem;
  r.problem = {where, why, error};
}

void RenameEngine::Run::body() {
  m_options = m_settings.runOptions();
  m_steps.keepWithin({m_options.inDir, m_options.outDir});
  m_view.setLabel("Command", kSurveyingFolders);
  m_view.yield();
  if (!m_steps.isFolder(m_options.inDir)) {
    m_report.refused = true;
    m_report.refusal = Refusal::NoSourceFolder;
    m_report.message = "source folder not found: " + m_options.inDir;
    return;
  }
  // The root of drive C: is the whole system on Linux, not a folder of pictures.
  if (m_map.toNative(m_options.inDir) == std::optional<std::string>("/")) {
    m_report.refused = true;
    m_report.refusal = Refusal::SystemRoot;
    m_report.message = "the system's root folder is never renamed: " + m_options.inDir;
    return;
  }
  StringArray list;
  dll().DLL_FileNameList(m_options.inDir, list, m_options.lookSubDir ? 1 : 0);
  if (!dll().DLL_XBoundString(list, 1) || cancelled()) return;

  survey(list);
  if (cancelled() || m_records.empty()) return;
  if (!capacityOk()) return;

  markNeighbours();
  if (cancelled()) return;
  m_view.setLabel("Command", kSorting);
  m_view.yield();
  sort();
  if (cancelled()) return;
  if (m_options.format == NameFormat::Number) {
    m_view.setLabel("Command", kNumbering);
    m_view.yield();
    number();
    if (cancelled()) return;
  }
  // A target that is the source itself holds the source's folders already.
  if (m_options.lookSubDir && m_options.makeSubDir &&
      m_map.toNative(m_options.outDir) != m_map.toNative(m_options.inDir))
    makeSubDirs();
  if (cancelled()) return;
  park();
  if (cancelled()) return;
  settle();
}

void RenameEngine::Run::closing(RunFrame& frame) {
  if (m_plan) {
    planClosing();
    frame.end();
    return;
  }
  m_steps.flushCopies();
  if (m_journal) m_journal->finish();
  frame.guarded([this] {
    if (m_options.removeEmptyInDirs) dll().DLL_SubDirDel(m_options.inDir);
    if (m_options.mode != Mode::Stay && m_options.removeEmptyOutDirs)
      dll().DLL_SubDirDel(m_options.outDir);
  });
  m_view.setLabel("FileNo", "");
  m_view.setLabel("FileMax", "");
  m_view.setLabel("Command", "");
  frame.end();
}

void RenameEngine::Run::finishReport() {
  for (const Record& r : m_records) {
    switch (r.state) {
      case Record::State::Settled:
      case Record::State::Skipped:
        break;
      case Record::State::Problem:
        m_report.problems.push_back(r.problem);
        break;
      case Record::State::Parked:
        m_report.problems.push_back(
            {r.parked, m_report.cancelled ? Unhandled::Cancelled : Unhandled::Failed, 0});
        break;
      case Record::State::Listed:
        if (!m_report.refused)
          m_report.problems.push_back(
              {r.source, m_report.cancelled ? Unhandled::Cancelled : Unhandled::Failed, 0});
        break;
    }
  }
}

RenameEngine::RenameEngine(const RenameSettings& settings, RunView& view)
    : m_settings(settings), m_view(view) {}

RunReport RenameEngine::run() {
  return Run(m_settings, m_view, m_journal).go();
}

RunPlan RenameEngine::plan(const RenameSettings& settings, RunReport* report) {
  RunPlan plan;
  QuietRunView quiet;
  const RunReport r = Run(settings, quiet, nullptr, &plan).go();
  if (report) *report = r;
  return plan;
}

}  // namespace quillmere::rename
