#pragma once

// The parts of one rename run, shared by the files that hold its steps: RenameEngine.cpp (the
// run's frame and report), Survey.cpp, Numbering.cpp, Park.cpp and Settle.cpp.

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "core/Main.h"
#include "platform/DriveMap.h"
#include "rename/FileSteps.h"
#include "rename/ImportedFiles.h"
#include "rename/RenameEngine.h"
#include "rename/RenameJournal.h"
#include "rename/RenameSettings.h"
#include "rename/SurveyAhead.h"
#include "run/RunFrame.h"
#include "run/RunPlan.h"
#include "run/RunView.h"

namespace quillmere::rename {

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
  bool dated = false;  // the survey found a shooting date
  int group = -1;      // the related-files option: the file's group, -1 for none
  bool leads = false;  // the group takes this file's name

  enum class State { Listed, Parked, Settled, Problem, Skipped } state = State::Listed;
  std::string parked;                         // the path the file was actually parked under
  std::string original;                       // where the run found the file, for the journal
  std::optional<RenameJournal::Known> known;  // its size and last-write time at the survey
  FileProblem problem;
};

// The state of one run. The options are read before it starts; the drive map in force at its
// start serves every file.
class RenameEngine::Run {
 public:
  // With a plan, the run decides every file's final name as it would now, recording one step
  // per file and the folders it would make, and touches no file (see Plan.cpp).
  Run(const RenameSettings& settings, RunView& view, RenameJournal* journal,
      RunPlan* plan = nullptr);
  RunReport go();

 private:
  using Record = RenameEngine::Record;
  enum class ParkOutcome { Next, Stop };

  bool cancelled();
  void body();
  void problem(Record& r, const std::string& where, Unhandled why, int error = 0);

  // Survey.cpp: the records of the listed files, and the disk-space check.
  void survey(const StringArray& list);
  Record surveyFile(const std::string& path, int listIndex, const SurveyAhead::Facts& read,
                    bool& found);
  std::string newBase(const std::string& path, bool found, const LongArray& date) const;
  void setTimeToGive(Record& r, bool found, const LongArray& date) const;
  std::string relativeFolder(const std::string& path) const;
  bool alreadyImported(const std::string& path, const std::string& native);
  bool capacityOk();

  // Groups.cpp: related files (a RAW and its JPEG, .xmp, .thm, .wav) that share one name.
  struct Group {
    std::vector<std::size_t> members;  // indices into m_records after the sort
    std::size_t leader = 0;            // the member whose name the group takes
    std::string note;                  // path text of the group's note for Recovery, if written
  };
  void formGroups();
  void indexGroups();
  bool isFollower(const Record& r) const;
  void takeLeadersNames();
  void alignClash(const Group& g, bool parking);
  void writeGroupNote(Group& g);
  void removeGroupNote(Group& g);
  ParkOutcome parkGroup(Group& g);
  void settleGroup(Group& g);

  // Numbering.cpp: clash counters, order and running numbers.
  void markNeighbours();
  void sort();
  void number();

  // Park.cpp: every file to its new name with "Temp" appended.
  std::string targetFolder(const Record& r) const;
  std::string plainTarget(const Record& r) const;
  std::string target(const Record& r, bool applyCase) const;
  StepResult place(Record& r, const std::string& from, const std::string& ending, bool caseFirst,
                   std::string& placed);
  Unhandled reasonFor(StepResult res, const Record& r);
  void park();
  ParkOutcome parkFile(std::size_t i);
  bool copyToIntermediate(Record& r, std::size_t i, const std::string& intermediate,
                          ParkOutcome& outcome);
  void leaveDenied(Record& r, int error);
  void stopParking(std::size_t i, int error);

  // The park and settle steps go through these: the file steps, or with a plan the plan's
  // picture of the files (Plan.cpp).
  StepResult moveStep(const std::string& from, const std::string& to) {
    return m_plan ? planStep(from, to, false) : m_steps.moveNoReplace(from, to);
  }
  StepResult copyStep(const std::string& from, const std::string& to) {
    return m_plan ? planStep(from, to, true) : m_steps.copyNoReplace(from, to);
  }

  bool fileThere(const std::string& path) {
    return m_plan ? planFileThere(path) : m_steps.exists(path);
  }

  void removeStep(const std::string& path) {
    if (!m_plan) {
      m_steps.removeFile(path);
      return;
    }
    m_planMade.erase(path);
    m_planGone.insert(path);
  }

  // Plan.cpp: the plan mode's picture of the files and folders.
  StepResult planStep(const std::string& from, const std::string& to, bool copy);
  bool planFileThere(const std::string& path) const;
  void makeSubDirs();
  void planSettled(const Record& r, const std::string& placed);
  void planClosing();

  // Settle.cpp: every parked file to its final name, then its times and attribute.
  void settle();
  void settleFile(std::size_t i);
  void finishFile(const Record& r, const std::string& placed);

  // RenameEngine.cpp: the end of the run.
  void closing(RunFrame& frame);
  void finishReport();

  const RenameSettings& m_settings;  // written once by a numbering run's auto increment
  RenameOptions m_options;           // read as the run starts, before any file is looked at
  RunView& m_view;
  RenameJournal* m_journal;  // null when the run keeps no journal
  const platform::DriveMap m_map;
  FileSteps m_steps;
  RunReport m_report;
  bool m_toldDenied = false;  // the message for a folder that cannot be written was shown
  double m_byteTotal = 0;
  std::vector<Record> m_records;
  std::optional<ImportedFiles> m_imported;  // the target tree by size, with the skip option
  std::vector<Group> m_groups;              // by group number, with the related-files option
  RunPlan* m_plan = nullptr;                // null: the steps are carried out
  std::unordered_set<std::string> m_planGone, m_planMade, m_planFolders;  // the plan so far
};

// Permission denied concerns one folder (a read-only subfolder, a folder of another user), not
// the disk: only the files of that folder are left. A read-only medium or a full disk stops
// the park step.
inline bool deniedInFolder(int error) {
  return error == EACCES || error == EPERM;
}

LongArray timeTable(int rows, int cols);

}  // namespace quillmere::rename
