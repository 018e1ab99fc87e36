#include <exception>
#include <fstream>
#include <sstream>

#include "platform/DriveMap.h"

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/Text.h"
#include "rename/RenameEngine.h"
#include "run/RunFrame.h"

namespace quillmere::rename {

RecoveryEngine::RecoveryEngine(std::string folder, RunView& view)
    : m_folder(std::move(folder)), m_view(view) {}

namespace {

bool isParked(const std::string& entry) {
  const std::string ext = dll().DLL_KakuchoUName(entry);
  return ext.size() >= 4 && text::equalsNoCase(ext.substr(ext.size() - 4), "Temp");
}

bool isGroupNote(const std::string& entry) {
  return text::equalsNoCase(dll().DLL_KakuchoUName(entry), kGroupNoteExtension);
}

// A group of related files that a killed run left half moved: the members still at their old
// place are parked beside the others first, so that the whole group ends under one name.
void finishGroup(const std::string& note, RunPlan& plan) {
  const auto native = platform::nativePathOf(note);
  if (!native) return;
  std::ifstream in(*native);
  std::string line;
  if (!std::getline(in, line) || line != kGroupNoteHeader) return;  // not a note of ours
  FileSteps steps;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab == std::string::npos) continue;
    const std::string old = line.substr(0, tab);
    const std::string parked = line.substr(tab + 1);
    if (!isParked(parked)) continue;
    const std::string plain = parked.substr(0, parked.size() - 4);
    if (steps.exists(parked) || steps.exists(plain) || !steps.exists(old)) continue;
    plan.add(PlanStep::Kind::Move, old, parked, fileSizeOf(old));
    plan.add(PlanStep::Kind::Move, parked, plain, fileSizeOf(old));
  }
  plan.add(PlanStep::Kind::Delete, note, "");
}

}  // namespace

RunPlan RecoveryEngine::planOf(const StringArray& list) {
  RunPlan plan;
  for (int i = 1; i <= list.count(); ++i) {
    const std::string& entry = list(i);
    if (isParked(entry))
      plan.add(PlanStep::Kind::Move, entry, entry.substr(0, entry.size() - 4), fileSizeOf(entry));
  }
  for (int i = 1; i <= list.count(); ++i)
    if (isGroupNote(list(i))) finishGroup(list(i), plan);
  return plan;
}

RunPlan RecoveryEngine::plan(const std::string& folder) {
  RunPlan plan;
  if (!FileSteps().isFolder(folder)) return plan;
  StringArray list;
  dll().DLL_FileNameList(folder, list, 1);
  if (dll().DLL_XBoundString(list, 1)) plan = planOf(list);
  plan.setNote("a name that is taken when its step comes keeps the file parked");
  return plan;
}

void RecoveryEngine::carryOut(const RunPlan& plan, RunReport& report) {
  int done = 0;
  for (const PlanStep& step : plan.steps()) {
    if (m_view.cancelRequested()) {
      report.cancelled = true;
      break;
    }
    m_view.setLabel("FileNo", std::to_string(++done));
    if (step.kind == PlanStep::Kind::Delete) {  // a group's note, done with
      m_steps.removeFile(step.from);
      continue;
    }
    StepResult res = StepResult::Failed;
    for (int attempt = 0; attempt <= RenameEngine::kMaxRetries; ++attempt) {
      res = m_steps.moveNoReplace(step.from, step.to);
      if (res != StepResult::Failed) break;
    }
    if (res == StepResult::Ok) {
      ++report.handled;
    } else {
      // Never replaces: a parked file whose plain name is taken stays parked.
      report.problems.push_back({step.from,
                                 res == StepResult::Exists     ? Unhandled::NoFreeName
                                 : res == StepResult::NotFound ? Unhandled::Vanished
                                 : res == StepResult::NoAccess ? Unhandled::NotWritable
                                                               : Unhandled::Failed,
                                 m_steps.lastError()});
    }
    m_view.yield();
  }
}

RunReport RecoveryEngine::run() {
  RunReport report;
  RunFrame frame(m_view);
  m_view.setLabel("FileMax", "");
  m_view.setLabel("FileNo", "");
  frame.guarded([&] {
    m_view.setLabel("Command", "サブディレクトリ調査中・・・");
    m_view.yield();
    if (!m_steps.isFolder(m_folder)) {
      report.refused = true;
      report.message = "folder not found: " + m_folder;
    } else {
      StringArray list;
      dll().DLL_FileNameList(m_folder, list, 1);
      if (dll().DLL_XBoundString(list, 1)) {
        m_view.setLabel("FileMax", std::to_string(list.count()) + "/ ");
        m_view.setLabel("Command", "ファイルのチェック中・・・");
        m_view.setLabel("Command", "リネーム中・・・");
        m_view.yield();
        carryOut(planOf(list), report);
        m_view.yield();
      }
    }
  });
  if (frame.failed()) {
    report.failed = true;
    report.message = runErrorText(frame.errorNumber(), frame.errorText());
  }
  m_view.setLabel("FileNo", "");
  m_view.setLabel("FileMax", "");
  m_view.setLabel("Command", "");
  frame.end();
  return report;
}

}  // namespace quillmere::rename
