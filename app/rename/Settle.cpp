// The settle step of a rename run: every parked file gets its final name (with the case
// option), then the time stamp and read-only attribute the options ask for.

#include "rename/RenameRun.h"

namespace quillmere::rename {

namespace {

const char* const kRenaming = "リネーム中・・・";

}  // namespace

void RenameEngine::Run::settle() {
  m_view.setLabel("Command", kRenaming);
  m_view.yield();
  YieldPacer pacer(m_view);
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    if (cancelled()) return;
    Record& r = m_records[i];
    if (r.state == Record::State::Parked) {
      if (r.group >= 0)
        settleGroup(m_groups[static_cast<std::size_t>(r.group)]);
      else
        settleFile(i);
    }
    pacer.fileDone(i + 1);
  }
}

void RenameEngine::Run::settleFile(std::size_t i) {
  Record& r = m_records[i];
  std::string placed;
  const StepResult res = place(r, r.parked, "", true, placed);
  if (res == StepResult::Ok) {
    r.state = Record::State::Settled;
    ++m_report.handled;
    finishFile(r, placed);
  } else {
    // The file keeps its parked name; Recovery can finish it later.
    problem(r, r.parked, reasonFor(res, r), m_steps.lastError());
  }
}

void RenameEngine::Run::finishFile(const Record& r, const std::string& placed) {
  if (m_plan) return planSettled(r, placed);
  if (m_options.setTimes && r.haveTime) {
    LongArray pairs = timeTable(3, 2);
    for (int row = 1; row <= 3; ++row) {
      pairs(row, 1) = r.setLow;
      pairs(row, 2) = r.setHigh;
    }
    dll().DLL_TimePut(placed, pairs);
  }
  if (m_options.setAttribute) dll().DLL_ReadChenge(placed, m_options.readOnly);
  if (!m_journal) return;
  // A file renamed in its own folder keeps the size and time the survey read, unless the run
  // set its time: then the journal looks at the file.
  const bool onlyRenamed = m_options.mode == Mode::Stay && !(m_options.setTimes && r.haveTime);
  m_journal->record(r.original, placed, r.group, onlyRenamed ? r.known : std::nullopt);
}

}  // namespace quillmere::rename
