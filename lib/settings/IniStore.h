#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillmere::settings {

// Reads and writes private-profile files by native path. Reads use a parsed copy of the file
// kept while its device, inode, size and times stay the same; writes replace the file
// atomically (temporary file in the same folder, then rename) and are skipped when the value
// would not change. A file that is not a settings file (a folder, binary data, neither UTF-8
// nor CP932 text) reads as empty and is never written over.
class IniStore {
 public:
  static std::optional<std::string> read(const std::string& nativePath, std::string_view section,
                                         std::string_view key);
  // Returns true when the file now holds the value (written, or already there).
  static bool write(const std::string& nativePath, std::string_view section, std::string_view key,
                    std::string_view value);
  // Forgets every cached file (tests, and after a settings file was replaced by hand).
  static void clearCache();
};

namespace testing {
// Called after the temporary file is complete and before it replaces the settings file.
void setBeforePublishHook(std::function<void()> hook);
// Makes the next writes of the temporary file fail with this errno (0 switches it off).
void setWriteFault(int error);
}  // namespace testing

// The native path of an INIPath argument: a path text ("C:\...") through the drive map, or an
// absolute native path as it is. Empty when the text names no file.
std::string iniNativePath(const std::string& iniPath);

}  // namespace quillmere::settings
