#include "run/RunPlan.h"

#include <sys/stat.h>

#include "platform/DriveMap.h"
#include "platform/FileOps.h"

namespace quillmere {

namespace {

std::string native(const std::string& pathText) {
  if (pathText.empty()) return {};
  return platform::nativePathOf(pathText).value_or(pathText);
}

// Tabs and line ends inside a name would break a TSV line: they are written as \t and \n.
std::string tsvField(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\t')
      out += "\\t";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\\')
      out += "\\\\";
    else
      out += c;
  }
  return out;
}

}  // namespace

std::int64_t fileSizeOf(const std::string& pathText) {
  const auto path = platform::nativePathOf(pathText);
  struct stat st {};
  if (!path || !platform::fileops::status(*path, st).ok()) return 0;
  return S_ISREG(st.st_mode) ? static_cast<std::int64_t>(st.st_size) : 0;
}

const char* planKindWord(PlanStep::Kind kind) {
  switch (kind) {
    case PlanStep::Kind::Move:
      return "move";
    case PlanStep::Kind::Copy:
      return "copy";
    case PlanStep::Kind::Trash:
      return "trash";
    case PlanStep::Kind::Delete:
      return "delete";
    case PlanStep::Kind::FolderMade:
      return "mkdir";
    case PlanStep::Kind::FolderGone:
      return "rmdir";
  }
  return "";
}

void RunPlan::add(PlanStep::Kind kind, std::string from, std::string to, std::int64_t size) {
  m_steps.push_back({kind, std::move(from), std::move(to), size});
}

PlanSummary RunPlan::summary() const {
  PlanSummary s;
  for (const PlanStep& step : m_steps) {
    switch (step.kind) {
      case PlanStep::Kind::Move:
        ++s.moves;
        break;
      case PlanStep::Kind::Copy:
        ++s.copies;
        break;
      case PlanStep::Kind::Trash:
        ++s.trashed;
        break;
      case PlanStep::Kind::Delete:
        ++s.deleted;
        break;
      case PlanStep::Kind::FolderMade:
        ++s.foldersMade;
        break;
      case PlanStep::Kind::FolderGone:
        ++s.foldersGone;
        break;
    }
    s.bytes += step.size;
  }
  return s;
}

std::string RunPlan::asText() const {
  std::string text;
  for (const PlanStep& step : m_steps) {
    text += planKindWord(step.kind);
    text += "  ";
    if (!step.from.empty()) text += native(step.from);
    if (!step.from.empty() && !step.to.empty()) text += " -> ";
    if (!step.to.empty()) text += native(step.to);
    if (step.size > 0) text += "  (" + std::to_string(step.size) + " bytes)";
    text += "\n";
  }
  const PlanSummary s = summary();
  text += std::to_string(m_steps.size()) + " steps: " + std::to_string(s.moves) + " move, " +
          std::to_string(s.copies) + " copy, " + std::to_string(s.trashed) + " trash, " +
          std::to_string(s.deleted) + " delete, " + std::to_string(s.foldersMade) + " mkdir, " +
          std::to_string(s.foldersGone) + " rmdir; " + std::to_string(s.bytes) + " bytes\n";
  if (!m_note.empty()) text += m_note + "\n";
  return text;
}

std::string RunPlan::asTsv() const {
  std::string text;
  for (const PlanStep& step : m_steps)
    text += std::string(planKindWord(step.kind)) + "\t" + tsvField(native(step.from)) + "\t" +
            tsvField(native(step.to)) + "\t" + std::to_string(step.size) + "\n";
  return text;
}

}  // namespace quillmere
