#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

#include "WindowManager.h"
#include "shell/job/JobPlan.h"

class QAction;
class QMdiArea;

namespace quillmere {

class MainTimer;
struct MainTimerSteps;

// The main window: a window of child windows whose menu opens the tool panels.
class frmMain final : public QMainWindow {
  Q_OBJECT

 public:
  frmMain();
  ~frmMain() override;

  QMdiArea* area() const { return m_area; }
  QAction* menuItem(const QString& name) const;
  WindowManager& windows() { return *m_windows; }
  MainTimer& timer() { return *m_timer; }

  // Replaces the timer's steps (tests inject a clock and watch the scheduled run). Steps
  // without a scheduled mirroring run get the program's.
  void setTimerSteps(MainTimerSteps steps);

  // The exit routine: out of the always-on-top state, panel states stored, program ended.
  void End();
  // Ends the program at once, without the exit routine (nothing is stored).
  void endAtOnce();
  // True once the program is ending: a job stops after the step that ended it.
  bool ending() const { return m_ending; }

  // A job step: the step's panel opened by the window manager, its action run to its end,
  // the panel asked to close. A panel without a run of its own has its stored action run
  // through the runner's action table, with the panel's completion step (the rename step
  // calls the engine itself and has none).
  job::StepOutcome runJobStep(const job::PlannedStep& step);

  // Opens the help file "QuMere_Help.html" found below the help folder with the desktop's
  // opener; nothing happens when there is none.
  void showHelp();

  // The transient disk-space messages of the rename and mirroring panels (their NoSpace
  // labels), cleared by the timer.
  void clearNoSpaceMessage();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void buildArrangeMenu();
  void buildHelp();
  void openPanel(int panelIndex);
  PanelWindow* makePanel(Panel panel);
  job::StepOutcome runStoredStep(const job::PlannedStep& step);
  void toggleClassic();
  MainTimerSteps defaultTimerSteps();
  std::function<void()> scheduledMirroringRun();

  QMdiArea* m_area;
  std::unique_ptr<WindowManager> m_windows;
  MainTimer* m_timer = nullptr;
  bool m_ending = false;
};

// Hands the downloaded update to the desktop's opener and ends the program at once.
void handOverUpdate(frmMain& window, const std::string& downloadPath);

}  // namespace quillmere
