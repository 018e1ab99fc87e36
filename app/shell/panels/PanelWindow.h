#pragma once

#include <QWidget>

#include <functional>
#include <optional>

#include "shell/core/ShellState.h"
#include "shell/job/JobPlan.h"

namespace quillmere {

// What the window manager asks of every managed panel: its load routine (filling its
// controls from the settings file) and its Path routine (re-reading its folder lists).
class PanelWindow : public QWidget {
  Q_OBJECT

 public:
  explicit PanelWindow(Panel panel, QWidget* parent = nullptr);
  Panel panel() const { return m_panel; }

  virtual void load() {}
  virtual void Path() {}
  // A job step: runs the panel's action as its run button does, to its end. A panel without a
  // run of its own answers nothing, and the job runs the stored action instead.
  virtual std::optional<job::StepOutcome> runForJob() { return std::nullopt; }
  // True while the panel's run is under way: the window manager keeps such a panel open until
  // the run has returned, since the run's frame lives on the panel.
  virtual bool running() const { return false; }

 private:
  Panel m_panel;
};

// The form name of a managed panel ("frmReName", ...) and its window caption.
QString panelFormName(Panel panel);
QString panelCaption(Panel panel);

// Makes the window of a panel.
using PanelFactory = std::function<PanelWindow*(Panel)>;

}  // namespace quillmere
