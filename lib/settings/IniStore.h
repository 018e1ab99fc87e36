#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillmere::settings {

// Reads and writes private-profile files by native path. Reads use a parsed copy of the file
// kept while its device, inode, size and times stay the same; writes replace the file
// atomically (temporary file in the same folder, then rename) and are skipped when the value
// would not change. A write holds an advisory lock on the file's folder from the moment it
// reads the file until the new copy is in place, so two writers never lose each
// other's keys; the new copy keeps the owner, group and mode of the file it replaces. A file
// that is not a settings file (a folder, binary data, neither UTF-8 nor CP932 text) reads as
// empty and is never written over.
class IniStore {
 public:
  static std::optional<std::string> read(const std::string& nativePath, std::string_view section,
                                         std::string_view key);
  // Returns true when the file now holds the value (written, or already there). Inside an
  // IniBatch of this thread for the same file, the value is only collected.
  static bool write(const std::string& nativePath, std::string_view section, std::string_view key,
                    std::string_view value);
  // Removes a key. Returns true when the key is not in the file afterwards.
  static bool remove(const std::string& nativePath, std::string_view section, std::string_view key);
  // Why the last write or commit of this thread failed ("the settings file /x/q.ini cannot be
  // written: Permission denied"); empty after one that succeeded.
  static const std::string& lastWriteError();
  // Forgets every cached file (tests, and after a settings file was replaced by hand).
  static void clearCache();
};

// One change of a key: a new value, or its removal (value empty).
struct KeyChange {
  std::string section;
  std::string key;
  std::optional<std::string> value;
};

// Collects the writes of this thread to one settings file while it lives and writes the file
// once, under the lock, on commit() (or when it goes out of scope without discard()). Reads of
// that file on this thread see the collected values. A batch opened while another is open on
// the same thread joins it: only the outer one writes.
class IniBatch {
 public:
  explicit IniBatch(const std::string& nativePath);
  ~IniBatch();
  IniBatch(const IniBatch&) = delete;
  IniBatch& operator=(const IniBatch&) = delete;

  // Writes the collected changes in one atomic replacement when any changes the file. False
  // when the file could not be written (it is then as it was; lastWriteError() says why).
  bool commit();
  // Forgets the collected changes; the file stays as it is.
  void discard();
  // What the committed changes replaced, so that they can be undone: each changed key with the
  // value it had before (empty when it was absent).
  const std::vector<KeyChange>& replaced() const { return m_replaced; }

  struct State;

 private:
  State* m_state = nullptr;  // null when joined to an outer batch
  bool m_done = false;
  std::vector<KeyChange> m_replaced;
};

// The native path of an INIPath argument: a path text ("C:\...") through the drive map, or an
// absolute native path as it is. Empty when the text names no file.
std::string iniNativePath(const std::string& iniPath);

}  // namespace quillmere::settings
