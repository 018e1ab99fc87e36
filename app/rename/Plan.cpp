// The plan mode of a rename run: the run's own survey, numbering, park and settle decide every
// name, while the file steps only change the plan's picture of the files (files gone, files
// made, folders made) and each settled file becomes one step of the plan.

#include <sys/stat.h>

#include "platform/FileOps.h"
#include "rename/RenameRun.h"

namespace quillmere::rename {

namespace {

std::string folderPart(const std::string& path) {
  const auto sep = path.rfind('\\');
  return sep == std::string::npos ? std::string() : path.substr(0, sep);
}

}  // namespace

bool RenameEngine::Run::planFileThere(const std::string& path) const {
  if (m_planMade.count(path)) return true;
  if (m_planGone.count(path)) return false;
  const auto native = m_map.toNative(path);
  struct stat st {};
  return native && platform::fileops::status(*native, st, false).ok();
}

// The outcome the file step would have with the files as the plan sees them: a taken name and
// a missing source or target folder, as the run meets them.
StepResult RenameEngine::Run::planStep(const std::string& from, const std::string& to, bool copy) {
  if (!planFileThere(from)) return StepResult::NotFound;
  if (planFileThere(to)) return StepResult::Exists;
  const std::string folder = folderPart(to);
  if (!m_planFolders.count(folder) && !m_steps.isFolder(folder)) return StepResult::NotFound;
  if (!copy) {
    m_planMade.erase(from);
    m_planGone.insert(from);
  }
  m_planGone.erase(to);
  m_planMade.insert(to);
  return StepResult::Ok;
}

// The output folder and the copies of the source's subfolders (ReName-MakeSubDir).
void RenameEngine::Run::makeSubDirs() {
  StringArray dirs;
  dll().DLL_SubDirList(m_options.inDir, dirs);
  if (!m_plan) {
    dll().DLL_SubDirMake(m_options.outDir, dirs);
    return;
  }
  const auto plan = [&](const std::string& folder) {
    if (m_planFolders.count(folder) || m_steps.isFolder(folder)) return;
    m_plan->add(PlanStep::Kind::FolderMade, "", folder);
    m_planFolders.insert(folder);
  };
  plan(m_options.outDir);
  if (dirs.dims() != 1) return;
  for (std::int32_t i = dirs.lbound() + 1; i <= dirs.ubound(); ++i)
    plan(dll().DLL_PathAdd(m_options.outDir, dirs(i)));
}

// A file that ends where it was found (a name without date in Stay mode) is no step.
void RenameEngine::Run::planSettled(const Record& r, const std::string& placed) {
  if (r.original == placed) return;
  m_plan->add(m_options.mode == Mode::Copy ? PlanStep::Kind::Copy : PlanStep::Kind::Move,
              r.original, placed, fileSizeOf(r.original));
}

void RenameEngine::Run::planClosing() {
  std::string note =
      "clash letters are chosen for the files present now: a name taken or freed before the run "
      "changes them";
  if (m_options.removeEmptyInDirs || (m_options.mode != Mode::Stay && m_options.removeEmptyOutDirs))
    note += "; empty subfolders are removed afterwards";
  m_plan->setNote(note);
}

}  // namespace quillmere::rename
