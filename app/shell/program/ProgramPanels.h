#pragma once

#include "shell/panels/PanelWindow.h"

namespace quillmere {

// The program's panels: the built tool panels with the program's completion step, an empty
// frame for the panels not built yet.
PanelWindow* makeProgramPanel(Panel panel, QWidget* mainWindow);

}  // namespace quillmere
