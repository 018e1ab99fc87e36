#pragma once

#include <QMainWindow>

class QAction;
class QMdiArea;

namespace quillmere {

// The main window: a window of child windows whose menu opens the tool panels.
class frmMain final : public QMainWindow {
  Q_OBJECT

 public:
  frmMain();

  QMdiArea* area() const { return m_area; }
  QAction* menuItem(const QString& name) const;

  // The exit routine: out of the always-on-top state, panel states stored, program ended.
  void End();

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildMenu();
  void openPanel(int panelIndex);
  void closeAll();
  void toggleClassic();

  QMdiArea* m_area;
  bool m_ending = false;
};

}  // namespace quillmere
