#pragma once

#include <string>

namespace quillmere {

class frmMain;

// The start-up routine, run once before the main window is shown. Returns false when the
// program must end (the runtime-file check failed).
bool startUp(frmMain& window, const std::string& programPath);

}  // namespace quillmere
