// The park step of a rename run: every file goes to its new name with "Temp" appended (in Copy
// mode by way of an intermediate copy), so that no new name can take an old name that is still
// waiting. A run cut short leaves parked files that the recovery run finishes.

#include "core/UiHook.h"
#include "platform/Text.h"
#include "rename/RenameRun.h"

namespace quillmere::rename {

namespace {

const char* const kCopying = "コピー中・・・";
const char* const kMoving = "移動中・・・";
const char* const kCannotWrite = "ディスクに書きこめません";

std::string clashText(const std::string& target) {
  return "File名重複！ " + target + "にリネーム中";
}

// Applies the case option to the file-name part only: Linux matches folder names by case, so
// converting the folders would send the file to a folder that does not exist.
std::string withCase(const std::string& path, CaseOption c) {
  if (c == CaseOption::AsBuilt) return path;
  const auto sep = path.rfind('\\');
  const std::size_t start = sep == std::string::npos ? 0 : sep + 1;
  const std::string name = path.substr(start);
  return path.substr(0, start) +
         (c == CaseOption::Upper ? text::asciiUpper(name) : text::asciiLower(name));
}

}  // namespace

std::string RenameEngine::Run::targetFolder(const Record& r) const {
  return dll().DLL_PathAdd(m_options.outDir, r.relative);
}

std::string RenameEngine::Run::plainTarget(const Record& r) const {
  return dll().DLL_PathAdd(targetFolder(r), r.base) + r.extension;
}

std::string RenameEngine::Run::target(const Record& r, bool applyCase) const {
  const std::string t =
      dll().DLL_PathAdd(targetFolder(r), r.base + dll().DLL_ToAlphabet(r.clash) + r.extension);
  return applyCase ? withCase(t, m_options.caseOption) : t;
}

// Moves `from` to the record's target with `ending` appended ("Temp" when parking, nothing when
// settling), raising the clash counter on a taken name. Returns the step's last result; on
// success `placed` holds the path the file now has.
StepResult RenameEngine::Run::place(Record& r, const std::string& from, const std::string& ending,
                                    bool caseFirst, std::string& placed) {
  std::string to = target(r, caseFirst);
  int clashes = 0;
  int retries = 0;
  for (;;) {
    const StepResult res = moveStep(from, to + ending);
    if (res == StepResult::Ok) {
      placed = to + ending;
      return res;
    }
    if (res == StepResult::Exists) {
      // A name without an extension gets no letters: it stays where it is.
      if (r.extension.empty() || ++clashes > kMaxClashes) return res;
      ++r.clash;
      to = target(r, true);
      m_view.setLabel("Command", clashText(to));
      m_view.yield();
      continue;
    }
    if (res == StepResult::Failed && ++retries <= kMaxRetries) continue;
    return res;
  }
}

Unhandled RenameEngine::Run::reasonFor(StepResult res, const Record& r) {
  switch (res) {
    case StepResult::Exists:
      return Unhandled::NoFreeName;
    case StepResult::NotFound:
      return m_steps.isFolder(targetFolder(r)) ? Unhandled::Vanished : Unhandled::NoTarget;
    case StepResult::NoAccess:
    case StepResult::NoSpace:
      return Unhandled::NotWritable;
    default:
      return Unhandled::Failed;
  }
}

void RenameEngine::Run::park() {
  m_view.setLabel("Command", m_options.mode == Mode::Copy ? kCopying : kMoving);
  YieldPacer pacer(m_view);
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    pacer.fileDone(i + 1);
    // A cancel stops parking between files; files not yet parked stay untouched.
    if (cancelled()) return;
    Record& r = m_records[i];
    if (r.state != Record::State::Listed) continue;  // parked with its group
    const ParkOutcome outcome =
        r.group >= 0 ? parkGroup(m_groups[static_cast<std::size_t>(r.group)]) : parkFile(i);
    if (outcome == ParkOutcome::Stop) return;
  }
}

RenameEngine::Run::ParkOutcome RenameEngine::Run::parkFile(std::size_t i) {
  Record& r = m_records[i];
  const bool copy = m_options.mode == Mode::Copy;
  std::string from = r.source;
  std::string intermediate;
  if (copy) {
    intermediate = plainTarget(r) + "Temp1";
    ParkOutcome outcome = ParkOutcome::Next;
    if (!copyToIntermediate(r, i, intermediate, outcome)) return outcome;
    from = intermediate;
  }

  std::string placed;
  const StepResult res = place(r, from, "Temp", false, placed);
  if (res == StepResult::Ok) {
    r.parked = placed;
    r.source = target(r, false);
    r.state = Record::State::Parked;
    return ParkOutcome::Next;
  }
  const int error = m_steps.lastError();
  if (copy) removeStep(intermediate);  // the source is still in place
  if (res == StepResult::NoAccess && deniedInFolder(error)) {
    leaveDenied(r, error);
    return ParkOutcome::Next;
  }
  if (res == StepResult::NoAccess || res == StepResult::NoSpace) {
    stopParking(i, error);
    return ParkOutcome::Stop;
  }
  problem(r, r.source, reasonFor(res, r), error);
  return ParkOutcome::Next;
}

// Copy mode: the intermediate copy the file is parked from. False when the file is not parked;
// `outcome` then says whether the park step goes on.
bool RenameEngine::Run::copyToIntermediate(Record& r, std::size_t i,
                                           const std::string& intermediate, ParkOutcome& outcome) {
  outcome = ParkOutcome::Next;
  StepResult res = StepResult::Failed;
  for (int attempt = 0; attempt <= kMaxRetries; ++attempt) {
    res = copyStep(r.source, intermediate);
    if (res != StepResult::Failed) break;
  }
  if (res == StepResult::Exists) {
    // An intermediate copy of an earlier, interrupted run: used again when it holds the same
    // bytes, never overwritten when it does not.
    if (!dll().DLL_BinFileCheck(r.source, intermediate)) {
      problem(r, r.source, Unhandled::CopyLeftOver);
      return false;
    }
    res = StepResult::Ok;
  }
  if (res == StepResult::NoAccess && deniedInFolder(m_steps.lastError())) {
    leaveDenied(r, m_steps.lastError());
    return false;
  }
  if (res == StepResult::NoAccess || res == StepResult::NoSpace) {
    stopParking(i, m_steps.lastError());
    outcome = ParkOutcome::Stop;
    return false;
  }
  if (res != StepResult::Ok) {
    problem(r, r.source, reasonFor(res, r), m_steps.lastError());
    return false;
  }
  return true;
}

// Leaves one file where it is because its folder cannot be written, and says so once.
void RenameEngine::Run::leaveDenied(Record& r, int error) {
  problem(r, r.source, Unhandled::NotWritable, error);
  if (!m_toldDenied) m_view.messageBox(kCannotWrite, msgbox::kOkOnly);
  m_toldDenied = true;
}

// The disk cannot be written: the park step ends here; the files from record i on stay where
// they are, and the settle step goes on with the files already parked.
void RenameEngine::Run::stopParking(std::size_t i, int error) {
  m_view.messageBox(kCannotWrite, msgbox::kOkOnly);
  for (std::size_t j = i; j < m_records.size(); ++j) {
    Record& r = m_records[j];
    if (r.state == Record::State::Listed) problem(r, r.source, Unhandled::NotWritable, error);
  }
}

}  // namespace quillmere::rename
