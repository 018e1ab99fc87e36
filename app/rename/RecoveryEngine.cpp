#include <exception>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/Text.h"
#include "rename/RenameEngine.h"
#include "run/RunFrame.h"

namespace quillmere::rename {

RecoveryEngine::RecoveryEngine(std::string folder, RunView& view)
    : m_folder(std::move(folder)), m_view(view) {}

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
        const int count = list.count();
        m_view.setLabel("FileMax", std::to_string(count) + "/ ");
        m_view.setLabel("Command", "ファイルのチェック中・・・");
        m_view.setLabel("Command", "リネーム中・・・");
        m_view.yield();
        for (int i = 1; i <= count; ++i) {
          if (m_view.cancelRequested()) {
            report.cancelled = true;
            break;
          }
          m_view.setLabel("FileNo", std::to_string(i));
          const std::string& entry = list(i);
          const std::string ext = dll().DLL_KakuchoUName(entry);
          if (ext.size() >= 4 && text::equalsNoCase(ext.substr(ext.size() - 4), "Temp")) {
            const std::string plain = entry.substr(0, entry.size() - 4);
            StepResult res = StepResult::Failed;
            for (int attempt = 0; attempt <= RenameEngine::kMaxRetries; ++attempt) {
              res = m_steps.moveNoReplace(entry, plain);
              if (res != StepResult::Failed) break;
            }
            if (res == StepResult::Ok) {
              ++report.handled;
            } else {
              // Never replaces: a parked file whose plain name is taken stays parked.
              report.problems.push_back({entry,
                                         res == StepResult::Exists     ? Unhandled::NoFreeName
                                         : res == StepResult::NotFound ? Unhandled::Vanished
                                         : res == StepResult::NoAccess ? Unhandled::NotWritable
                                                                       : Unhandled::Failed,
                                         m_steps.lastError()});
            }
          }
          m_view.yield();
        }
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
