#pragma once

#include <string>
#include <vector>

namespace quillmere::mirror {

// The per-user record of a mirroring run's temporary files, and the lock that keeps two runs
// (of this or another process) from working at once. A temporary file is recorded with the file
// it is to replace before it is made; a run that is killed leaves its records, and the next run
// settles each one before it lists anything: a temporary file whose target still exists is
// removed, one whose target is gone (the old version went to the trash, the swap did not happen)
// takes the target's place.
class MirrorJournal {
 public:
  // folder: where the journal and the lock live (created when missing); empty: the per-user
  // data folder.
  explicit MirrorJournal(std::string folder = {});
  ~MirrorJournal();
  MirrorJournal(const MirrorJournal&) = delete;
  MirrorJournal& operator=(const MirrorJournal&) = delete;

  enum class Lock { Taken, Busy, Unavailable };
  // Takes the lock: Busy when another run holds it, Unavailable when the per-user folder cannot
  // be written (the run then goes on without a journal).
  Lock lock();
  // Settles the records a killed run left behind. Returns the targets it put back in place.
  std::vector<std::string> settle();
  // Records a temporary file (native) before it is made, and the target it is meant for.
  void record(const std::string& temporary, const std::string& target);
  // Forgets the records whose temporary file no longer exists; called at the end of a run.
  void finish();

  const std::string& path() const { return m_path; }

 private:
  struct Entry {
    std::string temporary;
    std::string target;
  };
  std::vector<Entry> read() const;
  void rewrite(const std::vector<Entry>& entries);

  std::string m_folder;
  std::string m_path;
  int m_lockFd = -1;
  std::vector<Entry> m_entries;
  int m_fd = -1;
};

// A fresh hidden temporary name in the folder of target (native), for a file about to replace
// or become target.
std::string temporaryNameFor(const std::string& target);
// True when a file name is one of the mirroring run's temporary names.
bool isTemporaryName(const std::string& fileName);

}  // namespace quillmere::mirror
