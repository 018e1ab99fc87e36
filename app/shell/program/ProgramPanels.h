#pragma once

#include "shell/panels/PanelWindow.h"

namespace quillmere {

// The program's tool panels with the program's completion step; null for the job and version
// windows, which the main window makes itself.
PanelWindow* makeProgramPanel(Panel panel, QWidget* mainWindow);

class WindowManager;

// The main timer's scheduled mirroring: the run of the open mirroring panel, or with the panel
// closed the same run on a panel object that is never shown.
void runScheduledMirroring(WindowManager& windows, QWidget* mainWindow);

}  // namespace quillmere
