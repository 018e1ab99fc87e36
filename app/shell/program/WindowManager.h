#pragma once

#include <QPointer>

#include <array>
#include <string>

#include "shell/core/ShellState.h"
#include "shell/panels/PanelWindow.h"
#include "shell/window/WindowLayout.h"

class QMainWindow;
class QMdiArea;
class QMdiSubWindow;

namespace quillmere {

// Opens, closes, places and remembers the eight managed panels through their state numbers,
// and keeps the main window's geometry in section "Main" of the settings file (in twips).
class WindowManager {
 public:
  WindowManager(QMainWindow& main, QMdiArea& area, ShellState& state, PanelFactory factory);

  // One pass: closes panels whose state is 0, stores the main window's geometry, opens panels
  // asked to open at their stored places, asks state-2 panels to re-read their folders and
  // stores the open panels' places while the shell is idle.
  void pass();

  // The stored main window geometry, cut down to the screen, applied at start-up.
  void applyStartGeometry();
  // Gives every open panel the focus in panel order, so the last one ends in front.
  void focusPass();
  void arrange(layout::Arrangement arrangement);
  void closeAll();
  // Sizes the main window around the open panels.
  void fit();

  // The busy counter with its pointer: the hourglass while the counter is not 0.
  void raiseBusy();
  void lowerBusy();
  bool shellIdlePointer() const;

  PanelWindow* panel(Panel panel) const;
  QMdiSubWindow* subWindow(Panel panel) const;
  void setPanelFactory(PanelFactory factory) { m_factory = std::move(factory); }
  layout::TwipScale scale() const;

 private:
  void closeUnwanted();
  void storeMainGeometry();
  void openPanel(Panel panel);
  void storePanelPosition(Panel panel);
  void focus(Panel panel);
  void changeBusy(int delta);
  bool mainWindowNormal() const;
  double screenWidthTwips() const;
  double screenHeightTwips() const;
  double readTwips(const std::string& key, const char* fallback) const;
  void writeTwips(const std::string& key, double twips) const;

  QMainWindow& m_main;
  QMdiArea& m_area;
  ShellState& m_state;
  PanelFactory m_factory;
  std::array<QPointer<QMdiSubWindow>, kPanelCount> m_windows;
};

// The settings keys of the window geometry.
std::string panelTopKey(Panel panel);
std::string panelLeftKey(Panel panel);

}  // namespace quillmere
