#include "rename/RenameEngine.h"

#include <cerrno>

#include <algorithm>
#include <exception>
#include <utility>

#include "core/Main.h"
#include "core/UiHook.h"
#include "platform/DriveMap.h"
#include "platform/FileOps.h"
#include "platform/Text.h"
#include "rename/RenameJournal.h"
#include "run/RunFrame.h"

namespace quillmere::rename {

namespace {

const char* const kSurveyingFolders = "サブディレクトリ調査中・・・";
const char* const kCheckingFiles = "ファイルのチェック中・・・";
const char* const kNoSpace = "出力先のディスク容量が足りません";
const char* const kSorting = "新ファイル名ソート中・・・";
const char* const kNumbering = "連番作成中・・・";
const char* const kCopying = "コピー中・・・";
const char* const kMoving = "移動中・・・";
const char* const kRenaming = "リネーム中・・・";
const char* const kCannotWrite = "ディスクに書きこめません";

std::string clashText(const std::string& target) {
  return "File名重複！ " + target + "にリネーム中";
}

std::string padded(std::int64_t n, int width) {
  std::string digits = std::to_string(n < 0 ? -n : n);
  if (static_cast<int>(digits.size()) < width) digits.insert(0, width - digits.size(), '0');
  return n < 0 ? "-" + digits : digits;
}

int digitCount(std::int64_t n) {
  return static_cast<int>(std::to_string(n < 0 ? -n : n).size());
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

LongArray table(int rows, int cols) {
  LongArray a;
  a.redim(1, rows, 1, cols);
  return a;
}

}  // namespace

// One rename record: the ten fields of the run's table, and where the file is now.
struct RenameEngine::Record {
  std::string source;        // field 1 (after parking: the final target without the case option)
  std::string times;         // fields 2, 3, 4 joined, for sorting only
  std::string relative;      // field 5
  std::string base;          // field 6
  int clash = 0;             // field 7
  std::string extension;     // field 8
  std::int32_t setLow = 0;   // field 9
  std::int32_t setHigh = 0;  // field 10
  bool haveTime = false;     // fields 9 and 10 hold a time to set
  int listIndex = 0;

  enum class State { Listed, Parked, Settled, Problem } state = State::Listed;
  std::string parked;    // the path the file was actually parked under
  std::string original;  // where the run found the file, for the journal
  FileProblem problem;
};

// The state of one run.
class RenameEngine::Run {
 public:
  Run(const RenameSettings& s, RunView& v, RenameJournal* journal)
      : m_s(s), m_view(v), m_journal(journal) {}

  RunReport go() {
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

 private:
  bool cancelled() {
    if (m_view.cancelRequested()) m_report.cancelled = true;
    return m_report.cancelled;
  }

  void readOptions() {
    m_mode = m_s.mode();
    m_format = m_s.format();
    m_case = m_s.caseOption();
    m_inDir = m_s.inDir();
    // Stay mode renames every file where it is: the target is the source folder itself.
    m_outDir = m_mode == Mode::Stay ? m_inDir : m_s.outDir();
    m_lookSubDir = m_s.check("ReName-LookSubDir");
    m_steps.keepWithin({m_inDir, m_outDir});
  }

  void body() {
    readOptions();
    m_view.setLabel("Command", kSurveyingFolders);
    m_view.yield();
    if (!m_steps.isFolder(m_inDir)) {
      m_report.refused = true;
      m_report.message = "source folder not found: " + m_inDir;
      return;
    }
    // The root of drive C: is the whole system on Linux, not a folder of pictures.
    if (platform::nativePathOf(m_inDir) == std::optional<std::string>("/")) {
      m_report.refused = true;
      m_report.message = "the system's root folder is never renamed: " + m_inDir;
      return;
    }
    StringArray list;
    dll().DLL_FileNameList(m_inDir, list, m_lookSubDir ? 1 : 0);
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
    if (m_format == NameFormat::Number) {
      m_view.setLabel("Command", kNumbering);
      m_view.yield();
      number();
      if (cancelled()) return;
    }
    if (m_lookSubDir && m_s.check("ReName-MakeSubDir")) {
      StringArray dirs;
      dll().DLL_SubDirList(m_inDir, dirs);
      dll().DLL_SubDirMake(m_outDir, dirs);
    }
    if (cancelled()) return;
    park();
    if (cancelled()) return;
    settle();
  }

  // ---- survey ----

  void survey(StringArray& list) {
    const int count = list.count();
    m_view.setLabel("FileMax", std::to_string(count) + "/ ");
    m_view.setLabel("Command", kCheckingFiles);

    const int fileByte = (m_s.number("ReName-File_Byte") + 2) * 128;
    const bool setTimes = m_s.check("ReName-TimeStamp");
    const bool givenTime = m_s.check("ReName-TimeStampChange");
    LongArray given = table(3, 7);
    if (setTimes && givenTime) {
      const int year = m_s.number("ReName-YYYYDay");
      const int month = m_s.number("ReName-MMDay") + 1;
      // A stored day beyond the month's end is read as the month's last day.
      const int day = std::min(m_s.number("ReName-DDDay") + 1, daysInMonth(year, month));
      const int fields[7] = {year,
                             month,
                             day,
                             m_s.number("ReName-HHTime"),
                             m_s.number("ReName-MMTime"),
                             m_s.number("ReName-SSTime"),
                             0};
      for (int r = 1; r <= 3; ++r)
        for (int c = 1; c <= 7; ++c) given(r, c) = fields[c - 1];
    }

    StringArray sized;  // column 1: the surveyed paths, for the byte total
    sized.redim(1, count, 1, 1);
    int surveyed = 0;
    for (int i = 1; i <= count; ++i) {
      if (cancelled()) return;
      m_view.setLabel("FileNo", std::to_string(i));
      m_view.yield();
      const std::string path = list(i);

      Record r;
      r.listIndex = i;
      r.source = path;
      r.original = path;
      LongArray pairs = table(3, 2);
      if (!dll().DLL_TimeGet(path, pairs)) {
        // Gone since the listing (or unreadable): nothing to rename.
        r.state = Record::State::Problem;
        r.problem = {path, Unhandled::Vanished, 0};
        m_records.push_back(std::move(r));
        continue;
      }
      sized(++surveyed, 1) = path;
      LongArray parts;
      dll().DLL_TimeBunri(pairs, parts);
      StringArray zero;
      dll().DLL_TimeAddZero(parts, zero);
      for (int row = 1; row <= 3; ++row) {
        r.times += zero(row, 1) + zero(row, 2) + zero(row, 3) + "_" + zero(row, 4) + zero(row, 5) +
                   zero(row, 6) + "_" + zero(row, 7) + "|";
      }
      r.relative = relativeFolder(path);

      LongArray date = table(1, 7);
      const bool found = dll().DLL_TakeDate(path, fileByte, date, 15);

      switch (m_format) {
        case NameFormat::Date:
          if (found) {
            StringArray d;
            dll().DLL_TimeAddZero(date, d);
            r.base = d(1, 1) + d(1, 2) + d(1, 3) + "_" + d(1, 4) + d(1, 5) + d(1, 6);
          } else {
            r.base = dll().DLL_FileName(path, 0);
          }
          break;
        case NameFormat::Number:
          r.base = dll().DLL_FileName(path, 2);
          if (r.base.empty()) r.base = path;  // no extension: the whole path orders it
          break;
        case NameFormat::Name:
          r.base = dll().DLL_FileName(path, 0);
          break;
      }
      // A name without an extension keeps its whole name, so the file stays in its folder.
      if (r.base.empty()) r.base = dll().DLL_DelRootPath(path);
      r.clash = 0;
      r.extension = dll().DLL_KakuchoUName(path);

      if (setTimes) {
        LongArray set;
        if (givenTime) {
          set = given;
        } else if (found) {
          set = table(3, 7);
          for (int row = 1; row <= 3; ++row)
            for (int c = 1; c <= 7; ++c) set(row, c) = date(1, c);
        }
        // Without a shooting date there is no time to give: the file keeps its own.
        if (set.isDimensioned()) {
          LongArray joined;
          dll().DLL_TimeAdd(set, joined);
          r.setLow = joined(1, 1);
          r.setHigh = joined(1, 2);
          r.haveTime = true;
        }
      }
      m_records.push_back(std::move(r));
    }
    if (surveyed > 0) {
      sized.redimPreserve(1, surveyed, 1, 1);
      m_byteTotal = dll().DLL_FileSize(sized);
    }
    std::erase_if(m_records, [&](const Record& r) {
      if (r.state != Record::State::Problem) return false;
      m_report.problems.push_back(r.problem);
      return true;
    });
  }

  // Field 5. The relative folder cuts the file's name off the path below the source folder;
  // for a name without an extension that cut finds no name, so it is made here, or the file
  // would be taken for a folder and parked beside its own folder.
  std::string relativeFolder(const std::string& path) const {
    std::string mid = dll().DLL_MidPath(m_inDir, path);
    if (dll().DLL_KakuchoUName(path).empty()) {
      const std::string name = dll().DLL_DelRootPath(path);
      if (mid.size() >= name.size() &&
          mid.compare(mid.size() - name.size(), name.size(), name) == 0)
        mid.erase(mid.size() - name.size());
    }
    return mid;
  }

  bool capacityOk() {
    if (m_mode == Mode::Stay) return true;
    m_view.setTimerLoop(10);
    std::string out = m_outDir;
    std::string in = m_inDir;
    const std::string outExisting = dll().DLL_DirCheck(out);
    const double free = dll().DLL_DiskFreeSpace(outExisting, 1).toDouble();
    const bool sameFolder = dll().DLL_DirCheck(in) == outExisting;
    const bool tooBig = m_byteTotal > free;
    if ((m_mode == Mode::Copy && tooBig) || (m_mode == Mode::Move && !sameFolder && tooBig)) {
      m_view.setLabel("Command", kNoSpace);
      m_view.yield();
      m_view.setTimerLoop(10);
      m_report.refused = true;
      m_report.message = kNoSpace;
      return false;
    }
    return true;
  }

  // ---- ordering and names ----

  void markNeighbours() {
    if (m_records.size() < 2) return;
    std::string key = m_records[0].relative + m_records[0].base + m_records[0].extension;
    int count = 0;
    for (std::size_t j = 1; j < m_records.size(); ++j) {
      Record& r = m_records[j];
      const std::string k = r.relative + r.base + r.extension;
      if (k != key) {
        key = k;
        count = 0;
      } else {
        r.clash = ++count;
      }
    }
  }

  void sort() {
    const int n = static_cast<int>(m_records.size());
    StringArray rows;
    rows.redim(1, n, 1, 4);
    for (int i = 1; i <= n; ++i) {
      const Record& r = m_records[i - 1];
      rows(i, 1) = r.base;
      rows(i, 2) = r.extension;
      rows(i, 3) = r.times;        // the three times in the order creation, last write, last access
      rows(i, 4) = padded(i, 10);  // equal rows keep the list order
    }
    LongArray keys = LongArray::fromList({1, 2, 3, 4});
    dll().DLL_Sort(rows, keys);
    std::vector<Record> sorted;
    sorted.reserve(m_records.size());
    for (int i = 1; i <= n; ++i) sorted.push_back(std::move(m_records[std::stoi(rows(i, 4)) - 1]));
    m_records = std::move(sorted);
  }

  void number() {
    std::int64_t n = m_s.number("ReName-StartNo") - 1;
    std::string dir;
    int width = m_s.number("ReName-Namber") + 1;
    width = std::max(width, digitCount(static_cast<std::int64_t>(m_records.size()) + n));
    for (Record& r : m_records) {
      if (r.relative != dir) {
        dir = r.relative;
        n = 1;
      } else {
        ++n;
      }
      r.base = padded(n, width);
      r.clash = 0;
    }
    if (m_s.check("ReName-AutoIncrement")) m_s.write("ReName-StartNo", std::to_string(n + 1));
  }

  std::string targetFolder(const Record& r) const {
    return dll().DLL_PathAdd(m_outDir, r.relative);
  }
  std::string plainTarget(const Record& r) const {
    return dll().DLL_PathAdd(targetFolder(r), r.base) + r.extension;
  }
  std::string target(const Record& r, bool applyCase) const {
    const std::string t =
        dll().DLL_PathAdd(targetFolder(r), r.base + dll().DLL_ToAlphabet(r.clash) + r.extension);
    return applyCase ? withCase(t, m_case) : t;
  }

  void problem(Record& r, const std::string& where, Unhandled why, int error = 0) {
    r.state = Record::State::Problem;
    r.problem = {where, why, error};
  }

  // Moves `from` to the record's target with "Temp" appended (or, in the settle step, to the
  // final target), raising the clash counter on a taken name. Returns the step's last result;
  // on success `placed` holds the path the file now has.
  StepResult place(Record& r, const std::string& from, const std::string& ending, bool caseFirst,
                   std::string& placed) {
    std::string to = target(r, caseFirst);
    int clashes = 0;
    int retries = 0;
    for (;;) {
      const StepResult res = m_steps.moveNoReplace(from, to + ending);
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

  Unhandled reasonFor(StepResult res, const Record& r) {
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

  void park() {
    const bool copy = m_mode == Mode::Copy;
    m_view.setLabel("Command", copy ? kCopying : kMoving);
    for (std::size_t i = 0; i < m_records.size(); ++i) {
      Record& r = m_records[i];
      m_view.setLabel("FileNo", std::to_string(i + 1));
      m_view.yield();
      // A cancel stops parking between files; files not yet parked stay untouched.
      if (cancelled()) return;

      std::string from = r.source;
      std::string intermediate;
      if (copy) {
        intermediate = plainTarget(r) + "Temp1";
        StepResult res = StepResult::Failed;
        for (int attempt = 0; attempt <= kMaxRetries; ++attempt) {
          res = m_steps.copyNoReplace(r.source, intermediate);
          if (res != StepResult::Failed) break;
        }
        if (res == StepResult::Exists) {
          // An intermediate copy of an earlier, interrupted run: used again when it holds the
          // same bytes, never overwritten when it does not.
          if (!dll().DLL_BinFileCheck(r.source, intermediate)) {
            problem(r, r.source, Unhandled::CopyLeftOver);
            continue;
          }
          res = StepResult::Ok;
        }
        if (res == StepResult::NoAccess && deniedInFolder(m_steps.lastError())) {
          leaveDenied(r, m_steps.lastError());
          continue;
        }
        if (res == StepResult::NoAccess || res == StepResult::NoSpace) {
          stopParking(i, m_steps.lastError());
          return;
        }
        if (res != StepResult::Ok) {
          problem(r, r.source, reasonFor(res, r), m_steps.lastError());
          continue;
        }
        from = intermediate;
      }

      std::string placed;
      const StepResult res = place(r, from, "Temp", false, placed);
      if (res == StepResult::Ok) {
        r.parked = placed;
        r.source = target(r, false);
        r.state = Record::State::Parked;
        continue;
      }
      const int error = m_steps.lastError();
      if (copy) m_steps.removeFile(intermediate);  // the source is still in place
      if (res == StepResult::NoAccess && deniedInFolder(error)) {
        leaveDenied(r, error);
        continue;
      }
      if (res == StepResult::NoAccess || res == StepResult::NoSpace) {
        stopParking(i, error);
        return;
      }
      problem(r, r.source, reasonFor(res, r), error);
    }
  }

  // Permission denied concerns one folder (a read-only subfolder, a folder of another user),
  // not the disk: only the files of that folder are left. A read-only medium or a full disk
  // stops the park step.
  static bool deniedInFolder(int error) { return error == EACCES || error == EPERM; }

  // Leaves one file where it is because its folder cannot be written, and says so once.
  void leaveDenied(Record& r, int error) {
    problem(r, r.source, Unhandled::NotWritable, error);
    if (!m_toldDenied) m_view.messageBox(kCannotWrite, msgbox::kOkOnly);
    m_toldDenied = true;
  }

  // The disk cannot be written: the park step ends here; the files from record i on stay where
  // they are, and the settle step goes on with the files already parked.
  void stopParking(std::size_t i, int error) {
    m_view.messageBox(kCannotWrite, msgbox::kOkOnly);
    for (std::size_t j = i; j < m_records.size(); ++j) {
      Record& r = m_records[j];
      if (r.state == Record::State::Listed) problem(r, r.source, Unhandled::NotWritable, error);
    }
  }

  void settle() {
    m_view.setLabel("Command", kRenaming);
    m_view.yield();
    const bool setTimes = m_s.check("ReName-TimeStamp");
    const bool setAttribute = m_s.check("ReName-Attribute");
    const bool readOnly = m_s.check("ReName-Read");
    for (std::size_t i = 0; i < m_records.size(); ++i) {
      if (cancelled()) return;
      Record& r = m_records[i];
      if (r.state == Record::State::Parked) {
        std::string placed;
        const StepResult res = place(r, r.parked, "", true, placed);
        if (res == StepResult::Ok) {
          r.state = Record::State::Settled;
          ++m_report.handled;
          if (setTimes && r.haveTime) {
            LongArray pairs = table(3, 2);
            for (int row = 1; row <= 3; ++row) {
              pairs(row, 1) = r.setLow;
              pairs(row, 2) = r.setHigh;
            }
            dll().DLL_TimePut(placed, pairs);
          }
          if (setAttribute) dll().DLL_ReadChenge(placed, readOnly);
          if (m_journal) m_journal->record(r.original, placed);
        } else {
          // The file keeps its parked name; Recovery can finish it later.
          problem(r, r.parked, reasonFor(res, r), m_steps.lastError());
        }
      }
      m_view.setLabel("FileNo", std::to_string(i + 1));
      m_view.yield();
    }
  }

  // ---- end of the run ----

  void closing(RunFrame& frame) {
    m_steps.flushCopies();
    if (m_journal) m_journal->finish();
    frame.guarded([this] {
      if (m_s.check("ReName-SubDirDel1")) dll().DLL_SubDirDel(m_inDir);
      if (m_mode != Mode::Stay && m_s.check("ReName-SubDirDel2")) dll().DLL_SubDirDel(m_outDir);
    });
    m_view.setLabel("FileNo", "");
    m_view.setLabel("FileMax", "");
    m_view.setLabel("Command", "");
    frame.end();
  }

  void finishReport() {
    for (const Record& r : m_records) {
      switch (r.state) {
        case Record::State::Settled:
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

  const RenameSettings& m_s;
  RunView& m_view;
  RenameJournal* m_journal;
  FileSteps m_steps;
  RunReport m_report;

  Mode m_mode = Mode::Stay;
  NameFormat m_format = NameFormat::Date;
  CaseOption m_case = CaseOption::AsBuilt;
  std::string m_inDir;
  std::string m_outDir;
  bool m_lookSubDir = true;
  bool m_toldDenied = false;  // the message for a folder that cannot be written was shown
  double m_byteTotal = 0;
  std::vector<Record> m_records;
};

RenameEngine::RenameEngine(const RenameSettings& settings, RunView& view)
    : m_settings(settings), m_view(view) {}

RunReport RenameEngine::run() {
  return Run(m_settings, m_view, m_journal).go();
}

}  // namespace quillmere::rename
