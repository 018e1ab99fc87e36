#pragma once

#include <cstdint>
#include <string>

namespace quillmere::archive {

// One of the two archiver libraries, loaded by name at run time from the library folder (the
// folder of libquillmereDLL.so), or from the folder named by QUILLMERE_ARCHIVER_DIR when that
// is set (tests put stand-ins there). A library that cannot be loaded, or lacks either entry
// point, counts as version 0: no usable archiver.
enum class Archiver { Lzh, Cab };

// The file name looked for ("libunlha32.so", "libcab32.so").
const char* libraryFileName(Archiver which);

// The version the library reports, 0 when it is missing or unusable.
std::int32_t archiverVersion(Archiver which);

// Calls the archiver once with the command line and an output buffer of 32767 spaces. Returns
// the archiver's own result; -1 when it cannot be loaded. The buffer's text goes to *output.
std::int32_t callArchiver(Archiver which, std::int32_t hwnd, const std::string& commandLine,
                          std::string* output = nullptr);

}  // namespace quillmere::archive
