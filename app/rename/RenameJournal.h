#pragma once

#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace quillmere::platform {
class DriveMap;
}

namespace quillmere::rename {

// The record of one rename run, kept so that the run can be taken back: one line per file that
// got its final name (old path, new path, size and last-write time of the file as the run left
// it). Journals live in the per-user data folder ($XDG_DATA_HOME/quillmere/rename-journals);
// those older than 30 days are deleted when a new one begins.
//
// Folders the run made on the way to a new path (born after the journal began) get a line of
// their own, so that an undo can remove them again once they are empty.
//
// Lines are kept as files settle and written kSyncEvery at a time, each batch with one write:
// a killed run leaves every batch it wrote (the kernel keeps them) and loses at most the lines
// of one batch, whose files Undo then leaves under their new names. After each write a flush to
// the medium is started on a thread of the journal's own, so the run does not wait for the disk;
// finish() writes the rest, waits for that thread and flushes once more. A power cut loses at
// most the lines written since the last flush began. A line cut short is ignored by the reader.
class RenameJournal {
 public:
  static constexpr int kSyncEvery = 64;
  static constexpr int kKeepDays = 30;

  // copies: the run leaves its sources in place (Copy mode); undo then removes the copies.
  // folder: where journals are kept; empty for the per-user data folder.
  explicit RenameJournal(bool copies, std::string folder = {});
  ~RenameJournal();
  RenameJournal(const RenameJournal&) = delete;
  RenameJournal& operator=(const RenameJournal&) = delete;

  // What the run knows of a file it only renamed: its size and last-write time, unchanged by
  // the rename.
  struct Known {
    std::uint64_t size = 0;
    timespec lastWrite{};
  };
  // The file at oldPath now is newPath (path texts); its size and time are those known, or else
  // read from newPath. group: the related files it moved with (one number per group), -1 for a
  // file on its own.
  void record(const std::string& oldPath, const std::string& newPath, int group = -1,
              const std::optional<Known>& known = std::nullopt);
  // Flushes the journal; a journal without a line is removed.
  void finish();

  const std::string& path() const { return m_path; }
  // True when a line could not be written: the run cannot be taken back in full.
  bool failed() const { return m_failed; }

  // One line of a journal, native paths.
  struct Entry {
    std::string oldPath, newPath;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    int group = -1;  // entries of one group are taken back together or not at all
  };
  struct Contents {
    bool copies = false;
    std::vector<Entry> entries;
    std::vector<std::string> foldersMade;  // native paths
  };
  static std::string defaultFolder();
  // The newest journal of the folder that is not yet taken back; empty when there is none.
  static std::string lastJournal(const std::string& folder);
  static bool read(const std::string& journalPath, Contents& contents);
  // Marks a journal as taken back: it is kept (until it is old) but no longer the last one.
  static void markUndone(const std::string& journalPath);
  // Deletes the journals of the folder whose last change is older than kKeepDays.
  static void removeOld(const std::string& folder, std::time_t now);

 private:
  void open();
  void noteFoldersMade(const std::string& nativeFile);
  void writePending();
  void startFlush();
  void stopFlushing();
  // The drive map of the run, taken once: asking for the current one checks the mounts.
  const platform::DriveMap& m_drives;
  int m_fd = -1;
  timespec m_began{};
  std::vector<std::string> m_foldersNoted;
  std::string m_lastFolderBefore;  // the last folder found older than the run
  bool m_copies;
  std::string m_folder, m_path;
  int m_lines = 0;
  bool m_failed = false;
  int m_unsynced = 0;
  std::string m_pending;  // lines not yet written
  // The flushing thread: started with the first flush, woken by m_flushWanted.
  std::thread m_flusher;
  std::mutex m_flushMutex;
  std::condition_variable m_flushWake;
  bool m_flushWanted = false;
  bool m_stopFlusher = false;
};

}  // namespace quillmere::rename
