#include "rename/UndoEngine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <map>

#include "platform/FileOps.h"
#include "rename/RenameJournal.h"

namespace quillmere::rename {

namespace fileops = platform::fileops;

namespace {

std::int64_t mtimeNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

bool sameAsRecorded(const struct stat& st, const RenameJournal::Entry& e) {
  return S_ISREG(st.st_mode) && st.st_size == e.size && mtimeNs(st) == e.mtimeNs;
}

enum class Step { Done, AlreadyBack, Waiting, Refused };

// One entry of a run that moved its files: the file goes back under its old name. A taken old
// name may be freed by another entry of the same run; that entry is tried first (Waiting).
Step moveBack(const RenameJournal::Entry& e, std::string& why) {
  struct stat now {};
  struct stat old {};
  const bool newThere = fileops::status(e.newPath, now, false).ok();
  const bool oldThere = fileops::status(e.oldPath, old, false).ok();
  if (!newThere) {
    // Taken back by an earlier undo that was stopped by another file.
    if (oldThere && sameAsRecorded(old, e)) return Step::AlreadyBack;
    why = "gone since the run";
    return Step::Refused;
  }
  if (!sameAsRecorded(now, e)) {
    why = "changed since the run";
    return Step::Refused;
  }
  if (oldThere) {
    why = "its old name is taken: " + e.oldPath;
    return Step::Waiting;
  }
  platform::CopyOptions options;
  options.createFolders = true;  // a folder the run removed when it emptied it
  const platform::FileResult r = fileops::move(e.newPath, e.oldPath, options);
  if (r.ok()) return Step::Done;
  why = r.error() == EEXIST ? "its old name is taken: " + e.oldPath : r.message();
  return r.error() == EEXIST ? Step::Waiting : Step::Refused;
}

// One entry of a Copy-mode run: the copy goes, and only when its original is still there with
// the same bytes.
Step removeCopy(const RenameJournal::Entry& e, std::string& why) {
  struct stat copy {};
  if (!fileops::status(e.newPath, copy, false).ok()) {
    why = "gone since the run";
    return Step::Refused;
  }
  if (!sameAsRecorded(copy, e)) {
    why = "changed since the run";
    return Step::Refused;
  }
  bool equal = false;
  if (!fileops::compareContents(e.oldPath, e.newPath, equal).ok() || !equal) {
    why = "its original " + e.oldPath + " is gone or differs: the copy is kept";
    return Step::Refused;
  }
  const platform::FileResult r = fileops::removeFile(e.newPath);
  if (r.ok()) return Step::Done;
  why = r.message();
  return Step::Refused;
}

// Files of one run that took each other's names in a ring wait for each other: one of them moves
// to a temporary name beside it first (its entry follows it there), which frees the ring. A file
// that waits for a name held by anything else is left alone.
bool stepAside(std::vector<RenameJournal::Entry>& waiting) {
  std::map<std::string, std::size_t> byNewPath;
  for (std::size_t i = 0; i < waiting.size(); ++i) byNewPath[waiting[i].newPath] = i;
  for (std::size_t start = 0; start < waiting.size(); ++start) {
    std::size_t at = start;
    bool ring = false;
    for (std::size_t hops = 0; hops < waiting.size(); ++hops) {
      const auto holder = byNewPath.find(waiting[at].oldPath);
      if (holder == byNewPath.end()) break;
      at = holder->second;
      if (at == start) {
        ring = true;
        break;
      }
    }
    if (!ring) continue;
    auto& e = waiting[start];
    const std::string aside =
        fileops::temporaryName(fileops::parentOf(e.newPath), fileops::nameOf(e.newPath), "undo");
    if (fileops::rename(e.newPath, aside).ok()) {
      e.newPath = aside;
      return true;
    }
  }
  return false;
}

// Whether the entry's file is as the run left it (or already back under its old name, after an
// undo that another file stopped).
bool untouchedSinceTheRun(const RenameJournal::Entry& e, bool copies) {
  struct stat st {};
  if (fileops::status(e.newPath, st, false).ok()) return sameAsRecorded(st, e);
  return !copies && fileops::status(e.oldPath, st, false).ok() && sameAsRecorded(st, e);
}

// Related files moved as one group go back as one: when a member is gone or changed, every
// member of its group is refused, so a picture never ends under another name than its RAW.
void refuseBrokenGroups(std::vector<RenameJournal::Entry>& open, bool copies,
                        std::vector<std::string>& refused) {
  std::map<int, std::string> broken;  // group -> the member that breaks it
  for (const auto& e : open)
    if (e.group >= 0 && !broken.count(e.group) && !untouchedSinceTheRun(e, copies))
      broken[e.group] = e.newPath;
  if (broken.empty()) return;
  std::vector<RenameJournal::Entry> kept;
  for (auto& e : open) {
    const auto b = broken.find(e.group);
    if (e.group < 0 || b == broken.end()) {
      kept.push_back(std::move(e));
    } else {
      refused.push_back(
          e.newPath +
          " (a related file of its group is gone or changed since the run: " + b->second + ")");
    }
  }
  open = std::move(kept);
}

}  // namespace

UndoReport undoLastRename(const std::string& journalFolder) {
  UndoReport report;
  const std::string folder = journalFolder.empty() ? RenameJournal::defaultFolder() : journalFolder;
  RenameJournal::removeOld(folder, std::time(nullptr));
  report.journal = RenameJournal::lastJournal(folder);
  RenameJournal::Contents contents;
  if (report.journal.empty() || !RenameJournal::read(report.journal, contents)) {
    report.noJournal = true;
    return report;
  }
  // Last renamed first; passes repeat while a step frees a name another entry waits for.
  std::vector<RenameJournal::Entry> open(contents.entries.rbegin(), contents.entries.rend());
  refuseBrokenGroups(open, contents.copies, report.refused);
  std::vector<std::string> reasons(open.size());
  for (bool progress = true; progress && !open.empty();) {
    progress = false;
    std::vector<RenameJournal::Entry> waiting;
    std::vector<std::string> waitingWhy;
    for (std::size_t i = 0; i < open.size(); ++i) {
      std::string why;
      const Step step = contents.copies ? removeCopy(open[i], why) : moveBack(open[i], why);
      if (step == Step::Done || step == Step::AlreadyBack) {
        if (step == Step::Done) ++report.restored;
        progress = true;
      } else if (step == Step::Waiting) {
        waiting.push_back(open[i]);
        waitingWhy.push_back(why);
      } else {
        report.refused.push_back(open[i].newPath + " (" + why + ")");
      }
    }
    open = std::move(waiting);
    reasons = std::move(waitingWhy);
    if (!progress && !contents.copies) progress = stepAside(open);
  }
  for (std::size_t i = 0; i < open.size(); ++i)
    report.refused.push_back(open[i].newPath + " (" + reasons[i] + ")");
  // Folders the run made go again once empty; the deepest first.
  std::sort(contents.foldersMade.begin(), contents.foldersMade.end(),
            [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const auto& folder : contents.foldersMade) fileops::removeFolder(folder);
  if (report.refused.empty()) RenameJournal::markUndone(report.journal);
  return report;
}

}  // namespace quillmere::rename
