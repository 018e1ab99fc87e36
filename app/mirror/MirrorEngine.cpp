#include "mirror/MirrorEngine.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_set>
#include <utility>

#include "core/DllError.h"
#include "core/Main.h"
#include "core/UiHook.h"
#include "mirror/MirrorJournal.h"
#include "mirror/MirrorPlan.h"
#include "mirror/Pairing.h"
#include "paths/Listing.h"
#include "platform/DriveDiscovery.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "run/QuietRunView.h"
#include "run/RunFrame.h"
#include "times/FileTime.h"

namespace quillmere::mirror {

namespace fileops = platform::fileops;

namespace {

constexpr std::int64_t kSecond = 10'000'000;  // 100 ns ticks
constexpr std::int64_t kDay = 86'400 * kSecond;
// exFAT and FUSE file systems (whose driver is not known) are compared like FAT: coarse steps
// never make a copied pair differ, fine ones would make every run copy everything again.
constexpr long kExfatMagic = 0x2011BAB0;
constexpr long kFuseMagic = 0x65735546;

// One row of a side's file table. Times are kept in 100 ns ticks since 1970 (UTC), the
// resolution of the library's time tables; the direction of a copy is decided by DLL_TimeUpdate
// on the tables of the listed times when a pair differs.
struct Row {
  std::string full;              // path text as listed
  std::uint32_t relativeAt = 0;  // where the path relative to the side's folder begins in it
  std::int64_t size = 0;
  bool readOnly = false;
  std::int64_t lastWrite = 0;
  std::int64_t lastAccess = 0;
  timespec writeTime{};  // the same two times as listed, to the nanosecond, for the copies
  timespec accessTime{};
  bool readable = false;  // the details could be read

  std::string_view relative() const { return std::string_view(full).substr(relativeAt); }
};

std::int64_t ticks(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 10'000'000 + t.tv_nsec / 100;
}

bool sameTimespec(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

bool onOneFileSystem(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  return fileops::status(a, sa).ok() && fileops::status(b, sb).ok() && sa.st_dev == sb.st_dev;
}

// A row's times as the TimeLowHi table of the library (local file times; the creation time,
// which no decision here reads, is given the last-write time).
LongArray listedTimes(const Row& row) {
  platform::FileTimes times;
  times.creation = row.writeTime;
  times.lastWrite = row.writeTime;
  times.lastAccess = row.accessTime;
  LongArray table;
  table.redim(1, 3, 1, 2);
  times::fillTimePairs(times, table);
  return table;
}

// The status shows the size and last-write time the table recorded for the file.
bool matchesRow(const Row& r, const struct stat& st) {
  return r.readable && S_ISREG(st.st_mode) && st.st_size == r.size &&
         ticks(st.st_mtim) == r.lastWrite;
}

// The file (at native) is still as the table recorded it.
bool unchangedSince(const Row& r, const std::string& native) {
  struct stat st {};
  return fileops::status(native, st, false).ok() && matchesRow(r, st);
}

// The folder check that keeps an unplugged card from looking like an empty folder: the path text
// maps to a drive, the drive is ready, and the folder exists and can be listed.
bool folderUsable(const std::string& pathText, std::string& native) {
  native = platform::nativePathOf(pathText).value_or(std::string());
  if (native.empty()) return false;
  const char letter = pathText.empty() ? 'C' : pathText[0];
  const auto drive = platform::DriveMap::current().drive(
      static_cast<char>(letter >= 'a' && letter <= 'z' ? letter - 'a' + 'A' : letter));
  if (!drive || !drive->ready) return false;
  if (dll().DLL_CheckDisk(pathText) != 0) return false;
  if (platform::onUnmountedMountPoint(native)) return false;
  struct stat st {};
  if (!fileops::status(native, st).ok() || !S_ISDIR(st.st_mode)) return false;
  DIR* dir = ::opendir(native.c_str());
  if (!dir) return false;
  ::closedir(dir);
  return true;
}

// True when a and b are one folder or one lies inside the other, after links, separators and
// the case rules of the file system (compared by device and inode).
bool sameOrNested(const std::string& a, const std::string& b) {
  std::error_code ec;
  const std::filesystem::path ca = std::filesystem::canonical(a, ec);
  if (ec) return false;
  const std::filesystem::path cb = std::filesystem::canonical(b, ec);
  if (ec) return false;
  auto inside = [](std::filesystem::path inner, const std::filesystem::path& outer) {
    for (;;) {
      if (fileops::sameFile(inner.string(), outer.string())) return true;
      if (!inner.has_relative_path()) return false;
      inner = inner.parent_path();
    }
  };
  return inside(ca, cb) || inside(cb, ca);
}

// Column 2 of a file's row: its path relative to the side's folder.
std::string relativeOf(const std::string& folder, const std::string& full) {
  return dll().DLL_PathAdd(dll().DLL_MidPath(folder, full), dll().DLL_FileName(full, 1));
}

// A side's table from its listing. The status each file had as it was listed gives size, times
// and the owner write bit; FAT media keep the read-only flag in their own attribute, which the
// library reads. No call here yields or shows anything, so a helper thread can make the table.
std::vector<Row> rowsOf(std::vector<paths::ListedFile>& listed, const std::string& folder,
                        bool fat) {
  const std::string base = dll().DLL_EnDelEnd(folder);
  std::vector<Row> rows;
  rows.reserve(listed.size());
  for (paths::ListedFile& file : listed) {
    Row& r = rows.emplace_back();
    r.full = std::move(file.pathText);
    r.relativeAt = static_cast<std::uint32_t>(relativeStart(r.full, base));
    const paths::FileStatus& st = file.status;
    if (!st.read) continue;
    r.size = st.size;
    r.lastWrite = ticks(st.lastWrite);
    r.lastAccess = ticks(st.lastAccess);
    r.writeTime = st.lastWrite;
    r.accessTime = st.lastAccess;
    r.readOnly = fat ? dll().DLL_ReadCheck(r.full) : (st.mode & S_IWUSR) == 0;
    r.readable = true;
  }
  return rows;
}

// Lists one side and reads its rows on a helper thread. Only library calls that neither yield
// nor show anything are made there; the run view stays with the run's own thread.
class SideReader {
 public:
  ~SideReader() { finish(); }

  void start(std::string folder, bool fat) {
    m_thread = std::thread([this, folder = std::move(folder), fat] {
      try {
        std::vector<paths::ListedFile> listed;
        paths::listFilesWithStatus(folder, listed, true, &m_unreadable);
        m_count = static_cast<std::int32_t>(listed.size());
        raise(m_listed);
        m_rows = rowsOf(listed, folder, fat);
      } catch (...) {
        m_error = std::current_exception();
      }
      raise(m_listed);
      raise(m_done);
    });
  }
  // Waits at most the given time for one of the flags below; true once it is raised.
  bool waitFor(const std::atomic<bool>& flag, std::chrono::milliseconds most) {
    std::unique_lock lock(m_mutex);
    return m_raised.wait_for(lock, most, [&flag] { return flag.load(); });
  }
  void finish() {
    if (m_thread.joinable()) m_thread.join();
  }
  const std::atomic<bool>& listed() const { return m_listed; }
  const std::atomic<bool>& done() const { return m_done; }
  // The number of listed files; valid once listed() is true.
  std::int32_t count() const { return m_count; }
  const std::vector<std::string>& unreadableFolders() const { return m_unreadable; }
  // Once done(): hands over the rows, or raises what went wrong on the thread.
  std::vector<Row> takeRows() {
    finish();
    if (m_error) std::rethrow_exception(m_error);
    return std::move(m_rows);
  }

 private:
  void raise(std::atomic<bool>& flag) {
    {
      std::lock_guard lock(m_mutex);
      flag = true;
    }
    m_raised.notify_all();
  }

  std::thread m_thread;
  std::mutex m_mutex;
  std::condition_variable m_raised;
  std::atomic<bool> m_listed{false}, m_done{false};
  std::atomic<std::int32_t> m_count{0};
  std::vector<std::string> m_unreadable;
  std::vector<Row> m_rows;
  std::exception_ptr m_error;
};

}  // namespace

bool sameTime(std::int64_t a, std::int64_t b, std::int64_t step) {
  if (step <= 1) return a == b;
  const std::int64_t d = a > b ? a - b : b - a;
  return d < step;
}

TimePrecision timePrecisionOf(const std::string& nativeFolder) {
  struct statfs fs {};
  if (::statfs(nativeFolder.c_str(), &fs) != 0) return {};
  const auto type = static_cast<long>(fs.f_type);
  if (type == MSDOS_SUPER_MAGIC || type == kFuseMagic) return {2 * kSecond, kDay};
  if (type == kExfatMagic) return {2 * kSecond, 2 * kSecond};
  if (type == ISOFS_SUPER_MAGIC) return {kSecond, kSecond};
  return {};
}

namespace {

// The byte comparison of one pair, made ahead of the pass that acts on the pairs.
struct ByteVerdict {
  bool compared = false;
  bool equal = false;
  bool masterAccessKept = true;
  bool mirrorAccessKept = true;
};

// Runs work(i) for i in [0, count) on this thread and one helper thread, each taking the next
// index in turn. The calling thread runs between(), no more often than every 30 ms, and stops
// handing out work when it answers false; the helper never calls into the run view.
template <typename Work, typename Between>
bool onTwoThreads(std::size_t count, Work work, Between between) {
  std::atomic<std::size_t> next{0};
  std::atomic<bool> stop{false};
  auto worker = [&] {
    for (std::size_t i; !stop && (i = next.fetch_add(1)) < count;) work(i, stop);
  };
  std::thread helper(worker);
  auto last = std::chrono::steady_clock::now();
  bool keptOn = true;
  for (std::size_t i; !stop && (i = next.fetch_add(1)) < count;) {
    work(i, stop);
    const auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(30)) continue;
    last = now;
    if (!between(i)) {
      keptOn = false;
      stop = true;
    }
  }
  helper.join();
  return keptOn && between(count);
}

// One mirroring run. With a plan, every decision is made as in the run, and the step it decides
// (a copy, a replacement, a deletion, a folder made) is recorded instead of being carried out;
// nothing is written, the run journal is neither taken nor settled.
class Run {
 public:
  Run(const MirrorSettings& settings, RunView& view, MirrorReport& report, bool allowMassDelete,
      RunPlan* plan = nullptr)
      : m_settings(settings),
        m_view(view),
        m_report(report),
        m_allowMassDelete(allowMassDelete),
        m_plan(plan) {}
  ~Run() { waitForFlush(); }

  void execute();

 private:
  bool prepare();
  bool takeJournal();
  void runPhases();
  void reportError(const std::exception& e);
  void label(const char* name, const std::string& text) { m_view.setLabel(name, text); }
  bool cancelled() {
    if (m_view.cancelRequested()) m_cancelled = true;
    return m_cancelled;
  }
  void problem(const std::string& pathText, const std::string& reason) {
    m_report.problems.push_back({pathText, reason});
  }
  std::string problemText(const char* what, const platform::FileResult& r) {
    return std::string(what) + ": " + r.message();
  }

  void keepAwayFrom(const std::string& folder, const std::vector<std::string>& unreadable);
  bool offLimits(const Row& row) const;
  // The native path of a listed file, under the drive map in force when the sides were listed.
  std::string nativeOf(const Row& row) const {
    return m_listingMap.toNative(row.full).value_or(std::string());
  }
  bool linkFree(const std::string& native, const std::string& pathText);
  void restoreAccessTime(const Row& row);
  bool massDeleteAllowed(std::int64_t masterDeletes, std::int64_t mirrorDeletes);
  // Waits for the helper thread, yielding; false on cancel.
  bool waitFor(SideReader& side, const std::atomic<bool>& flag);
  void pairFiles();
  bool pairStep();
  bool samePair(const Row& m, const Row& r) const;
  bool compareCandidates();
  bool contentsAgree(std::size_t pairIndex);
  void replace(const Row& winner, const Row& loser);
  std::optional<std::string> temporaryCopy(const Row& source, const std::string& sourceNative,
                                           const std::string& targetNative,
                                           const std::string& targetText);
  bool publish(const std::string& temporary, const std::string& targetNative,
               const std::string& targetText, bool replaceTarget);
  bool oneSidedPhase(std::vector<Row>& rows, bool copy, bool toMirror);
  void remove(const Row& row, const std::string& otherFolder);
  void closingSteps(RunFrame& frame);
  void flushCopies();
  void flushCopiesAhead();
  void waitForFlush();
  // The plan's steps, where the run would act.
  void planReplace(const Row& winner, const Row& loser);
  void planCopy(const Row& row, const std::string& targetText);
  void planNote(const std::string& text);

  const MirrorSettings& m_settings;
  RunView& m_view;
  MirrorReport& m_report;
  MirrorJournal m_journal;
  bool m_allowMassDelete;
  MirrorOptions m_opt{};
  std::vector<Pair> m_pairs;
  // Relative-path prefixes (column 2 up to the folder) of folders that could not be listed on
  // either side: nothing below them is copied, replaced or deleted on either side.
  std::vector<std::string> m_blocked;
  std::string m_inDir, m_outDir, m_inNative, m_outNative;
  TimePrecision m_precision;
  bool m_inFat = false, m_outFat = false;  // coarse-time media that may keep DOS attributes
  std::vector<Row> m_master, m_mirror;
  platform::DriveMap m_listingMap;
  std::vector<char> m_masterPaired, m_mirrorPaired;
  // Per pair, what the byte comparison found (filled before the pairs are handled).
  std::vector<ByteVerdict> m_verdicts;
  bool m_cancelled = false;
  bool m_wroteMaster = false, m_wroteMirror = false;  // copies waiting for the final flush
  std::thread m_flusher;  // flushes the copies while a deleting phase goes on
  RunPlan* m_plan;        // null: the steps are carried out
  std::unordered_set<std::string> m_planFolders;  // folders the plan made so far (path texts)
  fileops::LinkFreeFolders m_linkFree;            // below the two sides' folders
};

void Run::execute() {
  // Steps that may stop the run before it starts; an error here ends it the same way.
  try {
    if (!prepare()) return;
  } catch (const std::exception& e) {
    reportError(e);
    return;
  }
  m_view.clearCancel();
  RunFrame frame(m_view);
  label("FileName", "");
  label("No", msg::kChecked);
  label("MaxNo", std::string("/ ") + msg::kChecked);
  if (!frame.guarded([this] { runPhases(); })) {
    m_report.outcome = MirrorOutcome::Error;
    m_report.errorText = frame.errorText();
  }
  closingSteps(frame);
}

void Run::reportError(const std::exception& e) {
  m_report.outcome = MirrorOutcome::Error;
  m_report.errorText = e.what();
  const auto* dllError = dynamic_cast<const DllError*>(&e);
  showRunError(m_view, dllError ? dllError->number() : RunFrame::kInternalError, e.what());
}

// Takes the run journal and puts right what a killed run left behind; false when another run
// holds it.
bool Run::takeJournal() {
  switch (m_journal.lock()) {
    case MirrorJournal::Lock::Taken:
      break;
    case MirrorJournal::Lock::Busy:
      m_report.outcome = MirrorOutcome::AlreadyRunning;
      return false;
    case MirrorJournal::Lock::Unavailable:
      // Without a journal a killed run may leave hidden temporary files; nothing else changes.
      problem(m_journal.path(), "the run journal cannot be written");
      break;
  }
  // What a killed run left behind is put right first.
  for (const std::string& target : m_journal.settle())
    m_report.restored.push_back(platform::DriveMap::current().toPathText(target));
  return true;
}

bool Run::prepare() {
  // Every option is read here, once: nothing reads the settings file while files are handled.
  m_opt = readMirrorOptions(m_settings);
  m_inDir = m_opt.inDir;
  m_outDir = m_opt.outDir;
  if (m_inDir == m_outDir) {
    m_view.messageBox(msg::kSameFolder, msgbox::kOkOnly);
    m_report.outcome = MirrorOutcome::SameFolder;
    return false;
  }
  if (!m_plan && !takeJournal()) return false;

  // A missing, unready or unlistable side stops the run before any file is touched: an empty
  // listing must never read as "every file was deleted on this side".
  if (!folderUsable(m_inDir, m_inNative)) {
    m_view.messageBox(msg::kMasterMissing, msgbox::kOkOnly | msgbox::kExclamation);
    m_report.outcome = MirrorOutcome::MasterMissing;
    return false;
  }
  if (!folderUsable(m_outDir, m_outNative)) {
    m_view.messageBox(msg::kMirrorMissing, msgbox::kOkOnly | msgbox::kExclamation);
    m_report.outcome = MirrorOutcome::MirrorMissing;
    return false;
  }
  if (sameOrNested(m_inNative, m_outNative)) {
    m_view.messageBox(msg::kSameFolder, msgbox::kOkOnly);
    m_report.outcome = MirrorOutcome::SameFolder;
    return false;
  }

  return true;
}

void Run::runPhases() {
  // What the run is about to do, before it changes anything.
  m_view.note(describeRun(m_opt, m_inNative, m_outNative));
  const TimePrecision a = timePrecisionOf(m_inNative);
  const TimePrecision b = timePrecisionOf(m_outNative);
  m_inFat = a.lastWrite > 1;
  m_outFat = b.lastWrite > 1;
  m_precision = {std::max(a.lastWrite, b.lastWrite), std::max(a.lastAccess, b.lastAccess)};

  label("Command", msg::kListing);
  // Both sides are listed, each on a helper thread, while this thread keeps the run view alive:
  // the two walks take turns on the disk and the processor instead of waiting for each other.
  // The labels and checks keep their order.
  m_listingMap = platform::DriveMap::current();
  m_linkFree.setRoots({m_inNative, m_outNative});
  SideReader masterSide, mirrorSide;
  masterSide.start(m_inDir, m_inFat);
  mirrorSide.start(m_outDir, m_outFat);
  if (!waitFor(masterSide, masterSide.listed())) return;
  // A card pulled during the listing gives a short list: check the folder again.
  if (!folderUsable(m_inDir, m_inNative)) {
    m_view.messageBox(msg::kMasterMissing, msgbox::kOkOnly | msgbox::kExclamation);
    m_report.outcome = MirrorOutcome::MasterMissing;
    return;
  }
  m_report.masterFiles = masterSide.count();
  label("MaxNo", "/ " + std::to_string(m_report.masterFiles));
  m_view.yield();
  if (cancelled() || !waitFor(mirrorSide, mirrorSide.listed())) return;
  if (!folderUsable(m_outDir, m_outNative)) {
    m_view.messageBox(msg::kMirrorMissing, msgbox::kOkOnly | msgbox::kExclamation);
    m_report.outcome = MirrorOutcome::MirrorMissing;
    return;
  }
  m_report.mirrorFiles = mirrorSide.count();
  keepAwayFrom(m_inDir, masterSide.unreadableFolders());
  keepAwayFrom(m_outDir, mirrorSide.unreadableFolders());
  label("No", std::to_string(m_report.mirrorFiles));
  m_view.yield();
  if (cancelled()) return;

  label("Command", msg::kChecking);
  if (!waitFor(masterSide, masterSide.done())) return;
  m_master = masterSide.takeRows();
  if (cancelled() || !waitFor(mirrorSide, mirrorSide.done())) return;
  m_mirror = mirrorSide.takeRows();
  label("MaxNo", "/ " + std::to_string(m_mirror.size()));
  label("No", std::to_string(m_mirror.size()));
  m_view.yield();
  if (cancelled()) return;

  m_masterPaired.assign(m_master.size(), 0);
  m_mirrorPaired.assign(m_mirror.size(), 0);
  pairFiles();

  // What is left unpaired are the one-sided files; those below a folder that could not be
  // listed on either side are left alone (the folder is reported).
  std::vector<Row> masterOnly, mirrorOnly;
  for (std::size_t i = 0; i < m_master.size(); ++i)
    if (!m_masterPaired[i] && !offLimits(m_master[i])) masterOnly.push_back(m_master[i]);
  for (std::size_t j = 0; j < m_mirror.size(); ++j)
    if (!m_mirrorPaired[j] && !offLimits(m_mirror[j])) mirrorOnly.push_back(m_mirror[j]);

  // An empty or unmounted side must never empty the other: a run that would delete all or most
  // of a side's files stops here, before anything is changed, unless that is allowed.
  const bool deleteMasterOnly = m_opt.master && m_opt.master1;
  const bool deleteMirrorOnly = m_opt.mirror && m_opt.mirror1;
  if (!massDeleteAllowed(deleteMasterOnly ? static_cast<std::int64_t>(masterOnly.size()) : 0,
                         deleteMirrorOnly ? static_cast<std::int64_t>(mirrorOnly.size()) : 0))
    return;

  // The trash is emptied once nothing can refuse the run any more, and before the run puts
  // anything in it: a run that stops at a missing side or a mass delete leaves it as it was.
  if (m_opt.dustBox && m_opt.clrDustBox) {
    if (m_plan)
      planNote("the trash is emptied first");
    else
      dll().DLL_RecycleClr(0, "", 1);
  }
  if (!m_pairs.empty() && !pairStep()) return;
  if (cancelled()) return;
  m_master.clear();
  m_mirror.clear();

  if (m_opt.master && !masterOnly.empty() && !oneSidedPhase(masterOnly, !m_opt.master1, true))
    return;
  m_view.yield();
  // The copies are all made when the last phase only deletes: they go to the medium meanwhile.
  if (m_opt.mirror && !mirrorOnly.empty() && m_opt.mirror1) flushCopiesAhead();
  if (m_opt.mirror && !mirrorOnly.empty() && !oneSidedPhase(mirrorOnly, !m_opt.mirror1, false))
    return;
  m_view.yield();
}

void Run::keepAwayFrom(const std::string& folder, const std::vector<std::string>& unreadable) {
  for (const std::string& text : unreadable) {
    problem(text,
            "the folder could not be listed; nothing below it was copied or deleted on "
            "either side");
    // The relative path of a file named "*" in that folder, less the name.
    std::string prefix = relativeOf(folder, dll().DLL_PathAdd(text, "*"));
    prefix.pop_back();
    m_blocked.push_back(std::move(prefix));
  }
}

bool Run::offLimits(const Row& row) const {
  for (const std::string& prefix : m_blocked)
    if (row.relative().starts_with(prefix)) return true;
  return false;
}

bool Run::linkFree(const std::string& native, const std::string& pathText) {
  const platform::FileResult r = m_linkFree.check(native);
  if (r.ok()) return true;
  problem(pathText, r.error() == ELOOP ? "the way there passes through a folder link; left alone"
                                       : problemText("the folder cannot be checked", r));
  return false;
}

void Run::restoreAccessTime(const Row& row) {
  // Where the system would not read without moving the last-access time (a file of another
  // user), the listed time is put back, unless the file was changed meanwhile.
  platform::FileTimes now;
  const std::string native = nativeOf(row);
  if (row.readable && fileops::readTimes(native, now).ok() &&
      sameTimespec(now.lastWrite, row.writeTime) && !sameTimespec(now.lastAccess, row.accessTime))
    fileops::setTimes(native, std::nullopt, row.accessTime);
}

bool Run::massDeleteAllowed(std::int64_t masterDeletes, std::int64_t mirrorDeletes) {
  const std::pair<bool, std::int64_t> sides[] = {{true, masterDeletes}, {false, mirrorDeletes}};
  for (const auto& [masterSide, deletes] : sides) {
    const auto files = static_cast<std::int64_t>((masterSide ? m_master : m_mirror).size());
    if (!needsMassDeleteConsent(deletes, files)) continue;
    if (m_allowMassDelete) {
      m_view.note(massDeleteText(masterSide, deletes, files));
      continue;
    }
    // A plan shows the refusal the run would make unless the user then agreed.
    const int answer =
        m_plan ? msgbox::kNo
               : m_view.messageBox(massDeleteQuestion(masterSide, deletes, files),
                                   msgbox::kYesNo | msgbox::kExclamation | msgbox::kDefaultButton2);
    if (answer == msgbox::kYes) continue;
    m_report.outcome = MirrorOutcome::MassDelete;
    m_report.massDeleteText = massDeleteText(masterSide, deletes, files);
    return false;
  }
  return true;
}

bool Run::waitFor(SideReader& side, const std::atomic<bool>& flag) {
  // Woken as soon as the helper raises the flag; the run view is kept alive meanwhile.
  while (!side.waitFor(flag, std::chrono::milliseconds(20))) {
    m_view.yield();
    if (cancelled()) return false;
  }
  return true;
}

bool Run::samePair(const Row& m, const Row& r) const {
  // Size, read-only flag and last write, at the coarser precision of the two file systems. The
  // last-access time moves whenever anything reads a file (a viewer, a backup), and creation
  // times cannot be set on this system: neither says the contents differ.
  return m.size == r.size && m.readOnly == r.readOnly &&
         sameTime(m.lastWrite, r.lastWrite, m_precision.lastWrite);
}

bool Run::compareCandidates() {
  // Only the pairs that agree on size, flag and times have their bytes compared. Both sides of
  // a pair are read on two threads at once, one pair each; acting on the verdicts stays with
  // this thread, in the order of the pairs.
  m_verdicts.assign(m_pairs.size(), ByteVerdict{});
  if (!m_opt.binCheck || m_opt.binCheck1) return true;
  std::vector<std::size_t> candidates;
  for (std::size_t k = 0; k < m_pairs.size(); ++k) {
    const Pair& p = m_pairs[k];
    const Row& m = m_master[p.master];
    const Row& r = m_mirror[p.mirror];
    if (!p.sameEntry && !offLimits(m) && m.readable && r.readable && samePair(m, r))
      candidates.push_back(k);
  }
  if (candidates.empty()) return true;
  label("Command", msg::kBinaryCheck);
  return onTwoThreads(
      candidates.size(),
      [&](std::size_t i, const std::atomic<bool>& stop) {
        const Pair& p = m_pairs[candidates[i]];
        const fileops::ContentMatch match =
            fileops::sameContents(nativeOf(m_master[p.master]), nativeOf(m_mirror[p.mirror]),
                                  [&stop] { return !stop.load(); });
        ByteVerdict& v = m_verdicts[candidates[i]];
        v.compared = true;
        v.equal = match.equal;
        v.masterAccessKept = match.firstAccessKept;
        v.mirrorAccessKept = match.secondAccessKept;
      },
      [&](std::size_t done) {
        label("No", std::to_string(done));
        m_view.yield();
        return !cancelled();
      });
}

bool Run::contentsAgree(std::size_t pairIndex) {
  const ByteVerdict& v = m_verdicts[pairIndex];
  const Pair& p = m_pairs[pairIndex];
  // A comparison is no use of the pictures: their last-access times stay as listed. Where the
  // system moved them on reading (files of another user), the listed times are put back.
  if (!v.masterAccessKept) restoreAccessTime(m_master[p.master]);
  if (!v.mirrorAccessKept) restoreAccessTime(m_mirror[p.mirror]);
  return v.compared && v.equal;
}

void Run::pairFiles() {
  m_pairs.clear();
  if (m_master.empty() || m_mirror.empty()) return;
  std::vector<RowKey> masterKeys, mirrorKeys;
  masterKeys.reserve(m_master.size());
  mirrorKeys.reserve(m_mirror.size());
  // The separator a file right in the folder may keep before its name is left out of the key:
  // whether it is there follows from the name, so the same paths pair, and a side listed in the
  // order of its path texts is then in the order of its keys (one merge pass pairs them).
  auto key = [](const Row& r) -> RowKey {
    std::string_view relative = r.relative();
    if (relative.starts_with('\\')) relative.remove_prefix(1);
    return {r.full, relative};
  };
  for (const Row& r : m_master) masterKeys.push_back(key(r));
  for (const Row& r : m_mirror) mirrorKeys.push_back(key(r));
  m_pairs = pairByRelativePath(masterKeys, mirrorKeys);
  for (const Pair& p : m_pairs) {
    m_masterPaired[p.master] = 1;
    m_mirrorPaired[p.mirror] = 1;
  }
}

bool Run::pairStep() {
  label("MaxNo", "/ " + std::to_string(m_master.size()));
  if (!compareCandidates()) return false;
  YieldPacer pacer(m_view, "No");
  for (std::size_t k = 0; k < m_pairs.size(); ++k) {
    const Pair& p = m_pairs[k];
    pacer.fileDone(p.master + 1);
    if (cancelled()) return false;
    if (p.sameEntry) continue;
    const Row& m = m_master[p.master];
    const Row& r = m_mirror[p.mirror];
    if (offLimits(m)) continue;
    if (!m.readable || !r.readable) {
      problem(m.readable ? r.full : m.full, "could not be read; the pair was left alone");
      continue;
    }
    bool same = samePair(m, r);
    if (same && m_opt.binCheck && !m_opt.binCheck1) same = contentsAgree(k);
    if (same) {
      ++m_report.unchanged;
      continue;
    }
    // The tables DLL_TimeGet would give now, from the times the listing read: a file changed
    // since is found before anything replaces it.
    LongArray mt = listedTimes(m);
    LongArray rt = listedTimes(r);
    if (dll().DLL_TimeUpdate(mt, rt))
      replace(m, r);
    else
      replace(r, m);
  }
  return true;
}

std::optional<std::string> Run::temporaryCopy(const Row& source, const std::string& sourceNative,
                                              const std::string& targetNative,
                                              const std::string& targetText) {
  const std::string temporary = temporaryNameFor(targetNative);
  // Recorded before it exists, so that a kill at any later point leaves nothing unaccounted.
  m_journal.record(temporary, targetNative);
  platform::CopyOptions options;
  options.existing = platform::Existing::Fail;
  options.keepTimes = true;
  options.keepMode = true;
  // The source is kept (and so is the old version until the copy is in place): the copies are
  // flushed together at the end of the run instead of one by one.
  options.flush = false;
  options.progress = [this] {
    m_view.yield();
    return true;
  };
  const platform::FileResult r = fileops::copyFile(sourceNative, temporary, options);
  const bool toMirror = fileops::isBelow(targetNative, m_outNative);
  (toMirror ? m_wroteMirror : m_wroteMaster) = true;
  // One look at the source after the copy: did the copy move its last-access time, was it
  // changed meanwhile, and which mode did the copy take over.
  struct stat now {};
  const bool looked = source.readable && fileops::status(sourceNative, now, false).ok();
  const bool unchanged = looked && sameTimespec(now.st_mtim, source.writeTime);
  if (unchanged && !sameTimespec(now.st_atim, source.accessTime))
    fileops::setTimes(sourceNative, std::nullopt, source.accessTime);
  if (!r.ok()) {
    fileops::removeFile(temporary);
    problem(targetText, problemText("copy failed", r));
    return std::nullopt;
  }
  // The times listed for the source at the start of the run, and its read-only flag as the
  // table recorded it. A source that was changed since keeps its new times. The copy took the
  // times and mode the source had as it was read: when those are the listed ones, nothing is
  // left to set.
  if (!looked)
    fileops::setTimes(temporary, source.writeTime, source.accessTime);
  else if (!unchanged)
    fileops::setTimes(temporary, now.st_mtim, now.st_atim);
  else if (!sameTimespec(now.st_atim, source.accessTime))
    fileops::setTimes(temporary, source.writeTime, source.accessTime);
  const bool targetFat = toMirror ? m_outFat : m_inFat;
  const bool modeSays = source.readOnly ? (now.st_mode & 0222) == 0 : (now.st_mode & S_IWUSR) != 0;
  if (!looked || targetFat || !modeSays)
    fileops::setAttribute(temporary, platform::attr::kReadOnly, source.readOnly);
  return temporary;
}

bool Run::publish(const std::string& temporary, const std::string& targetNative,
                  const std::string& targetText, bool replaceTarget) {
  const platform::FileResult r =
      fileops::rename(temporary, targetNative,
                      replaceTarget ? platform::Existing::Replace : platform::Existing::Fail);
  if (r.ok()) return true;
  fileops::removeFile(temporary);
  problem(targetText, problemText(r.error() == EEXIST ? "the name is taken" : "rename failed", r));
  return false;
}

void Run::replace(const Row& winner, const Row& loser) {
  label("FileName", loser.full);
  const std::string winnerNative = nativeOf(winner);
  const std::string loserNative = nativeOf(loser);
  if (!linkFree(winnerNative, winner.full) || !linkFree(loserNative, loser.full)) return;
  if (!unchangedSince(loser, loserNative)) {
    problem(loser.full, "changed during the run; left as it is");
    return;
  }
  if (m_plan) return planReplace(winner, loser);
  const auto temporary = temporaryCopy(winner, winnerNative, loserNative, loser.full);
  if (!temporary) return;
  if (!m_opt.dustBox) {
    // The copy takes the loser's place in one atomic step: at every moment the file is either
    // its old or its new version.
    if (publish(*temporary, loserNative, loser.full, true)) ++m_report.replaced;
    return;
  }
  // Dust box: the loser goes to the trash, then the copy takes its name. A run killed between
  // the two is finished by the next run (the journal).
  platform::FileResult r = fileops::moveToTrash(loserNative);
  if (!r.ok()) {
    fileops::removeFile(*temporary);
    problem(loser.full, problemText("could not be put in the trash; left as it is", r));
    return;
  }
  r = fileops::rename(*temporary, loserNative, platform::Existing::Fail);
  if (!r.ok()) {
    // The copy stays recorded under its temporary name; the next run puts it in place.
    problem(loser.full, problemText("the new version waits under a temporary name", r));
    return;
  }
  ++m_report.replaced;
}

bool Run::oneSidedPhase(std::vector<Row>& rows, bool copy, bool toMirror) {
  const std::string& otherFolder = toMirror ? m_outDir : m_inDir;
  // The other side must still be there: its listing is what makes these files one-sided, and
  // a copy must not make its folder anew where a medium was.
  std::string otherNative;
  if (!folderUsable(otherFolder, otherNative)) {
    for (const Row& row : rows)
      problem(row.full, copy ? "the other side is no longer there; not copied"
                             : "the other side is no longer there; not deleted");
    return true;
  }
  if (!copy) {
    // Deletion does not check the cancel flag, as a delete pass is short.
    for (const Row& row : rows) remove(row, otherFolder);
    return true;
  }
  label("Command", msg::kCopying);
  if (cancelled()) return false;
  double total = 0;
  for (const Row& row : rows) total += static_cast<double>(row.size);
  const double free = dll().DLL_DiskFreeSpace(otherFolder, 1).toDouble();
  if (total > free) {
    label("Command", toMirror ? msg::kMirrorNoSpace : msg::kMasterNoSpace);
    m_view.setTimerLoop(10);
    (toMirror ? m_report.mirrorSpaceRefused : m_report.masterSpaceRefused) = true;
    return true;
  }
  std::int64_t n = 0;
  for (const Row& row : rows) {
    label("No", std::to_string(++n));
    m_view.yield();
    if (cancelled()) return false;
    if (!row.readable) {
      problem(row.full, "could not be read; not copied");
      continue;
    }
    const std::string targetText = dll().DLL_PathAdd(otherFolder, std::string(row.relative()));
    const std::string targetNative = platform::nativePathOf(targetText).value_or(std::string());
    const std::string rowNative = nativeOf(row);
    label("FileName", row.full);
    if (!linkFree(rowNative, row.full) || targetNative.empty() ||
        !linkFree(targetNative, targetText))
      continue;
    struct stat st {};
    if (targetNative.empty() || fileops::status(targetNative, st, false).ok()) {
      // Something appeared under that name since the listing (or the file system matches
      // names without regard to case): it is never overwritten.
      problem(targetText, "the name is taken; not copied");
      continue;
    }
    if (m_plan) {
      planCopy(row, targetText);
      continue;
    }
    const platform::FileResult made = fileops::makeFolders(fileops::parentOf(targetNative));
    if (!made.ok()) {
      problem(targetText, problemText("folder could not be made", made));
      continue;
    }
    const auto temporary = temporaryCopy(row, rowNative, targetNative, targetText);
    if (temporary && publish(*temporary, targetNative, targetText, false)) ++m_report.copied;
  }
  return true;
}

void Run::remove(const Row& row, const std::string& otherFolder) {
  label("FileName", row.full);
  const std::string native = nativeOf(row);
  if (!linkFree(native, row.full)) return;
  struct stat st {};
  if (!fileops::status(native, st, false).ok()) return;  // already gone
  if (!matchesRow(row, st)) {
    problem(row.full, "changed during the run; not deleted");
    return;
  }
  // The other side has no file of that name in the listing; make sure it has none now either
  // (a folder that could not be listed, a link, a name that appeared meanwhile).
  const std::string counterpart =
      platform::nativePathOf(dll().DLL_PathAdd(otherFolder, std::string(row.relative())))
          .value_or(std::string());
  struct stat other {};
  const platform::FileResult seen = counterpart.empty()
                                        ? platform::FileResult(EINVAL)
                                        : fileops::status(counterpart, other, false);
  if (seen.ok()) {
    problem(row.full, "a file of that name exists on the other side; not deleted");
    return;
  }
  if (seen.error() != ENOENT) {
    // Only "no such file" says the other side lacks it; a folder that cannot be entered says
    // nothing.
    problem(row.full, problemText("the other side cannot be checked; not deleted", seen));
    return;
  }
  if (m_plan) {
    m_plan->add(m_opt.dustBox ? PlanStep::Kind::Trash : PlanStep::Kind::Delete, row.full, "",
                row.size);
    ++m_report.deleted;
    return;
  }
  const platform::FileResult r =
      m_opt.dustBox ? fileops::moveToTrash(native) : fileops::removeFile(native);
  if (r.ok())
    ++m_report.deleted;
  else
    problem(row.full,
            problemText(m_opt.dustBox ? "could not be put in the trash" : "delete failed", r));
}

void Run::closingSteps(RunFrame& frame) {
  if (m_plan) {
    if ((m_opt.subDirDel1 || m_opt.subDirDel2) && m_report.outcome != MirrorOutcome::MassDelete)
      planNote("empty subfolders are removed afterwards");
    frame.end();
    if (m_cancelled) m_report.outcome = MirrorOutcome::Cancelled;
    return;
  }
  waitForFlush();
  flushCopies();
  try {
    // A run stopped before a mass delete changes nothing, empty folders included.
    const bool stopped = m_report.outcome == MirrorOutcome::MassDelete;
    if (m_opt.subDirDel1 && !stopped) dll().DLL_SubDirDel(m_inDir);
    if (m_opt.subDirDel2 && !stopped) dll().DLL_SubDirDel(m_outDir);
  } catch (const DllError& e) {
    problem(m_inDir, std::string("empty folders not removed: ") + e.what());
  }
  m_view.yield();
  label("FileName", "");
  label("Command", "");
  label("MaxNo", "");
  label("No", "");
  m_journal.finish();
  frame.end();
  // The window manager opens the panel again and reloads it.
  m_view.reopenAfterRun(kSection);
  if (m_cancelled) m_report.outcome = MirrorOutcome::Cancelled;
}

// The side that took copies is flushed, once per file system.
void Run::flushCopies() {
  if (m_wroteMaster) fileops::syncFileSystem(m_inNative);
  if (m_wroteMirror && !(m_wroteMaster && onOneFileSystem(m_inNative, m_outNative)))
    fileops::syncFileSystem(m_outNative);
  m_wroteMaster = m_wroteMirror = false;
}

void Run::flushCopiesAhead() {
  if (m_plan || (!m_wroteMaster && !m_wroteMirror) || m_flusher.joinable()) return;
  m_flusher = std::thread([this] { flushCopies(); });
}

void Run::waitForFlush() {
  if (m_flusher.joinable()) m_flusher.join();
}

void Run::planNote(const std::string& text) {
  m_plan->setNote(m_plan->note() + (m_plan->note().empty() ? "" : "; ") + text);
}

// The loser is replaced by a copy of the winner; with the dust box on, it goes to the trash
// first.
void Run::planReplace(const Row& winner, const Row& loser) {
  if (m_opt.dustBox) m_plan->add(PlanStep::Kind::Trash, loser.full, "", loser.size);
  m_plan->add(PlanStep::Kind::Copy, winner.full, loser.full, winner.size);
  ++m_report.replaced;
}

// The copy of a one-sided file, after the folders it needs that are not there yet.
void Run::planCopy(const Row& row, const std::string& targetText) {
  std::vector<std::string> missing;
  for (std::string folder = targetText;;) {
    const auto sep = folder.rfind('\\');
    if (sep == std::string::npos) break;
    folder.resize(sep);
    if (m_planFolders.count(folder) || platform::pathTextIsFolder(folder, false)) break;
    missing.push_back(folder);
  }
  for (auto f = missing.rbegin(); f != missing.rend(); ++f) {
    m_plan->add(PlanStep::Kind::FolderMade, "", *f);
    m_planFolders.insert(*f);
  }
  m_plan->add(PlanStep::Kind::Copy, row.full, targetText, row.size);
  ++m_report.copied;
}

}  // namespace

MirrorEngine::MirrorEngine(const MirrorSettings& settings, RunView& view)
    : m_settings(settings), m_view(view) {}

MirrorReport MirrorEngine::run() {
  MirrorReport report;
  // The mirroring-running flag keeps the main timer from starting a second run meanwhile.
  if (!m_view.claimRun(kSection)) {
    report.outcome = MirrorOutcome::AlreadyRunning;
    return report;
  }
  struct Release {
    RunView& view;
    ~Release() { view.releaseRun(kSection); }
  } release{m_view};
  fileops::ScopedYieldHandler yieldHandler([this] { m_view.yield(); });
  {
    Run run(m_settings, m_view, report, m_allowMassDelete);
    run.execute();
  }
  // The completion action follows a run that went through its closing steps, a cancelled one
  // too; a run that never started (a refused folder) or ended in an error takes none.
  if (report.outcome == MirrorOutcome::Completed || report.outcome == MirrorOutcome::Cancelled)
    m_view.runCompleted(kSection);
  return report;
}

MirrorReport MirrorEngine::plan(RunPlan& plan) const {
  MirrorReport report;
  QuietRunView quiet;
  Run(m_settings, quiet, report, m_allowMassDelete, &plan).execute();
  auto note = [&plan](const std::string& text) {
    plan.setNote(plan.note() + (plan.note().empty() ? "" : "; ") + text);
  };
  if (report.mirrorSpaceRefused || report.masterSpaceRefused)
    note("not enough space: the copies of one-sided files are not made");
  if (report.unchanged > 0) note(std::to_string(report.unchanged) + " pairs are the same");
  if (!report.problems.empty())
    note(std::to_string(report.problems.size()) + " files are left alone, the first: " +
         report.problems.front().path + " (" + report.problems.front().reason + ")");
  return report;
}

}  // namespace quillmere::mirror
