#pragma once

#include <QMainWindow>

#include <functional>
#include <memory>

#include "WindowManager.h"

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
  void toggleClassic();
  MainTimerSteps defaultTimerSteps();
  std::function<void()> scheduledMirroringRun();

  QMdiArea* m_area;
  std::unique_ptr<WindowManager> m_windows;
  MainTimer* m_timer = nullptr;
  bool m_ending = false;
};

// Starts the downloaded update with " /a", removes the download and ends the program.
void handOverUpdate(frmMain& window, const std::string& downloadPath);

}  // namespace quillmere
