#pragma once

#include <map>
#include <string>

#include "run/RunPlan.h"

namespace quillmere::test {

// Every entry below a folder: relative path -> "dir", "link:<target>" or
// "file:<size>:<mtime ns>:<contents hash>". Folder times are left out (they change with any
// entry), so two censuses differ only where an entry came, went or changed.
using Census = std::map<std::string, std::string>;
Census censusOf(const std::string& nativeRoot);

// The census a tree would have after the plan's steps (paths below nativeRoot): moved files
// keep their census line, copies take the source's line but the copy's time is not compared
// ("copy" steps into a file that collects several sources, an archive, add one "made" line).
// Compare the result with asExpected(expected, censusOf(root)) and withoutTimes(expected).
Census afterPlan(const Census& before, const RunPlan& plan, const std::string& nativeRoot);

// The census without the files' last-write times (a copy's time depends on the medium).
Census withoutTimes(const Census& census);
// The actual census in the expected one's terms: without times, and with "made" where the
// expected census has it.
Census asExpected(const Census& expected, Census actual);

// A hash of a file's bytes (the settings file before and after a preview); "" when absent.
std::string fileHash(const std::string& nativePath);

}  // namespace quillmere::test
