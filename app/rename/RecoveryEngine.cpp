#include <exception>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/Text.h"
#include "rename/RenameEngine.h"
#include "run/RunFrame.h"

namespace quillmere::rename {

RecoveryEngine::RecoveryEngine(std::string folder, RunView& view)
    : m_folder(std::move(folder)), m_view(view) {}

RunPlan RecoveryEngine::planOf(const StringArray& list) {
  RunPlan plan;
  for (int i = 1; i <= list.count(); ++i) {
    const std::string& entry = list(i);
    const std::string ext = dll().DLL_KakuchoUName(entry);
    if (ext.size() >= 4 && text::equalsNoCase(ext.substr(ext.size() - 4), "Temp"))
      plan.add(PlanStep::Kind::Move, entry, entry.substr(0, entry.size() - 4), fileSizeOf(entry));
  }
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
