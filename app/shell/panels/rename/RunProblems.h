#pragma once

#include <string>
#include <vector>

#include "rename/RenameEngine.h"

namespace quillmere::rename {

// The files a run could not handle, as the panels show them: one line per file, its path and
// the reason in the program's words. Files the user stopped with Cancel are not listed.
std::vector<std::string> problemLines(const std::vector<FileProblem>& problems);

// The message after a run with such files; empty when there are none. At most `shown` lines
// are listed, followed by how many more there are.
std::string problemListText(const std::vector<FileProblem>& problems, int shown = 10);

}  // namespace quillmere::rename
