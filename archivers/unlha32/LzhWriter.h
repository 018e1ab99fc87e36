#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace unlha {

// The readable report that ends up in the caller's output buffer.
struct Report {
  std::string text;
  int errors = 0;
  int warnings = 0;
  void line(const std::string& s) { text += s + "\n"; }
  void error(const std::string& s) {
    ++errors;
    line("NG  " + s);
  }
  void warning(const std::string& s) {
    ++warnings;
    line("--  " + s);
  }
};

// A level-2 member header (the size depends only on the name, never on the sizes).
struct MemberHeader {
  bool store = false;   // -lh0- instead of -lh5-
  bool folder = false;  // -lhd-
  std::uint64_t packed = 0;
  std::uint64_t original = 0;
  std::int64_t mtime = 0;
  std::uint16_t crc = 0;
  std::uint32_t mode = 0100644;
  std::vector<std::string> folders;  // path components before the name
  std::string name;                  // empty for a folder entry
  bool large = false;  // 4 GiB and more: the sizes also go into a 64-bit extension (0x42)
};
std::vector<std::uint8_t> buildHeader(const MemberHeader& h);

// What to archive: a native path, and how it appears in the archive.
struct Source {
  std::string native;
  bool contents = false;  // a folder given with a trailing separator: its contents, no prefix
};

struct CreateOptions {
  bool recursive = false;  // descend into sub-folders, keeping their paths
};

// Creates the archive, or updates it when it exists (members of the same path are replaced,
// the others kept). Writes a temporary file beside the archive and renames it into place only
// when everything went well; the archive itself and its temporary file are never archived.
// Returns true on success.
bool createOrUpdate(const std::string& archive, const std::vector<Source>& sources,
                    const CreateOptions& options, Report& report);

}  // namespace unlha
