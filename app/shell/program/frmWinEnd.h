#pragma once

#include <QTimer>
#include <QWidget>

#include "shell/timer/Countdown.h"

class QLabel;
class QPushButton;

namespace quillmere {

// The confirmation before the computer is shut down: a 120-second countdown that asks for the
// shutdown at 0 (and every second after), Yes at once, No closes the window and leaves the
// machine alone.
class frmWinEnd final : public QWidget {
  Q_OBJECT

 public:
  // themedMetrics: the classic metrics make the window 118 twips lower.
  frmWinEnd(QWidget* mainWindow, bool themedMetrics);

  // One second of the countdown (the window's Timer1 calls it; tests call it directly).
  void tick();
  QString timeMessage() const;

 private:
  void placeOn(QWidget* mainWindow, bool themedMetrics);
  void requestShutdown();

  QLabel* m_text;
  QLabel* m_timeMessage;
  QPushButton* m_yes;
  QPushButton* m_no;
  QTimer* m_timer;
  CountdownMarks m_marks;
};

}  // namespace quillmere
