// The survey of a rename run: one record per listed file, from one open of the file (its times
// and its shooting date), and the disk-space check of the Copy and Move modes.

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/FileOps.h"
#include "rename/RenameRun.h"
#include "rename/SurveyAhead.h"
#include "times/FileTime.h"
#include "times/MediaDates.h"
#include "times/ShootingDate.h"

namespace quillmere::rename {

namespace {

const char* const kCheckingFiles = "ファイルのチェック中・・・";
const char* const kNoSpace = "出力先のディスク容量が足りません";
// The longest a date search may read one file.
constexpr double kDateSearchSeconds = 15;

}  // namespace

void RenameEngine::Run::survey(const StringArray& list) {
  const int count = list.count();
  m_view.setLabel("FileMax", std::to_string(count) + "/ ");
  m_view.setLabel("Command", kCheckingFiles);
  // Only the Copy and Move modes check the disk space, and only they need the byte total.
  const bool wantBytes = m_options.mode != Mode::Stay;
  StringArray sized;  // column 1: the surveyed paths, for the byte total
  if (wantBytes) sized.redim(1, count, 1, 1);
  int surveyed = 0;
  YieldPacer pacer(m_view);
  m_records.reserve(static_cast<std::size_t>(count));
  if (m_options.skipImported) {
    const auto outNative = m_map.toNative(m_options.outDir);
    m_imported.emplace(outNative ? *outNative : std::string());
  }
  // The head holds headLines lines; the search takes the lines before its last one.
  SurveyAhead ahead(list, m_map, m_options.headLines - 1, kDateSearchSeconds);
  for (int i = 1; i <= count; ++i) {
    if (cancelled()) return;
    pacer.fileDone(static_cast<std::size_t>(i));
    const std::string& path = list(i);
    bool surveyedOk = false;
    Record r = surveyFile(path, i, ahead.take(i), surveyedOk);
    if (r.state == Record::State::Skipped) continue;
    m_records.push_back(std::move(r));
    if (surveyedOk && wantBytes) sized(++surveyed, 1) = path;
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
  if (m_options.sidecars) formGroups();
}

// The record of one file. `ok` is false when the file is gone since the listing (or cannot
// be read): the record then holds that problem.
RenameEngine::Record RenameEngine::Run::surveyFile(const std::string& path, int listIndex,
                                                   const SurveyAhead::Facts& read, bool& ok) {
  Record r;
  r.listIndex = listIndex;
  r.source = path;
  r.original = path;
  const auto& native = read.native;
  times::PictureFacts facts = read.picture;
  if (!native || !read.opened) {
    r.state = Record::State::Problem;
    r.problem = {path, Unhandled::Vanished, 0};
    ok = false;
    return r;
  }
  ok = true;
  if (m_imported && alreadyImported(path, *native)) {
    r.state = Record::State::Skipped;
    return r;
  }
  if (facts.size) r.known = RenameJournal::Known{*facts.size, facts.times.lastWrite};
  LongArray pairs = timeTable(3, 2);
  times::fillTimePairs(facts.times, pairs);
  LongArray parts;
  dll().DLL_TimeBunri(pairs, parts);
  StringArray zero;
  dll().DLL_TimeAddZero(parts, zero);
  for (int row = 1; row <= 3; ++row) {
    r.times += zero(row, 1) + zero(row, 2) + zero(row, 3) + "_" + zero(row, 4) + zero(row, 5) +
               zero(row, 6) + "_" + zero(row, 7) + "|";
  }
  r.relative = relativeFolder(path);
  // Videos and HEIC pictures hold their date in boxes, not as text in the head: read only when
  // the text search found none, so the other files cost nothing more.
  if (m_options.mediaDates && !facts.date.found) {
    times::ShootingDate media;
    if (times::findMediaShootingDate(*native, media) && media.found) facts.date = media;
  }

  LongArray date = timeTable(1, 7);
  const bool found = facts.date.found;
  r.dated = found;
  if (found) {
    const std::int32_t fields[6] = {facts.date.year, facts.date.month,  facts.date.day,
                                    facts.date.hour, facts.date.minute, facts.date.second};
    for (int c = 1; c <= 6; ++c) date(1, c) = fields[c - 1];
  }
  r.base = newBase(path, found, date);
  r.clash = 0;
  r.extension = dll().DLL_KakuchoUName(path);
  if (m_options.setTimes) setTimeToGive(r, found, date);
  return r;
}

std::string RenameEngine::Run::newBase(const std::string& path, bool found,
                                       const LongArray& date) const {
  std::string base;
  switch (m_options.format) {
    case NameFormat::Date:
      if (found) {
        StringArray d;
        LongArray copy = date;
        dll().DLL_TimeAddZero(copy, d);
        base = d(1, 1) + d(1, 2) + d(1, 3) + "_" + d(1, 4) + d(1, 5) + d(1, 6);
      } else {
        base = dll().DLL_FileName(path, 0);
      }
      break;
    case NameFormat::Number:
      base = dll().DLL_FileName(path, 2);
      if (base.empty()) base = path;  // no extension: the whole path orders it
      break;
    case NameFormat::Name:
      base = dll().DLL_FileName(path, 0);
      break;
  }
  // A name without an extension keeps its whole name, so the file stays in its folder.
  if (base.empty()) base = dll().DLL_DelRootPath(path);
  return base;
}

// Fields 9 and 10: the given time stamp, or the shooting date. Without a shooting date there is
// no time to give: the file keeps its own.
void RenameEngine::Run::setTimeToGive(Record& r, bool found, const LongArray& date) const {
  if (!m_options.givenTime && !found) return;
  LongArray set = timeTable(3, 7);
  for (int row = 1; row <= 3; ++row)
    for (int c = 1; c <= 7; ++c)
      set(row, c) = m_options.givenTime ? (c <= 6 ? m_options.given[c - 1] : 0) : date(1, c);
  LongArray joined;
  dll().DLL_TimeAdd(set, joined);
  r.setLow = joined(1, 1);
  r.setHigh = joined(1, 2);
  r.haveTime = true;
}

// Field 5. The relative folder cuts the file's name off the path below the source folder; for a
// name without an extension that cut finds no name, so it is made here, or the file would be
// taken for a folder and parked beside its own folder.
std::string RenameEngine::Run::relativeFolder(const std::string& path) const {
  std::string mid = dll().DLL_MidPath(m_options.inDir, path);
  if (dll().DLL_KakuchoUName(path).empty()) {
    const std::string name = dll().DLL_DelRootPath(path);
    if (mid.size() >= name.size() && mid.compare(mid.size() - name.size(), name.size(), name) == 0)
      mid.erase(mid.size() - name.size());
  }
  return mid;
}

// The skip option: true (and the file reported as skipped) when the target tree holds a file
// with the same bytes.
bool RenameEngine::Run::alreadyImported(const std::string& path, const std::string& native) {
  struct stat st {};
  if (!platform::fileops::status(native, st)) return false;
  const std::string twin = m_imported->match(native, static_cast<std::int64_t>(st.st_size));
  if (twin.empty()) return false;
  m_report.skipped.push_back({path, m_map.toPathText(twin)});
  return true;
}

bool RenameEngine::Run::capacityOk() {
  if (m_options.mode == Mode::Stay) return true;
  m_view.setTimerLoop(10);
  std::string out = m_options.outDir;
  std::string in = m_options.inDir;
  const std::string outExisting = dll().DLL_DirCheck(out);
  const double free = dll().DLL_DiskFreeSpace(outExisting, 1).toDouble();
  const bool sameFolder = dll().DLL_DirCheck(in) == outExisting;
  const bool tooBig = m_byteTotal > free;
  if ((m_options.mode == Mode::Copy && tooBig) ||
      (m_options.mode == Mode::Move && !sameFolder && tooBig)) {
    m_view.setLabel("Command", kNoSpace);
    m_view.yield();
    m_view.setTimerLoop(10);
    m_report.refused = true;
    m_report.refusal = Refusal::NoSpace;
    m_report.message = kNoSpace;
    return false;
  }
  return true;
}

}  // namespace quillmere::rename
