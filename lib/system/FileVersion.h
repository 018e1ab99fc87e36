#pragma once

// Linux files carry no version resource; quillmere's own binaries carry a marker instead,
// "QUILLMERE-FILEVERSION:" followed by four numbers joined by ".", which DLL_GetVer reads. Each
// binary keeps its own copy (internal linkage): the program and the library both carry one.
#define QUILLMERE_FILE_VERSION_MARKER(version)                            \
  [[maybe_unused]] static __attribute__((used)) const char kFileVersion[] = \
      "QUILLMERE-FILEVERSION:" version

#include <string>

namespace quillmere::system {

// The version carried by the file's marker ("1.2.0.5"), or "0" when it has none.
std::string fileVersionOf(const std::string& nativePath);

}  // namespace quillmere::system
